#pragma once

// Entry paths inside a book container, as its documents name them relative to one another.
// Stateless; any thread.

#include <QString>

namespace ArchivePath {

// The entry path that href (already percent-decoded) names from the folder baseDir (with its final
// "/", or empty for the container's root): "." segments and empty segments drop out and ".." climbs
// one folder, but never above the root, where a reading system stops too ("../../a.jpg" from
// "OEBPS/" is "a.jpg"). No leading or trailing "/".
QString resolve(const QString& baseDir, const QString& href);

} // namespace ArchivePath
