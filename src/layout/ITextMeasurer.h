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
};
