#include "ChunkLayouter.h"

#include "BidiLevels.h"
#include "OverlongWords.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using KnuthPlass::Item;

// The line breaker's settings, the same for every paragraph.
// A first pass takes only lines whose spaces grow at most twice their stretch: well-set lines,
// which nearly every paragraph has.
constexpr double kTolerance = 2;
// A paragraph with no such set (a narrow column, long words) is set looser before an overfull
// line is allowed.
constexpr double kFallbackTolerance = 10;
// Every line costs this much before its badness, so that of two equally even sets the one with
// fewer lines wins.
constexpr double kLinePenalty = 10;
// Hyphens ending two lines in a row catch the eye: such a pair costs extra.
constexpr double kFlaggedDemerit = 100;
// A tight line beside a loose one shows as a change of colour: such a pair costs extra.
constexpr double kFitnessDemerit = 100;
// Spaces grow to twice their width (ratio 2, the first pass's tolerance) before the letters of a
// loose line take a share of its slack, each at most a twentieth of an em: tracking readers do
// not notice, where spaces three times as wide show as holes.
constexpr double kSpaceRatioCap = 2;
constexpr double kMaxLetterSpacing = 0.05;
const KnuthPlass::Params kBreakParams{kTolerance, kFallbackTolerance, kLinePenalty, kFlaggedDemerit,
                                      kFitnessDemerit};

bool draws(const BoxStyle& box)
{
    return (box.background.isValid() && box.background.alpha() > 0) || box.borderTop > 0
        || box.borderBottom > 0 || box.borderLeft > 0 || box.borderRight > 0;
}

bool decorated(const PreparedStyle& style)
{
    return style.underline || style.lineThrough || style.overline
        || (style.background.isValid() && style.background.alpha() > 0);
}

} // namespace

ChunkLayouter::ChunkLayouter(const PreparedChunk& chunk, const ITextMeasurer& measurer,
                             const LayoutParams& params, const LineBreakObserver& observer)
    : m_chunk(chunk)
    , m_measurer(measurer)
    , m_params(params)
    , m_observer(observer)
    , m_width(std::max(params.width, 1.0))
    , m_lineSpacing(params.lineHeight > 0 ? params.lineHeight : 1.0)
    , m_right(m_width)
{
}

ChunkLayout ChunkLayouter::layout()
{
    m_result.width = m_params.width;
    m_pendingMargin = m_chunk.leadingMargin;
    m_result.text = m_chunk.text;
    for (const PreparedBlock& block : m_chunk.blocks) {
        switch (block.kind) {
        case BlockItem::ContainerStart:
            openBox(block);
            break;
        case BlockItem::ContainerEnd:
            closeBox(&block);
            break;
        case BlockItem::Paragraph:
            placeParagraph(block.paragraph);
            break;
        case BlockItem::Rule:
            placeRule(block);
            break;
        default:
            break;
        }
    }
    // Containers still open continue in the next chunk: they reach this chunk's bottom.
    while (!m_openBoxes.isEmpty())
        closeBox(nullptr);
    m_result.height = m_y;
    m_result.lines.squeeze();
    return std::move(m_result);
}

void ChunkLayouter::openBox(const PreparedBlock& block)
{
    const BoxStyle& box = block.box;
    OpenBox open;
    open.outerLeft = m_left;
    open.outerRight = m_right;
    open.background = box.background;

    const double boxLeft = m_left + box.marginLeft;
    const double boxRight = m_right - box.marginRight;
    if (draws(box)) {
        open.record = int(m_result.boxes.size());
        LayoutBox record;
        record.rect = QRectF(boxLeft, m_y, boxRight - boxLeft, 0);
        record.background = box.background;
        record.borderColour = box.borderColour;
        record.left = box.borderLeft;
        record.top = box.borderTop;
        record.right = box.borderRight;
        m_result.boxes.append(record);
    }

    double innerLeft = boxLeft + box.borderLeft + box.paddingLeft;
    double innerRight = boxRight - box.borderRight - box.paddingRight;
    // Deep nesting in a narrow column must still leave room for a few letters.
    const double minimum = std::min(m_width, 4.0 * std::max(1, m_params.fontSize));
    if (innerRight - innerLeft < minimum) {
        innerLeft = std::clamp(innerLeft, 0.0, m_width - minimum);
        innerRight = innerLeft + minimum;
    }
    m_left = innerLeft;
    m_right = innerRight;

    if (block.reopened) {
        // The upper half of this box ended the previous chunk; this half starts at the top.
        open.topFixed = true;
        m_openBoxes.append(open);
        return;
    }
    m_openBoxes.append(open);
    meetMargins(BlockMargins::of(block.kind, box));
}

void ChunkLayouter::closeBox(const PreparedBlock* end)
{
    if (m_openBoxes.isEmpty())
        return; // an end without its start draws nothing
    // A box still open at the chunk's end has no bottom edge or margin here.
    if (end)
        meetMargins(BlockMargins::of(end->kind, end->box));
    const OpenBox open = m_openBoxes.takeLast();
    if (open.record >= 0) {
        LayoutBox& record = m_result.boxes[open.record];
        if (!open.topFixed)
            record.rect.moveTop(m_y); // nothing inside: an empty box where it closes
        record.rect.setBottom(m_y);
        record.bottom = end ? end->box.borderBottom : 0;
    }
    m_left = open.outerLeft;
    m_right = open.outerRight;
}

void ChunkLayouter::placeParagraph(const PreparedParagraph& prepared)
{
    flushMargins();
    m_blockBackground = innermostBackground();
    const double available = std::max(m_right - m_left, 1.0);
    // Unpacked for the breaker; a word wider than the column is broken, and an image wider than
    // the column narrowed, in this copy only.
    QList<Item> items = prepared.items.unpacked();
    PreparedParagraph brokenWords;
    if (prepared.widestWord > available)
        brokenWords = OverlongWords::broken(m_chunk, m_measurer, prepared, available, items);
    const PreparedParagraph& paragraph = prepared.widestWord > available ? brokenWords : prepared;
    for (qsizetype k = 0; k < items.size(); ++k) {
        const Item& item = items.at(k);
        if (item.type == KnuthPlass::Box && item.runIndex >= 0 && item.width > available
            && paragraph.runs[item.runIndex].kind == PreparedRun::Kind::Image)
            items[k].width = available;
    }
    const QList<KnuthPlass::Line> lines = KnuthPlass::breakLines(items, available, kBreakParams);
    if (m_observer)
        m_observer(paragraph, items, available, lines);
    for (const KnuthPlass::Line& line : lines)
        placeLine(paragraph, items, line, available);
}

void ChunkLayouter::placeLine(const PreparedParagraph& paragraph, const QList<Item>& items,
                              const KnuthPlass::Line& breakLine, double available)
{
    // Ratio: how far the line's glue stretches or shrinks.
    PlacedLine placed{paragraph, items, breakLine, lineRatio(paragraph, items, breakLine)};
    spreadIntoLetters(placed);
    // Extent: the width the items take and the height above and below the baseline.
    const LineExtent extent = lineExtent(placed);
    // Alignment: where the line starts in the column.
    LayoutLine& line = placed.line;
    line.x = m_left + alignOffset(paragraph, available, extent.natural);
    line.y = m_y;
    line.width = extent.natural;
    line.height = extent.above + extent.below;
    line.baseline = m_y + extent.above;
    line.letterSpacing = placed.letterSpacing;
    // Visual order and runs: the pieces left to right, each word one run.
    placed.x = line.x;
    // Room for a run per item and the hyphen at once, rather than growing run by run; the list
    // is squeezed to what the line holds when it is done.
    line.runs.reserve(breakLine.end - breakLine.start + 1);
    placePieces(placed);
    line.runs.squeeze();
    m_result.lines.append(line);
    m_y += line.height;
}

double ChunkLayouter::lineRatio(const PreparedParagraph& paragraph, const QList<Item>& items,
                                const KnuthPlass::Line& breakLine)
{
    const Item& endItem = items[breakLine.end];
    const bool forcedEnd = endItem.type == KnuthPlass::Penalty && endItem.penalty <= -KnuthPlass::kInfinity;
    const bool justify = paragraph.align == TextAlign::Justify && !paragraph.preformatted && !forcedEnd;
    // A justified line fills the column whatever its ratio: when no set of breaks keeps every
    // line within the first tolerance (a long word with no break point in it, moving between
    // lines of narrow spaces), an underfull line is stretched, as TeX sets one, rather than left
    // short, which would read as the end of a paragraph.
    double ratio = breakLine.ratio;
    if (ratio < 0)
        ratio = std::max(ratio, -1.0);
    else if (!justify)
        ratio = 0;
    return ratio;
}

void ChunkLayouter::spreadIntoLetters(PlacedLine& placed) const
{
    if (placed.ratio <= kSpaceRatioCap || placed.ratio >= KnuthPlass::kInfinity)
        return; // well set, or nothing to stretch at all
    double stretch = 0;
    int letters = 0;
    const int start = placed.breakLine.start;
    placed.spaced.resize(std::max(placed.breakLine.end - start, 0));
    for (int k = start; k < placed.breakLine.end; ++k) {
        const Item& item = placed.items[k];
        bool spaced = false;
        if (item.type == KnuthPlass::Glue) {
            stretch += item.stretch;
        } else if (item.type == KnuthPlass::Box && item.runIndex >= 0) {
            const PreparedRun& run = placed.paragraph.runs[item.runIndex];
            spaced = run.kind == PreparedRun::Kind::Text && spacesLetters(textOf(m_chunk, run));
            if (spaced)
                letters += run.textLength;
        }
        placed.spaced[k - start] = spaced;
    }
    if (letters == 0 || stretch <= 0)
        return;
    const double em = m_chunk.styles[placed.paragraph.baseStyle].request.pixelSize;
    const double excess = (placed.ratio - kSpaceRatioCap) * stretch;
    placed.letterSpacing = std::min(excess / letters, kMaxLetterSpacing * em);
    placed.ratio -= placed.letterSpacing * letters / stretch;
}

ChunkLayouter::LineExtent ChunkLayouter::lineExtent(const PlacedLine& placed) const
{
    // The strut of the paragraph's own font, grown by what the line holds.
    const PreparedParagraph& paragraph = placed.paragraph;
    const PreparedStyle& base = m_chunk.styles[paragraph.baseStyle];
    const double strutHeight = paragraph.lineHeight > 0 ? paragraph.lineHeight
                                                        : m_lineSpacing * base.metrics.lineSpacing;
    const double halfLeading = (strutHeight - base.metrics.ascent - base.metrics.descent) / 2;
    const double tightening = std::min(halfLeading, 0.0); // tight spacing tightens every run
    const double none = -std::numeric_limits<double>::infinity();
    double textAbove = none, textBelow = none, imageAbove = none, imageBelow = none;
    bool hasText = false, hasImage = false;
    LineExtent extent;
    for (int k = placed.breakLine.start; k < placed.breakLine.end; ++k) {
        const Item& item = placed.items[k];
        if (item.type == KnuthPlass::Glue) {
            extent.natural += placed.glueWidth(item);
            continue;
        }
        if (item.type != KnuthPlass::Box)
            continue;
        extent.natural += item.width;
        if (item.runIndex < 0)
            continue;
        const PreparedRun& run = paragraph.runs[item.runIndex];
        if (run.kind == PreparedRun::Kind::Text && placed.letterSpacing > 0)
            extent.natural += placed.spacingAt(k, run.textLength);
        const PreparedStyle& style = m_chunk.styles[run.style];
        if (run.kind == PreparedRun::Kind::Image) {
            hasImage = true;
            const double height = imageHeight(run, paragraph.items[k], item);
            imageAbove = std::max(imageAbove, height + style.baselineShift);
            imageBelow = std::max(imageBelow, -style.baselineShift);
        } else {
            hasText = true;
            textAbove = std::max(textAbove, style.metrics.ascent + style.baselineShift + tightening);
            textBelow = std::max(textBelow, style.metrics.descent - style.baselineShift + tightening);
        }
    }
    const Item& endItem = placed.items[placed.breakLine.end];
    if (endItem.type == KnuthPlass::Penalty)
        extent.natural += endItem.width + hyphenSpacing(placed, endItem);
    extent.above = std::max(textAbove, imageAbove);
    extent.below = std::max(textBelow, imageBelow);
    if (hasText || !hasImage) {
        extent.above = std::max(extent.above, base.metrics.ascent + halfLeading);
        extent.below = std::max(extent.below, base.metrics.descent + halfLeading);
    } else {
        extent.below = std::max(extent.below, 0.0);
    }
    return extent;
}

double ChunkLayouter::alignOffset(const PreparedParagraph& paragraph, double available, double natural)
{
    const TextAlign align = placedAlign(paragraph);
    if (align == TextAlign::Center)
        return std::max((available - natural) / 2, 0.0);
    if (align == TextAlign::Right)
        return std::max(available - natural, 0.0);
    return 0;
}

void ChunkLayouter::placePieces(PlacedLine& placed)
{
    // The items, then the hyphen a hyphenated line ends with (at the end item's index).
    const PreparedParagraph& paragraph = placed.paragraph;
    const KnuthPlass::Line& breakLine = placed.breakLine;
    const int last = breakLine.hyphenated ? breakLine.end : breakLine.end - 1;
    if (paragraph.levels.isEmpty()) {
        for (int k = breakLine.start; k <= last; ++k)
            placePiece(placed, k, false);
        return;
    }
    const int count = std::max(last - breakLine.start + 1, 0);
    QVarLengthArray<quint8, 64> levels(count);
    QVarLengthArray<int, 64> order(count);
    for (int i = 0; i < count; ++i)
        levels[i] = paragraph.levels[breakLine.start + i];
    // Spaces that end a line take the paragraph's level (rule L1).
    const quint8 own = paragraph.rightToLeft ? 1 : 0;
    for (int i = count - 1; i >= 0 && breakLine.start + i < breakLine.end
         && placed.items[breakLine.start + i].type != KnuthPlass::Box; --i)
        levels[i] = own;
    BidiLevels::visualOrder(levels.data(), count, order.data());
    for (int i = 0; i < count; ++i)
        placePiece(placed, breakLine.start + order[i], (levels[order[i]] & 1) != 0);
}

void ChunkLayouter::placePiece(PlacedLine& placed, int k, bool reversed)
{
    const PreparedParagraph& paragraph = placed.paragraph;
    if (k == placed.breakLine.end) {
        const Item& endItem = placed.items[k];
        const int style = endItem.runIndex >= 0 ? paragraph.runs[endItem.runIndex].style
                                                : paragraph.baseStyle;
        addHyphen(placed, style, reversed, endItem.width + hyphenSpacing(placed, endItem));
        return;
    }
    const Item& item = placed.items[k];
    if (item.type == KnuthPlass::Glue) {
        const double w = placed.glueWidth(item);
        if (item.runIndex >= 0) {
            const int style = paragraph.runs[item.runIndex].style;
            if (decorated(m_chunk.styles[style]))
                placed.line.runs.append(makeRun(style, placed.x, placed.line.baseline, PreparedRun{}, w));
        }
        placed.advance(w);
        return;
    }
    if (item.type != KnuthPlass::Box)
        return;
    if (item.runIndex < 0) {
        placed.advance(item.width);
        return;
    }
    const PreparedRun& run = paragraph.runs[item.runIndex];
    if (run.kind == PreparedRun::Kind::Image) {
        const double height = imageHeight(run, paragraph.items[k], item);
        const double bottom = placed.line.baseline - m_chunk.styles[run.style].baselineShift;
        m_result.images.append({textOf(m_chunk, run).toString(), QRectF(placed.x, bottom - height, item.width, height),
                              paragraph.inverts.value(item.runIndex)});
        placed.advance(item.width);
        return;
    }
    const double width = placed.letterSpacing > 0 ? item.width + placed.spacingAt(k, run.textLength) : item.width;
    addText(placed, run.style, reversed, run, width, placed.spacedAt(k));
}

double ChunkLayouter::hyphenSpacing(const PlacedLine& placed, const Item& endItem) const
{
    // The hyphen is drawn with the word it ends and spaced like it.
    if (!placed.breakLine.hyphenated || endItem.runIndex < 0)
        return 0;
    return placed.spacingOf(m_chunk, placed.paragraph.runs[endItem.runIndex], 1);
}

void ChunkLayouter::addText(PlacedLine& placed, int style, bool reversed, const PreparedRun& piece,
                            double width, bool spaced)
{
    // A text piece extends the open run when it is the next stretch of the chunk's text in the
    // run's reading direction: left to right on the page, a right-to-left word's later piece
    // comes first.
    LayoutLine& line = placed.line;
    // The painter spaces a run's letters only when all of its text takes spacing (spaced).
    if (placed.openRun >= 0 && placed.openStyle == style && placed.openReversed == reversed
        && placed.openSpaced == spaced && extends(line.runs[placed.openRun], piece, reversed)) {
        LayoutRun& extended = line.runs[placed.openRun];
        if (reversed)
            extended.textStart = piece.textStart;
        extended.textLength += piece.textLength;
        extended.width += width;
    } else {
        line.runs.append(makeRun(style, placed.x, line.baseline, piece, width));
        line.runs.last().rightToLeft = reversed;
        placed.openRun = int(line.runs.size()) - 1;
        placed.openStyle = style;
        placed.openReversed = reversed;
        placed.openSpaced = spaced;
    }
    placed.x += width;
}

void ChunkLayouter::addHyphen(PlacedLine& placed, int style, bool reversed, double width)
{
    LayoutLine& line = placed.line;
    if (placed.openRun >= 0 && placed.openStyle == style && placed.openReversed == reversed) {
        LayoutRun& extended = line.runs[placed.openRun];
        extended.hyphen = true;
        extended.width += width;
    } else {
        LayoutRun hyphen = makeRun(style, placed.x, line.baseline, PreparedRun{}, width);
        hyphen.hyphen = true;
        hyphen.rightToLeft = reversed;
        line.runs.append(hyphen);
        placed.openRun = -1;
    }
    placed.x += width;
}

void ChunkLayouter::placeRule(const PreparedBlock& block)
{
    flushMargins();
    const double available = std::max(m_right - m_left, 1.0);
    const double height = m_lineSpacing * m_chunk.readerMetrics.lineSpacing;
    const double thickness = std::max(1.0, std::round(std::max(1, m_params.fontSize) / double(kBookFontSize)));
    m_result.rules.append({QRectF(m_left, m_y + (height - thickness) / 2, available, thickness), block.ruleColour});
    LayoutLine line;
    line.x = m_left;
    line.y = m_y;
    line.width = available;
    line.height = height;
    line.baseline = m_y + height / 2;
    m_result.lines.append(line);
    m_y += height;
}

void ChunkLayouter::meetMargins(const BlockMargins& margins)
{
    m_pendingMargin.add(margins.before);
    if (margins.ends) {
        flushMargins();
        m_y += margins.edge;
    }
    m_pendingMargin.add(margins.after);
}

void ChunkLayouter::flushMargins()
{
    m_y += m_pendingMargin.total();
    m_pendingMargin = CollapsingMargin();
    // Boxes whose top margin was still collapsing start where the content does.
    for (OpenBox& open : m_openBoxes) {
        if (open.topFixed)
            continue;
        open.topFixed = true;
        if (open.record >= 0)
            m_result.boxes[open.record].rect.moveTop(m_y);
    }
}

TextAlign ChunkLayouter::placedAlign(const PreparedParagraph& paragraph)
{
    const bool rtl = paragraph.rightToLeft;
    switch (paragraph.align) {
    case TextAlign::Center:
        return TextAlign::Center;
    case TextAlign::Left:
    case TextAlign::Right:
        return paragraph.align;
    default: // the lines of a justified paragraph that do not fill the column
        return rtl ? TextAlign::Right : TextAlign::Left;
    }
}

QColor ChunkLayouter::innermostBackground() const
{
    for (qsizetype i = m_openBoxes.size() - 1; i >= 0; --i) {
        const QColor& background = m_openBoxes[i].background;
        if (background.isValid() && background.alpha() > 0)
            return background;
    }
    return {};
}

LayoutRun ChunkLayouter::makeRun(int styleIndex, double x, double lineBaseline, const PreparedRun& text,
                                 double width)
{
    const PreparedStyle& style = m_chunk.styles[styleIndex];
    LayoutRun run;
    run.baseline = lineBaseline - style.baselineShift;
    run.x = x;
    run.width = width;
    run.style = layoutStyle(styleIndex);
    run.textStart = text.textStart;
    run.textLength = text.textLength;
    return run;
}

double ChunkLayouter::imageHeight(const PreparedRun& image, const Item& prepared, const Item& placed)
{
    // An image narrowed to the column keeps its aspect.
    return prepared.width > 0 ? image.height * placed.width / prepared.width : image.height;
}

bool ChunkLayouter::extends(const LayoutRun& run, const PreparedRun& piece, bool reversed)
{
    // The pieces of a word lie next to each other in the chunk's text; a run covers one stretch.
    if (run.hyphen)
        return false;
    return reversed ? piece.textStart + piece.textLength == run.textStart
                    : run.textStart + run.textLength == piece.textStart;
}

int ChunkLayouter::layoutStyle(int styleIndex)
{
    const LayoutColour block = LayoutColour::of(m_blockBackground);
    // One entry per prepared style and box background met together.
    const quint64 key = (quint64(styleIndex) << 33) | (quint64(block.none) << 32) | block.rgba;
    if (m_lastStyle >= 0 && key == m_lastStyleKey)
        return m_lastStyle;
    m_lastStyleKey = key;
    const auto found = m_layoutStyles.constFind(key);
    if (found != m_layoutStyles.constEnd())
        return m_lastStyle = found.value();
    const PreparedStyle& prepared = m_chunk.styles[styleIndex];
    LayoutStyle style;
    style.font = prepared.font;
    style.ascent = prepared.metrics.ascent;
    style.descent = prepared.metrics.descent;
    style.colour = LayoutColour::of(prepared.colour);
    style.background = LayoutColour::of(prepared.background);
    style.blockBackground = block;
    style.link = prepared.link;
    style.underline = prepared.underline;
    style.lineThrough = prepared.lineThrough;
    style.overline = prepared.overline;
    m_result.styles.append(style);
    const int index = int(m_result.styles.size()) - 1;
    m_layoutStyles.insert(key, index);
    return m_lastStyle = index;
}
