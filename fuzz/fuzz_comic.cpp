// The RAR byte source and the comic reader: the header walk, page order and the image headers the
// page sizes are read from. An input beginning with "Rar!" is the archive itself; any other input
// is a bundle of entries (FuzzBundle; a name ending in "/" is a folder), written as a RAR 4 and as
// a RAR 5 archive with valid checksums so that mutations reach past them.

#include "ChunkChecks.h"
#include "ComicReader.h"
#include "FuzzApplication.h"
#include "FuzzBundle.h"
#include "FuzzLimits.h"
#include "FuzzScratchFile.h"
#include "RarByteSource.h"
#include "TestRar.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void readComic(const QString& path)
{
    ComicReader reader([] { return std::make_unique<RarByteSource>(); }, QStringLiteral("cbr"));
    if (reader.open(path)) {
        ChunkChecks::require(!reader.pages().isEmpty(), "an open comic has pages");
        for (const ComicPage& page : reader.pages())
            ChunkChecks::require(!page.entry.isEmpty(), "a page has an image URL");
    }
    reader.loadMetadata(path);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzApplication::startGui(); // image format plugins for the page sizes
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > FuzzLimits::MaxInputBytes)
        return 0;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

    if (input.startsWith("Rar!")) {
        readComic(FuzzScratchFile::write(QStringLiteral("comic.cbr"), input));
        return 0;
    }
    QList<TestRar::Entry> entries;
    for (const FuzzPart& part : FuzzBundle::split(input)) {
        TestRar::Entry entry;
        entry.directory = part.name.endsWith(u'/');
        entry.name = entry.directory ? part.name.chopped(1) : part.name;
        entry.data = entry.directory ? QByteArray() : part.data;
        entries.append(entry);
    }
    for (const TestRar::Format format : { TestRar::Format::Rar4, TestRar::Format::Rar5 })
        readComic(FuzzScratchFile::write(QStringLiteral("comic.cbr"), TestRar::build(format, entries)));
    return 0;
}
