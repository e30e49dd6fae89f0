#include "text/TextContentCheck.h"

namespace {

// C1 controls are left out: text in windows-1252 read as ISO-8859-1 shows its quotes as C1.
bool isForeignToText(char16_t unit)
{
    if (unit < 0x20)
        return unit < u'\t' || unit > u'\r';
    return unit == 0x7F || unit == 0xFFFE || unit == 0xFFFF;
}

} // namespace

namespace TextContentCheck {

Verdict judge(QStringView text)
{
    qsizetype foreign = 0;
    qsizetype unreadable = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text[i].unicode();
        // Nearly every unit of a book is a printable one below the surrogates.
        if (unit >= 0x20 && unit < 0xD800 && unit != 0x7F)
            continue;
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
    if (foreign * 50 > size)
        return Verdict::Binary;
    if (unreadable * 10 > size)
        return Verdict::Undecodable;
    return Verdict::Text;
}

} // namespace TextContentCheck
