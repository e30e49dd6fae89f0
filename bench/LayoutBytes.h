#pragma once

// layout_bytes of vellora-bench: an estimate of the heap a book's prepared and laid-out chunks
// hold. Every list or string buffer is counted once however many records share it (implicit
// sharing), with its allocation header; a record's own size is counted where its list holds it.
// Buffers of the book's chunks themselves (which the reader holds anyway) are left out.
// Main thread only.

#include "ChunkLayout.h"
#include "content/ContentModel.h"
#include "PreparedChunk.h"

#include <QList>
#include <QSet>

class LayoutBytes {
public:
    // Marks the chunks' block lists as the reader's, so prepared chunks sharing them add nothing.
    void excludeChunks(const QList<ContentChunk>& chunks);
    void addPrepared(const QList<PreparedChunk>& prepared);
    void addLayouts(const QList<ChunkLayout>& layouts);
    qint64 total() const { return m_bytes; }

private:
    void add(const PreparedChunk& chunk);
    void add(const ChunkLayout& layout);
    // True when the buffer was not counted yet (a null buffer never counts).
    bool firstSight(const void* buffer);
    template <typename T>
    bool addBuffer(const QList<T>& list);
    void addString(const QString& text);

    QSet<const void*> m_seen;
    qint64 m_bytes = 0;
};
