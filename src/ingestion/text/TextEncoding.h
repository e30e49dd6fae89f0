#pragma once

// Finds the character encoding of a byte buffer and decodes it. Stateless; any thread.

#include <QByteArray>
#include <QString>

namespace TextEncoding {

// The encoding name ("UTF-8", "windows-1251", a declared or detected name); empty for empty data.
QString detectEncoding(const QByteArray& data);
// The text, or empty when data is empty, the name is empty, or no decoder accepts the bytes.
QString decodeWithEncoding(const QByteArray& data, const QString& encoding);
// The decoded text; empty only for empty data. An empty hint means "detect".
QString decode(const QByteArray& data, const QString& encodingHint);

// The last resort of detection for text that is neither UTF-8 nor named by uchardet: scores the
// high bytes of the first 32 KiB as the letters of windows-1251, koi8-r and cp866, and answers
// "windows-1252" when none of them looks like Cyrillic.
QString guessCyrillicCodePage(const QByteArray& data);

} // namespace TextEncoding

// True when the bytes are well-formed UTF-8 (an empty buffer is valid).
bool isValidUtf8(const char* data, qsizetype size);
