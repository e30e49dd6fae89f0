#pragma once

// The rule by which every image provider fits a decoded image to the size QML asked for.
// Stateless; any thread.

#include <QImage>
#include <QSize>

namespace ImageScaling {

// Width and height below 1 mean "not asked for": none asked gives the image as decoded, one gives
// that side with the aspect ratio kept, both give the largest size that fits inside them. Images
// are enlarged as well as reduced, always smoothly.
QImage toRequestedSize(const QImage& image, const QSize& requestedSize);

} // namespace ImageScaling
