// The readers of embedded font files: the input is read as a font (TrueType or OpenType, a
// collection, WOFF or WOFF2); a font that reads is told its family, weight and style, renamed and
// written back, and what is written must read again as the same tables under the new name.

#include "ChunkChecks.h"
#include "formats/WoffDecoder.h"
#include "FuzzLimits.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > FuzzLimits::MaxInputBytes)
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    SfntFont font;
    if (!WoffDecoder::decode(bytes, &font))
        return 0;
    font.family();
    font.weight();
    font.italic();
    font.rename(QStringLiteral("Fuzz Face"));
    SfntFont again;
    ChunkChecks::require(SfntFont::parse(font.toBytes(), &again), "a written font reads again");
    ChunkChecks::require(again.tables.size() == font.tables.size() && again.family() == QStringLiteral("Fuzz Face"),
                         "a written font keeps its tables and its new name");
    return 0;
}
