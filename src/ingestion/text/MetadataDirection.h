#pragma once

// The reading direction of a book's title and author as the interface shows them. A view sets a
// text in the direction of its first strong letter; a package may say otherwise (a Hebrew title
// that starts with a Latin name, dir="rtl"), and the text then carries its direction with it as
// a leading mark, so every view that shows it, and the history that keeps it, read it alike.
//
// Pure functions; any thread.

#include <QString>
#include <QStringView>

namespace MetadataDirection {

// Languages written right to left, by their primary subtag or a script subtag ("ar", "he",
// "az-Arab").
bool isRightToLeftLanguage(const QString& tag);

// text in its stated direction: dir "rtl" or "ltr" decides, "auto" leaves it to the text's first
// strong letter (whatever the language); without one, a right-to-left
// language makes a text right to left when it holds a right-to-left letter. When that direction
// is not the one of the text's first strong letter, a right-to-left mark (U+200F) or a
// left-to-right mark (U+200E) leads the text; otherwise the text is returned as it is.
QString marked(const QString& text, QStringView dir, const QString& language);

} // namespace MetadataDirection
