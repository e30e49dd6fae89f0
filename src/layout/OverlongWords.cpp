#include "OverlongWords.h"

#include <QTextBoundaryFinder>

namespace OverlongWords {

namespace {

using KnuthPlass::Item;

// The stretch of a break between two clusters, in ems: a line's slack of less than one cluster
// spreads over its many breaks unseen.
constexpr double kClusterStretch = 0.05;
// A break inside a word costs what a hyphenation does; after a space the word holds (a no-break
// space, as in text that must not wrap but has to), nothing.
constexpr double kInsideWordPenalty = 50;

class Breaker {
public:
    Breaker(const PreparedChunk& chunk, const ITextMeasurer& measurer, PreparedParagraph& paragraph)
        : m_chunk(chunk), m_measurer(measurer), m_paragraph(paragraph)
    {
    }

    // items from..to-1 (no breakpoint among them) as clusters with breaks between them.
    void breakWord(const QList<Item>& items, qsizetype from, qsizetype to)
    {
        bool inWord = false; // a cluster came last: a break may follow it
        for (qsizetype k = from; k < to; ++k) {
            const Item& item = items[k];
            const quint8 level = levelOf(k);
            if (!isText(item)) {
                append(item, level);
                inWord = false;
                continue;
            }
            const PreparedRun whole = m_paragraph.runs[item.runIndex];
            const QString text = textOf(m_chunk, whole).toString();
            const PreparedStyle& style = m_chunk.styles[whole.style];
            QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
            qsizetype start = 0;
            int runIndex = item.runIndex; // the first cluster keeps the word's run
            for (qsizetype end = clusters.toNextBoundary(); end > 0; end = clusters.toNextBoundary()) {
                PreparedRun cluster = whole;
                cluster.textStart = whole.textStart + int(start);
                cluster.textLength = int(end - start);
                if (runIndex >= 0) {
                    m_paragraph.runs[runIndex] = cluster;
                } else {
                    m_paragraph.runs.append(cluster);
                    runIndex = int(m_paragraph.runs.size()) - 1;
                }
                if (inWord) {
                    const bool afterSpace = start > 0 && text[start - 1].isSpace();
                    append(Item::penaltyItem(0, afterSpace ? 0 : kInsideWordPenalty, false), level);
                    append(Item::glue(0, style.request.pixelSize * kClusterStretch, 0), level);
                }
                append(Item::box(m_measurer.advance(style.request, text.mid(start, end - start)), runIndex), level);
                runIndex = -1;
                start = end;
                inWord = true;
            }
        }
    }

    void keep(const Item& item, qsizetype k) { append(item, levelOf(k)); }

    QList<Item> takeItems() { return std::move(m_out); }
    QList<quint8> takeLevels() { return std::move(m_levels); }

private:
    bool isText(const Item& item) const
    {
        return item.type == KnuthPlass::Box && item.runIndex >= 0
            && m_paragraph.runs[item.runIndex].kind == PreparedRun::Kind::Text;
    }
    quint8 levelOf(qsizetype k) const { return m_paragraph.levels.isEmpty() ? 0 : m_paragraph.levels[k]; }
    void append(const Item& item, quint8 level)
    {
        m_out.append(item);
        if (!m_paragraph.levels.isEmpty())
            m_levels.append(level);
    }

    const PreparedChunk& m_chunk;
    const ITextMeasurer& m_measurer;
    PreparedParagraph& m_paragraph;
    QList<Item> m_out;
    QList<quint8> m_levels;
};

double widthOf(const PreparedParagraph& paragraph, const QList<Item>& items, qsizetype from, qsizetype to)
{
    double width = 0;
    for (qsizetype k = from; k < to; ++k) {
        const Item& item = items[k];
        const bool image = item.type == KnuthPlass::Box && item.runIndex >= 0
            && paragraph.runs[item.runIndex].kind == PreparedRun::Kind::Image;
        if (item.type != KnuthPlass::Penalty && !image)
            width += item.width;
    }
    return width;
}

} // namespace

PreparedParagraph broken(const PreparedChunk& chunk, const ITextMeasurer& measurer,
                         const PreparedParagraph& paragraph, double width, QList<Item>& items)
{
    PreparedParagraph result = paragraph;
    Breaker breaker(chunk, measurer, result);
    qsizetype wordStart = 0;
    const qsizetype n = items.size();
    for (qsizetype k = 0; k <= n; ++k) {
        if (k < n && !KnuthPlass::isBreakpoint(items, k))
            continue;
        // items wordStart..k-1: one stretch no line may break inside.
        if (widthOf(paragraph, items, wordStart, k) > width) {
            breaker.breakWord(items, wordStart, k);
        } else {
            for (qsizetype i = wordStart; i < k; ++i)
                breaker.keep(items[i], i);
        }
        if (k < n)
            breaker.keep(items[k], k);
        wordStart = k + 1;
    }
    items = breaker.takeItems();
    result.items = PackedItems(items);
    if (!result.levels.isEmpty())
        result.levels = breaker.takeLevels();
    return result;
}

} // namespace OverlongWords
