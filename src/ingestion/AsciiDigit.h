#pragma once

// The value of one ASCII digit, for the number parsers of CSS escapes, CSS colours and character
// references. Letters outside ASCII never count as digits there. Any thread.

#include <QChar>

// 0..base-1 for an ASCII digit of the base (10 or 16, either letter case); -1 for any other unit.
inline int asciiDigitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (base == 16 && u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (base == 16 && u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}
