#include "DiskWebImageStorage.h"

#include "HttpDownload.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

QString defaultFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return cache.isEmpty() ? QString() : cache + QStringLiteral("/web-images");
}

} // namespace

DiskWebImageStorage::DiskWebImageStorage()
    : DiskWebImageStorage(defaultFolder())
{
}

DiskWebImageStorage::DiskWebImageStorage(QString folder)
    : m_folder(std::move(folder))
{
}

QString DiskWebImageStorage::pathFor(const QString& url) const
{
    if (m_folder.isEmpty())
        return QString();
    const QByteArray digest = QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Sha256);
    return m_folder + QLatin1Char('/') + QString::fromLatin1(digest.toHex());
}

QByteArray DiskWebImageStorage::load(const QString& url) const
{
    const QString path = pathFor(url);
    if (path.isEmpty())
        return QByteArray();
    const QMutexLocker lock(&m_mutex);
    QFile file(path);
    // A file larger than any download could be was not written by us.
    if (!file.open(QIODevice::ReadOnly) || file.size() > HttpDownload::kMaxBytes)
        return QByteArray();
    return file.readAll();
}

bool DiskWebImageStorage::store(const QString& url, const QByteArray& bytes)
{
    const QString path = pathFor(url);
    if (path.isEmpty())
        return false;
    const QMutexLocker lock(&m_mutex);
    if (!QDir().mkpath(m_folder))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void DiskWebImageStorage::remove(const QString& url)
{
    const QString path = pathFor(url);
    if (path.isEmpty())
        return;
    const QMutexLocker lock(&m_mutex);
    QFile::remove(path);
}
