#pragma once

// Image fixtures shared by the test areas.

#include <QByteArray>
#include <QSize>

namespace TestImages {

// A JPEG of a size no plain decode may allocate (Qt refuses images above 128 MiB), cheap to make:
// grey pixels, one byte each.
QByteArray hugeGreyJpeg(const QSize& size);

} // namespace TestImages
