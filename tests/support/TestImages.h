#pragma once

// Image fixtures shared by the test areas.

#include <QByteArray>
#include <QColor>
#include <QSize>

namespace TestImages {

// A PNG of one colour.
QByteArray png(int width, int height, const QColor& colour = Qt::red);

// A JPEG of a size no plain decode may allocate (Qt refuses images above 128 MiB), cheap to make:
// grey pixels, one byte each.
QByteArray hugeGreyJpeg(const QSize& size);

} // namespace TestImages
