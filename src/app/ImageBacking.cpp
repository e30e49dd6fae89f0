#include "ImageBacking.h"

#include "KnuthPlassItem.h"

#include <QColor>
#include <QImage>

#include <algorithm>
#include <cmath>

namespace ImageBacking {

namespace {

constexpr int kGrid = 64;
constexpr double kTransparentShare = 0.2;
constexpr double kDarkLuminance = 0.2;

} // namespace

bool isDarkOnTransparent(const QImage& image)
{
    if (image.isNull() || !image.hasAlphaChannel())
        return false;
    const int stepX = std::max(1, image.width() / kGrid);
    const int stepY = std::max(1, image.height() / kGrid);
    int samples = 0;
    int transparent = 0;
    double ink = 0;
    double inkLuminance = 0;
    for (int y = stepY / 2; y < image.height(); y += stepY) {
        for (int x = stepX / 2; x < image.width(); x += stepX) {
            const QColor c = image.pixelColor(x, y);
            ++samples;
            const double alpha = c.alphaF();
            if (alpha < 0.5)
                ++transparent;
            ink += alpha;
            inkLuminance += alpha * KnuthPlassItem::relativeLuminance(c);
        }
    }
    if (samples == 0 || transparent < kTransparentShare * samples)
        return false;
    return ink <= 0 || inkLuminance / ink < kDarkLuminance;
}

QImage inverted(const QImage& image, double amount)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    if (amount >= 1) {
        out.invertPixels(QImage::InvertRgb);
        return out;
    }
    const auto channel = [amount](int c) { return int(std::lround(c + (255 - 2 * c) * amount)); };
    for (int y = 0; y < out.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(channel(qRed(p)), channel(qGreen(p)), channel(qBlue(p)), qAlpha(p));
        }
    }
    return out;
}

} // namespace ImageBacking
