#include "text/VisualHebrew.h"

#include <algorithm>

namespace {

// Enough of the text to tell the order by: text in one file is stored one way throughout.
constexpr qsizetype kSampleLength = 65536;
// Fewer final letters than this say nothing.
constexpr int kMinimumFinals = 3;

bool isHebrewLetter(QChar c)
{
    return c.unicode() >= 0x05D0 && c.unicode() <= 0x05EA;
}

bool isFinalForm(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0x05DA || u == 0x05DD || u == 0x05DF || u == 0x05E3 || u == 0x05E5;
}

// Characters that keep their order inside a reversed line: letters of left-to-right scripts and
// digits.
bool isLeftToRight(QChar c)
{
    return c.isDigit() || (c.isLetter() && !isHebrewLetter(c) && c.direction() == QChar::DirL);
}

QChar mirrored(QChar c)
{
    switch (c.unicode()) {
    case u'(': return u')';
    case u')': return u'(';
    case u'[': return u']';
    case u']': return u'[';
    case u'{': return u'}';
    case u'}': return u'{';
    case u'<': return u'>';
    case u'>': return u'<';
    default: return c;
    }
}

void appendLogicalLine(QStringView line, QString& out)
{
    const qsizetype start = out.size();
    for (qsizetype i = line.size() - 1; i >= 0; --i)
        out.append(mirrored(line.at(i)));
    // Runs of left-to-right characters, with the spaces and marks between them, came out
    // backwards: turn each back (and undo its mirroring).
    qsizetype i = start;
    while (i < out.size()) {
        if (!isLeftToRight(out.at(i))) {
            ++i;
            continue;
        }
        qsizetype end = i + 1; // one past the run's last left-to-right character
        for (qsizetype k = i + 1; k < out.size() && !isHebrewLetter(out.at(k)); ++k) {
            if (isLeftToRight(out.at(k)))
                end = k + 1;
        }
        for (qsizetype k = i; k < end; ++k)
            out[k] = mirrored(out.at(k));
        std::reverse(out.begin() + i, out.begin() + end);
        i = end;
    }
}

} // namespace

namespace VisualHebrew {

bool isVisual(QStringView text)
{
    text = text.first(qMin(text.size(), kSampleLength));
    int atStart = 0;
    int atEnd = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isFinalForm(text.at(i)))
            continue;
        const bool letterBefore = i > 0 && isHebrewLetter(text.at(i - 1));
        const bool letterAfter = i + 1 < text.size() && isHebrewLetter(text.at(i + 1));
        atStart += !letterBefore && letterAfter;
        atEnd += letterBefore && !letterAfter;
    }
    return atStart >= kMinimumFinals && atStart > 3 * atEnd;
}

QString toLogical(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    while (pos <= text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text.at(end) != u'\n' && text.at(end) != u'\r')
            ++end;
        appendLogicalLine(text.sliced(pos, end - pos), out);
        if (end < text.size())
            out.append(text.at(end));
        pos = end + 1;
    }
    return out;
}

} // namespace VisualHebrew
