#include "formats/BookMemoryBudget.h"

#include <QtDebug>

#include <unistd.h>

namespace BookMemoryBudget {

qint64 defaultBudget()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return qint64(1) << 30;
    return qint64(pages) * qint64(pageSize) / 4;
}

bool fits(qint64 characters, qint64 budgetBytes)
{
    return characters <= budgetBytes / kBytesPerCharacter;
}

bool fits(const QList<ContentChunk>& chunks, qint64 budgetBytes)
{
    qint64 weight = 0;
    for (const ContentChunk& chunk : chunks)
        weight += chunk.weight;
    return fits(weight, budgetBytes);
}

void logCost(const BookCostMeter& meter)
{
    qWarning("Book content counted at %lld MB or more of memory, past the budget of %lld MB a book may have",
             meter.peak() >> 20, meter.budget() >> 20);
}

QString refusal(const QString& cannotOpenText, const QString& path)
{
    qWarning("Book too large for the memory of this computer: %s", qUtf8Printable(path));
    return cannotOpenText + path;
}

} // namespace BookMemoryBudget
