#include "ChunkLayout.h"

#include "RelativeCompare.h"

#include <cmath>

LayoutColour LayoutColour::of(const QColor& colour)
{
    LayoutColour result;
    if (colour.isValid()) {
        result.rgba = colour.rgba();
        result.none = false;
    }
    return result;
}

bool operator==(const LayoutColour& a, const LayoutColour& b)
{
    return a.none == b.none && (a.none || a.rgba == b.rgba);
}

bool operator==(const LayoutStyle& a, const LayoutStyle& b)
{
    return a.font == b.font && relativelyEqual(a.ascent, b.ascent) && relativelyEqual(a.descent, b.descent)
        && a.colour == b.colour && a.background == b.background && a.blockBackground == b.blockBackground
        && a.link == b.link && a.underline == b.underline && a.lineThrough == b.lineThrough
        && a.overline == b.overline;
}

bool operator==(const LayoutRun& a, const LayoutRun& b)
{
    return relativelyEqual(a.x, b.x) && relativelyEqual(a.width, b.width)
        && relativelyEqual(a.baseline, b.baseline) && a.style == b.style && a.textStart == b.textStart
        && a.textLength == b.textLength && a.hyphen == b.hyphen && a.rightToLeft == b.rightToLeft;
}

bool operator==(const LayoutLine& a, const LayoutLine& b)
{
    return relativelyEqual(a.x, b.x) && relativelyEqual(a.y, b.y) && relativelyEqual(a.width, b.width)
        && relativelyEqual(a.height, b.height) && relativelyEqual(a.baseline, b.baseline)
        && relativelyEqual(a.letterSpacing, b.letterSpacing) && a.runs == b.runs;
}

bool operator==(const LayoutImage& a, const LayoutImage& b)
{
    return a.source == b.source && relativelyEqual(a.rect, b.rect) && relativelyEqual(a.invert, b.invert);
}

bool operator==(const LayoutRule& a, const LayoutRule& b)
{
    return relativelyEqual(a.rect, b.rect) && a.colour == b.colour;
}

bool operator==(const LayoutBox& a, const LayoutBox& b)
{
    return relativelyEqual(a.rect, b.rect) && a.background == b.background
        && a.borderColour == b.borderColour && relativelyEqual(a.left, b.left)
        && relativelyEqual(a.top, b.top) && relativelyEqual(a.bottom, b.bottom)
        && relativelyEqual(a.right, b.right);
}

bool operator==(const ChunkLayout& a, const ChunkLayout& b)
{
    return a.lines == b.lines && a.styles == b.styles && a.text == b.text && a.images == b.images && a.rules == b.rules && a.boxes == b.boxes
        && relativelyEqual(a.height, b.height) && relativelyEqual(a.width, b.width);
}

bool spacesLetters(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool separate = (u < 0x0300 || (u >= 0x0370 && u < 0x0483) || (u >= 0x048A && u < 0x0591)
                               || (u >= 0x2000 && u < 0x2070));
        const bool joiningDash = u >= 0x2012 && u <= 0x2015; // a run of dashes draws one rule
        if (!separate || joiningDash)
            return false;
    }
    return true;
}

QString ChunkLayout::textOf(const LayoutRun& run) const
{
    QString drawn = text.mid(run.textStart, run.textLength);
    if (run.hyphen)
        drawn += u'-';
    return drawn;
}

QRectF ChunkLayout::rectOf(const LayoutRun& run) const
{
    const LayoutStyle& style = styleOf(run);
    return QRectF(run.x, run.baseline - style.ascent, run.width, style.ascent + style.descent);
}

double ChunkLayout::nextTileEdge(double top, double maxTileHeight)
{
    // top + maxTileHeight is rounded to the nearest double, which may lie just beyond the limit
    // (4096 + 9e-13 below a top of 16194.3): step down to the largest edge that keeps the tile
    // within it, as the painter measures it.
    double edge = top + maxTileHeight;
    while (edge - top > maxTileHeight)
        edge = std::nextafter(edge, top);
    return edge;
}

QList<double> ChunkLayout::tileEdges(double maxTileHeight) const
{
    QList<double> edges;
    if (!(maxTileHeight > 0))
        return edges;
    double tileTop = 0;
    auto cutInside = [&](double until) {
        while (until - tileTop > maxTileHeight) {
            tileTop = nextTileEdge(tileTop, maxTileHeight);
            edges.append(tileTop);
        }
    };
    for (const LayoutLine& line : lines) {
        const double bottom = line.y + line.height;
        if (bottom - tileTop <= maxTileHeight)
            continue;
        cutInside(line.y); // a gap taller than a tile (a huge margin) before this line
        if (line.y > tileTop) {
            tileTop = line.y;
            edges.append(tileTop);
        }
        cutInside(bottom);
    }
    cutInside(height);
    while (!edges.isEmpty() && edges.last() >= height)
        edges.removeLast();
    return edges;
}

void registerChunkLayoutMetaType()
{
    qRegisterMetaType<ChunkLayout>("ChunkLayout");
}
