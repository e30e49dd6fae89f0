#pragma once

// Chunk layout: places a prepared chunk's blocks in one column of a given width and breaks its
// paragraphs into lines with the Knuth-Plass breaker (ChunkLayout).
//
// Geometry:
// - Boxes: margins, borders and paddings inset the column; vertical margins that meet collapse to
//   the largest (CSS rules, also through a box without a top or bottom edge); margins left over
//   at the chunk's end are dropped: the next chunk starts with them (its leading margin), so the
//   gap between two chunks is the one an uncut layout has.
//   A container re-opened at the head of a chunk starts at its top and one still open at its
//   end reaches its bottom, so the halves of a split box meet at the cut.
// - Lines: a justified line fills the column, stretched however far its spaces must grow; the
//   last line of a paragraph, a line before a forced break and a line with nothing to stretch
//   keep their natural width; shrinking stops at ratio -1, so only an unbreakable box overflows. Left, centre and
//   right alignment place the natural width. A line's height is the paragraph's line height
//   (the book's, or the reader's spacing times the font's line spacing), grown to hold larger
//   runs, raised or lowered runs and images; a line of images alone is exactly as tall as they.
//   A justified line so loose that its spaces would grow past twice their width lets the
//   letters of its Latin, Greek and Cyrillic words share the excess, up to a twentieth of an em
//   each (letter spacing, drawn by the painter); only what they cannot take widens the spaces more.
// - Direction: lines are broken in logical order; a line of a paragraph with embedding levels is
//   then set in visual order (BidiLevels), each word still one run in its logical character
//   order, drawn right to left when its level is odd. Start and end alignment, and the lines of a
//   justified paragraph that do not fill the column, sit at the side the paragraph starts on, as
//   do its first-line indent and list marker (the first items of its first line).
// - Images wider than their column are scaled down to it, keeping their aspect; an image sits
//   on the baseline. A word wider than its column is broken between its letters (OverlongWords).
//
// One layouter serves one layout() call on one thread; it only reads the prepared chunk.

#include "ChunkLayout.h"
#include "content/BlockMargins.h"
#include "ITextMeasurer.h"
#include "KnuthPlass.h"
#include "LayoutParams.h"
#include "PreparedChunk.h"

#include <QHash>
#include <QVarLengthArray>

#include <functional>

// Told about every paragraph as it is broken: the items and the width handed to the breaker
// and the lines it returned. Lets the benchmark gather adjustment ratios from the real path.
using LineBreakObserver = std::function<void(const PreparedParagraph& paragraph,
                                             const QList<KnuthPlass::Item>& items, double lineWidth,
                                             const QList<KnuthPlass::Line>& lines)>;

class ChunkLayouter {
public:
    // The measurer measures the pieces of words too wide for their column (OverlongWords).
    ChunkLayouter(const PreparedChunk& chunk, const ITextMeasurer& measurer, const LayoutParams& params,
                  const LineBreakObserver& observer = {});

    ChunkLayout layout();

private:
    struct OpenBox {
        int record = -1;       // index into the layout's boxes; -1 for a box that draws nothing
        bool topFixed = false; // false while the box's top margin may still collapse with a child's
        double outerLeft = 0;  // the column around the box, restored when it closes
        double outerRight = 0;
        QColor background;
    };
    // A line being placed: what it is made of and the state of its run emission.
    struct PlacedLine {
        const PreparedParagraph& paragraph;
        const QList<KnuthPlass::Item>& items;
        const KnuthPlass::Line& breakLine;
        double ratio = 0; // the adjustment its glue is set at
        double letterSpacing = 0; // after each character of the text that takes it
        LayoutLine line;
        double x = 0;            // where the next piece goes
        int openRun = -1;        // the run the next piece of the same word and style extends
        int openStyle = -1;
        bool openReversed = false;
        bool openSpaced = false;
        // On a letter-spaced line, whether item breakLine.start + i takes the spacing (its text
        // is all of letters that stand apart), asked once per item.
        QVarLengthArray<bool, 64> spaced;

        double glueWidth(const KnuthPlass::Item& glue) const
        {
            return glue.width + ratio * (ratio < 0 ? glue.shrink : glue.stretch);
        }
        // The extra width letter spacing gives characters of a text piece (or a hyphen after
        // it); the piece's text is looked at only on a letter-spaced line, which few lines are.
        double spacingOf(const PreparedChunk& chunk, const PreparedRun& piece, int characters) const
        {
            return letterSpacing > 0 && spacesLetters(textOf(chunk, piece)) ? letterSpacing * characters : 0;
        }
        bool spacedAt(int item) const { return letterSpacing > 0 && spaced[item - breakLine.start]; }
        double spacingAt(int item, int characters) const
        {
            return spacedAt(item) ? letterSpacing * characters : 0;
        }
        // Past a piece that ends the open run.
        void advance(double width)
        {
            x += width;
            openRun = -1;
        }
    };
    struct LineExtent {
        double natural = 0; // the items' width at the line's ratio
        double above = 0;   // from the baseline up
        double below = 0;
    };

    void openBox(const PreparedBlock& block);
    void closeBox(const PreparedBlock* end);
    void placeParagraph(const PreparedParagraph& paragraph);
    void placeLine(const PreparedParagraph& paragraph, const QList<KnuthPlass::Item>& items,
                   const KnuthPlass::Line& breakLine, double available);
    static double lineRatio(const PreparedParagraph& paragraph, const QList<KnuthPlass::Item>& items,
                            const KnuthPlass::Line& breakLine);
    // A justified line whose spaces would grow past twice their width gives its letters a share.
    void spreadIntoLetters(PlacedLine& placed) const;
    LineExtent lineExtent(const PlacedLine& placed) const;
    static double alignOffset(const PreparedParagraph& paragraph, double available, double natural);
    // Sets the pieces in visual order: logical order, or the embedding levels' order.
    void placePieces(PlacedLine& placed);
    void placePiece(PlacedLine& placed, int item, bool reversed);
    void addText(PlacedLine& placed, int style, bool reversed, const PreparedRun& piece, double width, bool spaced);
    void addHyphen(PlacedLine& placed, int style, bool reversed, double width);
    double hyphenSpacing(const PlacedLine& placed, const KnuthPlass::Item& endItem) const;
    void placeRule(const PreparedBlock& block);
    void meetMargins(const BlockMargins& margins);
    void flushMargins();
    static TextAlign placedAlign(const PreparedParagraph& paragraph);
    QColor innermostBackground() const;
    // A run drawing the text of `text` (a default PreparedRun: none).
    LayoutRun makeRun(int style, double x, double lineBaseline, const PreparedRun& text, double width);
    // The height of an image box as placed, from its box as prepared.
    static double imageHeight(const PreparedRun& image, const KnuthPlass::Item& prepared,
                              const KnuthPlass::Item& placed);
    // True when the piece's text follows on from the run's, so the run can take it in.
    static bool extends(const LayoutRun& run, const PreparedRun& piece, bool reversed);
    // The layout's style for a prepared style in the current block background.
    int layoutStyle(int preparedStyle);

    const PreparedChunk& m_chunk;
    const ITextMeasurer& m_measurer;
    const LayoutParams m_params;
    const LineBreakObserver m_observer;
    const double m_width;
    const double m_lineSpacing;
    ChunkLayout m_result;
    QList<OpenBox> m_openBoxes;
    double m_y = 0;
    double m_left = 0;
    double m_right = 0;
    CollapsingMargin m_pendingMargin; // not yet placed
    QColor m_blockBackground; // of the paragraph being placed
    QHash<quint64, int> m_layoutStyles; // prepared style and block background -> layout style
    // The last of them asked for: a line's runs mostly share one style.
    quint64 m_lastStyleKey = 0;
    int m_lastStyle = -1;
};
