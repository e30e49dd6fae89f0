#include "sources/FileKind.h"

#include <QFileInfo>

namespace FileKind {

bool isRegularFile(const QString& path)
{
    // QFileInfo follows symbolic links and calls only regular files files; pipes, sockets and
    // devices are neither files nor folders to it. It never opens the path, so it cannot block.
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool isSpecial(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

QString refusal(const QString& path)
{
    return QStringLiteral("Not a regular file or folder: ") + path;
}

} // namespace FileKind
