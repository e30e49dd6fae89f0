#include "BandPaintedItem.h"

#include <QPainter>

BandPaintedItem::BandPaintedItem(QQuickPaintedItem* source)
    : QQuickPaintedItem(source)
    , m_source(source)
{
    setAntialiasing(true);
    setRenderTarget(QQuickPaintedItem::Image);
}

void BandPaintedItem::paint(QPainter* painter)
{
    painter->translate(0, -y());
    painter->setClipRect(QRectF(0, y(), width(), height()), Qt::IntersectClip);
    m_source->paint(painter);
}
