#pragma once

// A FormatReader over a FakeLibrary: open() waits at the library's gate, then copies the book
// stored under the path, or fails with "Cannot open fake book: <path>". Made on any thread, used by
// one thread at a time like a real reader.

#include "FakeLibrary.h"
#include "formats/FormatSpec.h"

class FakeReader : public FormatReader {
public:
    explicit FakeReader(std::shared_ptr<FakeLibrary> library);
    // A reader already holding `content`, for tests that install readers directly.
    FakeReader(const QString& path, const FakeBookContent& content);
    ~FakeReader() override;

    int contentKind() const override { return m_content.contentKind; }
    bool open(const QString& path) override;
    bool loadMetadata(const QString& path) override { return open(path); }
    QString errorString() const override { return m_error; }
    QString filePath() const override { return m_path; }
    QString title() const override { return m_content.title; }
    QString author() const override { return m_content.author; }
    QString coverImageUrl() const override { return m_content.coverImageUrl; }
    QByteArray contentHash() const override { return m_content.contentHash; }
    QList<ComicPage> pages() const override { return m_content.pages; }
    QList<ContentChunk> chunks() const override { return m_content.chunks; }

private:
    std::shared_ptr<FakeLibrary> m_library;
    QString m_path;
    QString m_error;
    FakeBookContent m_content;
};

// A row of the table of formats whose readers are FakeReaders over `library`.
FormatSpec fakeRow(const QString& extension, bool isDirectory, const std::shared_ptr<FakeLibrary>& library);
