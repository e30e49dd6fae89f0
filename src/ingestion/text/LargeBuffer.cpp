#include "text/LargeBuffer.h"

#include <cstdlib>
#include <new>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace {

constexpr qsizetype kHugePage = qsizetype(2) * 1024 * 1024;
// Below this a buffer's faults cost less than zeroing the rest of a huge page, and malloc's pages
// serve it as well.
constexpr qsizetype kSmallestMapped = kHugePage / 8;

#ifdef Q_OS_LINUX
// A mapping of whole huge pages, aligned to one, advised to be backed by them: null if the
// system refuses the mapping. The advice may be ignored (huge pages off); the memory is the same.
char* mapHugePages(qsizetype size)
{
    const qsizetype span = size + kHugePage;
    void* mapped = mmap(nullptr, size_t(span), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    char* const start = static_cast<char*>(mapped);
    char* const aligned = reinterpret_cast<char*>((quintptr(start) + kHugePage - 1) & ~quintptr(kHugePage - 1));
    // Only the aligned pages are kept: the rest of the span goes back at once.
    if (aligned > start)
        munmap(start, size_t(aligned - start));
    char* const end = start + span;
    if (end > aligned + size)
        munmap(aligned + size, size_t(end - (aligned + size)));
    madvise(aligned, size_t(size), MADV_HUGEPAGE);
    return aligned;
}
#endif

} // namespace

LargeBuffer::LargeBuffer(qsizetype bytes)
    : m_size(qMax<qsizetype>(0, bytes))
{
#ifdef Q_OS_LINUX
    if (m_size >= kSmallestMapped) {
        const qsizetype whole = (m_size + kHugePage - 1) & ~(kHugePage - 1);
        m_data = mapHugePages(whole);
        if (m_data) {
            m_mapped = whole;
            return;
        }
    }
#endif
    m_data = static_cast<char*>(std::malloc(size_t(qMax<qsizetype>(1, m_size))));
    if (!m_data)
        throw std::bad_alloc();
}

LargeBuffer::~LargeBuffer()
{
#ifdef Q_OS_LINUX
    if (m_mapped > 0) {
        munmap(m_data, size_t(m_mapped));
        return;
    }
#endif
    std::free(m_data);
}

void LargeBuffer::populate(qsizetype bytes) const
{
#if defined(Q_OS_LINUX) && defined(MADV_POPULATE_WRITE)
    // Only whole mapped pages can be advised; a buffer from malloc is small, and its faults few.
    if (m_mapped > 0 && bytes > 0)
        madvise(m_data, size_t(qMin(bytes, m_mapped)), MADV_POPULATE_WRITE);
#else
    Q_UNUSED(bytes);
#endif
}
