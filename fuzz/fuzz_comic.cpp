// The RAR byte source and the comic reader: the header walk, page order and the image headers the
// page sizes are read from. An input beginning with "Rar!" is the archive itself; any other input
// is a bundle of entries (FuzzBundle; a name ending in "/" is a folder), written as a RAR 4 and as
// a RAR 5 archive with valid checksums so that mutations reach past them; the RAR source must then
// give back every file as the bundle has it, entry by entry and in one walk.

#include "ChunkChecks.h"
#include "formats/ComicReader.h"
#include "FuzzApplication.h"
#include "FuzzBundle.h"
#include "FuzzLimits.h"
#include "FuzzScratchFile.h"
#include "sources/RarByteSource.h"
#include "TestRar.h"

#include <QHash>
#include <QSet>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Names that RAR and libarchive keep as they are: printable ASCII without the "\\" that RAR 4
// names from Windows turn into "/".
bool keptName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e || c == u'\\')
            return false;
    }
    return true;
}

// Archives whose names are all kept and distinct: libarchive reads RAR 4 headers of one name in a
// row as the parts of one file split across volumes.
void checkEntries(const QString& path, const QList<TestRar::Entry>& entries)
{
    QStringList files;
    QHash<QString, QByteArray> data;
    QSet<QString> names;
    for (const TestRar::Entry& entry : entries) {
        if (!keptName(entry.name) || names.contains(entry.name))
            return;
        names.insert(entry.name);
        if (!entry.directory) {
            files.append(entry.name);
            data.insert(entry.name, entry.data);
        }
    }
    RarByteSource source;
    ChunkChecks::require(source.open(path) == !files.isEmpty(), "a written RAR opens when it holds a file");
    if (files.isEmpty())
        return;
    ChunkChecks::require(source.listEntries() == files, "the RAR lists its files in order");
    for (auto file = data.cbegin(); file != data.cend(); ++file)
        ChunkChecks::require(source.readEntry(file.key()) == file.value(), "a RAR entry reads back as written");

    QStringList asked = files;
    asked.append(QStringLiteral("not in the archive"));
    QSet<QString> visited;
    source.readEntries(asked, [&](const QString& name, const QByteArray& bytes) {
        ChunkChecks::require(!visited.contains(name), "readEntries visits a name once");
        visited.insert(name);
        ChunkChecks::require(bytes == data.value(name), "readEntries reads what readEntry reads");
    });
    ChunkChecks::require(visited.size() == asked.size(), "readEntries visits every name");
}

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
    for (const TestRar::Format format : { TestRar::Format::Rar4, TestRar::Format::Rar5 }) {
        const QString path = FuzzScratchFile::write(QStringLiteral("comic.cbr"), TestRar::build(format, entries));
        checkEntries(path, entries);
        readComic(path);
    }
    return 0;
}
