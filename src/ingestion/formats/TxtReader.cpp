#include "formats/TxtReader.h"

#include "content/DocumentChunkBuilder.h"
#include "formats/LargeBuffer.h"
#include "formats/TextBookChunks.h"
#include "text/PlainTextParagraphs.h"
#include "text/TextContentCheck.h"
#include "text/TextEncoding.h"
#include "text/VisualHebrew.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <future>

namespace {

// Paragraphs are set apart as in printed books: a first-line indent of 1.5 em on a paragraph
// that follows a paragraph, none after a gap, a break or lines laid out by hand.
constexpr double kParagraphIndent = 1.5;

QList<ContentChunk> buildChunks(QStringView text, const QString& chunkId)
{
    using PlainTextParagraphs::Block;
    DocumentChunkBuilder builder(chunkId, DocumentChunkBuilder::kReaderBudget);
    const TextStyle style;
    int previous = -1;
    PlainTextParagraphs::split(text, DocumentChunkBuilder::kReaderBudget, [&](const Block& block) {
        switch (block.kind) {
        case Block::Paragraph: {
            const bool indented = previous == Block::Paragraph && !block.continues;
            builder.startParagraph(TextAlign::Justify, indented ? kParagraphIndent * style.size : 0, 0,
                                   style.size, false, QString(), TextStyle());
            builder.appendText(block.text, style, false);
            break;
        }
        case Block::Lines: { // at the side the text starts on: the right for Hebrew and Arabic
            const TextAlign side = block.text.isRightToLeft() ? TextAlign::Right : TextAlign::Left;
            builder.startParagraph(side, 0, 0, style.size, true, QString(), TextStyle());
            builder.appendText(block.text, style, true);
            break;
        }
        case Block::Gap:
            // One empty line, whatever the layout does with margins.
            builder.startParagraph(TextAlign::Left, 0, 0, style.size, false, QString(), TextStyle());
            builder.appendText(QStringLiteral("\u00A0"), style, true);
            break;
        case Block::Break:
            builder.appendRule(QColor());
            break;
        }
        previous = block.kind;
    });
    QList<ContentChunk> chunks = builder.build();
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
    // to hold is refused as one that cannot be opened.
    if (!info.isFile() || info.size() > kMaxFileSize || !file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot open file: ") + filePath);
    // Up to the size seen above, so a file that grows meanwhile cannot push past the limit.
    const LargeBuffer buffer(info.size());
    const qint64 read = file.read(buffer.data(), info.size());
    if (read < 0 || file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("Cannot open file: ") + filePath);
    file.close();
    const QByteArray bytes = QByteArray::fromRawData(buffer.data(), read);

    // The digest of the bytes just read is the file's MD5, without reading the file twice. It is
    // worked out beside the decoding, as both only read the bytes, and a long book opens sooner.
    std::future<QByteArray> digesting = std::async(std::launch::async, [&bytes] {
        return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
    });
    // UTF-8, the common case, is decoded into memory of its own that goes when the book is open.
    const LargeBuffer units(2 * read);
    const qsizetype unitCount = TextEncoding::decodeUtf8(bytes, units.units());
    QString decoded = unitCount < 0 ? TextEncoding::decode(bytes, QString()) : QString();
    QStringView text = unitCount < 0 ? QStringView(decoded) : QStringView(units.units(), unitCount);
    const QByteArray digest = digesting.get();
    if (VisualHebrew::isVisual(text)) {
        decoded = VisualHebrew::toLogical(text);
        text = decoded;
    }
    if (!settle(text, info.fileName()))
        return false;
    m_book.contentHash = digest;
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
    if (!BookMemoryBudget::fits(text.size(), m_memoryBudget))
        return fail(BookMemoryBudget::refusal(QStringLiteral("Cannot open file: "), m_book.filePath));
    m_chunks = buildChunks(text, m_book.filePath);
    return true;
}
