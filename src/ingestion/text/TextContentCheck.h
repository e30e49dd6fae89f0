#pragma once

// Tells decoded text from what only looks like text after decoding: binary data (an image, an
// archive, random bytes) decodes in any single-byte code page, but into control characters that
// prose never holds; text its decoder could not read comes back as replacement characters.
//
// Stateless; any thread.

#include <QStringView>

namespace TextContentCheck {

enum class Verdict { Text, Binary, Undecodable };

// Binary when more than one character in fifty is a control character other than the white space
// of text (tab, line feed, vertical tab, form feed, carriage return), DEL or a noncharacter;
// otherwise undecodable when more than one in ten is a replacement character or half a surrogate
// pair. An empty text is text.
Verdict judge(QStringView text);

} // namespace TextContentCheck
