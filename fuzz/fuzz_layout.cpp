// Chunk preparation and layout: the chunks of a chapter bundle (FuzzChapter) are prepared with
// Qt's fonts and laid out at a wide and at a narrow column (the narrow one at another font size
// and line spacing, so the chunk is measured again). Images get their sizes from
// FuzzImageResolver. Every layout must have finite geometry and tile cleanly.

#include "ChunkChecks.h"
#include "ChunkLayoutEngine.h"
#include "FuzzApplication.h"
#include "FuzzChapter.h"
#include "FuzzImageResolver.h"
#include "FuzzLimits.h"
#include "LayoutChecks.h"

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzApplication::startGui(); // fonts for the text measurer
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > FuzzLimits::MaxInputBytes)
        return 0;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

    static const ChunkLayoutEngine engine;
    FuzzImageResolver images;
    LayoutParams wide;
    wide.width = 600;
    LayoutParams narrow;
    narrow.width = 150;
    narrow.fontSize = 22;
    narrow.lineHeight = 1.4;

    for (const ContentChunk& chunk : FuzzChapter::parseChunks(input)) {
        const ChunkLayoutEngine::PreparedChunk prepared = engine.prepareChunk(chunk, 16, &images);
        for (const LayoutParams& params : { wide, narrow }) {
            const ChunkLayout layout = engine.layoutPreparedChunk(prepared, params);
            ChunkChecks::require(layout.width == params.width, "a layout has the width it was made for");
            LayoutChecks::checkLayout(layout);
        }
    }
    return 0;
}
