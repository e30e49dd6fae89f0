#pragma once

// What a reflowable book costs in memory, counted while its content is built and held against
// the book's budget. A book is held as blocks and runs, then as prepared chunks and laid-out
// lines, and each of those costs hundreds of bytes whatever text it holds: five million line
// breaks in a 44 KB EPUB, or a text file of nothing but line ends, cost gigabytes with hardly a
// character. So the meter counts what the content is made of (characters, blocks, runs, and the
// trees and line tables it passes through on the way) and says when the book is past its budget;
// the builders stop there, and the reader refuses the book before the rest is paid for.
//
// The figures are bytes at the book's peak, measured on floods of each kind with room to spare.
//
// Any thread: the builders of one book charge one meter from several threads at once.

#include <QByteArrayView>
#include <QStringView>

#include <atomic>

class BookCostMeter {
public:
    // A character of text, with its share of the prepared and laid-out chunks.
    static constexpr qint64 kBytesPerCharacter = 40;
    // A block item (paragraph, rule, container start or end) with its prepared block and line.
    static constexpr qint64 kBytesPerBlock = 1536;
    // An inline run (text, image or line break) with its prepared items.
    static constexpr qint64 kBytesPerRun = 384;
    // A node of a chapter's element tree, while the chapter is read.
    static constexpr qint64 kBytesPerElement = 512;
    // A line of a plain-text file, while its paragraphs are found.
    static constexpr qint64 kBytesPerTextLine = 128;

    explicit BookCostMeter(qint64 budgetBytes);
    BookCostMeter(const BookCostMeter&) = delete;
    BookCostMeter& operator=(const BookCostMeter&) = delete;

    // Adds bytes to what the book costs; false once the total has passed the budget, and from
    // then on.
    bool charge(qint64 bytes);
    // Gives back what a passing stage (a chapter's tree) charged.
    void refund(qint64 bytes);
    bool exceeded() const { return m_exceeded.load(std::memory_order_relaxed); }
    qint64 charged() const { return m_charged.load(std::memory_order_relaxed); }
    // The most it was charged at once, passing stages included.
    qint64 peak() const { return m_peak.load(std::memory_order_relaxed); }
    qint64 budget() const { return m_budget; }

    // Upper bounds of what a text is made into, counted in one quick pass before it is parsed:
    // the tags of markup (each may open an element), the lines of plain text.
    static qint64 tagCount(QByteArrayView markup);
    static qint64 tagCount(QStringView markup);
    static qint64 lineCount(QStringView text);

private:
    const qint64 m_budget;
    std::atomic<qint64> m_charged{0};
    std::atomic<qint64> m_peak{0};
    std::atomic<bool> m_exceeded{false};
};
