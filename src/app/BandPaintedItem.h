#pragma once

// One horizontal band of another painted item, painted as a texture of its own.
//
// A painted item is one texture as tall as the item, and graphics stacks refuse (or blur) textures
// beyond their size limit. The chunk painter therefore paints nothing itself and lays bands of at
// most a tile's height over its area; each band asks the painter to paint with the painter
// translated so that the band's top is at 0 and clipped to the band, so the painter draws only what
// falls inside it.
//
// GUI thread only (the scene graph may call paint() while the GUI thread waits for it).

#include <QQuickPaintedItem>

class BandPaintedItem : public QQuickPaintedItem {
public:
    // A child of `source`; its position and size inside the source are set by the source.
    explicit BandPaintedItem(QQuickPaintedItem* source);

    void paint(QPainter* painter) override;

private:
    QQuickPaintedItem* m_source;
};
