#include "MangaPagination.h"

namespace {

// An unknown size (-1, -1) and a square page are not wide.
bool isWide(const QSize& size)
{
    return size.width() >= 0 && size.height() >= 0 && size.width() > size.height();
}

} // namespace

void MangaPagination::clear()
{
    m_pairs.clear();
}

void MangaPagination::rebuild(const QList<QSize>& sizes, bool landscape, bool shift)
{
    m_pairs.clear();
    const int n = int(sizes.size());
    if (n == 0)
        return;
    if (!landscape) {
        for (int i = 0; i < n; ++i)
            m_pairs.append({i, -1});
        return;
    }
    m_pairs.append({0, -1});
    int i = 1;
    if (shift && n > 1) {
        m_pairs.append({1, -1});
        i = 2;
    }
    while (i < n) {
        if (!isWide(sizes.at(i)) && i + 1 < n && !isWide(sizes.at(i + 1))) {
            m_pairs.append({i, i + 1});
            i += 2;
        } else {
            m_pairs.append({i, -1});
            i += 1;
        }
    }
}

PagePair MangaPagination::at(int pairIndex) const
{
    if (pairIndex < 0 || pairIndex >= count())
        return {};
    return m_pairs.at(pairIndex);
}

int MangaPagination::pairIndexForChunk(int pageIndex) const
{
    if (pageIndex < 0) // -1 marks a missing right page; it names no page
        return 0;
    for (int i = 0; i < count(); ++i) {
        const PagePair& pair = m_pairs.at(i);
        if (pair.left == pageIndex || pair.right == pageIndex)
            return i;
    }
    return 0;
}

int MangaPagination::anchorChunkForShiftToggle(int pairIndex, bool shift) const
{
    if (pairIndex < 0 || pairIndex >= count())
        return 0;
    const PagePair& pair = m_pairs.at(pairIndex);
    return shift && pair.right >= 0 ? pair.right : pair.left;
}
