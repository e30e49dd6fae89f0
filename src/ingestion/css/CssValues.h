#pragma once

// CSS value parsers: lengths, colours, font sizes, weights and families, border widths, and the
// expansion of shorthand properties into the longhands that the computed style reads.
//
// Pure functions; any thread.

#include "content/ContentModel.h"
#include "css/CssParser.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace Css {

// A CSS length in px: percentages of params.referenceWidth, em of fontSize, rem of
// params.baseFontSize, absolute units at 96 per inch scaled by baseFontSize / kBookFontSize.
// Returns false (and leaves out unchanged) for anything that is not a length.
bool parseLength(const QString& value, double fontSize, const ParseParams& params, double* out);

// Hex (#rgb, #rgba, #rrggbb, #rrggbbaa), rgb()/rgba(), hsl()/hsla(), named colours, transparent
// and currentColor (= currentColour).
bool parseColour(QStringView value, const QColor& currentColour, QColor* out);

// Keywords (xx-small .. xxx-large, smaller, larger), percentages and em of the parent's size, and
// every length unit. The result is kept within [1, 1000] px.
bool parseFontSize(QStringView value, double parentSize, const ParseParams& params, double* out);

// normal, bold, bolder, lighter or 1..1000 rounded to a multiple of 100 within 100..900; -1 when
// the value is no weight.
int parseFontWeight(QStringView value, int parentWeight);

// The families in order, quotes removed; generic names stay as written.
QStringList parseFontFamilies(QStringView value);

// thin, medium, thick or a length that is not negative.
bool parseBorderWidth(QStringView value, double fontSize, const ParseParams& params, double* out);
bool isBorderStyle(QStringView value);

// A CSS number at the start of s ("-1.5", ".5", "2e3"), and in *unit the rest of s.
bool splitNumber(QStringView s, double* number, QStringView* unit);

// The top-level components of a value, split at white space outside parentheses and strings.
QStringList splitValue(QStringView value);

// The address inside the first url(...) of a value, unquoted; empty when there is none.
QString firstUrl(QStringView value);

// The longhands a shorthand stands for (margin, padding, border and its sides, widths, styles and
// colours, font, font-variant, background, list-style, text-decoration), in the order they apply;
// any other declaration comes back alone. A shorthand that does not parse gives nothing.
QList<Declaration> expandShorthand(const Declaration& declaration);

} // namespace Css
