#pragma once

// The URL grammar of images inside a book:
//   "image://" + provider + "/" + entry [+ "?src=" + percent-encoded book path]
// Readers build these URLs, the HTML block parser resolves src attributes into them, image providers
// and the book image resolver parse them back. Stateless; any thread.

#include <QSet>
#include <QString>

struct ProviderIdParts {
    QString path; // entry name inside the book
    QString src;  // path of the book file, empty when absent
};

namespace ImageUrl {

QString querySuffix(const QString& src);
QString build(const QString& provider, const QString& entry, const QString& src);
QString resolve(const QString& provider, const QString& href, const QString& src, const QString& baseDir);
// The provider id is the URL after "image://" + provider + "/"; this inverts build().
ProviderIdParts parseProviderId(const QString& id);

} // namespace ImageUrl

// "jpg", "jpeg", "png", "gif", "webp": compare against a lower-cased suffix.
const QSet<QString>& imageFileExtensions();
