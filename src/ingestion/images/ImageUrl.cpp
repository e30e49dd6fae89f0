#include "images/ImageUrl.h"

#include "sources/ArchivePath.h"

#include <QUrl>

namespace ImageUrl {

QString querySuffix(const QString& src)
{
    if (src.isEmpty())
        return QString();
    return QStringLiteral("?src=") + QString::fromLatin1(QUrl::toPercentEncoding(src));
}

QString build(const QString& provider, const QString& entry, const QString& src)
{
    // The entry is encoded too (keeping "/"), so names holding "?", "#", "%" or spaces survive the
    // trip through a URL and parseProviderId() gives them back unchanged.
    return QStringLiteral("image://") + provider + QLatin1Char('/')
        + QString::fromLatin1(QUrl::toPercentEncoding(entry, "/")) + querySuffix(src);
}

QString resolve(const QString& provider, const QString& href, const QString& src, const QString& baseDir)
{
    if (href.isEmpty())
        return QString();
    if (href.startsWith(QLatin1String("http://")) || href.startsWith(QLatin1String("https://")))
        return QStringLiteral("image://web/") + href;
    if (href.startsWith(QLatin1String("image://")))
        return href;

    QString path = href;
    if (path.startsWith(QLatin1Char('#')))
        path.remove(0, 1);
    // Book hrefs are URL-encoded ("a%20b.png" names the entry "a b.png").
    path = QUrl::fromPercentEncoding(path.toUtf8());
    return build(provider, ArchivePath::resolve(baseDir, path), src);
}

ProviderIdParts parseProviderId(const QString& id)
{
    ProviderIdParts parts;
    QString path = id;
    const qsizetype question = id.indexOf(QLatin1Char('?'));
    if (question >= 0) {
        path = id.left(question);
        const QString query = id.mid(question + 1);
        if (query.startsWith(QLatin1String("src=")))
            parts.src = QUrl::fromPercentEncoding(query.mid(4).toUtf8());
    }
    parts.path = QUrl::fromPercentEncoding(path.toUtf8());
    return parts;
}

} // namespace ImageUrl

const QSet<QString>& imageFileExtensions()
{
    static const QSet<QString> kExtensions = {
        QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
        QStringLiteral("gif"), QStringLiteral("webp"),
    };
    return kExtensions;
}
