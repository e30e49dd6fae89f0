#pragma once

// The QML element that paints one laid-out chunk (a ChunkLayout) of the scrolled text view: box
// decorations, rules, the lines of text and the images, moved right by a horizontal margin, in the
// theme's colours or in the book's own.
//
// The item's area is covered by bands (BandPaintedItem children) no taller than
// ChunkLayout::kMaxTileHeight, cut between lines where the layout allows, and each band paints its
// part through paint(). So a chunk of any height is drawn without one texture beyond the graphics
// stack's size limit, and the usual short chunk is a single band. When the view tells the item
// which part of it is on screen (viewportTop, viewportHeight, in the item's coordinates), only the
// bands within one screen of that part exist, so a chunk of any height holds a few bands' images.
//
// GUI thread only, paint() included (the scene graph calls it while the GUI thread waits). The
// static image resolver is set once at start-up and cleared at teardown, both on the GUI thread.

#include "ChunkLayout.h"

#include <QColor>
#include <QList>
#include <QQuickPaintedItem>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

class BandPaintedItem;
class IBookImageResolver;

class KnuthPlassItem : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariant layout READ layout WRITE setLayout NOTIFY layoutChanged)
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor NOTIFY colorsChanged)
    Q_PROPERTY(QColor linkColor READ linkColor WRITE setLinkColor NOTIFY colorsChanged)
    Q_PROPERTY(QColor dimColor READ dimColor WRITE setDimColor NOTIFY colorsChanged)
    Q_PROPERTY(QColor surfaceColor READ surfaceColor WRITE setSurfaceColor NOTIFY colorsChanged)
    Q_PROPERTY(bool useBookColours READ useBookColours WRITE setUseBookColours NOTIFY useBookColoursChanged)
    Q_PROPERTY(double horizontalMargin READ horizontalMargin WRITE setHorizontalMargin NOTIFY horizontalMarginChanged)
    Q_PROPERTY(double viewportTop READ viewportTop WRITE setViewportTop NOTIFY viewportChanged)
    Q_PROPERTY(double viewportHeight READ viewportHeight WRITE setViewportHeight NOTIFY viewportChanged)
public:
    explicit KnuthPlassItem(QQuickItem* parent = nullptr);

    // Not owned; null until start-up sets it, and cleared again at teardown.
    static void setImageResolver(IBookImageResolver* resolver);

    QVariant layout() const { return m_layoutVariant; }
    QColor textColor() const { return m_textColor; }
    QColor linkColor() const { return m_linkColor; }
    QColor dimColor() const { return m_dimColor; }
    QColor surfaceColor() const { return m_surfaceColor; }
    bool useBookColours() const { return m_useBookColours; }
    double horizontalMargin() const { return m_horizontalMargin; }
    double viewportTop() const { return m_viewportTop; }
    // 0 (the default): the whole item counts as on screen.
    double viewportHeight() const { return m_viewportHeight; }

    // Always takes the variant (a value that is no ChunkLayout gives an empty layout) and emits.
    void setLayout(const QVariant& layout);
    // The others emit only on a change.
    void setTextColor(const QColor& colour);
    void setLinkColor(const QColor& colour);
    void setDimColor(const QColor& colour);
    void setSurfaceColor(const QColor& colour);
    void setUseBookColours(bool enabled);
    void setHorizontalMargin(double margin);
    void setViewportTop(double top);
    void setViewportHeight(double height);

    // WCAG 2.0 relative luminance (0 for black, 1 for white) and contrast ratio (1 to 21).
    static double relativeLuminance(const QColor& colour);
    static double contrastRatio(const QColor& a, const QColor& b);

    // Draws what meets the painter's clip band (the whole height when there is no clip).
    void paint(QPainter* painter) override;

    const ChunkLayout& chunkLayout() const { return m_layout; }
    // The bands covering the item, top to bottom; none for an item wider than 32,768 or taller than
    // 2^24 pixels, which no reading setting produces. The band items of the first and last reach a
    // little above and below, for glyphs that stand out of their lines.
    QList<QRectF> bandRects() const;
    // The bands that exist now (near the viewport), as band items.
    int liveBandCount() const;

Q_SIGNALS:
    void layoutChanged();
    void colorsChanged();
    void useBookColoursChanged();
    void horizontalMarginChanged();
    void viewportChanged();

protected:
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;

private:
    void setColour(QColor& member, const QColor& colour);
    void repaint();
    void updateBands();
    bool nearViewport(const QRectF& band) const;
    QColor runPenColour(const LayoutStyle& style) const;
    struct PaintBand;
    struct RunPen;
    void paintBoxes(QPainter* painter, const PaintBand& band) const;
    void paintRules(QPainter* painter, const PaintBand& band) const;
    void paintRuns(QPainter* painter, const PaintBand& band) const;
    void paintRun(QPainter* painter, const LayoutRun& run, double lineLetterSpacing, RunPen& pen) const;
    void paintImages(QPainter* painter, const PaintBand& band) const;

    static IBookImageResolver* s_imageResolver;

    QVariant m_layoutVariant;
    ChunkLayout m_layout;
    double m_inkTop = 0;    // the top of the runs' boxes, when above the chunk's top (else 0)
    double m_inkBottom = 0; // and the bottom of the lowest
    QColor m_textColor{0xc4, 0xc8, 0xd8};
    QColor m_linkColor{0x57, 0x85, 0xc1};
    QColor m_dimColor{0x71, 0x73, 0x8c};
    QColor m_surfaceColor{0x19, 0x1d, 0x35};
    bool m_useBookColours = false;
    double m_horizontalMargin = 0;
    double m_viewportTop = 0;
    double m_viewportHeight = 0;
    QList<BandPaintedItem*> m_bands; // one per band rect; null for a band far from the viewport
};
