#include "sources/Md5OfFile.h"

#include "sources/FileKind.h"

#include <QCryptographicHash>
#include <QFile>

QByteArray md5OfFile(const QString& path)
{
    if (!FileKind::isRegularFile(path))
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&file))
        return {};
    return hash.result();
}
