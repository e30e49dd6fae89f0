#pragma once

// An SVG drawing's <image> references made self-contained: each href that is not a "data:" URL is
// replaced by a data URL of the bytes the caller fetches for it, so that the SVG renderer, which
// reads no book containers, draws the pictures a book's SVG names. Stateless; any thread.

#include <QByteArray>
#include <QString>

#include <functional>

class SvgImageInliner {
public:
    // The bytes an href names; empty when it names nothing that can be had.
    using Fetch = std::function<QByteArray(const QString& href)>;

    static bool looksLikeSvg(const QByteArray& bytes);
    // `svg` with its image references inlined; references that fetch nothing are left as they are.
    static QByteArray inlineImages(const QByteArray& svg, const Fetch& fetch);
};
