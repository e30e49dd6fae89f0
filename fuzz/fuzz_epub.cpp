// The zip byte source and the EPUB reader: container, package document, spine documents with their
// style sheets and fonts. An input beginning with "PK" is the book file itself; any other input is
// a bundle of the book's entries (FuzzBundle), stored into a zip first, so that mutations reach the
// XML and CSS behind the archive's checksums.

#include "ChunkChecks.h"
#include "EpubReader.h"
#include "FuzzApplication.h"
#include "FuzzBundle.h"
#include "FuzzLimits.h"
#include "FuzzScratchFile.h"
#include "TestZip.h"
#include "ZipByteSource.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzApplication::startGui(); // embedded fonts go to the application font database
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > FuzzLimits::MaxInputBytes)
        return 0;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

    QString path;
    if (input.startsWith("PK")) {
        path = FuzzScratchFile::write(QStringLiteral("book.epub"), input);
    } else {
        QList<TestZip::Entry> entries;
        for (const FuzzPart& part : FuzzBundle::split(input))
            entries.append({ part.name, part.data, true });
        path = FuzzScratchFile::path(QStringLiteral("book.epub"));
        if (!TestZip::write(path, entries)) {
            std::fprintf(stderr, "fuzz: cannot write %s\n", qPrintable(path));
            std::abort();
        }
    }

    EpubReader reader([] { return std::make_unique<ZipByteSource>(); }, QStringLiteral("epub"));
    if (reader.open(path))
        ChunkChecks::checkReaderChunks(reader.chunks(), path);
    return 0;
}
