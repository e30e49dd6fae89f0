#pragma once

// Css::StyleSheet: a parsed style sheet (rules, @font-face sources) and the cascade over it.
//
// Sheets are parsed and queried on the thread that opens a book; a finished sheet is read-only and
// may be copied to other threads.
//
// The public members below are what the readers rely on; the cascade interface used by the HTML
// block parser is declared next to them.

#include "ContentModel.h"

#include <QList>
#include <QString>

namespace Css {

struct FontFace {
    QString family;
    QString source; // the first url() of src, as written
};

class StyleSheet {
public:
    static StyleSheet parse(const QString& text);
    // Appends other's rules after this sheet's, so they win ties of specificity.
    void append(const StyleSheet& other);
    QList<FontFace> fontFaces() const;
    bool isEmpty() const;

    // (cascade interface: added by the CSS implementation)
};

// A CSS length in px: percentages of params.referenceWidth, em of fontSize, rem of
// params.baseFontSize, absolute units at 96 per inch scaled by baseFontSize / 16.
// Returns false (and leaves out unchanged) for anything that is not a length.
bool parseLength(const QString& value, double fontSize, const ParseParams& params, double* out);

} // namespace Css
