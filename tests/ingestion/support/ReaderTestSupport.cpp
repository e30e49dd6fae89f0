#include "ReaderTestSupport.h"

#include <utility>

namespace ReaderTestSupport {

FakeByteSource::FakeByteSource(std::shared_ptr<FakeBook> book)
    : book(std::move(book))
{
}

bool FakeByteSource::open(const QString&)
{
    const QMutexLocker lock(&book->mutex);
    ++book->opens;
    return book->openSucceeds;
}

QStringList FakeByteSource::listEntries() const
{
    return book->entries.keys();
}

QByteArray FakeByteSource::readEntry(const QString& name) const
{
    const QMutexLocker lock(&book->mutex);
    ++book->reads[name];
    return book->entries.value(name);
}

QByteArray FakeByteSource::contentHash() const
{
    return book->hash;
}

SourceFactory fakeSourceFactory(const std::shared_ptr<FakeBook>& book)
{
    return [book]() -> std::unique_ptr<IByteSource> { return std::make_unique<FakeByteSource>(book); };
}

QString chunkText(const QList<ContentChunk>& chunks)
{
    QStringList paragraphs;
    for (const ContentChunk& chunk : chunks) {
        for (const BlockItem& block : chunk.blocks) {
            if (block.kind != BlockItem::Paragraph)
                continue;
            QString text;
            for (const InlineRun& run : block.runs) {
                if (run.kind == InlineRun::Text)
                    text += run.text;
            }
            paragraphs.append(text);
        }
    }
    return paragraphs.join(QLatin1Char('\n'));
}

QStringList chunkIds(const QList<ContentChunk>& chunks)
{
    QStringList ids;
    for (const ContentChunk& chunk : chunks) {
        if (ids.isEmpty() || ids.last() != chunk.id)
            ids.append(chunk.id);
    }
    return ids;
}

} // namespace ReaderTestSupport
