#pragma once

// Css::ComputedStyle: the style of one element, computed from its parent's style and the
// declarations that apply to it in cascade order (later ones win), in the terms of the content
// model: the TextStyle of its runs, the BoxStyle of its box, and what its paragraphs are made of.
//
// Text properties are inherited (font, colour, alignment, direction, indent, line height, white space, list
// style, letter spacing, text transform); text decorations and baseline shifts accumulate from the
// ancestors; box properties, display and sizes are not inherited. The CSS-wide keywords inherit,
// initial and unset work for every property read here; unknown properties are ignored.
//
// Pure; any thread.

#include "content/ContentModel.h"
#include "css/CssParser.h"

#include <QColor>
#include <QList>
#include <QString>

namespace Css {

enum class Display { Inline, Block, ListItem, None };

// text-align as the cascade carries it: start and end stay logical, so that an element inherits
// them as they are and resolves them against its own direction.
enum class Align { Justify, Left, Center, Right, Start, End };

struct ComputedStyle {
    TextStyle text;   // the style of the element's own runs
    BoxStyle box;     // margins, paddings and borders in px; border widths are 0 without a style
    Display display = Display::Inline;
    Align align = Align::Justify;
    double indent = 0;           // text-indent in px
    double lineHeightFactor = 0; // a unitless line-height; 0 = not given as a factor
    double lineHeightPx = 0;     // a line-height length; 0 = not given as a length
    bool preformatted = false;   // white-space pre, pre-wrap, break-spaces
    QString listStyleType = QStringLiteral("disc"); // a keyword, or a marker string in quotes
    double width = -1, height = -1, maxWidth = -1;   // px, -1 = auto / none
    QColor ruleColour;           // what a horizontal rule of this element is drawn in
    double invert = 0;           // filter: invert(), 0..1 (read for pictures); other filters are ignored

    // The style of the root's parent: the initial values with the font size of params.
    static ComputedStyle initial(const ParseParams& params);

    static ComputedStyle compute(const ComputedStyle& parent, const QList<Declaration>& declarations,
                                 const ParseParams& params);

    // Whether compute reads declaration's property (directly or as a shorthand of ones it reads).
    static bool supports(const Declaration& declaration);

    // The paragraph line-height factor of the content model: 0 = not set.
    double paragraphLineHeight() const;
    // The alignment of the content model: start and end are the sides of text.direction, and of
    // left-to-right text while the direction is left to the paragraph's first strong character.
    TextAlign paragraphAlign() const;
    bool hasBox() const;
};

} // namespace Css
