#include "formats/TextBookChunks.h"

#include "formats/BookMemoryBudget.h"

namespace TextBookChunks {

ContentChunk emptyChunk(const QString& id)
{
    ContentChunk chunk;
    chunk.id = id;
    chunk.blocks.append(BlockItem());
    return chunk;
}

bool settle(QList<ContentChunk>& chunks, const BookCostMeter& meter, const QString& cannotOpenText, BookMetadata& book)
{
    if (meter.exceeded() || !BookMemoryBudget::fits(chunks, meter.budget())) {
        BookMemoryBudget::logCost(meter);
        chunks.clear();
        book.contentHash.clear();
        book.errorString = BookMemoryBudget::refusal(cannotOpenText, book.filePath);
        return false;
    }
    if (chunks.isEmpty())
        chunks.append(emptyChunk(book.filePath));
    return true;
}

} // namespace TextBookChunks
