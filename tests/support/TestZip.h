#pragma once

// Writes zip fixtures for tests with minizip's zip API.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace TestZip {

struct Entry {
    QString name;
    QByteArray data;
    bool stored = false; // true: no compression
};

// Writes the entries in order; returns false when the file cannot be written.
bool write(const QString& path, const QList<Entry>& entries);

} // namespace TestZip
