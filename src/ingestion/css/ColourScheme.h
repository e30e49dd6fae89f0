#pragma once

// The colour scheme a book's `@media (prefers-color-scheme)` queries are answered with: that of
// the reading theme, which the application sets whenever the theme changes. Style sheets read it
// as they are parsed, so a book takes the scheme it was opened in (FormatReader::followsColourScheme
// says whether the answer mattered to it).
//
// Any thread: one atomic flag, light until set.

namespace ColourScheme {

bool prefersDark();
void setPrefersDark(bool dark);

} // namespace ColourScheme
