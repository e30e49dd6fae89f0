#pragma once

// Tells whether decoded text reads as Chinese, Japanese or Korean prose. The legacy multi-byte
// code pages of East Asia overlap so much that bytes of one decode without error in another, but
// into characters drawn at random from its table; real prose is mostly made of a few hundred
// frequent characters (and, in Japanese, of kana), which a wrong reading rarely hits.
//
// Stateless; any thread (the tables are built once, on first use).

#include <QStringView>

namespace EastAsianText {

enum class Language { Chinese, Japanese, Korean };

// The share, from 0 to 1, of the text's characters past ASCII that are frequent in prose of the
// language: for Chinese its most frequent characters (simplified and traditional), for Japanese
// those and the kana, for Korean those (as Hanja) and the most frequent Hangul syllables.
// Punctuation and full-width forms count for nothing either way; a replacement character counts
// as four characters that miss. 0 for text with nothing past ASCII.
double frequentShare(QStringView text, Language language);

} // namespace EastAsianText
