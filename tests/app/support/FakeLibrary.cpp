#include "FakeLibrary.h"

void FakeLibrary::add(const QString& path, const FakeBookContent& content)
{
    std::lock_guard lock(m_mutex);
    m_books.insert(path, content);
}

bool FakeLibrary::find(const QString& path, FakeBookContent* content) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_books.constFind(path);
    if (it == m_books.cend())
        return false;
    *content = *it;
    return true;
}

void FakeLibrary::closeGate()
{
    std::lock_guard lock(m_mutex);
    m_gateClosed = true;
}

void FakeLibrary::release()
{
    std::lock_guard lock(m_mutex);
    m_gateClosed = false;
    m_gateOpened.notify_all();
}

void FakeLibrary::passGate()
{
    std::unique_lock lock(m_mutex);
    m_gateOpened.wait(lock, [this] { return !m_gateClosed; });
}

QList<ContentChunk> makeChunks(int count, int weight, bool withImage)
{
    QList<ContentChunk> chunks;
    for (int i = 0; i < count; ++i) {
        ContentChunk chunk;
        chunk.id = QStringLiteral("c%1").arg(i);
        BlockItem paragraph;
        InlineRun text;
        // Words of five letters, so the line breaker has places to break.
        QString words;
        while (words.size() < weight)
            words += QStringLiteral("word ");
        text.text = words.left(weight);
        paragraph.runs.append(text);
        chunk.weight = weight;
        if (withImage) {
            InlineRun image;
            image.kind = InlineRun::Image;
            image.url = QStringLiteral("image://fake/img%1.png").arg(i);
            paragraph.runs.append(image);
            chunk.weight += 1800;
        }
        chunk.blocks.append(paragraph);
        chunks.append(chunk);
    }
    return chunks;
}

QList<ComicPage> makePages(int count, const QList<int>& wide)
{
    QList<ComicPage> pages;
    for (int i = 0; i < count; ++i)
        pages.append({QStringLiteral("image://cbz/p%1.png").arg(i), wide.contains(i) ? QSize(1800, 900) : QSize(600, 900)});
    return pages;
}
