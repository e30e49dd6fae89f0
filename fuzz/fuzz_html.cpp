// The HTML block parser with the chunk builder: the input is a chapter bundle (FuzzChapter: the
// document and its style sheets) read as the EPUB reader reads a spine document, and the whole
// input is also read as HTML text (wrapped, made XML-safe, degraded to plain paragraphs when it is
// no XML). Every result must keep the invariants of content chunks.

#include "ChunkChecks.h"
#include "DocumentChunkBuilder.h"
#include "FuzzChapter.h"
#include "FuzzLimits.h"
#include "HtmlBlockParser.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > FuzzLimits::MaxInputBytes)
        return 0;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

    ChunkChecks::checkChunks(FuzzChapter::parseChunks(input));

    const ParseParams params;
    const QString text = QString::fromUtf8(input);
    ChunkChecks::checkChunks(HtmlBlockParser::parseChunks(text, QStringLiteral("fragment"),
                                                          DocumentChunkBuilder::ReaderBudget, params));
    return 0;
}
