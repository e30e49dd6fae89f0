#include "text/PlainTextParagraphs.h"

#include "text/CancelToken.h"
#include "text/LargeBuffer.h"
#include "text/ParagraphMemory.h"

#include <QList>

#include <algorithm>
#include <map>
#include <span>
#include <type_traits>
#include <utility>

namespace {

using PlainTextParagraphs::Block;
using Sink = std::function<void(const Block&)>;

// No one wraps by hand at more than this, so longer lines are paragraphs.
constexpr int kWidestWrap = 120;
// Nor prose at less than this, unless a greedy wrapper made it: narrower files are verse.
constexpr int kNarrowestWrap = 55;
// Fewer lines filled by a wrapper than this say nothing about how it wrapped.
constexpr qsizetype kFewestWrappedLines = 8;
// A greedy wrapper fills at least this many lines for each it leaves unfilled near the width.
constexpr qsizetype kGreedyNearShare = 5;
// Wrapped prose ends at most one line in this many at a punctuation mark, where verse pauses.
constexpr qsizetype kWrappedPauseShare = 4;
// A paragraph's first line of this many quarters of the wrap width is prose, whatever follows.
constexpr int kProseQuarters = 3;
constexpr int kTabStop = 4;
// One line in this many carrying a mark is a habit of the file, not an accident.
constexpr int kHabitShare = 50;
// A paragraph indent may vary by this much and still be one.
constexpr int kIndentSlack = 1;
constexpr int kMinimumMarks = 3;
constexpr int kShortLinesOfABlock = 3;
// A line this many tenths of the wrap width long is a line of prose, not of verse or contents.
constexpr int kProseShare = 6;
constexpr int kShortestProseLine = 20;
// Files with fewer text lines than this are too short for statistics.
constexpr int kFewLines = 24;

enum class LineKind : quint8 { Blank, Text, Mark };

// A line's length as a wrapper counted it: in columns, or in the bytes of its UTF-8 form (some
// wrappers count bytes, and leave lines of Cyrillic or Greek half as long in characters).
struct Extent {
    int length = 0;    // up to the last visible character, indent included
    int firstWord = 0; // of the first word
};

// A line as the rules see it, measured as it is read, in one pass over its characters.
struct Line {
    QStringView text; // without its line end
    LineKind kind = LineKind::Text;
    bool trailingSpace = false; // white space after the last visible character
    bool multiByte = false;     // more bytes than characters in UTF-8
    int indent = 0; // columns of leading white space
    int length = 0; // columns up to the last visible character, indent included
    Extent extents[2]; // in columns, in bytes
};

enum Unit { Columns = 0, Bytes = 1 };

// QChar::isSpace looks every non-ASCII character up in the Unicode tables; no white space lies
// between U+00A0 and U+1680, so most letters of most scripts are answered here.
bool isSpace(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x1680)
        return u == u' ' || (u >= u'\t' && u <= u'\r') || u == 0x85 || u == 0xA0;
    return c.isSpace();
}

int columnsOf(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x1100) // below the first wide range: nearly every character of a book
        return 1;
    const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF)
        || (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F)
        || (u >= 0xFF00 && u <= 0xFF60) || (u >= 0xFFE0 && u <= 0xFFE6);
    return wide ? 2 : 1;
}

bool isMarkCharacter(QChar c)
{
    return c == u'*' || c == u'-' || c == u'_';
}

int advance(int column, QChar c)
{
    return column + (c == u'\t' ? kTabStop - column % kTabStop : columnsOf(c));
}

// UTF-8 bytes a UTF-16 unit takes beyond one (a surrogate pair takes four in all).
int utf8Extra(char16_t u)
{
    return int(u >= 0x80) + int(u >= 0x800) - int(char16_t(u - 0xD800) <= 0xDFFF - 0xD800);
}

// The length of the text in UTF-8.
int utf8Length(QStringView text)
{
    int extra = 0;
    for (const QChar c : text)
        extra += utf8Extra(c.unicode());
    return int(text.size()) + extra;
}

struct Widths {
    bool oneColumnEach = true; // no tab and no wide character
    int utf8Extra = 0;         // UTF-8 bytes beyond one a character
};

// Both in one pass without a branch, so that the compiler turns it into vector code: nearly
// every line of a book has no tab and nothing in the first wide range or at or past U+2E80,
// where the others lie.
Widths widthsOf(QStringView text)
{
    unsigned other = 0;
    int extra = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        other |= unsigned(u == u'\t') | unsigned(char16_t(u - 0x1100) <= 0x115F - 0x1100) | unsigned(u >= 0x2E80);
        extra += utf8Extra(u);
    }
    return Widths{other == 0, extra};
}

// No wrapper breaks a line at a no-break space.
bool isBreakingSpace(QChar c)
{
    return isSpace(c) && c != u'\u00A0' && c != u'\u2007' && c != u'\u202F';
}

// The first word of the text.
QStringView firstWord(QStringView text)
{
    qsizetype k = 0;
    while (k < text.size() && !isBreakingSpace(text.at(k)))
        ++k;
    return text.first(k);
}

// At least three marks and nothing else but white space.
bool isMarkLine(QStringView text)
{
    int marks = 0;
    for (const QChar c : text) {
        if (isMarkCharacter(c))
            ++marks;
        else if (!isSpace(c))
            return false;
    }
    return marks >= kMinimumMarks;
}

Line describeLine(QStringView text)
{
    Line line;
    line.text = text;
    qsizetype i = 0;
    int column = 0;
    for (; i < text.size() && isSpace(text.at(i)); ++i)
        column = advance(column, text.at(i));
    if (i == text.size()) {
        line.kind = LineKind::Blank;
        return line;
    }
    line.indent = column;
    // The length ends at the last visible character, so trailing white space is not counted.
    qsizetype last = text.size() - 1;
    while (isSpace(text.at(last)))
        --last;
    line.trailingSpace = last + 1 < text.size();
    const QStringView visible = text.sliced(i, last + 1 - i);
    const Widths widths = widthsOf(visible);
    if (widths.oneColumnEach) {
        line.length = column + int(visible.size());
    } else {
        for (const QChar c : visible)
            column = advance(column, c);
        line.length = column;
    }
    // In bytes, the indent counts one a character.
    const QStringView word = firstWord(visible);
    int wordColumns = 0;
    for (const QChar c : word)
        wordColumns += columnsOf(c);
    line.extents[Columns] = Extent{line.length, wordColumns};
    line.extents[Bytes] = Extent{int(i + visible.size()) + widths.utf8Extra, utf8Length(word)};
    line.multiByte = widths.utf8Extra != 0;
    if (isMarkCharacter(text.at(i)) && isMarkLine(text.sliced(i)))
        line.kind = LineKind::Mark;
    return line;
}

constexpr qsizetype kScanBlock = 32;

// Without a branch, so that the compiler turns it into vector code: line feed, form feed and
// carriage return all lie at or below '\r', and most blocks of a book hold none of them.
bool hasNoLineEnd(const QChar* units)
{
    unsigned low = 0;
    for (qsizetype k = 0; k < kScanBlock; ++k)
        low |= unsigned(units[k].unicode() <= u'\r');
    return low == 0;
}

// Where the line starting at from ends: at a line end or a form feed, else at the text's end.
qsizetype lineEnd(QStringView text, qsizetype from)
{
    qsizetype end = from;
    while (end < text.size()) {
        if (end + kScanBlock <= text.size() && hasNoLineEnd(text.data() + end)) {
            end += kScanBlock;
            continue;
        }
        for (const qsizetype stop = qMin(text.size(), end + kScanBlock); end < stop; ++end) {
            const QChar c = text.at(end);
            if (c == u'\n' || c == u'\r' || c == u'\f')
                return end;
        }
    }
    return end;
}

// The most lines the text can make: one after each line end, a form feed making two (its line and
// a mark). Without a branch, and in blocks whose counts fit 16 bits, so that the compiler turns it
// into vector code.
qsizetype mostLines(QStringView text)
{
    constexpr qsizetype kBlock = 16384;
    qsizetype ends = 0;
    for (qsizetype start = 0; start < text.size(); start += kBlock) {
        quint16 inBlock = 0;
        for (const QChar c : text.sliced(start, qMin(kBlock, text.size() - start))) {
            const char16_t u = c.unicode();
            inBlock += quint16(u == u'\n') + quint16(u == u'\r') + quint16(2 * (u == u'\f'));
        }
        ends += inBlock;
    }
    return ends + 1;
}

// The lines of a text. A book has tens of thousands, and the first touch of each page of fresh
// memory costs a fault: the table takes its memory at once, in huge pages where the system offers
// them, sized for the most lines the text can make.
class LineTable {
public:
    explicit LineTable(QStringView text)
        : capacity(mostLines(text))
        , memory(capacity * qsizetype(sizeof(Line)))
        , first(reinterpret_cast<Line*>(memory.data()))
    {
        static_assert(std::is_trivially_copyable_v<Line> && std::is_trivially_destructible_v<Line>);
    }

    void append(const Line& line)
    {
        Q_ASSERT(count < capacity);
        new (first + count++) Line(line);
    }
    std::span<const Line> lines() const { return {first, size_t(count)}; }

private:
    qsizetype capacity;
    LargeBuffer memory;
    Line* first;
    qsizetype count = 0;
};

// A form feed ends its line and stands for a section break of its own.
void readLines(QStringView text, LineTable& lines)
{
    qsizetype pos = 0;
    while (pos < text.size() && !CancelToken::requested()) {
        qsizetype end = lineEnd(text, pos);
        const Line line = describeLine(text.sliced(pos, end - pos));
        const bool formFeed = end < text.size() && text.at(end) == u'\f';
        if (!formFeed || line.kind != LineKind::Blank)
            lines.append(line);
        if (formFeed) {
            Line mark;
            mark.kind = LineKind::Mark;
            lines.append(mark);
        } else if (end + 1 < text.size() && text.at(end) == u'\r' && text.at(end + 1) == u'\n') {
            ++end;
        }
        pos = end + 1;
    }
}

// How often each value occurs. Nearly all values are small (indents, runs of blank lines), and a
// list counts them at a fraction of a map's cost for each of a book's lines.
class Tally {
public:
    void add(int value) // at least 0
    {
        if (value >= kListed) {
            ++large[value];
            return;
        }
        if (value >= small.size())
            small.resize(value + 1);
        ++small[value];
    }

    // The value seen most often, the smaller on a tie; 0 when none was.
    int mostCommon() const
    {
        int best = 0;
        int bestCount = 0;
        const auto consider = [&](int value, int count) {
            if (count > bestCount) {
                best = value;
                bestCount = count;
            }
        };
        for (qsizetype value = 0; value < small.size(); ++value)
            consider(int(value), small.at(value));
        for (const auto& [value, count] : large)
            consider(value, count);
        return best;
    }

private:
    static constexpr int kListed = 1024;
    QList<int> small;
    std::map<int, int> large; // values from kListed on, in increasing order
};

bool isClosingMark(QChar c)
{
    return c == u'"' || c == u'\'' || c == u')' || c == u'\u00BB' || c == u'\u201D' || c == u'\u2019';
}

// A dash that opens a line of dialogue: an en or em dash, a horizontal bar, or "--".
bool isDialogueDash(QStringView text)
{
    const QChar c = text.front();
    return c == u'\u2013' || c == u'\u2014' || c == u'\u2015' || c == u'-';
}

// The per-file choices described in the header.
struct FileRule {
    int wrapWidth = 0;
    bool linesAreParagraphs = false;
    bool narrow = false;
    Unit unit = Columns;  // what the wrapper counted
    int fillWidth = 0;    // in that unit: the longest lines, a few odd ones left out
    bool greedy = false;  // a wrapper filled every line it broke: no next word would have fit
    bool softBreaks = false; // the wrapper left white space at the end of each line it broke
    int bodyIndent = 0;
    bool indentLed = false;
    int paragraphIndent = 0;
    bool blankSeparated = false;
    int separatorRun = 0; // blank lines that end a paragraph without a gap
    bool fewLines = false; // too few for the statistics: lines are judged by their shape alone
};

bool startsLowerCase(const Line& line)
{
    const QStringView text = line.text.trimmed();
    return !text.isEmpty() && text.front().isLower();
}

// The shape of a file's text lines: their lengths, indents and the blank runs between them.
struct LineCounts {
    QList<int> lengths;
    Tally indents;
    Tally blankRuns; // blank lines in a run between text lines
    int blankRunCount = 0;
};

LineCounts countLines(std::span<const Line> lines)
{
    LineCounts counts;
    counts.lengths.reserve(std::ssize(lines));
    int run = 0;
    bool seenText = false;
    for (const Line& line : lines) {
        if (line.kind == LineKind::Blank) {
            ++run;
            continue;
        }
        if (line.kind == LineKind::Text) {
            counts.lengths.append(line.length);
            counts.indents.add(line.indent);
            if (seenText && run > 0) {
                counts.blankRuns.add(run);
                ++counts.blankRunCount;
            }
            seenText = true;
        }
        run = 0;
    }
    return counts;
}

// How often a text line below a body-indented one is indented further.
struct StartCounts {
    Tally startIndents;
    int starts = 0;
};

StartCounts countStarts(std::span<const Line> lines, int bodyIndent, int startLength)
{
    StartCounts counts;
    for (qsizetype i = 1; i < std::ssize(lines); ++i) {
        const Line& before = lines[i - 1];
        const Line& line = lines[i];
        if (line.kind != LineKind::Text || before.kind != LineKind::Text)
            continue;
        if (line.indent > bodyIndent && before.indent == bodyIndent && line.length >= startLength) {
            counts.startIndents.add(line.indent);
            ++counts.starts;
        }
    }
    return counts;
}

// The fill width: the length that all but one in a hundred lines (at least one) stay within.
// Takes the lengths of the text lines, in any order, and reorders them.
int fillWidthOf(QList<int>& lengths)
{
    if (lengths.isEmpty())
        return 0;
    const qsizetype longer = lengths.size() / 100;
    std::nth_element(lengths.begin(), lengths.begin() + longer, lengths.end(), std::greater<int>());
    return lengths.at(longer);
}

// The room left at the end of a line: whether the next line's first word would have fit on it.
struct Fit {
    bool tight = false; // it would not have fit within the fill width
    bool near = false;  // it would have, but within the last tenth of the width
};

Fit fitOf(const Line& line, const Line& next, Unit unit, int fillWidth)
{
    const int fit = line.extents[unit].length + 1 + next.extents[unit].firstWord;
    return Fit{fit > fillWidth, fit <= fillWidth && 10 * fit > 9 * fillWidth};
}

// How the lines that a text line follows were broken, measured against a fill width.
struct WrapCounts {
    qsizetype tight = 0;
    qsizetype near = 0;
    qsizetype loose = 0; // neither: clearly room for the next word
    qsizetype tightTrailing = 0; // tight lines that end in white space
    qsizetype looseTrailing = 0;
};

WrapCounts countWraps(std::span<const Line> lines, Unit unit, int fillWidth)
{
    WrapCounts counts;
    for (qsizetype i = 0; i + 1 < std::ssize(lines); ++i) {
        const Line& line = lines[i];
        const Line& next = lines[i + 1];
        if (line.kind != LineKind::Text || next.kind != LineKind::Text)
            continue;
        const Fit fit = fitOf(line, next, unit, fillWidth);
        if (fit.tight) {
            ++counts.tight;
            counts.tightTrailing += line.trailingSpace;
        } else if (fit.near) {
            ++counts.near;
        } else {
            ++counts.loose;
            counts.looseTrailing += line.trailingSpace;
        }
    }
    return counts;
}

// A greedy wrapper leaves a line short of the width only where the paragraph ends, and then
// seldom within the last tenth of it: lines that stop there though the next word would have
// fit are few beside the lines it filled.
bool isGreedy(const WrapCounts& counts)
{
    return counts.tight >= kFewestWrappedLines && counts.near * kGreedyNearShare <= counts.tight;
}

// Chooses the unit the file was wrapped in, and how exactly it was wrapped. The lines are counted
// in bytes only when that may tell more.
// Takes the lengths of the text lines in columns, in any order, and leaves others there.
void chooseWrap(std::span<const Line> lines, QList<int>& lengths, FileRule& rule)
{
    rule.fillWidth = fillWidthOf(lengths);
    WrapCounts counts = countWraps(lines, Columns, rule.fillWidth);
    const bool multiByte = std::any_of(lines.begin(), lines.end(), [](const Line& line) {
        return line.kind == LineKind::Text && line.multiByte;
    });
    if (!rule.fewLines && multiByte) {
        // The unit the wrapper counted in leaves the fewest lines near the width unfilled.
        lengths.clear();
        for (const Line& line : lines) {
            if (line.kind == LineKind::Text)
                lengths.append(line.extents[Bytes].length);
        }
        const int byteWidth = fillWidthOf(lengths);
        const WrapCounts byteCounts = countWraps(lines, Bytes, byteWidth);
        if (isGreedy(byteCounts) && (!isGreedy(counts) || byteCounts.near * counts.tight < counts.near * byteCounts.tight)) {
            rule.unit = Bytes;
            rule.fillWidth = byteWidth;
            counts = byteCounts;
        }
    }
    rule.greedy = !rule.fewLines && isGreedy(counts);
    // As fold -s and flowed text do; white space left at paragraph ends would say nothing.
    rule.softBreaks = !rule.fewLines && counts.tight >= kFewestWrappedLines
        && 10 * counts.tightTrailing >= 9 * counts.tight && 10 * counts.looseTrailing <= counts.loose;
}

FileRule ruleFor(std::span<const Line> lines)
{
    FileRule rule;
    LineCounts counts = countLines(lines);
    if (counts.lengths.isEmpty())
        return rule;
    // The wrap width is the 95th percentile of the lengths, so a few long lines do not set it.
    const qsizetype textLines = counts.lengths.size();
    const qsizetype rank = (textLines * 95 + 99) / 100;
    std::nth_element(counts.lengths.begin(), counts.lengths.begin() + (rank - 1), counts.lengths.end());
    rule.wrapWidth = counts.lengths.at(rank - 1);
    rule.linesAreParagraphs = rule.wrapWidth > kWidestWrap;
    rule.bodyIndent = counts.indents.mostCommon();
    rule.fewLines = textLines < kFewLines;
    if (!rule.linesAreParagraphs)
        chooseWrap(lines, counts.lengths, rule);
    // Nobody wraps prose by hand this narrow, but verse is often this wide.
    rule.narrow = rule.wrapWidth < kNarrowestWrap && !rule.greedy;

    // One indented line of prose length below the body starts the second paragraph of a short
    // file; two are needed in a long one, whose verse may be indented.
    const int startsNeeded = rule.fewLines ? 1 : 2;
    const StartCounts starts = countStarts(lines, rule.bodyIndent, rule.fewLines ? kShortestProseLine : 0);
    rule.indentLed = starts.starts >= startsNeeded && starts.starts * qsizetype(kHabitShare) >= textLines;
    rule.paragraphIndent = starts.startIndents.mostCommon();
    rule.blankSeparated = counts.blankRunCount > 0 && counts.blankRunCount * qsizetype(kHabitShare) >= textLines;
    rule.separatorRun = rule.blankSeparated ? counts.blankRuns.mostCommon() : 0;
    return rule;
}

bool endsSentence(QStringView line, qsizetype i)
{
    const char16_t c = line.at(i).unicode();
    // Ideographic full stops need no space after them; Latin ones do, or "3.14" would be cut.
    if (c == u'\u3002' || c == u'\uFF01' || c == u'\uFF1F')
        return true;
    if (c == u'.' || c == u'!' || c == u'?' || c == u'\u2026')
        return i + 1 < line.size() && isSpace(line.at(i + 1));
    return false;
}

// Where to end the piece of text that starts one budget before from: after the first sentence
// end within the next budget; when there is none and limit is the end of the text, the rest
// stays whole; else at the first space before limit, else at from itself (not inside a
// surrogate pair).
qsizetype cutPosition(QStringView text, qsizetype from, qsizetype limit, int budget)
{
    const qsizetype sentenceLimit = qMin(limit, from + budget);
    for (qsizetype i = from - 1; i < sentenceLimit; ++i) {
        if (endsSentence(text, i))
            return i + 1;
    }
    if (limit >= text.size())
        return text.size();
    for (qsizetype i = from; i < limit; ++i) {
        if (isSpace(text.at(i)))
            return i;
    }
    qsizetype cut = from;
    if (text.at(cut - 1).isHighSurrogate())
        ++cut;
    return cut;
}

// Hands blocks on, with a gap or a break only between two blocks of text.
class Emitter {
public:
    Emitter(int budget, const Sink& sink) : budget(budget), sink(sink) {}

    void separate(int kind)
    {
        if (pending != Block::Break)
            pending = kind;
    }

    // Takes a string rather than a view so that a paragraph short enough to stay whole is
    // handed on without a copy.
    void paragraph(const QString& whole)
    {
        const qsizetype longLength = PlainTextParagraphs::longLineLength(budget);
        if (whole.size() <= longLength) {
            hand(Block::Paragraph, whole, false);
            return;
        }
        const QStringView text = whole;
        qsizetype start = 0;
        bool continues = false;
        while (text.size() - start > budget) {
            const qsizetype cut = cutPosition(text, start + budget, qMin(start + longLength, text.size()), budget);
            if (cut >= text.size())
                break;
            const QStringView piece = text.sliced(start, cut - start);
            if (!piece.trimmed().isEmpty()) {
                hand(Block::Paragraph, piece.toString(), continues);
                continues = true;
            }
            start = cut;
        }
        const QStringView rest = text.sliced(start);
        if (!rest.trimmed().isEmpty())
            hand(Block::Paragraph, rest.toString(), continues);
    }

    void lines(const QList<QString>& texts)
    {
        for (const QString& text : texts) {
            if (text.size() > PlainTextParagraphs::longLineLength(budget)) {
                // Not laid out by hand after all: no hand lays out lines of this length.
                for (const QString& line : texts)
                    paragraph(line);
                return;
            }
        }
        QString piece;
        bool continues = false;
        for (const QString& text : texts) {
            if (!piece.isEmpty() && piece.size() + text.size() > budget) {
                hand(Block::Lines, piece, continues);
                piece.clear();
                continues = true;
            }
            if (!piece.isEmpty())
                piece.append(u'\n');
            piece.append(text);
        }
        hand(Block::Lines, piece, continues);
    }

private:
    void hand(int kind, const QString& text, bool continues)
    {
        // Lines laid out by hand have no indent to set them apart from the text around them,
        // so a gap does, whether or not the file had a blank line there.
        if (pending < 0 && emitted && !continues && (kind == Block::Lines || lastKind == Block::Lines))
            pending = Block::Gap;
        if (pending >= 0 && emitted) {
            Block separator;
            separator.kind = pending;
            sink(separator);
        }
        pending = -1;
        emitted = true;
        lastKind = kind;
        Block block;
        block.kind = kind;
        block.text = text;
        block.continues = continues;
        sink(block);
    }

    int budget;
    const Sink& sink;
    int pending = -1;
    bool emitted = false;
    int lastKind = -1;
};

// What the finder hands the emitter, kept, so that the sections of a file found side by side are
// handed on in the order of the file.
class Recording {
public:
    explicit Recording(const PlainTextParagraphs::Recorded* recorded = nullptr) : recorded(recorded) {}

    void separate(int kind)
    {
        calls.append(Call{Call::Separate, kind, {}, {}});
        separated = told;
    }
    void paragraph(QString whole)
    {
        calls.append(Call{Call::Paragraph, 0, std::move(whole), {}});
        tell();
    }
    void lines(QList<QString> texts)
    {
        calls.append(Call{Call::Lines, 0, {}, std::move(texts)});
        tell();
    }
    // The caller said no more: the finding stops and nothing is handed on.
    bool stopped() const { return refused; }

    void replay(Emitter& out) const
    {
        for (const Call& call : calls) {
            switch (call.kind) {
            case Call::Separate:
                out.separate(call.separator);
                break;
            case Call::Paragraph:
                out.paragraph(call.text);
                break;
            case Call::Lines:
                out.lines(call.texts);
                break;
            }
        }
    }

private:
    // A gap or a break between two blocks of text of one section is surely handed on.
    void tell()
    {
        if (recorded && *recorded && !(*recorded)(separated))
            refused = true;
        told = true;
        separated = false;
    }

    struct Call {
        enum Kind { Separate, Paragraph, Lines };
        Kind kind;
        int separator;
        QString text;
        QList<QString> texts;
    };
    QList<Call> calls;
    const PlainTextParagraphs::Recorded* recorded;
    bool refused = false;
    bool told = false;      // a block of text was recorded
    bool separated = false; // a gap or a break was recorded since
};

// Lines of a file found apart from the rest: a section starts after a blank line, where the
// finder holds no unfinished block, with the counts the finder carries over from the lines before.
struct Section {
    qsizetype begin = 0;
    qsizetype end = 0;
    int blankRun = 0;      // blank lines right before begin
    bool seenText = false; // a text line before begin
};

// Characters in each section: enough for the work to outweigh the handing out.
constexpr qsizetype kSectionCharacters = 65536;

QList<Section> sectionsOf(std::span<const Line> lines)
{
    QList<Section> sections;
    Section current;
    int blankRun = 0;
    bool seenText = false;
    qsizetype characters = 0;
    for (qsizetype i = 0; i < std::ssize(lines); ++i) {
        if (characters >= kSectionCharacters && lines[i - 1].kind == LineKind::Blank) {
            current.end = i;
            sections.append(current);
            current = Section{i, 0, blankRun, seenText};
            characters = 0;
        }
        const Line& line = lines[i];
        characters += line.text.size() + 1;
        blankRun = line.kind == LineKind::Blank ? blankRun + 1 : 0;
        seenText = seenText || line.kind == LineKind::Text;
    }
    current.end = std::ssize(lines);
    sections.append(current);
    return sections;
}

// Cuts the file's runs of text lines into paragraphs and hand-laid blocks by the file's rule.
class Finder {
public:
    Finder(std::span<const Line> lines, const FileRule& rule, const ParagraphMemory& memory, Recording& out)
        : lines(lines), rule(rule), memory(memory), out(out)
    {
    }

    void run(const Section& section)
    {
        int blankRun = section.blankRun;
        bool seenText = section.seenText;
        for (qsizetype i = section.begin; i < section.end && !CancelToken::requested() && !out.stopped(); ++i) {
            const Line& line = lines[i];
            if (line.kind == LineKind::Blank) {
                flush(i);
                ++blankRun;
                continue;
            }
            if (line.kind == LineKind::Mark) {
                flush(i);
                out.separate(Block::Break);
                blankRun = 0;
                continue;
            }
            if (seenText && blankRun > rule.separatorRun)
                out.separate(Block::Gap);
            blankRun = 0;
            seenText = true;
            const bool handLaid = isHandLaidLine(line);
            const bool noteText = first >= 0 && first == i - 1 && isNoteNumberBefore(first, i + 1);
            if ((rule.linesAreParagraphs && !noteText)
                || (rule.indentLed && (startsParagraph(line) || handLaid != blockHandLaid)))
                flush(i);
            if (first < 0) {
                first = i;
                blockHandLaid = handLaid;
            }
        }
        flush(section.end);
    }

private:
    bool isHandLaidLine(const Line& line) const
    {
        return rule.indentLed && line.indent > rule.paragraphIndent + kIndentSlack;
    }

    bool startsParagraph(const Line& line) const
    {
        return line.indent > rule.bodyIndent && line.indent <= rule.paragraphIndent + kIndentSlack;
    }

    // A wrapper broke this line: the next line's first word did not fit on it. A greedy wrapper
    // fills its lines exactly; others, or by hand, leave up to a tenth of the width.
    bool isFull(qsizetype i) const
    {
        if (rule.narrow || rule.fewLines || rule.linesAreParagraphs || i + 1 >= std::ssize(lines))
            return false;
        const Line& next = lines[i + 1];
        if (next.kind != LineKind::Text)
            return false;
        const Fit fit = fitOf(lines[i], next, rule.unit, rule.fillWidth);
        return fit.tight || (!rule.greedy && fit.near);
    }

    void flush(qsizetype end)
    {
        if (first < 0)
            return;
        const qsizetype begin = first;
        first = -1;
        if (rule.linesAreParagraphs) {
            for (qsizetype i = begin; i < end; ++i) {
                if (isNoteNumberBefore(i, end)) {
                    joined(i, i + 2);
                    ++i;
                } else {
                    joined(i, i + 1);
                }
            }
        } else if (blockHandLaid) {
            handLaid(begin, end);
        } else if (rule.blankSeparated || rule.indentLed) {
            markedBlock(begin, end);
        } else {
            unmarkedBlock(begin, end);
        }
    }

    // The text runs on from line i to the next: a wrapper filled the line, the next line goes on
    // in lower case after a line of prose length, or a line of prose length stops in
    // mid-sentence (after a letter) in a short file. A short line ending a sentence, or one left
    // short by a long next word, is still prose when it meets one of these; verse, addresses and
    // contents lines meet none of them. In a narrow file only the first line of a block of two
    // runs on by its case: verse of any width goes on in lower case too. The first line of a
    // block of two runs on when it is of prose length, whatever the case of the second.
    bool runsOn(qsizetype i, bool firstOfTwo = false) const
    {
        const Line& line = lines[i];
        const Line& next = lines[i + 1];
        if (rule.softBreaks)
            return line.trailingSpace;
        if (isFull(i))
            return true;
        const bool lower = startsLowerCase(next);
        const int fit = line.length + 1 + next.extents[Columns].firstWord;
        if (rule.narrow)
            return lower && firstOfTwo;
        if (firstOfTwo && line.length >= kShortestProseLine && 4 * fit >= kProseQuarters * rule.wrapWidth)
            return true;
        if (rule.greedy) // a line one column off the fill width, as wrappers that count the space
            return lower && fitOf(line, next, rule.unit, rule.fillWidth).near;
        if (lower && 10 * fit >= kProseShare * rule.wrapWidth)
            return true;
        const QStringView text = line.text.trimmed();
        return rule.fewLines && !text.isEmpty() && text.back().isLetter() && line.length >= kShortestProseLine
            && 10 * line.length >= kProseShare * rule.wrapWidth;
    }

    void markedBlock(qsizetype begin, qsizetype end)
    {
        bool allIndented = !rule.indentLed;
        qsizetype broken = 0;
        const bool two = end - begin == 2;
        for (qsizetype i = begin; i < end; ++i) {
            allIndented = allIndented && lines[i].indent > rule.bodyIndent;
            if (i + 1 < end && !runsOn(i, two))
                ++broken;
        }
        if (rule.narrow && !allIndented && isWrappedBlock(begin, end)) {
            joined(begin, end);
            return;
        }
        const qsizetype inner = end - begin - 1;
        if (allIndented || (broken > 0 && 2 * broken > inner) || (inner == 1 && broken == 1))
            handLaid(begin, end);
        else
            joined(begin, end);
    }

    // A block of narrow lines that a wrapper made: each of its lines but the last is of prose
    // length and has no room for the next line's first word within the block's longest line,
    // and few of them end at a punctuation mark. Stanzas of verse have lines that would have
    // had room, or end their lines at the pauses of their phrases.
    bool isWrappedBlock(qsizetype begin, qsizetype end) const
    {
        if (end - begin < 3)
            return false;
        int longest = 0;
        for (qsizetype i = begin; i < end; ++i)
            longest = std::max(longest, lines[i].length);
        qsizetype pauses = 0;
        for (qsizetype i = begin; i + 1 < end; ++i) {
            const Line& line = lines[i];
            if (line.length < kShortestProseLine || !fitOf(line, lines[i + 1], Columns, longest).tight)
                return false;
            const QStringView text = line.text.trimmed();
            pauses += text.back().isPunct();
        }
        return kWrappedPauseShare * pauses <= end - begin - 1;
    }

    // A line that ends a sentence above a line that opens with a dash or a quotation mark: most
    // often the next speaker's paragraph, which a wrapper's full line would hide. Within a
    // paragraph a wrap seldom falls right before the quotation after a sentence.
    bool endsBeforeDialogue(qsizetype i) const
    {
        if (rule.softBreaks)
            return false;
        const QStringView text = lines[i].text.trimmed();
        const QStringView next = lines[i + 1].text.trimmed();
        qsizetype last = text.size() - 1;
        while (last > 0 && isClosingMark(text.at(last)))
            --last;
        const QChar end = text.at(last);
        const bool sentence = end == u'.' || end == u'!' || end == u'?' || end == u'\u2026';
        if (!sentence || next.size() < 2)
            return false;
        const QChar open = next.front();
        if (open == u'"' || open == u'\u201C' || open == u'\u00AB' || open == u'\u201E')
            return true;
        return isDialogueDash(next) && (isSpace(next.at(1)) || (open == u'-' && next.at(1) == u'-'));
    }

    // Without blank lines or indents, a line the wrapper did not fill ends its paragraph.
    void unmarkedBlock(qsizetype begin, qsizetype end)
    {
        qsizetype runStart = -1; // first line of a run of one-line paragraphs
        auto closeRun = [&](qsizetype upTo) {
            if (runStart < 0)
                return;
            // Lines a wrapper made stand alone only as paragraphs of one line.
            if (upTo - runStart >= kShortLinesOfABlock && !rule.greedy && !rule.softBreaks) {
                handLaid(runStart, upTo);
            } else {
                for (qsizetype k = runStart; k < upTo; ++k)
                    joined(k, k + 1);
            }
            runStart = -1;
        };
        qsizetype start = begin;
        for (qsizetype i = begin; i < end; ++i) {
            if (i + 1 < end && runsOn(i) && !endsBeforeDialogue(i))
                continue;
            if (i == start) {
                if (runStart < 0)
                    runStart = i;
            } else {
                closeRun(start);
                joined(start, i + 1);
            }
            start = i + 1;
        }
        closeRun(end);
    }

    // The lines' visible text, one space between each two, written where the first line stands.
    void joined(qsizetype begin, qsizetype end)
    {
        char16_t* const start = memory.unitsFor(lines[begin].text);
        char16_t* next = start;
        for (qsizetype i = begin; i < end; ++i) {
            if (next > start)
                *next++ = u' ';
            const QStringView visible = lines[i].text.trimmed();
            next = std::copy(visible.utf16(), visible.utf16() + visible.size(), next);
        }
        out.paragraph(memory.string(start, next - start));
    }

    // A line of nothing but a number of up to three digits above one that goes on in lower case:
    // the number of a note, set on a line of its own before the note's text.
    bool isNoteNumberBefore(qsizetype i, qsizetype end) const
    {
        if (i + 1 >= end || !startsLowerCase(lines[i + 1]))
            return false;
        const QStringView text = lines[i].text.trimmed();
        return !text.isEmpty() && text.size() <= 3
            && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    }

    // Indented past the body, the lines keep that indent, as printed books indent verse. A line
    // longer than anyone lays out by hand, or twice the wrap width, is a paragraph of its own
    // among them (the prose of a preface or a note in a book of verse).
    void handLaid(qsizetype begin, qsizetype end)
    {
        int common = rule.bodyIndent;
        for (qsizetype i = begin; i < end; ++i)
            common = std::min(common, lines[i].indent);
        const int longest = std::min(kWidestWrap, 2 * rule.wrapWidth);
        QList<QString> texts;
        for (qsizetype i = begin; i < end; ++i) {
            const bool note = isNoteNumberBefore(i, end);
            const qsizetype last = note ? i + 1 : i;
            if (lines[last].length > longest) {
                if (!texts.isEmpty())
                    out.lines(std::exchange(texts, {}));
                joined(i, last + 1);
                i = last;
                continue;
            }
            if (note) {
                texts.append(lines[i].text.trimmed().toString() + u' ' + lines[i + 1].text.trimmed().toString());
                ++i;
                continue;
            }
            texts.append(withoutIndent(lines[i].text, common));
        }
        if (!texts.isEmpty())
            out.lines(texts);
    }

    // The line without trailing white space and without the first columns of its indent.
    static QString withoutIndent(QStringView text, int columns)
    {
        int removed = 0;
        qsizetype k = 0;
        while (k < text.size() && removed < columns && isSpace(text.at(k))) {
            removed = advance(removed, text.at(k));
            ++k;
        }
        text = text.sliced(k);
        while (!text.isEmpty() && isSpace(text.back()))
            text.chop(1);
        return text.toString();
    }

    std::span<const Line> lines;
    const FileRule& rule;
    const ParagraphMemory& memory;
    Recording& out;
    qsizetype first = -1;
    bool blockHandLaid = false;
};

} // namespace

namespace PlainTextParagraphs {

qsizetype longLineLength(int budget)
{
    return 16 * qsizetype(budget);
}

void split(QStringView text, int budget, const std::function<void(const Block&)>& sink, const ForEach& forEach,
           const Recorded& told)
{
    budget = qMax(budget, 1);
    LineTable table(text);
    readLines(text, table);
    const FileRule rule = ruleFor(table.lines());
    const std::span<const Line> lines = table.lines();
    const ParagraphMemory memory(text);
    const QList<Section> sections = sectionsOf(lines);
    QList<Recording> recordings(sections.size(), Recording(&told));
    Recording* const recorded = recordings.data(); // each call writes its own section
    const std::function<void(qsizetype)> find = [&](qsizetype k) {
        Finder(lines, rule, memory, recorded[k]).run(sections.at(k));
    };
    if (forEach) {
        forEach(sections.size(), find);
    } else {
        for (qsizetype k = 0; k < sections.size(); ++k)
            find(k);
    }
    for (const Recording& recording : std::as_const(recordings)) {
        if (recording.stopped())
            return;
    }
    Emitter out(budget, sink);
    for (const Recording& recording : std::as_const(recordings)) {
        if (CancelToken::requested())
            return; // a cancelled open throws the paragraphs away
        recording.replay(out);
    }
}

} // namespace PlainTextParagraphs
