#include "formats/EmbeddedFonts.h"

#include <QCryptographicHash>
#include <QFontDatabase>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

int EmbeddedFonts::add(const QByteArray& data)
{
    if (data.isEmpty())
        return -1;

    static QMutex mutex;
    static QHash<QByteArray, int> idsByHash;

    // Every open of a book hashes all its fonts again: BLAKE2b is as collision-proof as SHA-256
    // and several times faster.
    const QByteArray key = QCryptographicHash::hash(data, QCryptographicHash::Blake2b_256);
    QMutexLocker locker(&mutex);
    const auto found = idsByHash.constFind(key);
    if (found != idsByHash.constEnd())
        return found.value();
    // Data that is no font is remembered too: it would fail the same way every time.
    const int id = QFontDatabase::addApplicationFontFromData(data);
    idsByHash.insert(key, id);
    return id;
}
