#include "formats/EmbeddedFonts.h"

#include "formats/WoffDecoder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QTemporaryDir>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

namespace {

// What the fonts registered from their bytes may take in all: Qt keeps a copy of each for the
// life of the process. The fonts of a few ordinary books fit many times over.
constexpr qint64 kMaxBytesInMemory = qint64(16) * 1024 * 1024;

// Where fonts past that are kept while the process runs; removed when it ends.
QTemporaryDir& fontFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/vellora-fonts-XXXXXX"));
    return folder;
}

// Registers the font from its bytes while those registered so far (inMemory) leave room: the
// threads that measure and draw text then share one copy. A font registered from a file is
// mapped by FreeType once for every thread that uses it, which costs the fonts of an ordinary
// book megabytes at every layout, but a file keeps only its name in the database: past the
// room (a flood of fonts, or a long session of books), each font goes to a file of its own.
// Bytes are registered too where no file can be written.
int addToDatabase(const QByteArray& bytes, int serial, qint64& inMemory)
{
    if (inMemory + bytes.size() <= kMaxBytesInMemory) {
        const int id = QFontDatabase::addApplicationFontFromData(bytes);
        if (id >= 0)
            inMemory += bytes.size();
        return id;
    }
    QTemporaryDir& folder = fontFolder();
    if (folder.isValid()) {
        const QString path = folder.filePath(QStringLiteral("%1.font").arg(serial));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush()) {
            file.close();
            return QFontDatabase::addApplicationFont(path);
        }
    }
    return QFontDatabase::addApplicationFontFromData(bytes);
}

EmbeddedFonts::Font registered(SfntFont sfnt, int serial, qint64& inMemory)
{
    EmbeddedFonts::Font font;
    font.ownFamily = sfnt.family();
    font.weight = sfnt.weight();
    font.italic = sfnt.italic();
    const QString family = QStringLiteral("Vellora Book Font %1").arg(serial);
    sfnt.rename(family);
    if (addToDatabase(sfnt.toBytes(), serial, inMemory) >= 0)
        font.family = family;
    return font;
}

} // namespace

EmbeddedFonts::Font EmbeddedFonts::add(const QByteArray& data)
{
    if (data.isEmpty())
        return Font();

    static QMutex mutex;
    static QHash<QByteArray, Font> byHash;
    static qint64 inMemory = 0; // bytes registered from memory

    // Every open of a book hashes all its fonts again: BLAKE2b is as collision-proof as SHA-256
    // and several times faster.
    const QByteArray key = QCryptographicHash::hash(data, QCryptographicHash::Blake2b_256);
    QMutexLocker locker(&mutex);
    const auto found = byHash.constFind(key);
    if (found != byHash.constEnd())
        return found.value();
    SfntFont sfnt;
    // Data that is no font is remembered too: it would fail the same way every time.
    const Font font = WoffDecoder::decode(data, &sfnt)
        ? registered(std::move(sfnt), int(byHash.size()) + 1, inMemory)
        : Font();
    byHash.insert(key, font);
    return font;
}
