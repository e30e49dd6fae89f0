#pragma once

// Text written for a terminal: manual pages formatted by nroff, which make bold by striking a
// character over itself (H, backspace, H) and underline by striking it over "_", and program
// output with escape sequences that set colours or move the cursor. A terminal shows such text
// as plain text; read as a file, its backspaces and escapes are control characters that would
// make it look like binary data.
//
// Stateless; any thread.

#include <QString>
#include <QStringView>

namespace TerminalText {

// Whether the text holds an escape sequence or a character struck over another (a backspace
// between two printable characters). A code table's lone control characters are neither.
bool hasTerminalCodes(QStringView text);

// The text as a terminal shows it: each overstruck character once (the letter, not the "_" of an
// underline), without escape sequences (CSI sequences such as colours and cursor moves, OSC
// strings such as window titles, character-set designations and other two-character escapes)
// and without bells. A sequence that a line end cuts short ends there; the line end stays.
QString plain(QStringView text);

} // namespace TerminalText
