#pragma once

// How a paragraph is set: every field of its BlockItem but its runs. The defaults are those of a
// default BlockItem, so a caller names only what differs:
//     builder.startParagraph({.align = TextAlign::Left, .preformatted = true});
//
// A plain value; any thread.

#include "content/ContentModel.h"

struct ParagraphFormat {
    TextAlign align = TextAlign::Justify;
    double indent = 0;     // first-line indent, may be negative
    double lineHeight = 0; // factor of the font size; 0 = the reader's line spacing
    double fontSize = kBookFontSize;
    bool preformatted = false;
    QString marker;        // list marker drawn before the first line
    TextStyle style;       // the paragraph's base style
};
