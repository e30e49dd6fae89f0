#pragma once

// Pictures drawn dark on a transparent ground (line art, logos, title-page ornaments) vanish on a
// dark page. Such a picture gets a light backing: a rectangle of the reading text's colour drawn
// under it, as a printed page would be under the ink. Pictures with their own ground, and those
// with light ink (a book's dark-scheme rule may invert its drawings: CSS filter: invert()), are
// drawn as they are.
//
// Pure functions; any thread.

class QImage;

namespace ImageBacking {

// True when at least a fifth of the image is transparent and what is not is dark (a mean
// relative luminance below 0.2, weighted by opacity). Looks at a grid of at most 64 x 64 pixels.
bool isDarkOnTransparent(const QImage& image);

// The image with each colour channel c moved to c + (1 - 2c) x amount (CSS invert(), amount 0..1);
// alpha is kept.
QImage inverted(const QImage& image, double amount);

} // namespace ImageBacking
