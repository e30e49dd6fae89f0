#include "FuzzScratchFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace FuzzScratchFile {

QString path(const QString& fileName)
{
    static QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "fuzz: no temporary folder\n");
        std::abort();
    }
    return folder.filePath(fileName);
}

QString write(const QString& fileName, const QByteArray& bytes)
{
    const QString filePath = path(fileName);
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", qPrintable(filePath));
        std::abort();
    }
    return filePath;
}

} // namespace FuzzScratchFile
