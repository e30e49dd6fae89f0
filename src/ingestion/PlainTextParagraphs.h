#pragma once

// Cuts decoded plain text into paragraphs. Stateless; any thread.
//
// Line ends are "\n", "\r\n" and a lone "\r". A paragraph is a hard-wrapped block of lines between
// blank lines, its lines joined by a space. Lines are paragraphs of their own in books that never
// leave a blank line between lines of text (legacy books with one paragraph per line), and in
// blocks that cannot be hard-wrapped paragraphs: blocks with a line longer than any wrap width or
// longer than four budgets. A line longer than 16 budgets is cut at sentence ends (else spaces)
// into pieces of about one budget, so that no chunk grows to thousands of lines.

#include <QString>
#include <QStringView>

#include <functional>

namespace PlainTextParagraphs {

// Length above which a line is cut into several paragraphs: 16 budgets.
qsizetype longLineLength(int budget);

// Calls paragraph once per paragraph, in order, with its text (never blank).
void split(QStringView text, int budget, const std::function<void(const QString&)>& paragraph);

} // namespace PlainTextParagraphs
