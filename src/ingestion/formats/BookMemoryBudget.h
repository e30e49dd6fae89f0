#pragma once

// How much text a reflowable book may have before it is refused. A book is held as chunks, as
// prepared chunks (all of them, or those around the reader in a large book) and as layouts, so
// what it needs grows with its text; a book that would need more than the budget is refused with
// a message instead of exhausting the machine's memory.
//
// Stateless; any thread.

#include "content/BookCostMeter.h"
#include "content/ContentModel.h"

#include <QList>
#include <QString>

namespace BookMemoryBudget {

// What a book costs per character of text at its peak, with room to spare: the stretch of its
// opening, when its file, its decoded text and its chunks exist side by side, and chapters dense
// with markup, whose chunks hold a style for every few words (a large book of plain paragraphs
// needs about 12).
constexpr qint64 kBytesPerCharacter = BookCostMeter::kBytesPerCharacter;

// A quarter of the machine's physical memory (1 GiB where that cannot be learnt).
qint64 defaultBudget();

// True when a book of this many characters of text fits within budgetBytes.
bool fits(qint64 characters, qint64 budgetBytes);
// The same for a book of these chunks, counted by their weight.
bool fits(const QList<ContentChunk>& chunks, qint64 budgetBytes);

// Logs what a refused book was counted to cost against its budget.
void logCost(const BookCostMeter& meter);

// The message of a refused book: the reader's own text for a book it cannot open, followed by the
// path (the user is shown no other kind of text); the log says why.
QString refusal(const QString& cannotOpenText, const QString& path);

} // namespace BookMemoryBudget
