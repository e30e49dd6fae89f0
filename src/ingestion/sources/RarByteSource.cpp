#include "sources/RarByteSource.h"

#include "sources/FileKind.h"
#include "text/CancelToken.h"

#include "sources/Md5OfFile.h"

#include <QSet>

#include <archive.h>
#include <archive_entry.h>

namespace {

constexpr size_t kOpenBlockSize = 16384;
constexpr size_t kReadBlockSize = 65536;
// Header sizes are only trusted this far when reserving memory.
constexpr qint64 kMaxReserve = qint64(64) * 1024 * 1024;

// A libarchive reader for RAR 4 and RAR 5 over one file, freed when it goes out of scope.
class ArchiveReader {
public:
    explicit ArchiveReader(const QString& path)
        : m_archive(archive_read_new())
    {
        if (!m_archive)
            return;
        archive_read_support_format_rar(m_archive);
        archive_read_support_format_rar5(m_archive);
        if (archive_read_open_filename(m_archive, path.toUtf8().constData(), kOpenBlockSize) != ARCHIVE_OK) {
            archive_read_free(m_archive);
            m_archive = nullptr;
        }
    }
    ~ArchiveReader()
    {
        if (m_archive)
            archive_read_free(m_archive);
    }
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    bool isOpen() const { return m_archive != nullptr; }
    archive* handle() const { return m_archive; }

    // The next header, or null at the end of the archive or on an error. A warning (a name that
    // does not convert to the locale, for one) still gives a usable entry, so the walk goes on.
    archive_entry* nextEntry()
    {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(m_archive, &entry);
        return status == ARCHIVE_OK || status == ARCHIVE_WARN ? entry : nullptr;
    }

private:
    archive* m_archive = nullptr;
};

// The entry's stored path as UTF-8. The locale-bound form is only a fallback: it is null for names
// that the locale cannot represent.
QString entryName(archive_entry* entry)
{
    if (const char* utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    if (const char* plain = archive_entry_pathname(entry))
        return QString::fromUtf8(plain);
    return {};
}

// The current entry's data; empty when it is too large or a read fails part way.
QByteArray readCurrentData(archive* reader, archive_entry* entry)
{
    const bool sizeKnown = archive_entry_size_is_set(entry);
    const qint64 declared = archive_entry_size(entry);
    if (sizeKnown && declared > RarByteSource::kMaxEntrySize)
        return {};
    QByteArray data;
    if (sizeKnown && declared > 0)
        data.reserve(qsizetype(qMin(declared, kMaxReserve)));
    char block[kReadBlockSize];
    for (;;) {
        const la_ssize_t read = archive_read_data(reader, block, kReadBlockSize);
        if (read < 0)
            return {};
        if (read == 0)
            return data;
        if (data.size() + read > RarByteSource::kMaxEntrySize || CancelToken::requested())
            return {};
        data.append(block, qsizetype(read));
    }
}

} // namespace

bool RarByteSource::open(const QString& path)
{
    m_path.clear();
    m_contentHash.clear();
    m_entries.clear();

    if (!FileKind::isRegularFile(path))
        return false;
    ArchiveReader reader(path);
    if (!reader.isOpen())
        return false;
    QStringList entries;
    while (archive_entry* entry = reader.nextEntry()) {
        const QString name = entryName(entry);
        if (archive_entry_filetype(entry) == AE_IFREG && !name.isEmpty())
            entries.append(name);
        archive_read_data_skip(reader.handle());
    }
    if (entries.isEmpty())
        return false;
    m_entries = entries;
    m_path = path;
    return true;
}

QStringList RarByteSource::listEntries() const
{
    return m_entries;
}

QByteArray RarByteSource::readEntry(const QString& name) const
{
    if (m_path.isEmpty() || name.isEmpty())
        return {};
    ArchiveReader reader(m_path);
    if (!reader.isOpen())
        return {};
    while (archive_entry* entry = reader.nextEntry()) {
        if (entryName(entry) == name)
            return readCurrentData(reader.handle(), entry);
        archive_read_data_skip(reader.handle());
    }
    return {};
}

void RarByteSource::readEntries(const QStringList& names, const EntryVisitor& visit) const
{
    QSet<QString> pending(names.cbegin(), names.cend());
    if (!m_path.isEmpty()) {
        ArchiveReader reader(m_path);
        while (reader.isOpen() && !pending.isEmpty() && !CancelToken::requested()) {
            archive_entry* entry = reader.nextEntry();
            if (!entry)
                break;
            const QString name = entryName(entry);
            if (!name.isEmpty() && pending.remove(name))
                visit(name, readCurrentData(reader.handle(), entry));
            else
                archive_read_data_skip(reader.handle());
        }
    }
    // Names the walk did not reach still get their (failed) answer.
    for (const QString& name : names) {
        if (pending.remove(name))
            visit(name, QByteArray());
    }
}

QByteArray RarByteSource::contentHash() const
{
    if (m_contentHash.isEmpty())
        m_contentHash = md5OfFile(m_path);
    return m_contentHash;
}
