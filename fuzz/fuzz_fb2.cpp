// The FB2 container and reader: the FictionBook XML in its detected encoding, its binaries, its
// metadata and its bodies. An input beginning with "PK" is a zipped book (.fbz) as it is; any other
// input is the FictionBook file, read plain and, zipped by the harness, as .fb2.zip.

#include "ChunkChecks.h"
#include "Fb2ByteSource.h"
#include "Fb2Reader.h"
#include "FuzzLimits.h"
#include "FuzzScratchFile.h"
#include "TestZip.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void readBook(const QString& path, bool withMetadata)
{
    Fb2Reader reader([] { return std::make_unique<Fb2ByteSource>(); }, QStringLiteral("fb2"));
    if (reader.open(path))
        ChunkChecks::checkReaderChunks(reader.chunks(), path);
    if (withMetadata)
        reader.loadMetadata(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > FuzzLimits::MaxInputBytes)
        return 0;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

    if (input.startsWith("PK")) {
        readBook(FuzzScratchFile::write(QStringLiteral("book.fbz"), input), true);
        return 0;
    }
    readBook(FuzzScratchFile::write(QStringLiteral("book.fb2"), input), true);
    const QString zipped = FuzzScratchFile::path(QStringLiteral("book.fb2.zip"));
    if (!TestZip::write(zipped, { { QStringLiteral("book.fb2"), input, false } })) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", qPrintable(zipped));
        std::abort();
    }
    readBook(zipped, false);
    return 0;
}
