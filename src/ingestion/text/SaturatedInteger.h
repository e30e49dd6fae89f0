#pragma once

// Integers read from a book (list numbers, nth-child arguments) saturate at the limits of int
// instead of wrapping: a number of any length is well-defined and stays in range. Any thread.

#include "text/AsciiDigit.h"

#include <QStringView>
#include <QtGlobal>

#include <algorithm>
#include <limits>

inline int saturatedInt(qint64 value)
{
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// A decimal integer with an optional sign and nothing else; false when text is none.
inline bool parseSaturatedInt(QStringView text, int* out)
{
    qsizetype i = 0;
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        ++i;
    if (i >= text.size())
        return false;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = asciiDigitValue(text[i], 10);
        if (digit < 0)
            return false;
        value = std::min<qint64>(value * 10 + digit, qint64(1) << 40); // far beyond int, far from overflow
    }
    *out = saturatedInt(negative ? -value : value);
    return true;
}
