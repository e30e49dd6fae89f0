#include "QtTextMeasurer.h"

#include <QFontMetricsF>
#include <QHash>

#include <memory>

namespace {

struct MeasuredFont {
    explicit MeasuredFont(const FontRequest& request) : font(request.toFont()), fontMetrics(font) {}

    QFont font; // built on this thread and never handed out
    QFontMetricsF fontMetrics;
    QHash<QString, double> widths;
};

struct ThreadCache {
    QHash<FontRequest, std::shared_ptr<MeasuredFont>> fonts;
    FontRequest lastRequest;
    MeasuredFont* last = nullptr;
    int words = 0;

    MeasuredFont& lookup(const FontRequest& request)
    {
        if (last && request == lastRequest)
            return *last;
        std::shared_ptr<MeasuredFont>& entry = fonts[request];
        if (!entry)
            entry = std::make_shared<MeasuredFont>(request);
        lastRequest = request;
        last = entry.get();
        return *last;
    }

    void clearWidths()
    {
        for (const std::shared_ptr<MeasuredFont>& font : std::as_const(fonts))
            font->widths.clear();
        words = 0;
    }
};

ThreadCache& threadCache()
{
    thread_local ThreadCache cache;
    return cache;
}

} // namespace

FontMetrics QtTextMeasurer::metrics(const FontRequest& font) const
{
    const QFontMetricsF& fm = threadCache().lookup(font).fontMetrics;
    return {fm.ascent(), fm.descent(), fm.lineSpacing()};
}

double QtTextMeasurer::advance(const FontRequest& font, const QString& text) const
{
    ThreadCache& cache = threadCache();
    MeasuredFont& measured = cache.lookup(font);
    const auto hit = measured.widths.constFind(text);
    if (hit != measured.widths.constEnd())
        return hit.value();
    const double width = measured.fontMetrics.horizontalAdvance(text);
    if (cache.words >= CacheLimit)
        cache.clearWidths();
    measured.widths.insert(text, width);
    ++cache.words;
    return width;
}
