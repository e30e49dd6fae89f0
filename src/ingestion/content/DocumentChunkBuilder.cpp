#include "content/DocumentChunkBuilder.h"
#include "text/HtmlWhiteSpace.h"

#include "content/BlockMargins.h"

#include <algorithm>
#include <utility>

namespace {

bool isBlankText(const InlineRun& run)
{
    return run.kind == InlineRun::Text && std::all_of(run.text.cbegin(), run.text.cend(), isAsciiSpace);
}

// Every run of ASCII white space becomes one blank.
QString collapsedSpaces(const QString& text)
{
    const auto needsWork = [&text](qsizetype i) {
        if (text.at(i) > u' ') // most characters, and no white space
            return false;
        return text.at(i) != u' ' ? isAsciiSpace(text.at(i)) : i > 0 && isAsciiSpace(text.at(i - 1));
    };
    qsizetype first = 0;
    while (first < text.size() && !needsWork(first))
        ++first;
    if (first == text.size())
        return text; // already collapsed, as the HTML walker hands most text over
    QString out = text.left(first);
    bool space = first > 0 && text.at(first - 1) == u' ';
    for (qsizetype i = first; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!isAsciiSpace(c)) {
            out += c;
            space = false;
        } else if (!space) {
            out += u' ';
            space = true;
        }
    }
    return out;
}

// An end item may be closed with an empty box: then the box of the container it closes is written.
bool isEmptyBox(const BoxStyle& box)
{
    return box.marginTop == 0 && box.marginBottom == 0 && box.marginLeft == 0 && box.marginRight == 0
        && box.paddingTop == 0 && box.paddingBottom == 0 && box.borderLeft == 0 && !box.background.isValid();
}

void trimParagraph(BlockItem& paragraph)
{
    QList<InlineRun>& runs = paragraph.runs;
    while (!runs.isEmpty() && (runs.last().kind == InlineRun::LineBreak || isBlankText(runs.last())))
        runs.removeLast();
    if (!runs.isEmpty() && runs.last().kind == InlineRun::Text) {
        QString& text = runs.last().text;
        qsizetype end = text.size();
        while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
            --end;
        text.truncate(end);
    }
    while (!runs.isEmpty() && isBlankText(runs.first()))
        runs.removeFirst();
    if (!runs.isEmpty() && runs.first().kind == InlineRun::Text) {
        QString& text = runs.first().text;
        qsizetype start = 0;
        while (start < text.size() && text.at(start) == QLatin1Char(' '))
            ++start;
        text.remove(0, start);
    }
    // Trimming the edge spaces can leave an empty text run behind; no text run may be empty.
    runs.removeIf([](const InlineRun& run) { return run.kind == InlineRun::Text && run.text.isEmpty(); });
}

} // namespace

DocumentChunkBuilder::DocumentChunkBuilder(QString id, int chunkBudget)
    : m_chunkId(std::move(id))
    , m_budget(chunkBudget)
{
    m_current.id = m_chunkId;
}

int DocumentChunkBuilder::paragraphWeight(const BlockItem& paragraph)
{
    int weight = 0;
    for (const InlineRun& run : paragraph.runs) {
        if (run.kind == InlineRun::Text)
            weight += int(run.text.size());
        else if (run.kind == InlineRun::Image) {
            const bool icon = run.width > 0 && run.width <= 48 && run.height > 0 && run.height <= 48;
            weight += icon ? 1 : kPageWeight;
        }
    }
    return weight;
}

void DocumentChunkBuilder::addWeight(int weight)
{
    m_current.weight += weight;
    if (m_current.weight >= m_budget)
        m_flushPending = true;
}

bool DocumentChunkBuilder::charge(qint64 bytes)
{
    if (!m_meter)
        return true;
    if (m_meter->exceeded())
        return false;
    // A batch is small beside any budget, and spares the shared counter a write per run.
    constexpr qint64 kBatch = 256 * 1024;
    m_uncharged += bytes;
    if (m_uncharged < kBatch)
        return true;
    const qint64 batch = m_uncharged;
    m_uncharged = 0;
    return m_meter->charge(batch);
}

void DocumentChunkBuilder::checkPendingFlush()
{
    if (!m_flushPending)
        return;
    m_flushPending = false;
    flushCurrentChunk();
}

void DocumentChunkBuilder::startParagraph(const ParagraphFormat& format)
{
    finishParagraph();
    checkPendingFlush();
    m_paragraph = BlockItem();
    m_paragraph.align = format.align;
    m_paragraph.indent = format.indent;
    m_paragraph.lineHeight = format.lineHeight;
    m_paragraph.fontSize = format.fontSize;
    m_paragraph.preformatted = format.preformatted;
    m_paragraph.marker = format.marker;
    m_paragraph.style = format.style;
    m_paragraphOpen = true;
}

void DocumentChunkBuilder::appendText(const QString& text, const TextStyle& style, bool preserve)
{
    if (text.isEmpty())
        return;
    if (!m_paragraphOpen)
        startParagraph({.fontSize = style.size, .preformatted = preserve});
    QString collapsed = text;
    if (!preserve && !m_paragraph.preformatted) {
        collapsed = collapsedSpaces(text);
        if (m_paragraph.runs.isEmpty() && collapsed == QLatin1String(" "))
            return;
    }
    if (collapsed.isEmpty()
        || !charge(BookCostMeter::kBytesPerRun + collapsed.size() * BookCostMeter::kBytesPerCharacter))
        return;
    InlineRun run;
    run.kind = InlineRun::Text;
    run.text = collapsed;
    run.style = style;
    m_paragraph.runs.append(run);
}

void DocumentChunkBuilder::appendImage(const QString& url, double width, double height, double maxWidth,
                                       const TextStyle& style, double invert)
{
    if (url.isEmpty() || !charge(BookCostMeter::kBytesPerRun + url.size() * 2))
        return;
    if (!m_paragraphOpen)
        startParagraph({.fontSize = style.size > 0 ? style.size : kBookFontSize});
    InlineRun run;
    run.kind = InlineRun::Image;
    run.url = url;
    run.width = width;
    run.height = height;
    run.maxWidth = maxWidth;
    run.invert = invert;
    run.style = style;
    m_paragraph.runs.append(run);
}

void DocumentChunkBuilder::appendLineBreak()
{
    if (!charge(BookCostMeter::kBytesPerRun))
        return;
    if (!m_paragraphOpen)
        startParagraph(ParagraphFormat());
    InlineRun run;
    run.kind = InlineRun::LineBreak;
    m_paragraph.runs.append(run);
}

void DocumentChunkBuilder::appendRule(const QColor& colour)
{
    finishParagraph();
    checkPendingFlush();
    BlockItem rule;
    rule.kind = BlockItem::Rule;
    rule.ruleColour = colour;
    appendToChunk(rule);
    addWeight(1);
}

void DocumentChunkBuilder::startContainer(const BoxStyle& box)
{
    finishParagraph();
    checkPendingFlush();
    m_openContainers.append(box);
    BlockItem start;
    start.kind = BlockItem::ContainerStart;
    start.box = box;
    appendToChunk(start);
}

void DocumentChunkBuilder::endContainer(const BoxStyle& box)
{
    finishParagraph();
    // An end without an open container would unbalance the chunk; the layout pops a box per end.
    if (m_openContainers.isEmpty())
        return;
    const BoxStyle popped = m_openContainers.takeLast();
    BlockItem end;
    end.kind = BlockItem::ContainerEnd;
    end.box = isEmptyBox(box) ? popped : box;
    appendToChunk(end);
    checkPendingFlush();
}

void DocumentChunkBuilder::appendBlock(const BlockItem& item)
{
    finishParagraph();
    checkPendingFlush();
    switch (item.kind) {
    case BlockItem::ContainerStart:
        startContainer(item.box);
        break;
    case BlockItem::ContainerEnd:
        endContainer(item.box);
        break;
    case BlockItem::Rule:
        appendRule(item.ruleColour);
        break;
    case BlockItem::Paragraph: {
        // A paragraph without runs would break what every consumer may assume of a paragraph.
        if (item.runs.isEmpty())
            break;
        qint64 characters = 0;
        for (const InlineRun& run : item.runs)
            characters += run.text.size();
        if (!charge(item.runs.size() * BookCostMeter::kBytesPerRun + characters * BookCostMeter::kBytesPerCharacter))
            break;
        appendToChunk(item);
        addWeight(paragraphWeight(item));
        break;
    }
    default:
        break;
    }
}

void DocumentChunkBuilder::finishParagraph()
{
    if (!m_paragraphOpen)
        return;
    if (!m_paragraph.preformatted)
        trimParagraph(m_paragraph);
    if (!m_paragraph.runs.isEmpty()) {
        appendToChunk(m_paragraph);
        addWeight(paragraphWeight(m_paragraph));
    }
    m_paragraphOpen = false;
    m_paragraph = BlockItem();
}

void DocumentChunkBuilder::appendToChunk(const BlockItem& block)
{
    if (!charge(BookCostMeter::kBytesPerBlock))
        return;
    m_current.blocks.append(block);
    m_trailingMargin = BlockMargins::of(block.kind, block.box).meet(m_trailingMargin);
}

void DocumentChunkBuilder::flushCurrentChunk()
{
    if (m_current.blocks.isEmpty())
        return;
    for (qsizetype i = m_openContainers.size() - 1; i >= 0; --i) {
        BlockItem end;
        end.kind = BlockItem::ContainerEnd;
        end.box = m_openContainers.at(i);
        end.box.marginBottom = 0;
        end.box.paddingBottom = 0;
        end.box.borderBottom = 0;
        m_current.blocks.append(end);
    }
    // A book keeps every chunk for as long as it is open: blocks are large, room to spare is not.
    m_current.blocks.squeeze();
    m_chunks.append(m_current);
    m_current = ContentChunk();
    m_current.id = m_chunkId;
    m_current.reopenedContainers = int(m_openContainers.size());
    m_current.leadingMargin = m_trailingMargin;
    for (const BoxStyle& open : std::as_const(m_openContainers)) {
        BlockItem start;
        start.kind = BlockItem::ContainerStart;
        start.box = open;
        start.box.marginTop = 0;
        start.box.paddingTop = 0;
        start.box.borderTop = 0;
        m_current.blocks.append(start);
    }
}

QList<ContentChunk> DocumentChunkBuilder::build()
{
    finishParagraph();
    m_flushPending = false;
    if (m_meter && m_uncharged > 0)
        m_meter->charge(std::exchange(m_uncharged, 0));
    if (refused())
        return {}; // part of a book that is refused: nothing of it is kept
    if (!m_current.blocks.isEmpty()) {
        m_current.blocks.squeeze();
        m_chunks.append(m_current);
        m_current = ContentChunk();
        m_current.id = m_chunkId;
    }
    return std::move(m_chunks);
}
