#include "sources/ZipByteSource.h"

#include "sources/FileKind.h"
#include "text/CancelToken.h"

#include "sources/Md5OfFile.h"

#include <QMutexLocker>

#include <cstring>
#include <utility>

namespace {

constexpr int kNameBufferSize = 4096;
constexpr int kReadBlockSize = 16384;
constexpr unsigned long kEncryptedFlag = 1; // general purpose bit 0
// Header sizes are only trusted this far when reserving memory.
constexpr quint64 kMaxReserve = quint64(64) * 1024 * 1024;

} // namespace

void ZipByteSource::takeOverLocked(ZipByteSource& other)
{
    m_path = std::move(other.m_path);
    m_contentHash = std::move(other.m_contentHash);
    m_entries = std::move(other.m_entries);
    m_positions = std::move(other.m_positions);
    m_foldedNames = std::move(other.m_foldedNames);
    m_handle = std::exchange(other.m_handle, nullptr);
    other.m_path.clear();
    other.m_contentHash.clear();
    other.m_entries.clear();
    other.m_positions.clear();
    other.m_foldedNames.clear();
}

ZipByteSource::ZipByteSource(ZipByteSource&& other) noexcept
{
    QMutexLocker lock(&other.m_mutex);
    takeOverLocked(other);
}

ZipByteSource& ZipByteSource::operator=(ZipByteSource&& other) noexcept
{
    if (this == &other)
        return *this;
    {
        QMutexLocker lock(&m_mutex);
        closeHandleLocked();
    }
    QMutexLocker lock(&other.m_mutex);
    takeOverLocked(other);
    return *this;
}

ZipByteSource::~ZipByteSource()
{
    QMutexLocker lock(&m_mutex);
    closeHandleLocked();
}

void ZipByteSource::closeHandleLocked()
{
    if (m_handle)
        unzClose(m_handle);
    m_handle = nullptr;
    m_positions.clear();
    m_foldedNames.clear();
}

void ZipByteSource::closeArchive()
{
    QMutexLocker lock(&m_mutex);
    closeHandleLocked();
}

bool ZipByteSource::open(const QString& path)
{
    {
        QMutexLocker lock(&m_mutex);
        closeHandleLocked();
    }
    QMutexLocker lock(&m_mutex);
    m_path.clear();
    m_contentHash.clear();
    m_entries.clear();

    if (!FileKind::isRegularFile(path))
        return false; // minizip would block on a pipe and read a device forever
    unzFile handle = unzOpen(path.toUtf8().constData());
    if (!handle)
        return false;

    for (int status = unzGoToFirstFile(handle); status == UNZ_OK; status = unzGoToNextFile(handle)) {
        unz64_file_pos position;
        if (unzGetFilePos64(handle, &position) != UNZ_OK)
            continue;
        char name[kNameBufferSize];
        std::memset(name, 0, sizeof name);
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(handle, &info, name, kNameBufferSize - 1, nullptr, 0, nullptr, 0) != UNZ_OK)
            continue;
        // Names are taken as UTF-8 whatever the archive's encoding flag says; bytes that are not
        // UTF-8 become replacement characters but the entry stays listed and readable by that name.
        const QString entryName = QString::fromUtf8(name, qsizetype(std::strlen(name)));
        m_entries.append(entryName);
        m_positions.insert(entryName, position);
        // As with equal names, the last of the names that differ only in case wins.
        m_foldedNames.insert(entryName.toCaseFolded(), entryName);
    }

    m_handle = handle;
    m_path = path;
    return true;
}

QStringList ZipByteSource::listEntries() const
{
    return m_entries;
}

QByteArray ZipByteSource::readEntry(const QString& name) const
{
    return readEntryUpTo(name, -1);
}

QByteArray ZipByteSource::readEntryHead(const QString& name, qint64 maxBytes) const
{
    return maxBytes > 0 ? readEntryUpTo(name, maxBytes) : QByteArray();
}

bool ZipByteSource::entryExceedsLimit(const QString& name) const
{
    QMutexLocker lock(&m_mutex);
    unz_file_info64 info;
    return locateLocked(name) && unzGetCurrentFileInfo64(m_handle, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK
        && info.uncompressed_size > quint64(kMaxEntrySize);
}

bool ZipByteSource::locateLocked(const QString& name) const
{
    if (!m_handle || name.isEmpty())
        return false;
    auto position = m_positions.constFind(name);
    if (position == m_positions.constEnd()) {
        // Books name their entries in another case than the archive stores them often enough
        // ("Styles/Main.css" for "styles/main.css"), and minizip only ignores case on macOS.
        const auto stored = m_foldedNames.constFind(name.toCaseFolded());
        if (stored != m_foldedNames.constEnd())
            position = m_positions.constFind(*stored);
    }
    // Every entry was recorded at open, so a name not among them is in no entry; minizip's own
    // search would read every header again, for each of the thousands of chapters of a book
    // that all link a missing sheet.
    if (position == m_positions.constEnd())
        return false;
    unz64_file_pos pos = *position;
    return unzGoToFilePos64(m_handle, &pos) == UNZ_OK;
}

QByteArray ZipByteSource::readEntryUpTo(const QString& name, qint64 limit) const
{
    QMutexLocker lock(&m_mutex);
    if (!locateLocked(name))
        return {};

    // The declared size bounds what minizip inflates, so checking it refuses a bomb before any
    // allocation; the running count below is the guard should that ever not hold.
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(m_handle, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return {};
    if ((info.flag & kEncryptedFlag) || info.uncompressed_size > quint64(kMaxEntrySize))
        return {};

    if (unzOpenCurrentFile(m_handle) != UNZ_OK)
        return {};

    const quint64 wanted = limit < 0 ? info.uncompressed_size : qMin(info.uncompressed_size, quint64(limit));
    QByteArray data;
    data.reserve(qsizetype(qMin(wanted, kMaxReserve)));
    char block[kReadBlockSize];
    int read = 0;
    bool tooLarge = false;
    bool cancelled = false;
    while ((read = unzReadCurrentFile(m_handle, block, kReadBlockSize)) > 0) {
        if (data.size() + read > kMaxEntrySize) {
            tooLarge = true;
            break;
        }
        if (CancelToken::requested()) { // a block inflates in microseconds: checked for each
            cancelled = true;
            break;
        }
        data.append(block, read);
        if (limit >= 0 && data.size() >= limit) {
            data.truncate(qsizetype(limit));
            read = 0;
            break;
        }
    }
    const int closeStatus = unzCloseCurrentFile(m_handle);
    if (read < 0 || tooLarge || cancelled || closeStatus == UNZ_CRCERROR)
        return {};
    return data;
}

QByteArray ZipByteSource::contentHash() const
{
    if (m_contentHash.isEmpty())
        m_contentHash = md5OfFile(m_path);
    return m_contentHash;
}
