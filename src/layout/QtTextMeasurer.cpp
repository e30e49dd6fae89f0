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
    QHash<char32_t, FontMetrics> letterMetrics; // what the font a letter is drawn from needs
    QHash<QString, MarkedInk> markedInk;    // a word whose letters carry marks -> how far they reach
};

// The ascent and descent of the font a letter is drawn with, a fallback font if need be. The
// letter is laid out on its own, so that what stands around it cannot choose another font.
FontMetrics letterFontMetrics(const QFont& font, const QString& letter)
{
    QTextLayout layout(letter, font);
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
    // Each letter is measured once per font on the thread, by the fallback font it is drawn
    // from: the letters of one script need not share one (ideographs of the supplementary planes,
    // private-use characters), and measuring a script by whichever word came first would make a
    // line's height hang on the words the thread measured before it.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const char32_t code = length == 2 ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1)) : text.at(i).unicode();
        const qsizetype at = i;
        i += length - 1;
        if (faceScript(QChar::script(code)))
            continue;
        auto found = measured.letterMetrics.constFind(code);
        if (found == measured.letterMetrics.constEnd())
            found = measured.letterMetrics.insert(code, letterFontMetrics(measured.font, text.mid(at, length)));
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
