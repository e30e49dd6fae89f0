#pragma once

// Writes stored (uncompressed) RAR fixtures for tests, in the RAR 4 or the RAR 5 layout, with real
// header and data checksums so that libarchive reads them as it reads archives made by RAR itself.

#include <QByteArray>
#include <QList>
#include <QString>

namespace TestRar {

enum class Format { Rar4, Rar5 };

struct Entry {
    QString name;              // "/" separators; RAR 4 stores non-ASCII names in its Unicode form
    QByteArray data;
    bool directory = false;
    qint64 declaredSize = -1;  // unpacked size written in the header; -1: the real size
    QByteArray legacyName;     // RAR 4 only: when set, these name bytes are stored as they are
};

QByteArray build(Format format, const QList<Entry>& entries);
// Writes build()'s bytes; false when the file cannot be written.
bool write(const QString& path, Format format, const QList<Entry>& entries);

} // namespace TestRar
