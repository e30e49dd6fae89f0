#include "formats/TxtReader.h"

#include "content/DocumentChunkBuilder.h"
#include "formats/ParallelFor.h"
#include "formats/TextBookChunks.h"
#include "text/CancelToken.h"
#include "text/HtmlWhiteSpace.h"
#include "text/LargeBuffer.h"
#include "text/PlainTextParagraphs.h"
#include "text/TextContentCheck.h"
#include "text/TerminalText.h"
#include "text/TextEncoding.h"
#include "text/VisualHebrew.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

#include <atomic>
#include <future>

namespace {

// Paragraphs are set apart as in printed books: a first-line indent of 1.5 em on a paragraph
// that follows a paragraph, none after a gap, a break or lines laid out by hand.
constexpr double kParagraphIndent = 1.5;

using PlainTextParagraphs::Block;

QString cancelledText(const QString& path)
{
    return QStringLiteral("Opening was cancelled: ") + path;
}

// Paragraphs in each section of the book its chunks are built in on a thread of their own: enough
// for the work to outweigh the handing out.
constexpr qsizetype kSectionBlocks = 512;

// Fewer characters than a block of prose holds, on average, with the spaces between them.
constexpr qsizetype kCharactersPerBlock = 64;

// Hands the blocks from begin to end to the builder, as paragraphs, lines, gaps and rules;
// previousKind is the kind of the block before begin (-1 for none).
void buildBlocks(DocumentChunkBuilder& builder, const QList<Block>& blocks, qsizetype begin, qsizetype end,
                 int previousKind)
{
    const TextStyle style;
    for (qsizetype i = begin; i < end && !builder.refused(); ++i) {
        const Block& block = blocks.at(i);
        switch (block.kind) {
        case Block::Paragraph: {
            const bool indented = previousKind == Block::Paragraph && !block.continues;
            builder.startParagraph({.indent = indented ? kParagraphIndent * style.size : 0, .fontSize = style.size});
            builder.appendText(block.text, style, false);
            break;
        }
        case Block::Lines: { // at the side the text starts on: the right for Hebrew and Arabic
            const TextAlign side = block.text.isRightToLeft() ? TextAlign::Right : TextAlign::Left;
            builder.startParagraph({.align = side, .fontSize = style.size, .preformatted = true});
            builder.appendText(block.text, style, true);
            break;
        }
        case Block::Gap:
            // One empty line, whatever the layout does with margins.
            builder.startParagraph({.align = TextAlign::Left, .fontSize = style.size});
            builder.appendText(QStringLiteral("\u00A0"), style, true);
            break;
        case Block::Break:
            builder.appendRule(QColor());
            break;
        }
        previousKind = block.kind;
    }
}

// Whether the builder surely cuts a chunk after this block, whatever came before: its text alone
// fills a chunk. Collapsing white space never drops the other characters, so they are counted.
bool fillsAChunk(const Block& block)
{
    if (block.kind == Block::Lines)
        return block.text.size() >= DocumentChunkBuilder::kReaderBudget;
    if (block.kind != Block::Paragraph || block.text.size() < DocumentChunkBuilder::kReaderBudget)
        return false;
    qsizetype visible = 0;
    for (const QChar c : block.text)
        visible += !isAsciiSpace(c);
    return visible >= DocumentChunkBuilder::kReaderBudget;
}

// Where the sections start: after blocks that end a chunk wherever the building starts, so that
// each section, built alone, makes the chunks that building the whole book would.
QList<qsizetype> sectionStarts(const QList<Block>& blocks)
{
    QList<qsizetype> starts{0};
    for (qsizetype i = kSectionBlocks; i < blocks.size(); ++i) {
        if (i - starts.last() >= kSectionBlocks && fillsAChunk(blocks.at(i - 1)))
            starts.append(i);
    }
    return starts;
}

// The chunks are built a section at a time on the free threads of the pool: most of the cost is
// the first touch of the memory they take, and threads touch theirs side by side.
// The meter holds lineTable, the cost of the finder's line table, which is given back once the
// paragraphs are found.
QList<ContentChunk> buildChunks(QStringView text, const QString& chunkId, BookCostMeter& meter, qint64 lineTable)
{
    // Room for more blocks than prose has (one in 64 characters): a list that grows is copied
    // into fresh memory at each step, and the room no block takes is never touched.
    QList<Block> blocks;
    blocks.reserve(text.size() / kCharactersPerBlock + 1);
    // Each paragraph the finder records becomes a block of text at least, and it is charged what
    // that block will cost as it is recorded, with the finder's line table still held: a text
    // that would make more blocks than the budget holds is stopped before they are made.
    std::atomic<qint64> recorded{0}; // bytes
    constexpr qint64 kBytesPerRecord = BookCostMeter::kBytesPerBlock + BookCostMeter::kBytesPerRun;
    constexpr qint64 kBytesPerSeparator = BookCostMeter::kBytesPerBlock;
    PlainTextParagraphs::split(
        text, DocumentChunkBuilder::kReaderBudget, [&blocks](const Block& block) { blocks.append(block); },
        [](qsizetype count, const std::function<void(qsizetype)>& job) {
            ParallelFor::run(*QThreadPool::globalInstance(), count, job);
        },
        [&meter, &recorded](bool separated) {
            const qint64 bytes = kBytesPerRecord + (separated ? kBytesPerSeparator : 0);
            recorded.fetch_add(bytes, std::memory_order_relaxed);
            return meter.charge(bytes);
        });
    if (meter.exceeded())
        return {}; // refused when the chunks are settled
    meter.refund(lineTable + recorded.load()); // the blocks are charged again as they are built
    const QList<qsizetype> starts = sectionStarts(blocks);
    QList<QList<ContentChunk>> sections(starts.size());
    QList<ContentChunk>* const built = sections.data(); // each thread writes its own sections
    ParallelFor::run(*QThreadPool::globalInstance(), starts.size(), [&](qsizetype section) {
        const qsizetype begin = starts.at(section);
        const qsizetype end = section + 1 < starts.size() ? starts.at(section + 1) : blocks.size();
        DocumentChunkBuilder builder(chunkId, DocumentChunkBuilder::kReaderBudget);
        builder.setCostMeter(&meter);
        buildBlocks(builder, blocks, begin, end, begin > 0 ? blocks.at(begin - 1).kind : -1);
        built[section] = builder.build();
    });
    qsizetype chunkCount = 0;
    for (const QList<ContentChunk>& section : std::as_const(sections))
        chunkCount += section.size();
    QList<ContentChunk> chunks;
    chunks.reserve(chunkCount);
    for (QList<ContentChunk>& section : sections)
        chunks.append(std::move(section));
    if (chunks.isEmpty())
        chunks.append(TextBookChunks::emptyChunk(chunkId));
    return chunks;
}

} // namespace

void TxtReader::start(const QString& filePath)
{
    m_book = BookMetadata();
    m_book.filePath = filePath;
    m_book.title = QFileInfo(filePath).completeBaseName();
    m_chunks.clear();
}

bool TxtReader::fail(const QString& message)
{
    m_book.errorString = message;
    return false;
}

bool TxtReader::loadMetadata(const QString& filePath)
{
    start(filePath);
    QFile file(filePath);
    if (!QFileInfo(filePath).isFile() || !file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot open file: ") + filePath);
    return true;
}

bool TxtReader::open(const QString& filePath)
{
    start(filePath);
    const QFileInfo info(filePath);
    QFile file(filePath);
    // Only regular files: a device or a pipe named .txt could be read forever. A file too large
    // to hold is refused as one that cannot be opened, with the reason in the log.
    if (info.isFile() && info.size() > kMaxFileSize) {
        qWarning("Text file too large to read (%lld bytes, at most %lld): %s", qint64(info.size()), kMaxFileSize,
                 qUtf8Printable(filePath));
        return fail(QStringLiteral("Cannot open file: ") + filePath);
    }
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot open file: ") + filePath);
    // The paragraphs are found and the chunks built on the pool's threads: those it lacks start
    // while the file is read and decoded.
    ParallelFor::startThreads(*QThreadPool::globalInstance());
    // Up to the size seen above, so a file that grows meanwhile cannot push past the limit.
    const qint64 size = info.size();
    const LargeBuffer buffer(size);
    // UTF-8, the common case, is decoded into memory of its own that goes when the book is open.
    const LargeBuffer units(2 * size);
    // The first touch of fresh memory costs a fault per page, more than the reading and decoding
    // that fill it: another thread takes the faults ahead of them, for the bytes and for the units
    // most texts fill (one for each byte), while this one reads and decodes.
    const std::future<void> populating = std::async(std::launch::async, [&buffer, &units, size] {
        buffer.populate(size);
        units.populate(size);
    });
    const qint64 read = file.read(buffer.data(), size);
    if (read < 0 || file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("Cannot open file: ") + filePath);
    file.close();
    const QByteArray bytes = QByteArray::fromRawData(buffer.data(), read);

    // The digest of the bytes just read is the file's MD5, without reading the file twice. It is
    // worked out beside the rest of the open, as that only reads the bytes too, and a long book
    // opens sooner.
    std::future<QByteArray> digesting = std::async(std::launch::async, [&bytes] {
        return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
    });
    const qsizetype unitCount = TextEncoding::decodeUtf8Into(bytes, units.units());
    QString decoded = unitCount < 0 ? TextEncoding::decode(bytes, QString()) : QString();
    QStringView text = unitCount < 0 ? QStringView(decoded) : QStringView(units.units(), unitCount);
    // Each step from here on passes over the whole text once: a cancelled open stops between them.
    if (CancelToken::requested())
        return fail(cancelledText(filePath));
    // Manual pages and saved program output hold overstrike and escape sequences, which would
    // make them look like binary data and show as boxes.
    if (TerminalText::hasTerminalCodes(text)) {
        decoded = TerminalText::plain(text);
        text = decoded;
    }
    if (VisualHebrew::isVisual(text)) {
        decoded = VisualHebrew::toLogical(text);
        text = decoded;
    }
    if (!settle(text, info.fileName()))
        return false;
    m_book.contentHash = digesting.get();
    return true;
}

bool TxtReader::settle(QStringView text, const QString& fileName)
{
    const TextContentCheck::Verdict verdict = TextContentCheck::judge(text);
    if (verdict == TextContentCheck::Verdict::Binary) {
        return fail(QStringLiteral("File contains corrupted, binary, or encrypted data and cannot be read as plain text: ")
                    + fileName);
    }
    if (verdict == TextContentCheck::Verdict::Undecodable)
        return fail(QStringLiteral("Failed to decode text: ") + fileName);
    if (CancelToken::requested())
        return fail(cancelledText(m_book.filePath));
    // The line table of the paragraph finder is paid for before it is made: a file of nothing but
    // line ends costs it and little else.
    BookCostMeter meter(m_memoryBudget);
    const qint64 lineTable = BookCostMeter::lineCount(text) * BookCostMeter::kBytesPerTextLine;
    const qint64 characters = text.size() * BookCostMeter::kBytesPerCharacter;
    if (!meter.charge(lineTable + characters)) {
        BookMemoryBudget::logCost(meter);
        return fail(BookMemoryBudget::refusal(QStringLiteral("Cannot open file: "), m_book.filePath));
    }
    meter.refund(characters); // charged again as the blocks are built
    m_chunks = buildChunks(text, m_book.filePath, meter, lineTable);
    if (CancelToken::requested()) {
        m_chunks.clear();
        return fail(cancelledText(m_book.filePath));
    }
    return TextBookChunks::settle(m_chunks, meter, QStringLiteral("Cannot open file: "), m_book);
}
