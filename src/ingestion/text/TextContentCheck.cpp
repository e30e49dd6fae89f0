#include "text/TextContentCheck.h"

namespace {

// C1 controls are left out: text in windows-1252 read as ISO-8859-1 shows its quotes as C1.
bool isForeignToText(char16_t unit)
{
    if (unit < 0x20)
        return unit < u'\t' || unit > u'\r';
    return unit == 0x7F || unit == 0xFFFE || unit == 0xFFFF;
}

// Units this many at a time are tested without a branch, which the compiler turns into vector
// code: nearly every block of a book holds only printable units below the surrogates and line
// ends.
constexpr qsizetype kBlock = 64;

bool isPlainBlock(const QChar* units)
{
    unsigned odd = 0;
    for (qsizetype k = 0; k < kBlock; ++k) {
        const char16_t unit = units[k].unicode();
        const unsigned control = unsigned(unit < 0x20) & unsigned(char16_t(unit - u'\t') > u'\r' - u'\t');
        odd |= control | unsigned(unit == 0x7F) | unsigned(unit >= 0xD800);
    }
    return odd == 0;
}

} // namespace

namespace TextContentCheck {

Verdict judge(QStringView text)
{
    qsizetype foreign = 0;
    qsizetype unreadable = 0;
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        if (i + kBlock <= size && isPlainBlock(text.data() + i)) {
            i += kBlock;
            continue;
        }
        for (const qsizetype end = qMin(size, i + kBlock); i < end; ++i) {
            const char16_t unit = text[i].unicode();
            if (isForeignToText(unit)) {
                ++foreign;
            } else if (unit == 0xFFFD) {
                ++unreadable;
            } else if (QChar::isSurrogate(unit)) {
                if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode()))
                    ++i;
                else
                    ++unreadable;
            }
        }
    }
    if (foreign * 50 > size)
        return Verdict::Binary;
    if (unreadable * 10 > size)
        return Verdict::Undecodable;
    return Verdict::Text;
}

} // namespace TextContentCheck
