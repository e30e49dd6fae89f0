#pragma once

// The content model: the plain value records every reflowable book becomes before layout.
//
// Producers (the chunk builder, driven by the HTML block parser or the plain-text reader) fill the
// fields directly on a worker thread; the chunks are then handed by value to the GUI thread and are
// only read afterwards, so any thread may read a copy. Lengths are logical pixels, an invalid QColor
// means "not set", kinds are plain ints because consumers compare them as integers.

#include "content/CollapsingMargin.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

class BookCostMeter;

// The size in px of a book's root font (1rem), and of text whose size is not given. Lengths are
// read at this size, and layout scales them by the reader's font size over it.
constexpr int kBookFontSize = 16;

// A virtual page of the reading model is this much chunk weight; a picture weighs one page.
constexpr int kPageWeight = 1800;

// Parameters of CSS value parsing. Every caller passes 16 and 600: px scale 1, percentages of 600.
struct ParseParams {
    double baseFontSize = kBookFontSize; // size of 1rem; px scale = baseFontSize / kBookFontSize
    double referenceWidth = 600; // 100% of a length
    QString language;            // the book's language (a BCP 47 tag); its direction is the text's default
    BookCostMeter* costMeter = nullptr; // what is built is charged to it (see DocumentChunkBuilder); not owned
};

// A justified paragraph's last line sits at its start: the left of a left-to-right paragraph, the
// right of a right-to-left one.
enum class TextAlign : int { Justify = 0, Left = 1, Center = 2, Right = 3 };

// A paragraph's base direction, or the direction of a run's embedding. Auto takes it from the
// first strong character (the paragraph's, or the run's).
enum class TextDirection : int { Auto = 0, LeftToRight = 1, RightToLeft = 2 };

// How a run with a direction of its own enters the reordering of its paragraph (CSS unicode-bidi).
enum class UnicodeBidi : int { Normal = 0, Embed = 1, Isolate = 2, BidiOverride = 3, IsolateOverride = 4,
                               Plaintext = 5 };

struct TextStyle {
    // The values textTransform takes (CSS text-transform).
    enum Transform : int { NoTransform = 0, Uppercase = 1, Lowercase = 2, Capitalize = 3 };

    QStringList families;       // CSS order; layout uses the first
    double size = kBookFontSize; // px; <= 0 means the reader's font size
    int weight = 400;           // 100..900
    bool italic = false;
    bool smallCaps = false;
    int textTransform = NoTransform; // a Transform
    double letterSpacing = 0;   // extra px between letters
    bool underline = false;
    bool lineThrough = false;
    bool overline = false;
    bool link = false;
    QColor colour;              // invalid = theme text colour
    QColor background;          // invalid = none
    double baselineShift = 0;   // px; negative = subscript, positive = superscript
    // A block's style gives its paragraphs' base direction; a run's, with unicodeBidi, the
    // embedding it is reordered in.
    TextDirection direction = TextDirection::Auto;
    UnicodeBidi unicodeBidi = UnicodeBidi::Normal;
};

// Sides are always ordered top, bottom, left, right.
struct BoxStyle {
    double marginTop = 0, marginBottom = 0, marginLeft = 0, marginRight = 0;
    double paddingTop = 0, paddingBottom = 0, paddingLeft = 0, paddingRight = 0;
    double borderTop = 0, borderBottom = 0, borderLeft = 0, borderRight = 0;
    QColor borderColour;
    QColor background;
};

struct InlineRun {
    enum Kind : int { Text = 0, Image = 1, LineBreak = 2 };

    int kind = Text;
    QString text;
    TextStyle style;
    QString url;          // book image URL (image runs only)
    double width = -1;    // -1 = not given
    double height = -1;
    double maxWidth = -1; // -1 = no limit
    double invert = 0;    // image runs: how far the picture's colours are inverted, 0..1
};

struct BlockItem {
    enum Kind : int { ContainerStart = 0, ContainerEnd = 1, Paragraph = 2, Rule = 3 };

    int kind = Paragraph;
    BoxStyle box;
    TextAlign align = TextAlign::Justify;
    double indent = 0;       // first-line indent, may be negative
    double lineHeight = 0;   // factor of the font size; 0 = the reader's line spacing
    double fontSize = kBookFontSize;
    bool preformatted = false;
    QString marker;          // list marker drawn before the first line
    TextStyle style;
    QList<InlineRun> runs;
    QColor ruleColour;
};

// A slice of a document small enough to be laid out and painted as one list item.
// Invariants kept by the builder: containers nest within a chunk (a cut closes and reopens them,
// with the edges at the cut zeroed), paragraphs have runs, chunks are never empty and are cut
// only between blocks, and weight = text length + kPageWeight per image (1 for icons up to 48x48) + 1 per rule.
struct ContentChunk {
    QString id;
    QList<BlockItem> blocks;
    int weight = 0;
    int reopenedContainers = 0;
    // The bottom margins the previous chunk of the document ends with: they still collapse with
    // the top margins this chunk starts with, and the gap they make is laid out in this chunk.
    CollapsingMargin leadingMargin;
};
