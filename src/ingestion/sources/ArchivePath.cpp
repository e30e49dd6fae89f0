#include "sources/ArchivePath.h"

#include <QList>
#include <QStringView>

namespace ArchivePath {

QString resolve(const QString& baseDir, const QString& href)
{
    const QString joined = baseDir + href;
    QList<QStringView> kept;
    for (const QStringView segment : QStringView(joined).split(u'/')) {
        if (segment.isEmpty() || segment == u".")
            continue;
        if (segment == u"..") {
            if (!kept.isEmpty())
                kept.removeLast();
            continue;
        }
        kept.append(segment);
    }
    QString path;
    path.reserve(joined.size());
    for (const QStringView segment : std::as_const(kept)) {
        if (!path.isEmpty())
            path += u'/';
        path += segment;
    }
    return path;
}

} // namespace ArchivePath
