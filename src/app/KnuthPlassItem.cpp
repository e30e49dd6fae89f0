#include "KnuthPlassItem.h"

#include "BandPaintedItem.h"
#include "IBookImageResolver.h"
#include "ImageBacking.h"
#include "RelativeCompare.h"

#include <QFontInfo>
#include <QPainter>
#include <QQuickWindow>

#include <algorithm>
#include <cmath>

IBookImageResolver* KnuthPlassItem::s_imageResolver = nullptr;

namespace {

bool paints(const QColor& colour)
{
    return colour.isValid() && colour.alpha() > 0;
}

// Sizes count as changed by the relative rule; against 0 only a difference above 1e-12 counts.
bool sizeEqual(double a, double b)
{
    if (a == 0 || b == 0)
        return std::abs(a - b) <= 1e-12;
    return relativelyEqual(a, b);
}

// No chunk a reading setting can make comes near these (the layout holds its column to 20,000
// pixels and its lines to a few thousand): an item beyond them would ask for band images of
// gigabytes or for millions of bands, and paints nothing instead.
constexpr double kMaxPaintedWidth = 32768;
constexpr double kMaxPaintedHeight = 16777216; // 2^24, where float scene coordinates lose whole pixels
// Hinting moves glyph outlines by up to a pixel past the font's ascent and descent.
constexpr double kHintingBleed = 2;

double linearised(double channel)
{
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

} // namespace

KnuthPlassItem::KnuthPlassItem(QQuickItem* parent)
    : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
    setRenderTarget(QQuickPaintedItem::Image);
    // The bands paint; the item itself keeps no texture, however tall it grows.
    setFlag(ItemHasContents, false);
    updateBands();
}

void KnuthPlassItem::setImageResolver(IBookImageResolver* resolver)
{
    s_imageResolver = resolver;
}

void KnuthPlassItem::setLayout(const QVariant& layout)
{
    m_layoutVariant = layout;
    m_layout = layout.canConvert<ChunkLayout>() ? layout.value<ChunkLayout>() : ChunkLayout();
    m_inkTop = 0;
    m_inkBottom = 0;
    for (const LayoutLine& line : std::as_const(m_layout.lines)) {
        for (const LayoutRun& run : line.runs) {
            const QRectF box = m_layout.rectOf(run);
            m_inkTop = std::min(m_inkTop, box.top());
            m_inkBottom = std::max(m_inkBottom, box.bottom());
        }
    }
    setImplicitHeight(m_layout.height);
    updateBands();
    Q_EMIT layoutChanged();
    repaint();
}

void KnuthPlassItem::setColour(QColor& member, const QColor& colour)
{
    if (member == colour)
        return;
    member = colour;
    Q_EMIT colorsChanged();
    repaint();
}

void KnuthPlassItem::setTextColor(const QColor& colour) { setColour(m_textColor, colour); }
void KnuthPlassItem::setLinkColor(const QColor& colour) { setColour(m_linkColor, colour); }
void KnuthPlassItem::setDimColor(const QColor& colour) { setColour(m_dimColor, colour); }
void KnuthPlassItem::setSurfaceColor(const QColor& colour) { setColour(m_surfaceColor, colour); }

void KnuthPlassItem::setUseBookColours(bool enabled)
{
    if (m_useBookColours == enabled)
        return;
    m_useBookColours = enabled;
    Q_EMIT useBookColoursChanged();
    repaint();
}

void KnuthPlassItem::setHorizontalMargin(double margin)
{
    if (relativelyEqual(m_horizontalMargin, margin))
        return;
    m_horizontalMargin = margin;
    Q_EMIT horizontalMarginChanged();
    repaint();
}

double KnuthPlassItem::relativeLuminance(const QColor& colour)
{
    return 0.2126 * linearised(colour.redF()) + 0.7152 * linearised(colour.greenF())
        + 0.0722 * linearised(colour.blueF());
}

double KnuthPlassItem::contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void KnuthPlassItem::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry)
{
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (sizeEqual(newGeometry.width(), oldGeometry.width()) && sizeEqual(newGeometry.height(), oldGeometry.height()))
        return;
    updateBands();
    repaint();
}

QList<QRectF> KnuthPlassItem::bandRects() const
{
    const double itemHeight = std::max(0.0, height());
    if (!(itemHeight <= kMaxPaintedHeight && width() <= kMaxPaintedWidth))
        return {};
    QList<double> tops{0};
    for (double edge : m_layout.tileEdges()) {
        if (edge < itemHeight)
            tops.append(edge);
    }
    // Below the layout (an item taller than its chunk) there are no lines to respect.
    while (itemHeight - tops.last() > ChunkLayout::kMaxTileHeight)
        tops.append(ChunkLayout::nextTileEdge(tops.last()));
    QList<QRectF> rects;
    for (qsizetype i = 0; i < tops.size(); ++i) {
        const double bottom = i + 1 < tops.size() ? tops[i + 1] : itemHeight;
        rects.append(QRectF(0, tops[i], width(), bottom - tops[i]));
    }
    return rects;
}

bool KnuthPlassItem::nearViewport(const QRectF& band) const
{
    if (!(m_viewportHeight > 0))
        return true;
    // One screen above and one below: scrolling by a page finds its bands painted already.
    return band.bottom() >= m_viewportTop - m_viewportHeight && band.top() <= m_viewportTop + 2 * m_viewportHeight;
}

void KnuthPlassItem::updateBands()
{
    const QList<QRectF> rects = bandRects();
    while (m_bands.size() > rects.size())
        delete m_bands.takeLast();
    m_bands.resize(rects.size(), nullptr);
    for (qsizetype i = 0; i < rects.size(); ++i) {
        if (!nearViewport(rects[i])) {
            // Its painted image goes with it.
            delete m_bands[i];
            m_bands[i] = nullptr;
            continue;
        }
        const bool made = !m_bands[i];
        if (made)
            m_bands[i] = new BandPaintedItem(this);
        // The outer bands reach past the item by the glyphs that stand out of their line boxes
        // (a line set tighter than its font), so the chunk's edge cuts none of them.
        QRectF painted = rects[i];
        // Whole pixels, as the item stands on: a texture at a fraction of a pixel is drawn blurred.
        if (i == 0)
            painted.setTop(std::floor(std::min(0.0, m_inkTop) - kHintingBleed));
        if (i + 1 == rects.size())
            painted.setBottom(std::ceil(std::max(painted.bottom(), m_inkBottom) + kHintingBleed));
        if (painted.height() > ChunkLayout::kMaxTileHeight)
            painted = rects[i]; // a full tile has no room to spare
        m_bands[i]->setPosition(painted.topLeft());
        m_bands[i]->setSize(painted.size());
        if (made)
            m_bands[i]->update();
    }
}

int KnuthPlassItem::liveBandCount() const
{
    return int(std::count_if(m_bands.cbegin(), m_bands.cend(), [](const BandPaintedItem* band) { return band; }));
}

void KnuthPlassItem::setViewportTop(double top)
{
    if (relativelyEqual(m_viewportTop, top))
        return;
    m_viewportTop = top;
    updateBands();
    Q_EMIT viewportChanged();
}

void KnuthPlassItem::setViewportHeight(double height)
{
    if (relativelyEqual(m_viewportHeight, height))
        return;
    m_viewportHeight = height;
    updateBands();
    Q_EMIT viewportChanged();
}

void KnuthPlassItem::repaint()
{
    for (BandPaintedItem* band : std::as_const(m_bands)) {
        if (band)
            band->update();
    }
}

QColor KnuthPlassItem::runPenColour(const LayoutStyle& style) const
{
    const QColor themeColour = style.link ? m_linkColor : m_textColor;
    if (!m_useBookColours)
        return themeColour;
    const QColor foreground = style.colour.none ? themeColour : style.colour.toColor();
    QColor backdrop;
    if (style.background.paints())
        backdrop = style.background.toColor();
    else if (style.blockBackground.paints())
        backdrop = style.blockBackground.toColor();
    else
        backdrop = m_surfaceColor.isValid() ? m_surfaceColor : QColor(0x19, 0x1d, 0x35);
    if (contrastRatio(foreground, backdrop) >= 3)
        return foreground;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return contrastRatio(black, backdrop) >= contrastRatio(white, backdrop) ? black : white;
}

// The stretch of the item one paint covers: the painter's clip, or the whole height.
struct KnuthPlassItem::PaintBand {
    double top = 0;
    double bottom = 0;
    bool meets(const QRectF& rect) const { return rect.bottom() >= top && rect.top() <= bottom; }
};

// The pen and font last set on the painter: runs in a row mostly share them, and setting a font
// costs a lookup.
struct KnuthPlassItem::RunPen {
    bool set = false;
    QColor colour;
    QFont font;
    int fontStyle = -1;
    double letterSpacing = 0;
};

namespace {

void paintDecorations(QPainter* painter, const LayoutStyle& style, const QRectF& rect, double baseline,
                      const QFont& font)
{
    if (!style.underline && !style.lineThrough && !style.overline)
        return;
    const double pixelSize = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    const auto rule = [&](double y) { painter->drawLine(QPointF(rect.left(), y), QPointF(rect.right(), y)); };
    if (style.underline)
        rule(baseline + 2);
    if (style.lineThrough)
        rule(baseline - 0.35 * pixelSize);
    if (style.overline)
        rule(baseline - 0.85 * pixelSize);
}

} // namespace

void KnuthPlassItem::paint(QPainter* painter)
{
    if (!painter)
        return;
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);

    PaintBand band{0, height()};
    const QRectF clip = painter->clipBoundingRect();
    if (clip.width() > 0 && clip.height() > 0)
        band = PaintBand{clip.top(), clip.bottom()};

    painter->save();
    painter->translate(m_horizontalMargin, 0);
    // Back to front: box grounds and borders, rules, the text with its lines, then the pictures.
    paintBoxes(painter, band);
    paintRules(painter, band);
    paintRuns(painter, band);
    paintImages(painter, band);
    painter->restore();
}

void KnuthPlassItem::paintBoxes(QPainter* painter, const PaintBand& band) const
{
    for (const LayoutBox& box : std::as_const(m_layout.boxes)) {
        if (!band.meets(box.rect))
            continue;
        const QRectF& r = box.rect;
        if (m_useBookColours) {
            if (paints(box.background))
                painter->fillRect(r, box.background);
            const QColor border = box.borderColour.isValid() ? box.borderColour : m_dimColor;
            if (box.left > 0)
                painter->fillRect(QRectF(r.x(), r.y(), box.left, r.height()), border);
            if (box.top > 0)
                painter->fillRect(QRectF(r.x(), r.y(), r.width(), box.top), border);
            if (box.bottom > 0)
                painter->fillRect(QRectF(r.x(), r.y() + r.height() - box.bottom, r.width(), box.bottom), border);
            if (box.right > 0)
                painter->fillRect(QRectF(r.x() + r.width() - box.right, r.y(), box.right, r.height()), border);
        } else if (box.left > 0 && box.top == 0 && box.bottom == 0 && box.right == 0 && !box.borderColour.isValid()) {
            // A plain side bar (a quotation's rule) is structure, not the book's styling.
            painter->fillRect(QRectF(r.x(), r.y(), box.left, r.height()), m_dimColor);
        }
    }
}

void KnuthPlassItem::paintRules(QPainter* painter, const PaintBand& band) const
{
    for (const LayoutRule& rule : std::as_const(m_layout.rules)) {
        if (band.meets(rule.rect))
            painter->fillRect(rule.rect, m_useBookColours && rule.colour.isValid() ? rule.colour : m_dimColor);
    }
}

void KnuthPlassItem::paintRuns(QPainter* painter, const PaintBand& band) const
{
    const auto firstLine = std::partition_point(m_layout.lines.cbegin(), m_layout.lines.cend(),
        [&](const LayoutLine& line) { return line.y + line.height < band.top; });
    const Qt::LayoutDirection pageDirection = painter->layoutDirection();
    RunPen pen;
    for (auto line = firstLine; line != m_layout.lines.cend() && line->y <= band.bottom; ++line) {
        for (const LayoutRun& run : line->runs) {
            if (run.style >= 0 && run.style < m_layout.styles.size()) // else not a run of this layout
                paintRun(painter, run, line->letterSpacing, pen);
        }
    }
    painter->setLayoutDirection(pageDirection);
}

void KnuthPlassItem::paintRun(QPainter* painter, const LayoutRun& run, double lineLetterSpacing, RunPen& pen) const
{
    const LayoutStyle& style = m_layout.styleOf(run);
    const QRectF rect = m_layout.rectOf(run);
    if (m_useBookColours && style.background.paints())
        painter->fillRect(rect, style.background.toColor());
    const QColor colour = runPenColour(style);
    if (!pen.set || colour != pen.colour) {
        pen.colour = colour;
        painter->setPen(pen.colour);
    }
    // The layout gave the run's letters the line's spacing when its text takes it.
    const double letterSpacing =
        lineLetterSpacing > 0 && run.hasText() && spacesLetters(m_layout.textOf(run)) ? lineLetterSpacing : 0;
    if (!pen.set || letterSpacing != pen.letterSpacing || (run.style != pen.fontStyle && style.font != pen.font)) {
        pen.font = style.font;
        if (letterSpacing > 0)
            pen.font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
        painter->setFont(pen.font);
    }
    pen.fontStyle = run.style;
    pen.letterSpacing = letterSpacing;
    pen.set = true;
    if (run.hasText()) {
        // The painter's direction is the base direction Qt sets the run's characters in.
        const Qt::LayoutDirection direction = run.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight;
        if (painter->layoutDirection() != direction)
            painter->setLayoutDirection(direction);
        painter->drawText(QPointF(run.x, run.baseline), m_layout.textOf(run));
    }
    paintDecorations(painter, style, rect, run.baseline, pen.font);
}

void KnuthPlassItem::paintImages(QPainter* painter, const PaintBand& band) const
{
    // Decoded no larger than drawn: a full-size page scaled down on every paint would be held whole.
    const qreal pixelRatio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    // On a dark page, dark ink on a transparent ground stands on the light of the text colour.
    const bool lightInkOnDarkPage = relativeLuminance(m_textColor) > relativeLuminance(m_surfaceColor);
    for (const LayoutImage& image : std::as_const(m_layout.images)) {
        if (!band.meets(image.rect))
            continue;
        const QSize shown = (image.rect.size() * pixelRatio).toSize().expandedTo(QSize(1, 1));
        QImage decoded = s_imageResolver ? s_imageResolver->resolveImageAt(image.source, shown) : QImage();
        if (image.invert > 0 && !decoded.isNull())
            decoded = ImageBacking::inverted(decoded, image.invert);
        if (decoded.isNull()) {
            painter->setPen(m_dimColor);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(image.rect);
        } else {
            if (lightInkOnDarkPage && ImageBacking::isDarkOnTransparent(decoded))
                painter->fillRect(image.rect, m_textColor);
            painter->drawImage(image.rect, decoded);
        }
    }
}
