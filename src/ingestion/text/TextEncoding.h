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
// Where the text starts that decode(data, QString()) reads as UTF-8 when it is well-formed UTF-8
// (decodeWellFormedUtf8 from there gives the same text): past a UTF-8 byte-order mark (and a
// second one right after it, which decoding drops too), else 0; -1 when data is empty or marked
// or declared as another encoding, whatever follows.
qsizetype utf8TextStart(const QByteArray& data);
// What decode(data, QString()) makes of data when it reads it as well-formed UTF-8, written into
// out, which has room for data.size() units: the units written; -1 (out then holds nothing of use)
// when it does not read it so.
qsizetype decodeUtf8Into(const QByteArray& data, char16_t* out);

// The last resort of detection for text that is neither UTF-8 nor named by uchardet: scores the
// high bytes of the first 32 KiB as the letters of windows-1251, koi8-r and cp866, and answers
// "windows-1252" when none of them looks like Cyrillic.
QString guessCyrillicCodePage(const QByteArray& data);

} // namespace TextEncoding

// True when the bytes are well-formed UTF-8 (an empty buffer is valid).
bool isValidUtf8(const char* data, qsizetype size);
// Well-formed UTF-8 decoded into out, which has room for size units: the units written, or -1
// when the bytes are not well-formed UTF-8 (out then holds nothing of use).
qsizetype decodeWellFormedUtf8(const char* data, qsizetype size, char16_t* out);
