#pragma once

// Decodes image bytes (any format Qt's image plugins read, SVG included) without ever holding more
// pixels than asked for: sizes come from the header alone, and a decode that would be larger than
// the size shown, or than kMaxDecodedBytes, is made at a scaled size by the format's own reader
// (JPEG decodes scaled, SVG renders at that size), so a huge page shows instead of failing Qt's
// allocation limit. SVG bytes reach Qt Svg only through SvgMarkup::readable.
//
// Stateless; any thread.

#include <QByteArray>
#include <QImage>
#include <QSize>

class ImageDecoder {
public:
    // Far below Qt's default allocation limit (128 MiB): about 8 megapixels at 32 bits.
    static constexpr qint64 kMaxDecodedBytes = 32 * 1024 * 1024;

    // What is read of an image to learn its size: headers, metadata blocks included, fit in it
    // nearly always; a longer one is read whole.
    static constexpr qint64 kHeaderBytes = 64 * 1024;

    // The pixel size named by the header (an SVG's width and height, or its view box); (-1, -1)
    // when the bytes name none. No pixels are decoded.
    static QSize headerSize(const QByteArray& bytes);

    // The image fitted inside `bound` (aspect kept) when it is larger than that, and shrunk to at
    // most kMaxDecodedBytes; an invalid or empty bound means the natural size. Null on failure.
    static QImage decode(const QByteArray& bytes, const QSize& bound = QSize());

    // The size decode() would give for an image of `natural` size.
    static QSize decodedSize(const QSize& natural, const QSize& bound);
};
