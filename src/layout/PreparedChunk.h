#pragma once

// A chunk's blocks measured into Knuth-Plass items, ready to be laid out at any width: the
// output of chunk preparation and the input of chunk layout (ChunkLayoutEngine).
//
// Plain values, made on any thread and then only read; copies are cheap (implicitly shared
// lists). A prepared chunk depends only on its chunk, the font size and the image sizes.

#include "content/ContentModel.h"
#include "FontRequest.h"
#include "ITextMeasurer.h"
#include "KnuthPlass.h"
#include "PackedItems.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QSizeF>
#include <QString>

// What a run is drawn with. Sizes are in pixels, already scaled to the reader's font size.
struct PreparedStyle {
    FontRequest request;
    QFont font;              // built from request
    FontMetrics metrics;
    double spaceWidth = 0;   // glue width of a space
    double hyphenWidth = 0;  // width added when a line ends at a soft hyphen
    double baselineShift = 0; // positive raises the run
    QColor colour;
    QColor background;
    bool link = false;
    bool underline = false;
    bool lineThrough = false;
    bool overline = false;
};

// What a Knuth-Plass item measures (KnuthPlass::Item::runIndex indexes a paragraph's runs).
struct PreparedRun {
    enum class Kind : int { Text = 0, Image = 1, Space = 2 };

    Kind kind = Kind::Text;
    int style = 0;       // index into PreparedChunk::styles
    int textStart = 0;   // PreparedChunk::text from textStart, textLength long. Text: the piece
    int textLength = 0;  // as drawn; Image: the source URL; Space: empty
    double height = 0;   // Image only, at the width of its box (the box holds every run's width)
};

struct PreparedParagraph {
    PackedItems items; // closed by KnuthPlass::finishParagraph
    QList<PreparedRun> runs;
    TextAlign align = TextAlign::Justify;
    bool preformatted = false;
    bool rightToLeft = false; // the resolved base direction
    int baseStyle = 0;      // the paragraph's own style: its strut
    double lineHeight = 0;  // the book's line height in pixels; 0 = the reader's line spacing
    double widestWord = 0;  // the widest stretch of text no line may break inside, images left out
    QList<quint8> levels;     // bidi embedding level per item; empty: all left to right
    QHash<int, double> inverts; // run index -> how far that picture's colours are inverted (0..1];
                                // pictures drawn as they are have no entry (most paragraphs: none)
};

struct PreparedBlock {
    int kind = BlockItem::Paragraph;
    BoxStyle box;           // containers: margins and paddings scaled, border widths as given
    bool reopened = false;  // a container start that continues a box split at the previous cut
    PreparedParagraph paragraph;
    QColor ruleColour;
};

struct PreparedChunk {
    QList<PreparedBlock> blocks;
    QList<PreparedStyle> styles;
    // The runs' texts, one after another in the order of their boxes, so the pieces of a word
    // are next to each other; laid-out runs refer to it too (shared, never copied).
    QString text;
    FontMetrics readerMetrics; // the reader's font: rules stand on lines of its height
    CollapsingMargin leadingMargin; // scaled; the margins the previous chunk ended with
    int fontSize = 0;
    QString fontFamily;

    // Kept so that a layout asked for another font size or family can measure again. It shares
    // the chunk's own list (implicit sharing): the blocks the reader holds are not copied.
    QList<BlockItem> sourceBlocks;
    int reopenedContainers = 0;
    CollapsingMargin sourceLeadingMargin;
    QHash<QString, QSizeF> imageSizes; // natural sizes as the resolver gave them

    // A default-constructed (not yet prepared) chunk is empty, as is one of a chunk without blocks.
    bool isEmpty() const { return blocks.isEmpty(); }
};

inline QStringView textOf(const PreparedChunk& chunk, const PreparedRun& run)
{
    return QStringView(chunk.text).mid(run.textStart, run.textLength);
}
