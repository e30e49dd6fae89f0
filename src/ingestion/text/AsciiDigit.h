#pragma once

// The value of one ASCII digit, for the number parsers of CSS escapes, CSS colours and character
// references, and the ASCII letters that start a tag name. Letters outside ASCII never count
// there. Any thread.

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

// A-Z or a-z: what may start a tag name in HTML.
inline bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}
