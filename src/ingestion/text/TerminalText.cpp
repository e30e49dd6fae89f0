#include "text/TerminalText.h"

namespace {

constexpr char16_t kEscape = 0x1B;
constexpr char16_t kBackspace = 0x08;
constexpr char16_t kBell = 0x07;
constexpr char16_t kControlSequenceIntroducer = 0x9B; // the one-character form of ESC [

bool isLineEnd(char16_t u)
{
    return u == u'\n' || u == u'\r' || u == u'\f';
}

// Where the control sequence whose parameters start at i ends: past its final character
// (parameters 0x30-0x3F, then intermediates 0x20-0x2F, then one final 0x40-0x7E).
qsizetype skipControlSequence(QStringView text, qsizetype i)
{
    while (i < text.size() && text[i].unicode() >= 0x30 && text[i].unicode() <= 0x3F)
        ++i;
    while (i < text.size() && text[i].unicode() >= 0x20 && text[i].unicode() <= 0x2F)
        ++i;
    if (i < text.size() && text[i].unicode() >= 0x40 && text[i].unicode() <= 0x7E)
        ++i;
    return i;
}

// Where the string that starts at i ends: past a bell or a string terminator (ESC \).
qsizetype skipString(QStringView text, qsizetype i)
{
    for (; i < text.size() && !isLineEnd(text[i].unicode()); ++i) {
        if (text[i] == kBell)
            return i + 1;
        if (text[i] == kEscape && i + 1 < text.size() && text[i + 1] == u'\\')
            return i + 2;
    }
    return i;
}

// Not a control character (half of a surrogate pair is the half of a printable one).
bool isPrintable(char16_t u)
{
    return u >= 0x20 && u != 0x7F && !(u >= 0x80 && u < 0xA0);
}

// The characters that may follow an escape character in a sequence (a control sequence, a
// string, a designation or a two-character escape).
bool startsEscapeSequence(char16_t u)
{
    return u >= 0x20 && u <= 0x7E;
}

// Where the escape sequence whose escape character stands at i ends.
qsizetype skipEscape(QStringView text, qsizetype i)
{
    ++i;
    if (i >= text.size())
        return i;
    const char16_t u = text[i].unicode();
    if (u == u'[')
        return skipControlSequence(text, i + 1);
    if (u == u']' || u == u'P' || u == u'X' || u == u'^' || u == u'_')
        return skipString(text, i + 1);
    if (u >= 0x20 && u <= 0x2F) { // a designation: intermediates, then one final character
        while (i < text.size() && text[i].unicode() >= 0x20 && text[i].unicode() <= 0x2F)
            ++i;
        return i < text.size() && text[i].unicode() >= 0x30 && text[i].unicode() <= 0x7E ? i + 1 : i;
    }
    if (u >= 0x30 && u <= 0x7E)
        return i + 1;
    return i; // an escape before anything else stands alone
}

// Takes the last character (a whole surrogate pair) off the line being written; null at a line
// start, where a backspace has nothing to strike.
QString takeLast(QString& out)
{
    if (out.isEmpty() || isLineEnd(out.back().unicode()))
        return {};
    const qsizetype length = out.size() >= 2 && out.back().isLowSurrogate() && out[out.size() - 2].isHighSurrogate() ? 2 : 1;
    QString last = out.right(length);
    out.chop(length);
    return last;
}

} // namespace

namespace TerminalText {

bool hasTerminalCodes(QStringView text)
{
    for (qsizetype i = text.indexOf(QChar(kEscape)); i >= 0; i = text.indexOf(QChar(kEscape), i + 1)) {
        if (i + 1 < text.size() && startsEscapeSequence(text[i + 1].unicode()))
            return true;
    }
    for (qsizetype i = text.indexOf(QChar(kBackspace)); i >= 0; i = text.indexOf(QChar(kBackspace), i + 1)) {
        if (i > 0 && i + 1 < text.size() && isPrintable(text[i - 1].unicode()) && isPrintable(text[i + 1].unicode()))
            return true;
    }
    return false;
}

QString plain(QStringView text)
{
    QString out;
    out.reserve(text.size());
    QString struck; // the character a backspace took back, until the one struck over it comes
    for (qsizetype i = 0; i < text.size();) {
        const char16_t u = text[i].unicode();
        if (u == kEscape) {
            i = skipEscape(text, i);
            continue;
        }
        if (u == kControlSequenceIntroducer) {
            i = skipControlSequence(text, i + 1);
            continue;
        }
        if (u == kBell) {
            ++i;
            continue;
        }
        if (u == kBackspace) {
            const QString last = takeLast(out);
            if (struck.isEmpty())
                struck = last;
            ++i;
            continue;
        }
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        const QStringView character = text.sliced(i, length);
        i += length;
        if (struck.isEmpty() || isLineEnd(u)) {
            out.append(struck); // a backspace at a line's end takes nothing back
            out.append(character);
        } else {
            // Underlining strikes "_" over the letter or the letter over "_": the letter stays.
            out.append(character == u"_" ? QStringView(struck) : character);
        }
        struck.clear();
    }
    out.append(struck);
    return out;
}

} // namespace TerminalText
