#pragma once

// The content hash of an archive: the raw MD5 digest of the whole file. Any thread.

#include <QByteArray>
#include <QString>

// Raw 16-byte MD5 of the file's content, read in blocks so that a large archive never sits in memory
// at once. An empty path or an unreadable file gives an empty array.
QByteArray md5OfFile(const QString& path);
