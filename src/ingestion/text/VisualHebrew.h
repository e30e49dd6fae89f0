#pragma once

// Hebrew stored in visual order (as old DOS and ISO-8859-8 texts are: each line's characters in
// the order they stand on screen, left to right) turned into the logical order that text layout
// expects. Stateless; any thread.

#include <QString>
#include <QStringView>

namespace VisualHebrew {

// True when the Hebrew of the text is stored reversed: its final letter forms (ך ם ן ף ץ), which
// end words, mostly stand at the start of the words.
bool isVisual(QStringView text);

// Each line reversed into reading order; runs of left-to-right text (Latin words, numbers) keep
// their own order, and brackets, drawn mirrored in right-to-left text, are swapped back.
QString toLogical(QStringView text);

} // namespace VisualHebrew
