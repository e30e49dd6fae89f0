#include "text/PlainTextParagraphs.h"

#include "text/CancelToken.h"

#include <QList>

#include <algorithm>
#include <map>

namespace {

using PlainTextParagraphs::Block;
using Sink = std::function<void(const Block&)>;

// No one wraps by hand at more than this, so longer lines are paragraphs.
constexpr int kWidestWrap = 120;
// Nor prose at less than this, unless it goes on in lower case: narrower files are verse.
constexpr int kNarrowestWrap = 40;
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
// Prose goes on in lower case on more than one line in this many; verse hardly ever does.
constexpr int kProseLowerShare = 5;

enum class LineKind { Blank, Text, Mark };

struct Line {
    QStringView text; // without its line end
    LineKind kind = LineKind::Text;
    int indent = 0;   // columns of leading white space
    int length = 0;   // columns up to the last visible character, indent included
};

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

// Without a branch, so that the compiler turns it into vector code: nearly every line of a book
// has no tab and nothing in the first wide range or at or past U+2E80, where the others lie.
bool isOneColumnEach(QStringView text)
{
    unsigned other = 0;
    for (const QChar c : text)
        other |= unsigned(c == u'\t') | unsigned(char16_t(c.unicode() - 0x1100) <= 0x115F - 0x1100)
            | unsigned(c.unicode() >= 0x2E80);
    return other == 0;
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
    const QStringView visible = text.sliced(i, last + 1 - i);
    if (isOneColumnEach(visible)) {
        line.length = column + int(visible.size());
    } else {
        for (const QChar c : visible)
            column = advance(column, c);
        line.length = column;
    }
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

// A form feed ends its line and stands for a section break of its own.
QList<Line> readLines(QStringView text)
{
    QList<Line> lines;
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
    return lines;
}

int mostCommon(const std::map<int, int>& counts)
{
    int best = 0;
    int bestCount = 0;
    for (const auto& [value, count] : counts) {
        if (count > bestCount) { // the map runs in increasing order, so a tie keeps the smaller
            best = value;
            bestCount = count;
        }
    }
    return best;
}

// The per-file choices described in the header.
struct FileRule {
    int wrapWidth = 0;
    bool linesAreParagraphs = false;
    bool narrow = false;
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
    std::map<int, int> indents;
    std::map<int, int> blankRuns; // blank lines in a run between text lines -> how many runs
    int blankRunCount = 0;
};

LineCounts countLines(const QList<Line>& lines)
{
    LineCounts counts;
    int run = 0;
    bool seenText = false;
    for (const Line& line : lines) {
        if (line.kind == LineKind::Blank) {
            ++run;
            continue;
        }
        if (line.kind == LineKind::Text) {
            counts.lengths.append(line.length);
            ++counts.indents[line.indent];
            if (seenText && run > 0) {
                ++counts.blankRuns[run];
                ++counts.blankRunCount;
            }
            seenText = true;
        }
        run = 0;
    }
    return counts;
}

// How often a text line below a body-indented one is indented further, and how often it goes
// on in lower case.
struct StartCounts {
    std::map<int, int> startIndents;
    int starts = 0;
    qsizetype followers = 0; // text lines right below a text line
    qsizetype lowerFollowers = 0;
};

StartCounts countStarts(const QList<Line>& lines, int bodyIndent, int startLength)
{
    StartCounts counts;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const Line& before = lines.at(i - 1);
        const Line& line = lines.at(i);
        if (line.kind != LineKind::Text || before.kind != LineKind::Text)
            continue;
        ++counts.followers;
        counts.lowerFollowers += startsLowerCase(line);
        if (line.indent > bodyIndent && before.indent == bodyIndent && line.length >= startLength) {
            ++counts.startIndents[line.indent];
            ++counts.starts;
        }
    }
    return counts;
}

FileRule ruleFor(const QList<Line>& lines)
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
    rule.narrow = rule.wrapWidth < kNarrowestWrap;
    rule.bodyIndent = mostCommon(counts.indents);
    rule.fewLines = textLines < kFewLines;

    // One indented line of prose length below the body starts the second paragraph of a short
    // file; two are needed in a long one, whose verse may be indented.
    const int startsNeeded = rule.fewLines ? 1 : 2;
    const StartCounts starts = countStarts(lines, rule.bodyIndent, rule.fewLines ? kShortestProseLine : 0);
    // Narrow lines that often go on in lower case are prose wrapped narrow (or by bytes rather
    // than characters), not verse.
    rule.narrow = rule.narrow && kProseLowerShare * starts.lowerFollowers < starts.followers;
    rule.indentLed = starts.starts >= startsNeeded && starts.starts * qsizetype(kHabitShare) >= textLines;
    rule.paragraphIndent = mostCommon(starts.startIndents);
    rule.blankSeparated = counts.blankRunCount > 0 && counts.blankRunCount * qsizetype(kHabitShare) >= textLines;
    rule.separatorRun = rule.blankSeparated ? mostCommon(counts.blankRuns) : 0;
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

    // Lines laid out by hand have no indent to set them apart, so a blank line next to them
    // stays a gap.
    void blankLine() { blankSeen = true; }

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
        if (blankSeen && pending < 0 && (kind == Block::Lines || lastKind == Block::Lines))
            pending = Block::Gap;
        blankSeen = false;
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
    bool blankSeen = false;
    int lastKind = -1;
};

// What the finder hands the emitter, kept, so that the sections of a file found side by side are
// handed on in the order of the file.
class Recording {
public:
    void separate(int kind) { calls.append(Call{Call::Separate, kind, {}, {}}); }
    void blankLine() { calls.append(Call{Call::BlankLine, 0, {}, {}}); }
    void paragraph(QString whole) { calls.append(Call{Call::Paragraph, 0, std::move(whole), {}}); }
    void lines(QList<QString> texts) { calls.append(Call{Call::Lines, 0, {}, std::move(texts)}); }

    void replay(Emitter& out) const
    {
        for (const Call& call : calls) {
            switch (call.kind) {
            case Call::Separate:
                out.separate(call.separator);
                break;
            case Call::BlankLine:
                out.blankLine();
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
    struct Call {
        enum Kind { Separate, BlankLine, Paragraph, Lines };
        Kind kind;
        int separator;
        QString text;
        QList<QString> texts;
    };
    QList<Call> calls;
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

QList<Section> sectionsOf(const QList<Line>& lines)
{
    QList<Section> sections;
    Section current;
    int blankRun = 0;
    bool seenText = false;
    qsizetype characters = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (characters >= kSectionCharacters && lines.at(i - 1).kind == LineKind::Blank) {
            current.end = i;
            sections.append(current);
            current = Section{i, 0, blankRun, seenText};
            characters = 0;
        }
        const Line& line = lines.at(i);
        characters += line.text.size() + 1;
        blankRun = line.kind == LineKind::Blank ? blankRun + 1 : 0;
        seenText = seenText || line.kind == LineKind::Text;
    }
    current.end = lines.size();
    sections.append(current);
    return sections;
}

// Cuts the file's runs of text lines into paragraphs and hand-laid blocks by the file's rule.
class Finder {
public:
    Finder(const QList<Line>& lines, const FileRule& rule, Recording& out) : lines(lines), rule(rule), out(out) {}

    void run(const Section& section)
    {
        int blankRun = section.blankRun;
        bool seenText = section.seenText;
        for (qsizetype i = section.begin; i < section.end && !CancelToken::requested(); ++i) {
            const Line& line = lines.at(i);
            if (line.kind == LineKind::Blank) {
                flush(i);
                ++blankRun;
                out.blankLine();
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
            if (rule.linesAreParagraphs || (rule.indentLed && (startsParagraph(line) || handLaid != blockHandLaid)))
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

    // A greedy wrapper broke this line: the next line's first word did not fit on it.
    bool isFull(qsizetype i) const
    {
        if (rule.narrow || rule.fewLines || rule.linesAreParagraphs || i + 1 >= lines.size())
            return false;
        const Line& next = lines.at(i + 1);
        if (next.kind != LineKind::Text)
            return false;
        int word = 0;
        const QStringView rest = next.text.trimmed();
        for (qsizetype k = 0; k < rest.size() && !isSpace(rest.at(k)); ++k)
            word += columnsOf(rest.at(k));
        return 10 * (lines.at(i).length + 1 + word) > 9 * rule.wrapWidth;
    }

    void flush(qsizetype end)
    {
        if (first < 0)
            return;
        const qsizetype begin = first;
        first = -1;
        if (rule.linesAreParagraphs) {
            for (qsizetype i = begin; i < end; ++i)
                out.paragraph(lines.at(i).text.trimmed().toString());
        } else if (blockHandLaid) {
            handLaid(begin, end);
        } else if (rule.blankSeparated || rule.indentLed) {
            markedBlock(begin, end);
        } else {
            unmarkedBlock(begin, end);
        }
    }

    // The text runs on from line i to the next: a wrapper filled the line, the next line goes on
    // in lower case, or a line of prose length stops in mid-sentence (after a letter). A short
    // line ending a sentence, or one left short by a long next word, is still prose when it
    // meets one of these; verse, addresses and contents lines meet none of them.
    bool runsOn(qsizetype i) const
    {
        if (isFull(i))
            return true;
        const Line& line = lines.at(i);
        if (startsLowerCase(lines.at(i + 1)))
            return true;
        const QStringView text = line.text.trimmed();
        return rule.fewLines && !text.isEmpty() && text.back().isLetter() && line.length >= kShortestProseLine
            && 10 * line.length >= kProseShare * rule.wrapWidth;
    }

    void markedBlock(qsizetype begin, qsizetype end)
    {
        bool allIndented = !rule.indentLed;
        qsizetype broken = 0;
        for (qsizetype i = begin; i < end; ++i) {
            allIndented = allIndented && lines.at(i).indent > rule.bodyIndent;
            if (i + 1 < end && !runsOn(i))
                ++broken;
        }
        const qsizetype inner = end - begin - 1;
        if (allIndented || (broken > 0 && 2 * broken > inner) || (inner == 1 && broken == 1))
            handLaid(begin, end);
        else
            joined(begin, end);
    }

    // Without blank lines or indents, a line the wrapper did not fill ends its paragraph.
    void unmarkedBlock(qsizetype begin, qsizetype end)
    {
        qsizetype runStart = -1; // first line of a run of one-line paragraphs
        auto closeRun = [&](qsizetype upTo) {
            if (runStart < 0)
                return;
            if (upTo - runStart >= kShortLinesOfABlock) {
                handLaid(runStart, upTo);
            } else {
                for (qsizetype k = runStart; k < upTo; ++k)
                    joined(k, k + 1);
            }
            runStart = -1;
        };
        qsizetype start = begin;
        for (qsizetype i = begin; i < end; ++i) {
            if (i + 1 < end && runsOn(i))
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

    void joined(qsizetype begin, qsizetype end)
    {
        qsizetype size = 0;
        for (qsizetype i = begin; i < end; ++i)
            size += lines.at(i).text.size() + 1;
        QString text;
        text.reserve(size);
        for (qsizetype i = begin; i < end; ++i) {
            if (!text.isEmpty())
                text.append(u' ');
            text.append(lines.at(i).text.trimmed());
        }
        out.paragraph(text);
    }

    // Indented past the body, the lines keep that indent, as printed books indent verse.
    void handLaid(qsizetype begin, qsizetype end)
    {
        int common = rule.bodyIndent;
        for (qsizetype i = begin; i < end; ++i)
            common = std::min(common, lines.at(i).indent);
        QList<QString> texts;
        for (qsizetype i = begin; i < end; ++i) {
            QStringView text = lines.at(i).text;
            int removed = 0;
            qsizetype k = 0;
            while (k < text.size() && removed < common && isSpace(text.at(k))) {
                removed = advance(removed, text.at(k));
                ++k;
            }
            text = text.sliced(k);
            while (!text.isEmpty() && isSpace(text.back()))
                text.chop(1);
            texts.append(text.toString());
        }
        out.lines(texts);
    }

    const QList<Line>& lines;
    const FileRule& rule;
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

void split(QStringView text, int budget, const std::function<void(const Block&)>& sink, const ForEach& forEach)
{
    budget = qMax(budget, 1);
    const QList<Line> lines = readLines(text);
    const FileRule rule = ruleFor(lines);
    const QList<Section> sections = sectionsOf(lines);
    QList<Recording> recordings(sections.size());
    Recording* const recorded = recordings.data(); // each call writes its own section
    const std::function<void(qsizetype)> find = [&](qsizetype k) {
        Finder(lines, rule, recorded[k]).run(sections.at(k));
    };
    if (forEach) {
        forEach(sections.size(), find);
    } else {
        for (qsizetype k = 0; k < sections.size(); ++k)
            find(k);
    }
    Emitter out(budget, sink);
    for (const Recording& recording : std::as_const(recordings)) {
        if (CancelToken::requested())
            return; // a cancelled open throws the paragraphs away
        recording.replay(out);
    }
}

} // namespace PlainTextParagraphs
