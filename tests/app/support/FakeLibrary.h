#pragma once

// What fake readers open: book contents keyed by path, a gate that holds every open() until the
// test releases it, and counters of readers made and alive. Shared by the test and the readers it
// makes on pool threads; every member is safe to use from any thread.

#include "formats/FormatReader.h"

#include <QHash>

#include <condition_variable>
#include <mutex>

#include <atomic>
#include <memory>

struct FakeBookContent {
    int contentKind = ContentKind::Text;
    QString title;
    QString author;
    QString coverImageUrl;
    QByteArray contentHash;
    QList<ContentChunk> chunks;
    QList<ComicPage> pages;
};

class FakeLibrary {
public:
    void add(const QString& path, const FakeBookContent& content);
    bool find(const QString& path, FakeBookContent* content) const;

    // While closed, every fake open() blocks until release().
    void closeGate();
    void release();
    void passGate();

    std::atomic<int> readersMade{0};
    std::atomic<int> readersAlive{0};
    std::atomic<int> opensStarted{0};

private:
    // Standard primitives rather than QWaitCondition, so ThreadSanitizer sees the hand-over.
    mutable std::mutex m_mutex;
    std::condition_variable m_gateOpened;
    bool m_gateClosed = false;
    QHash<QString, FakeBookContent> m_books;
};

// Chunks of `count` one-paragraph blocks whose text is `weight` characters long; with `withImage`
// each chunk also holds an image run (so that chunk preparation asks the image resolver).
QList<ContentChunk> makeChunks(int count, int weight = 100, bool withImage = false);
// Portrait pages (600 x 900) with the given wide indices (1800 x 900).
QList<ComicPage> makePages(int count, const QList<int>& wide = {});
