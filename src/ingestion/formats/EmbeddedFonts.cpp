#include "formats/EmbeddedFonts.h"

#include "formats/WoffDecoder.h"

#include <QCryptographicHash>
#include <QFontDatabase>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

namespace {

EmbeddedFonts::Font registered(SfntFont sfnt, int serial)
{
    EmbeddedFonts::Font font;
    font.ownFamily = sfnt.family();
    font.weight = sfnt.weight();
    font.italic = sfnt.italic();
    const QString family = QStringLiteral("Vellora Book Font %1").arg(serial);
    sfnt.rename(family);
    if (QFontDatabase::addApplicationFontFromData(sfnt.toBytes()) >= 0)
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
