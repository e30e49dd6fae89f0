#pragma once

// Whether a declaration's value is one its property accepts, as a browser decides when it parses a
// sheet: a declaration it does not accept is dropped, `!important` or not, and the one before it
// stays in force. Books lean on that: `white-space: pre-wrap; white-space: -moz-pre-wrap` must
// keep pre-wrap. Only the properties the computed style reads are checked (and the shorthands
// standing for them); any other property passes, as it is ignored later anyway. A value with
// var() or a math function (calc(), min(), ...) passes too: it is only known when computed.
//
// Pure functions; any thread.

#include "css/CssParser.h"

namespace Css {

bool isValidDeclaration(const Declaration& declaration);

} // namespace Css
