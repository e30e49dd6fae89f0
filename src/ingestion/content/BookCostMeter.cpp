#include "content/BookCostMeter.h"

namespace {

bool opensTag(int next)
{
    return (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') || next == '_' || next >= 0x80;
}


} // namespace

BookCostMeter::BookCostMeter(qint64 budgetBytes)
    : m_budget(budgetBytes)
{
}

bool BookCostMeter::charge(qint64 bytes)
{
    const qint64 total = m_charged.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    qint64 peak = m_peak.load(std::memory_order_relaxed);
    while (total > peak && !m_peak.compare_exchange_weak(peak, total, std::memory_order_relaxed)) {
    }
    if (total > m_budget)
        m_exceeded.store(true, std::memory_order_relaxed);
    return !exceeded();
}

void BookCostMeter::refund(qint64 bytes)
{
    m_charged.fetch_sub(bytes, std::memory_order_relaxed);
}

qint64 BookCostMeter::tagCount(QByteArrayView markup)
{
    qint64 count = 0;
    for (qsizetype i = 0; i + 1 < markup.size(); ++i) {
        if (markup[i] == '<' && opensTag(uchar(markup[i + 1])))
            ++count;
    }
    return count;
}

qint64 BookCostMeter::tagCount(QStringView markup)
{
    qint64 count = 0;
    for (qsizetype i = 0; i + 1 < markup.size(); ++i) {
        if (markup[i] == u'<' && opensTag(markup[i + 1].unicode()))
            ++count;
    }
    return count;
}

qint64 BookCostMeter::lineCount(QStringView text)
{
    qint64 count = 1;
    for (const QChar c : text)
        count += c == u'\n' || c == u'\r' || c == u'\f';
    return count;
}
