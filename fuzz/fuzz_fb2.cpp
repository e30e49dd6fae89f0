// The FB2 container and reader: the FictionBook XML in its detected encoding, its binaries, its
// metadata and its bodies. An input beginning with "PK" is a zipped book (.fbz) as it is; any other
// input is the FictionBook file, read plain and, zipped by the harness, as .fb2.zip: both forms
// must give the same book.

#include "ChunkChecks.h"
#include "ChunkDump.h"
#include "formats/Fb2Reader.h"
#include "FuzzLimits.h"
#include "FuzzScratchFile.h"
#include "sources/Fb2ByteSource.h"
#include "TestZip.h"

#include <QRegularExpression>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

struct Book {
    bool opened = false;
    QString title, author;
    QStringList chunks; // ids and blocks, image URLs without the book path
};

Book readBook(const QString& path, bool withMetadata)
{
    Fb2Reader reader([] { return std::make_unique<Fb2ByteSource>(); }, QStringLiteral("fb2"));
    Book book;
    book.opened = reader.open(path);
    if (book.opened) {
        ChunkChecks::checkReaderChunks(reader.chunks());
        book.title = reader.title();
        book.author = reader.author();
        static const QRegularExpression bookPath(QStringLiteral("\\?src=\\S*"));
        for (const ContentChunk& chunk : reader.chunks()) {
            // Section paths, or the book path for the one chunk of a book without content.
            book.chunks.append(chunk.id == path ? QStringLiteral("<book>") : chunk.id);
            for (const QString& block : ChunkDump::blocks(chunk.blocks))
                book.chunks.append(QString(block).remove(bookPath));
        }
    }
    if (withMetadata)
        reader.loadMetadata(path);
    return book;
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
    const Book plain = readBook(FuzzScratchFile::write(QStringLiteral("book.fb2"), input), true);
    const QString zipped = FuzzScratchFile::path(QStringLiteral("book.fb2.zip"));
    if (!TestZip::write(zipped, { { QStringLiteral("book.fb2"), input, false } })) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", qPrintable(zipped));
        std::abort();
    }
    const Book unzipped = readBook(zipped, false);
    if (plain.opened && unzipped.opened) {
        ChunkChecks::require(plain.title == unzipped.title && plain.author == unzipped.author,
                             "a zipped book has the title and author of the plain one");
        ChunkDump::requireSame(plain.chunks, unzipped.chunks, "a zipped book reads as the plain one");
    }
    return 0;
}
