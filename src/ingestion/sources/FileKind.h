#pragma once

// What kind of thing a path names, as far as reading a book from it goes. Only regular files (also
// through symbolic links) and folders are read: opening a pipe blocks until someone writes to it,
// and a device such as /dev/zero never ends, so either would hang or flood the reader.
// Stateless; any thread.

#include <QString>

namespace FileKind {

// A regular file, itself or at the end of its symbolic links.
bool isRegularFile(const QString& path);

// Something that exists but is neither a regular file nor a folder, also at the end of its
// symbolic links: a pipe, a socket, a device. (A missing path or a broken link is not.)
bool isSpecial(const QString& path);

// The reason given when path is something else: "Not a regular file or folder: PATH".
QString refusal(const QString& path);

} // namespace FileKind
