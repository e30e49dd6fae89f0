#pragma once

// Helpers of the reader tests: an in-memory byte source that counts its reads, and the plain text
// of content chunks.

#include "content/ContentModel.h"
#include "formats/FormatReader.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

namespace ReaderTestSupport {

// The book behind every FakeByteSource a factory makes; the reads of all of them add up here, from
// any thread.
struct FakeBook {
    QMutex mutex; // guards the counts
    QHash<QString, QByteArray> entries;
    bool openSucceeds = true;
    QByteArray hash = QByteArray(16, '\x2a');
    QHash<QString, int> reads;
    int opens = 0;
};

class FakeByteSource : public IByteSource {
public:
    explicit FakeByteSource(std::shared_ptr<FakeBook> book);

    bool open(const QString& path) override;
    QStringList listEntries() const override;
    QByteArray readEntry(const QString& name) const override;
    QByteArray contentHash() const override;

private:
    std::shared_ptr<FakeBook> book;
};

SourceFactory fakeSourceFactory(const std::shared_ptr<FakeBook>& book);

// The text of every run of every paragraph, paragraphs separated by "\n".
QString chunkText(const QList<ContentChunk>& chunks);
// The chunk ids in order, each once for a series of chunks with the same id.
QStringList chunkIds(const QList<ContentChunk>& chunks);

} // namespace ReaderTestSupport
