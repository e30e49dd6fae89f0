// Text encoding detection and decoding, and the plain-text reader built on them. The whole input
// is detected and decoded, and read as a TXT book; when its first line is short (up to 32 bytes)
// it is also taken as an encoding name for the rest, as a declared or hinted encoding would be.
// The UTF-8 validator must agree with Qt's strict decoder, and the one-pass decoder with both.

#include "ChunkChecks.h"
#include "formats/TxtReader.h"
#include "FuzzLimits.h"
#include "FuzzScratchFile.h"
#include "text/TextEncoding.h"

#include <cstdint>

using ChunkChecks::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > FuzzLimits::MaxInputBytes)
        return 0;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

    const QString detected = TextEncoding::detectEncoding(input);
    require(input.isEmpty() == detected.isEmpty(), "only empty data has no encoding");
    TextEncoding::decode(input, QString());
    TextEncoding::guessCyrillicCodePage(input);

    // Well-formed UTF-8 comes back byte for byte from a decoding and an encoding (less a leading
    // byte-order mark, which Qt drops); anything else gains a replacement character.
    const bool valid = isValidUtf8(input.constData(), input.size());
    const QByteArray unmarked = input.startsWith("\xEF\xBB\xBF") ? input.mid(3) : input;
    require(valid == (QString::fromUtf8(input).toUtf8() == unmarked), "the UTF-8 validator agrees with Qt");
    // The one-pass decoder takes what the validator takes, and drops nothing of it.
    QString units(input.size(), Qt::Uninitialized);
    const qsizetype written = decodeWellFormedUtf8(input.constData(), input.size(), reinterpret_cast<char16_t*>(units.data()));
    require((written >= 0) == valid, "the decoder agrees with the validator");
    require(!valid || units.left(written).toUtf8() == input, "the decoder keeps every character");

    TxtReader book;
    if (book.open(FuzzScratchFile::write(QStringLiteral("book.txt"), input)))
        ChunkChecks::checkReaderChunks(book.chunks());

    const qsizetype lineEnd = input.indexOf('\n');
    if (lineEnd > 0 && lineEnd <= 32) {
        const QString name = QString::fromLatin1(input.left(lineEnd));
        const QByteArray body = input.mid(lineEnd + 1);
        TextEncoding::decodeWithEncoding(body, name);
        const QString text = TextEncoding::decode(body, name);
        // A byte-order mark followed by less than one character decodes to nothing.
        require(body.isEmpty() || !text.isEmpty() || body.startsWith("\xEF\xBB\xBF") || body.startsWith("\xFF\xFE")
                    || body.startsWith("\xFE\xFF") || body.startsWith(QByteArrayView("\0\0\xFE\xFF", 4)),
                "non-empty data decodes to text");
    }
    return 0;
}
