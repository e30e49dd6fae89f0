#include "PlainTextParagraphs.h"

#include <QList>

namespace {

// No hard-wrapped text has lines this long (they wrap at 60 to 100), so a block holding such a line
// is a book with one paragraph per line.
constexpr qsizetype kWrapWidth = 120;

using Sink = std::function<void(const QString&)>;

// Reads the line starting at pos and moves pos past its line end; false at the end of the text.
bool nextLine(QStringView text, qsizetype& pos, QStringView& line)
{
    if (pos >= text.size())
        return false;
    qsizetype end = pos;
    while (end < text.size() && text.at(end) != QLatin1Char('\n') && text.at(end) != QLatin1Char('\r'))
        ++end;
    line = text.sliced(pos, end - pos);
    if (end < text.size() && text.at(end) == QLatin1Char('\r') && end + 1 < text.size()
        && text.at(end + 1) == QLatin1Char('\n'))
        ++end;
    pos = end + 1;
    return true;
}

bool isBlank(QStringView line)
{
    return line.trimmed().isEmpty();
}

// Only a blank line between two lines of text separates paragraphs; blank lines before the first
// or after the last line of text say nothing about how the text is laid out.
bool hasSeparatingBlankLine(QStringView text)
{
    bool seenText = false;
    bool blankAfterText = false;
    qsizetype pos = 0;
    QStringView line;
    while (nextLine(text, pos, line)) {
        if (isBlank(line)) {
            blankAfterText = seenText;
        } else if (blankAfterText) {
            return true;
        } else {
            seenText = true;
        }
    }
    return false;
}

bool endsSentence(QStringView line, qsizetype i)
{
    const char16_t c = line.at(i).unicode();
    // Ideographic full stops need no space after them; Latin ones do, or "3.14" would be cut.
    if (c == u'\u3002' || c == u'\uFF01' || c == u'\uFF1F')
        return true;
    if (c == u'.' || c == u'!' || c == u'?' || c == u'\u2026')
        return i + 1 < line.size() && line.at(i + 1).isSpace();
    return false;
}

// Where to end the piece of line that starts one budget before from: after the first sentence end
// within the next budget; when there is none and limit is the end of the line, the rest stays
// whole; else at the first space before limit, else at from itself (not inside a surrogate pair).
qsizetype cutPosition(QStringView line, qsizetype from, qsizetype limit, int budget)
{
    const qsizetype sentenceLimit = qMin(limit, from + budget);
    for (qsizetype i = from - 1; i < sentenceLimit; ++i) {
        if (endsSentence(line, i))
            return i + 1;
    }
    if (limit >= line.size())
        return line.size();
    for (qsizetype i = from; i < limit; ++i) {
        if (line.at(i).isSpace())
            return i;
    }
    qsizetype cut = from;
    if (line.at(cut - 1).isHighSurrogate())
        ++cut;
    return cut;
}

void emitLine(QStringView line, int budget, const Sink& paragraph)
{
    const qsizetype longLength = PlainTextParagraphs::longLineLength(budget);
    if (line.size() <= longLength) {
        paragraph(line.toString());
        return;
    }
    qsizetype start = 0;
    while (line.size() - start > budget) {
        const qsizetype cut = cutPosition(line, start + budget, qMin(start + longLength, line.size()), budget);
        if (cut >= line.size())
            break;
        const QStringView piece = line.sliced(start, cut - start);
        if (!isBlank(piece))
            paragraph(piece.toString());
        start = cut;
    }
    const QStringView rest = line.sliced(start);
    if (!isBlank(rest))
        paragraph(rest.toString());
}

void emitBlock(const QList<QStringView>& lines, int budget, const Sink& paragraph)
{
    if (lines.isEmpty())
        return;
    qsizetype length = lines.size() - 1;
    bool wrapped = true;
    for (QStringView line : lines) {
        length += line.size();
        wrapped = wrapped && line.size() <= kWrapWidth;
    }
    // Past four budgets a block is no hard-wrapped paragraph but lines that are paragraphs.
    if (!wrapped || length > 4 * qsizetype(budget)) {
        for (QStringView line : lines)
            emitLine(line, budget, paragraph);
        return;
    }
    QString joined;
    joined.reserve(length);
    for (QStringView line : lines) {
        if (!joined.isEmpty())
            joined.append(QLatin1Char(' '));
        joined.append(line);
    }
    paragraph(joined);
}

} // namespace

namespace PlainTextParagraphs {

qsizetype longLineLength(int budget)
{
    return 16 * qsizetype(budget);
}

void split(QStringView text, int budget, const std::function<void(const QString&)>& paragraph)
{
    budget = qMax(budget, 1);
    const bool linesAreParagraphs = !hasSeparatingBlankLine(text);
    QList<QStringView> block;
    qsizetype pos = 0;
    QStringView line;
    while (nextLine(text, pos, line)) {
        if (linesAreParagraphs) {
            if (!isBlank(line))
                emitLine(line, budget, paragraph);
        } else if (isBlank(line)) {
            emitBlock(block, budget, paragraph);
            block.clear();
        } else {
            block.append(line);
        }
    }
    emitBlock(block, budget, paragraph);
}

} // namespace PlainTextParagraphs
