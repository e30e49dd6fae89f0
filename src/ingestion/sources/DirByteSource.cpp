#include "sources/DirByteSource.h"

#include "sources/FileKind.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

bool DirByteSource::open(const QString& path)
{
    m_path.clear();
    m_contentHash.clear();
    m_entries.clear();

    const QDir dir(path);
    if (path.isEmpty() || !dir.exists())
        return false;
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    if (files.isEmpty())
        return false;

    QByteArray hashInput;
    for (const QFileInfo& file : files) {
        if (!file.isFile())
            continue; // a pipe, a socket or a device, also behind a link: never an image
        m_entries.append(file.fileName());
        hashInput += file.fileName().toUtf8() + ':' + QByteArray::number(file.size()) + '\n';
    }
    if (m_entries.isEmpty())
        return false;
    m_contentHash = QCryptographicHash::hash(hashInput, QCryptographicHash::Md5);
    m_path = path;
    return true;
}

QStringList DirByteSource::listEntries() const
{
    return m_entries;
}

QByteArray DirByteSource::readEntry(const QString& name) const
{
    return read(name, -1);
}

QByteArray DirByteSource::readEntryHead(const QString& name, qint64 maxBytes) const
{
    return maxBytes > 0 ? read(name, maxBytes) : QByteArray();
}

QByteArray DirByteSource::read(const QString& name, qint64 maxBytes) const
{
    if (m_path.isEmpty() || name.isEmpty() || !m_entries.contains(name))
        return {};
    const QString path = m_path + QLatin1Char('/') + name;
    if (!FileKind::isRegularFile(path))
        return {}; // replaced by a pipe or a device since the folder was listed
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxEntrySize)
        return {};
    return maxBytes < 0 ? file.readAll() : file.read(maxBytes);
}

QByteArray DirByteSource::contentHash() const
{
    return m_contentHash;
}
