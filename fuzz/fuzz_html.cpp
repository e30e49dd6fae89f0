// The HTML block parser with the chunk builder: the input is a chapter bundle (FuzzChapter: the
// document and its style sheets) read as the EPUB reader reads a spine document, and the whole
// input is also read as HTML text (wrapped, made XML-safe, read by the HTML5 parser when it is no
// XML), and as markup of no known structure (plain paragraphs). Every result must keep the invariants of content chunks, and cutting must not change
// the content: the chunks' blocks, less the container items the cuts add, are the blocks of the
// document built as one chunk.

#include "ChunkChecks.h"
#include "ChunkDump.h"
#include "content/DocumentChunkBuilder.h"
#include "FuzzChapter.h"
#include "FuzzLimits.h"
#include "html/HtmlBlockParser.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > FuzzLimits::MaxInputBytes)
        return 0;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

    const QList<ContentChunk> chunks = FuzzChapter::parseChunks(input);
    ChunkChecks::checkChunks(chunks);
    const QList<ContentChunk> whole = FuzzChapter::parseChunks(input, DocumentChunkBuilder::kSingleChunkBudget);
    ChunkChecks::require(whole.size() <= 1, "a document within the budget is one chunk");
    ChunkDump::requireSame(ChunkDump::blocks(ChunkDump::documentBlocks(whole)),
                           ChunkDump::blocks(ChunkDump::documentBlocks(chunks)), "cutting keeps the document's blocks");

    const ParseParams params;
    const QString text = QString::fromUtf8(input);
    const QList<ContentChunk> fragment = HtmlBlockParser::parseChunks(text, QStringLiteral("fragment"),
                                                                      DocumentChunkBuilder::kReaderBudget, params);
    ChunkChecks::checkChunks(fragment);
    ChunkDump::requireSame(ChunkDump::blocks(HtmlBlockParser::parse(text, params)),
                           ChunkDump::blocks(ChunkDump::documentBlocks(fragment)), "cutting keeps the fragment's blocks");
    ChunkChecks::checkChunks(HtmlBlockParser::plainTextChunks(text, QStringLiteral("plain"), DocumentChunkBuilder::kReaderBudget, params));
    return 0;
}
