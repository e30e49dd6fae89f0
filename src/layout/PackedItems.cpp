#include "PackedItems.h"

#include <algorithm>
#include <cstring>

namespace {

// How far back a paragraph's table of values is searched: its glue and penalties repeat the ones
// just met, and a paragraph of many styles merely keeps a few values twice.
constexpr qsizetype kRecentValues = 8;

} // namespace

PackedItems::PackedItems(const QList<KnuthPlass::Item>& items)
{
    // Entry 0 is every box's: no stretch, no shrink, no penalty.
    m_values.append(Values{0, 0, 0});
    m_items.reserve(items.size()); // exactly: the book keeps it
    m_items.resize(items.size());
    Packed* out = m_items.data();
    for (const KnuthPlass::Item& item : items) {
        const Values values{item.stretch, item.shrink, item.penalty};
        qsizetype index = 0;
        const Values* known = m_values.constData();
        if (std::memcmp(&values, known, sizeof(Values)) != 0) {
            const qsizetype oldest = std::max<qsizetype>(1, m_values.size() - kRecentValues);
            for (index = m_values.size() - 1; index >= oldest; --index) {
                if (std::memcmp(known + index, &values, sizeof(Values)) == 0)
                    break;
            }
            if (index < oldest) {
                m_values.append(values);
                index = m_values.size() - 1;
            }
        }
        const quint32 kind = quint32(item.type & 3) | (item.flagged ? 4u : 0u);
        *out++ = Packed{item.width, item.runIndex, quint32(index) << 3 | kind};
    }
    m_values.squeeze();
}

KnuthPlass::Item PackedItems::operator[](qsizetype index) const
{
    const Packed& packed = m_items[index];
    const Values& values = m_values[packed.valueAndKind >> 3];
    KnuthPlass::Item item;
    item.width = packed.width;
    item.stretch = values.stretch;
    item.shrink = values.shrink;
    item.penalty = values.penalty;
    item.runIndex = packed.runIndex;
    item.type = int(packed.valueAndKind & 3);
    item.flagged = (packed.valueAndKind & 4) != 0;
    return item;
}

QList<KnuthPlass::Item> PackedItems::unpacked() const
{
    // Every layout of the paragraph unpacks it: one pass over plain arrays.
    QList<KnuthPlass::Item> items(m_items.size());
    KnuthPlass::Item* out = items.data();
    const Values* values = m_values.constData();
    for (const Packed& packed : m_items) {
        const Values& value = values[packed.valueAndKind >> 3];
        *out++ = KnuthPlass::Item{int(packed.valueAndKind & 3), packed.width, value.stretch, value.shrink,
                                  value.penalty, (packed.valueAndKind & 4) != 0, packed.runIndex};
    }
    return items;
}
