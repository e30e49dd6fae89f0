#pragma once

// The Knuth-Plass items of a prepared paragraph as a book keeps them: the reading model holds a
// prepared chunk for every chunk of the book, and items are most of what it holds. An item packs
// into 16 bytes instead of 40: its width, its run and one index into a small table of the
// stretch, shrink and penalty values the paragraph uses (a paragraph has few: one glue per style,
// a handful of penalties), which it shares with every item of those values.
//
// Plain value, implicitly shared; made on any thread, then only read. Unpacking gives the items
// exactly as they were packed.

#include "KnuthPlass.h"

#include <QList>

class PackedItems {
public:
    PackedItems() = default;
    explicit PackedItems(const QList<KnuthPlass::Item>& items);

    qsizetype size() const { return m_items.size(); }
    bool isEmpty() const { return m_items.isEmpty(); }
    KnuthPlass::Item operator[](qsizetype index) const;
    // The items, unpacked, for the line breaker.
    QList<KnuthPlass::Item> unpacked() const;

    // What the lists hold on the heap, for the benchmark's accounting.
    qsizetype itemCapacity() const { return m_items.capacity(); }
    qsizetype valueCapacity() const { return m_values.capacity(); }
    static constexpr qsizetype kItemBytes = 16;
    static constexpr qsizetype kValueBytes = 24;

private:
    struct Packed {
        double width;
        qint32 runIndex;
        quint32 valueAndKind; // value index << 3 | flagged << 2 | type
    };
    static_assert(sizeof(Packed) == kItemBytes);
    struct Values {
        double stretch;
        double shrink;
        double penalty;
    };

    QList<Packed> m_items;
    QList<Values> m_values;
};
