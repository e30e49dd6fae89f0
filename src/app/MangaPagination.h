#pragma once

// Cuts a comic's pages into what the page view shows at once: one page, or two consecutive pages
// side by side in a landscape view. A plain value; GUI thread (owned by the reading model).

#include <QList>
#include <QSize>

struct PagePair {
    int left = -1;  // first page of the pair, in book order
    int right = -1; // second page, or -1 for a single page
};

class MangaPagination {
public:
    void clear();
    // Portrait: one page per pair. Landscape: page 0 alone (and page 1 too with `shift`), then pairs
    // of consecutive pages that are not wide; a wide page stands alone and restarts the pairing.
    void rebuild(const QList<QSize>& sizes, bool landscape, bool shift);

    int count() const { return int(m_pairs.size()); }
    PagePair at(int pairIndex) const;         // (-1, -1) outside [0, count)
    int pairIndexForChunk(int pageIndex) const; // 0 when no pair holds the page
    // The page to keep in view when the shift flag is switched to `shift` while `pairIndex` shows.
    int anchorChunkForShiftToggle(int pairIndex, bool shift) const;

private:
    QList<PagePair> m_pairs;
};
