#pragma once

// A laid-out chunk: what the chunk painter draws and the reading model measures. Plain values in
// the chunk's own coordinates (x from 0 to the layout width, y from 0 down to the height).
//
// Made on any thread, then only read; copies are cheap (implicitly shared lists). Compared field
// by field, doubles by the relative rule (RelativeCompare.h).
//
// A book holds a layout per chunk, so runs are small: they refer to the chunk's style table and
// to a stretch of its text instead of carrying a font, colours and a string each.
//
// Drawing a very tall chunk: the painter need only draw the band it is asked for (lines are in
// increasing y, so the first visible line is found by binary search). A chunk taller than a
// graphics texture may hold is drawn as several tiles, each painting its own band;
// tileEdges() gives cut positions that fall between lines, so no text line is cut.

#include <QColor>
#include <QFont>
#include <QList>
#include <QMetaType>
#include <QRectF>
#include <QRgb>
#include <QString>

// A colour as the painter uses it, or none (the painter then takes the theme's, or draws nothing).
struct LayoutColour {
    QRgb rgba = 0;
    bool none = true;

    // An invalid colour gives none.
    static LayoutColour of(const QColor& colour);
    QColor toColor() const { return none ? QColor() : QColor::fromRgba(rgba); }
    // Something to fill with: a colour that is not fully transparent.
    bool paints() const { return !none && qAlpha(rgba) > 0; }
};

// How runs are drawn; one entry per look in a chunk, shared by all its runs of that look.
struct LayoutStyle {
    QFont font;          // has a pixel size
    double ascent = 0;   // the font's: a run's box reaches this far above its baseline
    double descent = 0;  // and this far below
    LayoutColour colour;          // none: the theme's text colour
    LayoutColour background;      // none: none
    LayoutColour blockBackground; // background of the innermost box holding the run; none: none
    bool link = false;
    bool underline = false;
    bool lineThrough = false;
    bool overline = false;
};

// One piece of text drawn with one style; the runs of a line are in visual order, left to right,
// and the text of each in its logical order. A run without text is a gap between two words that
// carries a background or a decoration, so that these run on across the space.
struct LayoutRun {
    double x = 0;        // left edge, and the pen position of the text
    double width = 0;
    double baseline = 0;
    int style = 0;       // index into ChunkLayout::styles
    int textStart = 0;   // the text is ChunkLayout::text from textStart, textLength long,
    int textLength = 0;
    bool hyphen = false; // followed by a hyphen: the line ends at a break inside the word
    bool rightToLeft = false; // the text is drawn with a right-to-left base direction

    bool hasText() const { return textLength > 0 || hyphen; }
};

// A line box. Lines holding only images are lines too, and a rule stands on a line of its own
// (without runs), so every chunk with visible content has at least one line.
struct LayoutLine {
    double x = 0;      // left edge of the line's content
    double y = 0;      // top of the line box
    double width = 0;  // width the content is set to (the column width for a justified line)
    double height = 0;
    double baseline = 0;
    // Added after every character of the line's runs that take letter spacing (spacesLetters):
    // a justified line too loose for its spaces alone shares the slack with its letters.
    double letterSpacing = 0;
    QList<LayoutRun> runs;
};

// Whether a run of this text may be letter-spaced: text of the alphabets whose letters stand
// apart (Latin, Greek, Cyrillic, Armenian and common punctuation), without combining marks or
// dashes (repeated, they draw one rule); joined and clustered scripts never are. The layout and the painter ask the same question.
bool spacesLetters(QStringView text);

struct LayoutImage {
    QString source; // the book image URL, for IBookImageResolver
    QRectF rect;
    double invert = 0; // how far the picture's colours are inverted when drawn (CSS filter: invert()), 0..1
};

struct LayoutRule {
    QRectF rect;
    QColor colour; // invalid: the theme's colour
};

// The border box of a container. A box split across chunks has no bottom edge in the chunk
// above the cut and no top edge in the one below, and reaches the cut, so the halves meet.
struct LayoutBox {
    QRectF rect;
    QColor background;   // invalid: none
    QColor borderColour; // invalid: the theme's colour
    double left = 0;     // border widths
    double top = 0;
    double bottom = 0;
    double right = 0;
};

struct ChunkLayout {
    // Tiles no taller than this stay within the texture limits of common GPUs (8192 device
    // pixels) at a device pixel ratio of 2.
    static constexpr double kMaxTileHeight = 4096;

    QList<LayoutLine> lines; // in increasing y
    QList<LayoutStyle> styles; // what the runs refer to
    QString text;              // holds the runs' texts (the prepared chunk's text, shared)
    QList<LayoutImage> images;
    QList<LayoutRule> rules;
    QList<LayoutBox> boxes;  // outer boxes before the boxes they contain
    double height = 0;
    double width = 0;        // the width it was laid out for

    // Increasing y positions, strictly between 0 and height, that cut the chunk into bands of at
    // most maxTileHeight; each cut lies at the top of a line. Only a single line taller than
    // maxTileHeight (a tall image) is cut inside, at multiples of maxTileHeight.
    QList<double> tileEdges(double maxTileHeight = kMaxTileHeight) const;
    // The edge furthest below top whose tile keeps to the limit as it is computed: edge - top <=
    // maxTileHeight in floating point, not only on paper.
    static double nextTileEdge(double top, double maxTileHeight = kMaxTileHeight);

    // A run's style, text and box (from its font's ascent above the baseline to its descent
    // below: where its background and decorations go). The run must belong to this layout.
    const LayoutStyle& styleOf(const LayoutRun& run) const { return styles[run.style]; }
    QString textOf(const LayoutRun& run) const;
    QRectF rectOf(const LayoutRun& run) const;
};

bool operator==(const LayoutColour& a, const LayoutColour& b);
bool operator==(const LayoutStyle& a, const LayoutStyle& b);
bool operator==(const LayoutRun& a, const LayoutRun& b);
bool operator==(const LayoutLine& a, const LayoutLine& b);
bool operator==(const LayoutImage& a, const LayoutImage& b);
bool operator==(const LayoutRule& a, const LayoutRule& b);
bool operator==(const LayoutBox& a, const LayoutBox& b);
bool operator==(const ChunkLayout& a, const ChunkLayout& b);

Q_DECLARE_METATYPE(ChunkLayout)

// Registers ChunkLayout as the meta-type "ChunkLayout"; start-up calls it once, before QML
// sees a layout. Any thread; idempotent.
void registerChunkLayoutMetaType();
