#pragma once

// What stands between two cells of a table row set as one line of text, in HTML tables and in
// MathML tables alike: a gap with a thin divider in it, kept on the line of the cell before, and
// then a space at which a row too long for the column may wrap. Any thread.

#include <QString>

inline QString cellSeparator()
{
    return QStringLiteral("\u00A0\u2002\u2502\u2002 ");
}
