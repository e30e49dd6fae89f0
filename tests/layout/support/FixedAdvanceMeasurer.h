#pragma once

// A platform-free font for exact line breaks: every character advances half the pixel size
// (plus the letter spacing); ascent 3/4, descent 1/4 and line spacing 1 of the pixel size.
// At 16 px: characters and spaces 8 wide, lines 16 high.

#include "ITextMeasurer.h"

class FixedAdvanceMeasurer final : public ITextMeasurer {
public:
    FontMetrics metrics(const FontRequest& font) const override
    {
        const double px = font.pixelSize;
        return {px * 0.75, px * 0.25, px};
    }

    double advance(const FontRequest& font, const QString& text) const override
    {
        return text.size() * (font.pixelSize * 0.5 + font.letterSpacing);
    }
};
