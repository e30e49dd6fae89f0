#pragma once

// Where lines may break inside the scripts written without spaces between words: Thai, Lao,
// Khmer, Burmese and the Tai scripts (the characters of Unicode line break class SA). Their words
// are found with ICU's line break iterator and its dictionaries, as a typesetter of those scripts
// breaks them: between words, never inside one, and with no space drawn at the break.
//
// Pure functions; any thread (each thread keeps its own iterator).

#include <QList>
#include <QString>

namespace DictionaryBreaks {

// Whether c belongs to a script that is broken by dictionary.
bool isDictionaryScript(char16_t c);

// Whether text holds any such character; cheap for text without one.
bool needsDictionary(const QString& text);

// The offsets inside text (0 < offset < size) at which a line may break beside a character of
// such a script, in increasing order. Breaks between other characters are left to the caller.
QList<qsizetype> wordBoundaries(const QString& text);

} // namespace DictionaryBreaks
