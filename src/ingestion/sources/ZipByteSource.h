#pragma once

// A zip archive (CBZ, EPUB) read through minizip.
//
// The archive is opened once and kept open; every entry's position is recorded at open so a read
// seeks straight to it. open() and the move operations belong to the owning thread; once open() has
// returned, readEntry() may be called from any number of threads (the handle is used by one at a
// time under the mutex). listEntries() and contentHash() take no lock: call them from the thread
// that opened the source.

#include "sources/IByteSource.h"

#include <QHash>
#include <QMutex>

#include <unzip.h>

class ZipByteSource : public IByteSource {
public:
    // An inflated entry above this size is refused (an empty read) instead of filling memory.
    static constexpr qint64 kMaxEntrySize = qint64(256) * 1024 * 1024;

    ZipByteSource() = default;
    ZipByteSource(ZipByteSource&& other) noexcept;
    ZipByteSource& operator=(ZipByteSource&& other) noexcept;
    ZipByteSource(const ZipByteSource&) = delete;
    ZipByteSource& operator=(const ZipByteSource&) = delete;
    ~ZipByteSource() override;

    bool open(const QString& path) override;
    QStringList listEntries() const override;
    // Empty for a missing, empty, encrypted, oversized or corrupt entry (including a CRC mismatch).
    // A name the archive does not hold exactly finds the entry whose name differs only in case (the
    // last of them, as with equal names).
    QByteArray readEntry(const QString& name) const override;
    QByteArray contentHash() const override;
    // Inflates no further than maxBytes; the CRC is then not checked.
    QByteArray readEntryHead(const QString& name, qint64 maxBytes) const override;
    bool readsHeadsCheaply() const override { return true; }
    // True for an entry whose declared size is above kMaxEntrySize (a zip bomb, most likely).
    bool entryExceedsLimit(const QString& name) const override;

    // Releases the minizip handle; the entry list and the cached hash stay.
    void closeArchive();

private:
    // Moves other's archive, entries and index here, leaving it closed; other's mutex is held.
    void takeOverLocked(ZipByteSource& other);
    void closeHandleLocked();
    // Makes the entry (found as readEntry finds it) minizip's current one; false when there is none.
    bool locateLocked(const QString& name) const;
    // The entry's bytes up to limit (all of them for a negative limit).
    QByteArray readEntryUpTo(const QString& name, qint64 limit) const;

    QString m_path;
    mutable QByteArray m_contentHash;
    QStringList m_entries;
    QHash<QString, unz64_file_pos> m_positions;
    QHash<QString, QString> m_foldedNames; // case-folded name -> last entry name folding to it
    unzFile m_handle = nullptr;
    mutable QMutex m_mutex;
};
