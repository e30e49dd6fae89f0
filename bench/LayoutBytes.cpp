#include "LayoutBytes.h"

namespace {

// What glibc malloc and Qt's array header add to every buffer.
constexpr qint64 kAllocationOverhead = 16 + 16;

} // namespace

void LayoutBytes::excludeChunks(const QList<ContentChunk>& chunks)
{
    for (const ContentChunk& chunk : chunks)
        firstSight(chunk.blocks.constData());
}

void LayoutBytes::addPrepared(const QList<PreparedChunk>& prepared)
{
    if (addBuffer(prepared)) {
        for (const PreparedChunk& chunk : prepared)
            add(chunk);
    }
}

void LayoutBytes::addLayouts(const QList<ChunkLayout>& layouts)
{
    if (addBuffer(layouts)) {
        for (const ChunkLayout& layout : layouts)
            add(layout);
    }
}

bool LayoutBytes::firstSight(const void* buffer)
{
    if (!buffer || m_seen.contains(buffer))
        return false;
    m_seen.insert(buffer);
    return true;
}

template <typename T>
bool LayoutBytes::addBuffer(const QList<T>& list)
{
    if (!firstSight(list.constData()))
        return false;
    m_bytes += kAllocationOverhead + list.capacity() * qint64(sizeof(T));
    return true;
}

void LayoutBytes::addString(const QString& text)
{
    if (firstSight(text.constData()) && !text.isEmpty())
        m_bytes += kAllocationOverhead + (text.capacity() + 1) * qint64(sizeof(QChar));
}

void LayoutBytes::add(const PreparedChunk& chunk)
{
    if (addBuffer(chunk.blocks)) {
        for (const PreparedBlock& block : chunk.blocks) {
            const PackedItems& items = block.paragraph.items;
            if (items.itemCapacity() > 0)
                m_bytes += 2 * kAllocationOverhead + items.itemCapacity() * PackedItems::kItemBytes
                    + items.valueCapacity() * PackedItems::kValueBytes;
            addBuffer(block.paragraph.runs);
        }
    }
    if (addBuffer(chunk.styles)) {
        for (const PreparedStyle& style : chunk.styles)
            addString(style.request.family);
    }
    addString(chunk.text);
    addString(chunk.fontFamily);
    addBuffer(chunk.sourceBlocks);
    // A hash node holds its key and value beside two pointers' worth of bookkeeping.
    m_bytes += chunk.imageSizes.size() * qint64(sizeof(QString) + sizeof(QSizeF) + kAllocationOverhead);
    for (auto it = chunk.imageSizes.cbegin(); it != chunk.imageSizes.cend(); ++it)
        addString(it.key());
}

void LayoutBytes::add(const ChunkLayout& layout)
{
    if (addBuffer(layout.lines)) {
        for (const LayoutLine& line : layout.lines)
            addBuffer(line.runs);
    }
    addBuffer(layout.styles);
    addString(layout.text);
    if (addBuffer(layout.images)) {
        for (const LayoutImage& image : layout.images)
            addString(image.source);
    }
    addBuffer(layout.rules);
    addBuffer(layout.boxes);
}
