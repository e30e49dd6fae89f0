#pragma once

// The user-agent style sheets: the presets of the HTML and FictionBook elements, as CSS text
// parsed once on first use. The cascade puts them before the book's own sheets.
//
// Any thread (the parse runs once, under the function-static guard).

#include "css/CssStyleSheet.h"

namespace Css {

enum class Vocabulary { Html, FictionBook };

const StyleSheet& userAgentSheet(Vocabulary vocabulary);

} // namespace Css
