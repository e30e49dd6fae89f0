#include "ChunkLayouter.h"

#include "BidiLevels.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using KnuthPlass::Item;

const KnuthPlass::Params BreakParams{2, 10, 10, 100, 100};

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

ChunkLayouter::ChunkLayouter(const PreparedChunk& chunk, const LayoutParams& params,
                             const LineBreakObserver& observer)
    : chunk(chunk)
    , params(params)
    , observer(observer)
    , width(std::max(params.width, 1.0))
    , lineSpacing(params.lineHeight > 0 ? params.lineHeight : 1.0)
    , right(width)
{
}

ChunkLayout ChunkLayouter::layout()
{
    result.width = params.width;
    pendingMargin = chunk.leadingMargin;
    result.text = chunk.text;
    for (const PreparedBlock& block : chunk.blocks) {
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
    while (!openBoxes.isEmpty())
        closeBox(nullptr);
    result.height = y;
    result.lines.squeeze();
    return std::move(result);
}

void ChunkLayouter::openBox(const PreparedBlock& block)
{
    const BoxStyle& box = block.box;
    OpenBox open;
    open.outerLeft = left;
    open.outerRight = right;
    open.background = box.background;

    const double boxLeft = left + box.marginLeft;
    const double boxRight = right - box.marginRight;
    if (draws(box)) {
        open.record = int(result.boxes.size());
        LayoutBox record;
        record.rect = QRectF(boxLeft, y, boxRight - boxLeft, 0);
        record.background = box.background;
        record.borderColour = box.borderColour;
        record.left = box.borderLeft;
        record.top = box.borderTop;
        record.right = box.borderRight;
        result.boxes.append(record);
    }

    double innerLeft = boxLeft + box.borderLeft + box.paddingLeft;
    double innerRight = boxRight - box.borderRight - box.paddingRight;
    // Deep nesting in a narrow column must still leave room for a few letters.
    const double minimum = std::min(width, 4.0 * std::max(1, params.fontSize));
    if (innerRight - innerLeft < minimum) {
        innerLeft = std::clamp(innerLeft, 0.0, width - minimum);
        innerRight = innerLeft + minimum;
    }
    left = innerLeft;
    right = innerRight;

    if (block.reopened) {
        // The upper half of this box ended the previous chunk; this half starts at the top.
        open.topFixed = true;
        openBoxes.append(open);
        return;
    }
    openBoxes.append(open);
    addMargin(box.marginTop);
    if (box.borderTop + box.paddingTop > 0) {
        flushMargins();
        y += box.borderTop + box.paddingTop;
    }
}

void ChunkLayouter::closeBox(const PreparedBlock* end)
{
    if (openBoxes.isEmpty())
        return; // an end without its start draws nothing
    const double bottomEdge = end ? end->box.borderBottom + end->box.paddingBottom : 0;
    if (bottomEdge > 0) {
        flushMargins();
        y += bottomEdge;
    }
    const OpenBox open = openBoxes.takeLast();
    if (open.record >= 0) {
        LayoutBox& record = result.boxes[open.record];
        if (!open.topFixed)
            record.rect.moveTop(y); // nothing inside: an empty box where it closes
        record.rect.setBottom(y);
        record.bottom = end ? end->box.borderBottom : 0;
    }
    left = open.outerLeft;
    right = open.outerRight;
    if (end)
        addMargin(end->box.marginBottom);
}

void ChunkLayouter::placeParagraph(const PreparedParagraph& paragraph)
{
    flushMargins();
    blockBackground = innermostBackground();
    const double available = std::max(right - left, 1.0);
    QList<Item> items = paragraph.items; // shared until an image must be scaled
    for (qsizetype k = 0; k < items.size(); ++k) {
        const Item& item = items.at(k);
        if (item.type == KnuthPlass::Box && item.runIndex >= 0 && item.width > available
            && paragraph.runs[item.runIndex].kind == PreparedRun::Image)
            items[k].width = available;
    }
    const QList<KnuthPlass::Line> lines = KnuthPlass::breakLines(items, available, BreakParams);
    if (observer)
        observer(paragraph, items, available, lines);
    for (const KnuthPlass::Line& line : lines)
        placeLine(paragraph, items, line, available);
}

void ChunkLayouter::placeLine(const PreparedParagraph& paragraph, const QList<Item>& items,
                              const KnuthPlass::Line& breakLine, double available)
{
    const Item& endItem = items[breakLine.end];
    const bool forcedEnd = endItem.type == KnuthPlass::Penalty && endItem.penalty <= -KnuthPlass::Infinity;
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
    auto glueWidth = [ratio](const Item& glue) {
        return glue.width + ratio * (ratio < 0 ? glue.shrink : glue.stretch);
    };

    // Vertical extent: the strut of the paragraph's own font, grown by what the line holds.
    const PreparedStyle& base = chunk.styles[paragraph.baseStyle];
    const double strutHeight = paragraph.lineHeight > 0 ? paragraph.lineHeight
                                                        : lineSpacing * base.metrics.lineSpacing;
    const double halfLeading = (strutHeight - base.metrics.ascent - base.metrics.descent) / 2;
    const double tightening = std::min(halfLeading, 0.0); // tight spacing tightens every run
    const double none = -std::numeric_limits<double>::infinity();
    double textAbove = none, textBelow = none, imageAbove = none, imageBelow = none;
    bool hasText = false, hasImage = false;
    double natural = 0;
    for (int k = breakLine.start; k < breakLine.end; ++k) {
        const Item& item = items[k];
        if (item.type == KnuthPlass::Glue) {
            natural += glueWidth(item);
            continue;
        }
        if (item.type != KnuthPlass::Box)
            continue;
        natural += item.width;
        if (item.runIndex < 0)
            continue;
        const PreparedRun& run = paragraph.runs[item.runIndex];
        const PreparedStyle& style = chunk.styles[run.style];
        if (run.kind == PreparedRun::Image) {
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
    if (endItem.type == KnuthPlass::Penalty)
        natural += endItem.width;
    double above = std::max(textAbove, imageAbove);
    double below = std::max(textBelow, imageBelow);
    if (hasText || !hasImage) {
        above = std::max(above, base.metrics.ascent + halfLeading);
        below = std::max(below, base.metrics.descent + halfLeading);
    } else {
        below = std::max(below, 0.0);
    }

    double offset = 0;
    const TextAlign align = placedAlign(paragraph);
    if (align == TextAlign::Center)
        offset = std::max((available - natural) / 2, 0.0);
    else if (align == TextAlign::Right)
        offset = std::max(available - natural, 0.0);

    LayoutLine line;
    line.x = left + offset;
    line.y = y;
    line.width = natural;
    line.height = above + below;
    line.baseline = y + above;

    // The pieces left to right: the items, then the hyphen a hyphenated line ends with (at the
    // end item's index); each piece of a word in the style of the one before extends its run.
    double x = line.x;
    int openRun = -1; // the run the next piece of the same word and style extends
    int openStyle = -1;
    bool openReversed = false;
    // A text piece extends the open run when it is the next stretch of the chunk's text in the
    // run's reading direction: left to right on the page, a right-to-left word's later piece
    // comes first.
    auto addText = [&](int style, bool reversed, const PreparedRun& piece, double width) {
        if (openRun >= 0 && openStyle == style && openReversed == reversed
            && extends(line.runs[openRun], piece, reversed)) {
            LayoutRun& extended = line.runs[openRun];
            if (reversed)
                extended.textStart = piece.textStart;
            extended.textLength += piece.textLength;
            extended.width += width;
        } else {
            line.runs.append(makeRun(style, x, line.baseline, piece, width));
            line.runs.last().rightToLeft = reversed;
            openRun = int(line.runs.size()) - 1;
            openStyle = style;
            openReversed = reversed;
        }
        x += width;
    };
    auto addHyphen = [&](int style, bool reversed, double width) {
        if (openRun >= 0 && openStyle == style && openReversed == reversed) {
            LayoutRun& extended = line.runs[openRun];
            extended.hyphen = true;
            extended.width += width;
        } else {
            LayoutRun hyphen = makeRun(style, x, line.baseline, PreparedRun{}, width);
            hyphen.hyphen = true;
            hyphen.rightToLeft = reversed;
            line.runs.append(hyphen);
            openRun = -1;
        }
        x += width;
    };
    auto placePiece = [&](int k, bool reversed) {
        if (k == breakLine.end) {
            const int style = endItem.runIndex >= 0 ? paragraph.runs[endItem.runIndex].style
                                                    : paragraph.baseStyle;
            addHyphen(style, reversed, endItem.width);
            return;
        }
        const Item& item = items[k];
        if (item.type == KnuthPlass::Glue) {
            const double w = glueWidth(item);
            if (item.runIndex >= 0) {
                const int style = paragraph.runs[item.runIndex].style;
                if (decorated(chunk.styles[style]))
                    line.runs.append(makeRun(style, x, line.baseline, PreparedRun{}, w));
            }
            x += w;
            openRun = -1;
            return;
        }
        if (item.type != KnuthPlass::Box)
            return;
        if (item.runIndex < 0) {
            x += item.width;
            openRun = -1;
            return;
        }
        const PreparedRun& run = paragraph.runs[item.runIndex];
        if (run.kind == PreparedRun::Image) {
            const double height = imageHeight(run, paragraph.items[k], item);
            const double bottom = line.baseline - chunk.styles[run.style].baselineShift;
            result.images.append({textOf(chunk, run).toString(), QRectF(x, bottom - height, item.width, height),
                                  paragraph.inverts.value(item.runIndex)});
            x += item.width;
            openRun = -1;
            return;
        }
        addText(run.style, reversed, run, item.width);
    };
    const int last = breakLine.hyphenated ? breakLine.end : breakLine.end - 1;
    if (paragraph.levels.isEmpty()) {
        for (int k = breakLine.start; k <= last; ++k)
            placePiece(k, false);
    } else {
        const int count = std::max(last - breakLine.start + 1, 0);
        QVarLengthArray<quint8, 64> levels(count);
        QVarLengthArray<int, 64> order(count);
        for (int i = 0; i < count; ++i)
            levels[i] = paragraph.levels[breakLine.start + i];
        // Spaces that end a line take the paragraph's level (rule L1).
        const quint8 own = paragraph.rightToLeft ? 1 : 0;
        for (int i = count - 1; i >= 0 && breakLine.start + i < breakLine.end
             && items[breakLine.start + i].type != KnuthPlass::Box; --i)
            levels[i] = own;
        BidiLevels::visualOrder(levels.data(), count, order.data());
        for (int i = 0; i < count; ++i)
            placePiece(breakLine.start + order[i], (levels[order[i]] & 1) != 0);
    }
    line.runs.squeeze();
    result.lines.append(line);
    y += line.height;
}

void ChunkLayouter::placeRule(const PreparedBlock& block)
{
    flushMargins();
    const double available = std::max(right - left, 1.0);
    const double height = lineSpacing * chunk.readerMetrics.lineSpacing;
    const double thickness = std::max(1.0, std::round(std::max(1, params.fontSize) / 16.0));
    result.rules.append({QRectF(left, y + (height - thickness) / 2, available, thickness), block.ruleColour});
    LayoutLine line;
    line.x = left;
    line.y = y;
    line.width = available;
    line.height = height;
    line.baseline = y + height / 2;
    result.lines.append(line);
    y += height;
}

void ChunkLayouter::addMargin(double margin)
{
    pendingMargin.add(margin);
}

void ChunkLayouter::flushMargins()
{
    y += pendingMargin.total();
    pendingMargin = CollapsingMargin();
    // Boxes whose top margin was still collapsing start where the content does.
    for (OpenBox& open : openBoxes) {
        if (open.topFixed)
            continue;
        open.topFixed = true;
        if (open.record >= 0)
            result.boxes[open.record].rect.moveTop(y);
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
    for (qsizetype i = openBoxes.size() - 1; i >= 0; --i) {
        const QColor& background = openBoxes[i].background;
        if (background.isValid() && background.alpha() > 0)
            return background;
    }
    return {};
}

LayoutRun ChunkLayouter::makeRun(int styleIndex, double x, double lineBaseline, const PreparedRun& text,
                                 double width)
{
    const PreparedStyle& style = chunk.styles[styleIndex];
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
    const LayoutColour block = LayoutColour::of(blockBackground);
    // One entry per prepared style and box background met together.
    const quint64 key = (quint64(styleIndex) << 33) | (quint64(block.none) << 32) | block.rgba;
    const auto found = layoutStyles.constFind(key);
    if (found != layoutStyles.constEnd())
        return found.value();
    const PreparedStyle& prepared = chunk.styles[styleIndex];
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
    result.styles.append(style);
    const int index = int(result.styles.size()) - 1;
    layoutStyles.insert(key, index);
    return index;
}
