// The zip byte source and the EPUB reader: container, package document, spine documents with their
// style sheets and fonts. An input beginning with "PK" is the book file itself; any other input is
// a bundle of the book's entries (FuzzBundle), stored into a zip first, so that mutations reach the
// XML and CSS behind the archive's checksums; the zip source must then give back every entry as
// the bundle has it.

#include "ChunkChecks.h"
#include "formats/EpubReader.h"
#include "FuzzApplication.h"
#include "FuzzBundle.h"
#include "FuzzLimits.h"
#include "FuzzScratchFile.h"
#include "sources/ZipByteSource.h"
#include "TestZip.h"

#include <QHash>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Names the zip keeps as they are: no zero byte (minizip takes C strings) and within its name
// buffer of 4095 bytes.
bool keptName(const QString& name)
{
    return !name.contains(QChar(0)) && name.toUtf8().size() <= 4095;
}

void checkEntries(const QString& path, const QList<FuzzPart>& parts)
{
    ZipByteSource source;
    // minizip 1.1 finds no end record at the very start of a file, so an archive of no entries
    // (nothing but that record) does not open.
    ChunkChecks::require(source.open(path) || parts.isEmpty(), "a written zip opens");
    QStringList names;
    QHash<QString, QByteArray> last; // a later entry of a name hides an earlier one
    for (const FuzzPart& part : parts) {
        if (!keptName(part.name))
            return;
        names.append(part.name);
        last.insert(part.name, part.data);
    }
    ChunkChecks::require(source.listEntries() == names, "the zip lists its entries in order");
    for (auto entry = last.cbegin(); entry != last.cend(); ++entry) {
        if (!entry.key().isEmpty())
            ChunkChecks::require(source.readEntry(entry.key()) == entry.value(), "a zip entry reads back as written");
    }
}

} // namespace

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
        const QList<FuzzPart> parts = FuzzBundle::split(input);
        QList<TestZip::Entry> entries;
        for (const FuzzPart& part : parts)
            entries.append({ part.name, part.data, true });
        path = FuzzScratchFile::path(QStringLiteral("book.epub"));
        if (!TestZip::write(path, entries)) {
            std::fprintf(stderr, "fuzz: cannot write %s\n", qPrintable(path));
            std::abort();
        }
        checkEntries(path, parts);
    }

    EpubReader reader([] { return std::make_unique<ZipByteSource>(); }, QStringLiteral("epub"));
    if (reader.open(path))
        ChunkChecks::checkReaderChunks(reader.chunks());
    return 0;
}
