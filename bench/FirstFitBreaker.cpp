#include "FirstFitBreaker.h"

namespace FirstFitBreaker {

using KnuthPlass::Item;

namespace {

bool isForced(const Item& item)
{
    return item.type == KnuthPlass::Penalty && item.penalty <= -KnuthPlass::kInfinity;
}

} // namespace

QList<KnuthPlass::Line> breakLines(const QList<Item>& items, double lineWidth)
{
    const double width = std::max(lineWidth, 1.0);
    const qsizetype n = items.size();
    QList<KnuthPlass::Line> lines;
    qsizetype start = 0;
    while (start < n) {
        qsizetype fit = -1;
        double length = 0, stretch = 0, shrink = 0;
        double fitLength = 0, fitStretch = 0, fitShrink = 0;
        for (qsizetype j = start; j < n; ++j) {
            const Item& item = items[j];
            if (KnuthPlass::isBreakpoint(items, j)) {
                const double atBreak = length + (item.type == KnuthPlass::Penalty ? item.width : 0);
                if (atBreak > width && fit >= 0)
                    break;
                fit = j;
                fitLength = atBreak;
                fitStretch = stretch;
                fitShrink = shrink;
                if (atBreak > width || isForced(item))
                    break;
            }
            if (item.type != KnuthPlass::Penalty)
                length += item.width;
            if (item.type == KnuthPlass::Glue) {
                stretch += item.stretch;
                shrink += item.shrink;
            }
        }
        if (fit < 0)
            break; // an unclosed paragraph: no break left
        const Item& breakItem = items[fit];
        lines.append({int(start), int(fit), KnuthPlass::adjustmentRatio(fitLength, fitStretch, fitShrink, width),
                      breakItem.type == KnuthPlass::Penalty && breakItem.flagged && breakItem.width > 0});
        start = fit + 1;
        while (start < n && items[start].type != KnuthPlass::Box && !isForced(items[start]))
            ++start;
    }
    return lines;
}

} // namespace FirstFitBreaker
