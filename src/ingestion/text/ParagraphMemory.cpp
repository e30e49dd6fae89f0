#include "text/ParagraphMemory.h"

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace {

constexpr qsizetype kHugePageUnits = qsizetype(1024) * 1024; // 2 MiB of UTF-16 units

qsizetype roundedUp(qsizetype count, qsizetype multiple)
{
    return (count + multiple - 1) / multiple * multiple;
}

// Below half a huge page of text, small pages serve as well.
bool takesHugePages(QStringView text)
{
#ifdef Q_OS_LINUX
    return text.size() >= kHugePageUnits / 2;
#else
    Q_UNUSED(text);
    return false;
#endif
}

// Room for the text's units from a huge page's start on, whole huge pages of them.
qsizetype roomFor(QStringView text)
{
    return takesHugePages(text) ? roundedUp(text.size(), kHugePageUnits) + kHugePageUnits : qMax<qsizetype>(1, text.size());
}

// The first unit of the text: at a huge page's start within the string, advised to be backed by
// huge pages (a fault for each 2 MiB rather than for each 4 KiB). The advice may be ignored.
char16_t* firstUnit(QString& whole, QStringView text)
{
    char16_t* const data = whole.data_ptr().data();
    if (!takesHugePages(text))
        return data;
    constexpr quintptr kBytes = quintptr(kHugePageUnits) * sizeof(char16_t);
    char16_t* const aligned = reinterpret_cast<char16_t*>((quintptr(data) + kBytes - 1) & ~(kBytes - 1));
#ifdef Q_OS_LINUX
    madvise(aligned, size_t(roundedUp(text.size(), kHugePageUnits)) * sizeof(char16_t), MADV_HUGEPAGE);
#endif
    return aligned;
}

} // namespace

ParagraphMemory::ParagraphMemory(QStringView text)
    : m_whole(roomFor(text), Qt::Uninitialized)
    , m_header(m_whole.data_ptr().d_ptr())
    , m_text(text.data())
    , m_units(firstUnit(m_whole, text)) // taken before any string shares the memory
    , m_size(text.size())
{
}

QString ParagraphMemory::string(const char16_t* begin, qsizetype size) const
{
    if (size <= 0)
        return QString();
    Q_ASSERT(begin >= m_units && begin + size <= m_units + m_size);
    // A string of part of another's memory, with a reference of its own: writing to it while
    // another shares the memory copies it first, as for any shared string.
    QString::DataPointer part(m_header, const_cast<char16_t*>(begin), size);
    part.ref();
    return QString(std::move(part));
}
