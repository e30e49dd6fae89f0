#include "EmbeddedFonts.h"

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

    const QByteArray key = QCryptographicHash::hash(data, QCryptographicHash::Sha256);
    QMutexLocker locker(&mutex);
    const auto found = idsByHash.constFind(key);
    if (found != idsByHash.constEnd())
        return found.value();
    // Data that is no font is remembered too: it would fail the same way every time.
    const int id = QFontDatabase::addApplicationFontFromData(data);
    idsByHash.insert(key, id);
    return id;
}
