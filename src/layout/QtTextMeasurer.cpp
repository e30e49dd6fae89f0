#include "QtTextMeasurer.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <atomic>

#include <memory>

namespace {

// How far above and below the baseline one letter and the marks stacked on it reach.
struct MarkedInk {
    double ascent = 0;
    double descent = 0;
};

std::atomic<int> s_outlines{0};

bool isMark(QChar c)
{
    const QChar::Category category = c.category();
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing;
}

struct MeasuredFont {
    explicit MeasuredFont(const FontRequest& request)
        : font(request.toFont())
        , fontMetrics(font)
        , own{fontMetrics.ascent(), fontMetrics.descent(), fontMetrics.lineSpacing()}
    {
    }

    QFont font; // built on this thread and never handed out
    QFontMetricsF fontMetrics;
    FontMetrics own;
    QHash<QString, double> widths;
    QHash<int, FontMetrics> scriptMetrics; // QChar::Script -> what the fonts its glyphs come from need
    QHash<QString, MarkedInk> markedInk;    // a word whose letters carry marks -> how far they reach
};

// The ascent and descent of the fonts text is drawn with, fallbacks included.
FontMetrics usedFontMetrics(const QFont& font, const QString& text)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    FontMetrics needed;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        needed.ascent = std::max(needed.ascent, raw.ascent());
        needed.descent = std::max(needed.descent, raw.descent());
        needed.lineSpacing = std::max(needed.lineSpacing, raw.ascent() + raw.descent() + raw.leading());
    }
    return needed;
}

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
        for (const std::shared_ptr<MeasuredFont>& font : std::as_const(fonts)) {
            font->widths.clear();
            font->markedInk.clear();
        }
        words = 0;
    }
};

// Marks stacked above and below letters (Arabic vowel signs, Thai tone marks) may reach beyond
// a font's ascent and descent; the glyphs' own outline keeps them off the next line. Tracing an
// outline costs far more than shaping, so only words whose letters carry marks are traced, once
// each per font on the thread. A word is traced whole, since its letters join and ligate (the
// reach of a letter alone is not the word's), and on its own, so that its height does not hang
// on which words the thread measured before it.
const MarkedInk& markReach(MeasuredFont& measured, const QString& word)
{
    const auto found = measured.markedInk.constFind(word);
    if (found != measured.markedInk.constEnd())
        return found.value();
    QPainterPath outline;
    outline.addText(0, 0, measured.font, word);
    const QRectF box = outline.boundingRect();
    ++s_outlines;
    return measured.markedInk.insert(word, MarkedInk{-box.top(), box.bottom()}).value();
}

ThreadCache& threadCache()
{
    thread_local ThreadCache cache;
    return cache;
}

} // namespace

FontMetrics QtTextMeasurer::metrics(const FontRequest& font) const
{
    return threadCache().lookup(font).own;
}

double QtTextMeasurer::advance(const FontRequest& font, const QString& text) const
{
    ThreadCache& cache = threadCache();
    MeasuredFont& measured = cache.lookup(font);
    const auto hit = measured.widths.constFind(text);
    if (hit != measured.widths.constEnd())
        return hit.value();
    const double width = measured.fontMetrics.horizontalAdvance(text);
    if (cache.words >= kCacheLimit)
        cache.clearWidths();
    measured.widths.insert(text, width);
    ++cache.words;
    return width;
}

FontMetrics QtTextMeasurer::textMetrics(const FontRequest& font, const QString& text) const
{
    MeasuredFont& measured = threadCache().lookup(font);
    FontMetrics needed = measured.own;
    // Text in the scripts of the reader's faces (Latin, Greek, Cyrillic, and the punctuation and
    // signs all scripts share) keeps the font's own extent and costs nothing more.
    const auto faceScript = [](QChar::Script script) {
        return script == QChar::Script_Common || script == QChar::Script_Inherited || script == QChar::Script_Latin
            || script == QChar::Script_Greek || script == QChar::Script_Cyrillic;
    };
    const auto other = std::find_if(text.cbegin(), text.cend(), [&](QChar c) {
        return c.unicode() >= 0x0250 && (c.isSurrogate() || !faceScript(c.script()));
    });
    if (other == text.cend())
        return needed;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t code = text.at(i).isHighSurrogate() && i + 1 < text.size()
            ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1)) : text.at(i).unicode();
        if (code > 0xFFFF)
            ++i;
        const QChar::Script script = QChar::script(code);
        if (faceScript(script))
            continue;
        auto found = measured.scriptMetrics.constFind(int(script));
        if (found == measured.scriptMetrics.constEnd()) {
            // The letters of this word in that script find the fallback font the script is set in.
            QString sample;
            for (qsizetype j = 0; j < text.size(); ++j) {
                if (QChar::script(text.at(j).unicode()) == script || text.at(j).isSurrogate())
                    sample += text.at(j);
            }
            found = measured.scriptMetrics.insert(int(script), usedFontMetrics(measured.font, sample));
        }
        needed.ascent = std::max(needed.ascent, found->ascent);
        needed.descent = std::max(needed.descent, found->descent);
        needed.lineSpacing = std::max(needed.lineSpacing, found->lineSpacing);
    }
    if (std::any_of(text.cbegin(), text.cend(), isMark)) {
        const MarkedInk& ink = markReach(measured, text);
        needed.ascent = std::max(needed.ascent, ink.ascent);
        needed.descent = std::max(needed.descent, ink.descent);
    }
    return needed;
}

int QtTextMeasurer::outlinesTraced()
{
    return s_outlines.load();
}
