#pragma once

// Measures text with Qt's fonts (QFontMetricsF), through a per-thread cache of word widths: words
// repeat heavily in any book, and shaping a word costs far more than a hash lookup.
//
// Any thread may call it, concurrently, while a QGuiApplication exists (the font database needs
// it). Each thread measures with fonts it built itself and keeps its own cache, so no lock is
// taken and no QFont is shared between threads (see FontRequest). The cache holds at most
// kCacheLimit words (widths, and the extents of words with marks) per thread and is then emptied.

#include "ITextMeasurer.h"

class QtTextMeasurer final : public ITextMeasurer {
public:
    static constexpr int kCacheLimit = 200000;

    FontMetrics metrics(const FontRequest& font) const override;
    double advance(const FontRequest& font, const QString& text) const override;
    // Text in scripts beyond Latin, Greek and Cyrillic needs the ascents and descents of the
    // fallback fonts its letters are drawn from (each letter laid out alone, once per font on the
    // thread), and, where its letters carry marks, the reach of their glyph outlines (each such
    // word traced once per font on the thread, on its own): both the same whatever was measured
    // before.
    FontMetrics textMetrics(const FontRequest& font, const QString& text) const override;

    // Outlines traced by every thread so far: what the rule above saves.
    static int outlinesTraced();
};
