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

// Where registered fonts are kept while the process runs; removed when it ends.
QTemporaryDir& fontFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/vellora-fonts-XXXXXX"));
    return folder;
}

// Registers the font from a file of its own: the font database then keeps only the file's name,
// and FreeType maps the file while text is drawn in the font and lets it go when none is. Given
// the bytes, the database would keep a copy of every book font ever opened for as long as the
// process runs. Bytes are registered only where no file can be written.
int addToDatabase(const QByteArray& bytes, int serial)
{
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

EmbeddedFonts::Font registered(SfntFont sfnt, int serial)
{
    EmbeddedFonts::Font font;
    font.ownFamily = sfnt.family();
    font.weight = sfnt.weight();
    font.italic = sfnt.italic();
    const QString family = QStringLiteral("Vellora Book Font %1").arg(serial);
    sfnt.rename(family);
    if (addToDatabase(sfnt.toBytes(), serial) >= 0)
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

    // Every open of a book hashes all its fonts again: BLAKE2b is as collision-proof as SHA-256
    // and several times faster.
    const QByteArray key = QCryptographicHash::hash(data, QCryptographicHash::Blake2b_256);
    QMutexLocker locker(&mutex);
    const auto found = byHash.constFind(key);
    if (found != byHash.constEnd())
        return found.value();
    SfntFont sfnt;
    // Data that is no font is remembered too: it would fail the same way every time.
    const Font font = WoffDecoder::decode(data, &sfnt) ? registered(std::move(sfnt), int(byHash.size()) + 1) : Font();
    byHash.insert(key, font);
    return font;
}
