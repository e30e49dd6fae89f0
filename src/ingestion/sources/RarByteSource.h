#pragma once

// A RAR archive (CBR), RAR 4 or RAR 5, read through libarchive.
//
// RAR archives are read sequentially, so no handle is kept: every read opens the archive and walks
// its headers from the start. readEntries() serves many entries in one such walk. After open() has
// returned, readEntry() and readEntries() touch only local state and may run on any thread.

#include "sources/IByteSource.h"

class RarByteSource : public IByteSource {
public:
    // An entry above this size is refused (an empty read): header sizes are never trusted alone.
    static constexpr qint64 kMaxEntrySize = qint64(256) * 1024 * 1024;

    // Fails when the archive cannot be opened or holds no regular file.
    bool open(const QString& path) override;
    // Regular files only, in archive order.
    QStringList listEntries() const override;
    // The first entry of that name; empty when missing, oversized, encrypted or unreadable.
    QByteArray readEntry(const QString& name) const override;
    QByteArray contentHash() const override;
    // One walk over the archive for all the names.
    void readEntries(const QStringList& names, const EntryVisitor& visit) const override;

private:
    QString m_path;
    mutable QByteArray m_contentHash;
    QStringList m_entries;
};
