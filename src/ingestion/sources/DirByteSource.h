#pragma once

// A folder of files (a comic as loose images). Entries are the bare names of the regular,
// non-hidden files directly inside it, sorted by name (case-sensitive). The content hash is made at
// open from the names and sizes, so renaming, adding, removing or resizing a file changes it.
// After open() has returned, readEntry() touches only local state and may run on any thread.

#include "sources/IByteSource.h"

class DirByteSource : public IByteSource {
public:
    // A file above this size is refused (an empty read), as in the archive sources.
    static constexpr qint64 kMaxEntrySize = qint64(256) * 1024 * 1024;

    // Fails when the folder does not exist or holds no regular file.
    bool open(const QString& path) override;
    QStringList listEntries() const override;
    // Only listed names are served: anything else ("../x", an absolute path) gives an empty array, as
    // does a file that cannot be read or is too large.
    QByteArray readEntry(const QString& name) const override;
    QByteArray contentHash() const override;
    QByteArray readEntryHead(const QString& name, qint64 maxBytes) const override;
    bool readsHeadsCheaply() const override { return true; }

private:
    QByteArray read(const QString& name, qint64 maxBytes) const;

    QString m_path;
    QByteArray m_contentHash;
    QStringList m_entries;
};
