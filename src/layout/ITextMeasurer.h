#pragma once

// How chunk preparation measures text: the advance of a piece of text in a font and the font's
// vertical metrics. The Qt implementation measures real fonts; tests use a fixed-advance font so
// that line breaks are exact and the same on every platform.
//
// Implementations are called from the GUI thread and from several pool threads at once.

#include "FontRequest.h"

#include <QString>

struct FontMetrics {
    double ascent = 0;
    double descent = 0;
    double lineSpacing = 0; // ascent + descent + leading: the font's own single line spacing
};

class ITextMeasurer {
public:
    virtual ~ITextMeasurer() = default;

    virtual FontMetrics metrics(const FontRequest& font) const = 0;
    virtual double advance(const FontRequest& font, const QString& text) const = 0;

    // The vertical extent text needs in the font: taller than metrics(font) where its glyphs come
    // from a fallback font with a larger ascent or descent (Arabic, Devanagari, Thai in a Latin
    // face). A font with every glyph needs no more than its own metrics.
    virtual FontMetrics textMetrics(const FontRequest& font, const QString& text) const
    {
        Q_UNUSED(text);
        return metrics(font);
    }
};
