#pragma once

// The last step of opening a reflowable book, the same for every reader of one: the book's chunks
// checked against its memory budget, and a book without readable content given a row to show.
//
// Stateless; any thread.

#include "content/BookCostMeter.h"
#include "content/ContentModel.h"
#include "formats/BookMetadata.h"

#include <QList>
#include <QString>

namespace TextBookChunks {

// One chunk of one empty block: the reading model needs a row even for a book with no text.
ContentChunk emptyChunk(const QString& id);

// False when the book is past the budget of its meter, by what building it cost or by the text of
// its chunks (BookMemoryBudget): chunks and book.contentHash are cleared and book.errorString says
// so after cannotOpenText. Otherwise an empty chunks gets emptyChunk(book.filePath).
bool settle(QList<ContentChunk>& chunks, const BookCostMeter& meter, const QString& cannotOpenText, BookMetadata& book);

} // namespace TextBookChunks
