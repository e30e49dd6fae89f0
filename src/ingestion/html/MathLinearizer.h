#pragma once

// Turns a MathML formula into text the line breaker can set: a linear form that keeps its
// structure, or, where the markup sets no text (content markup, an empty formula), the formula's
// own text alternative (an alttext, or an annotation in plain text or TeX). Scripts become smaller pieces raised or lowered from the baseline,
// a fraction reads (numerator)/(denominator), fences and operators stay, a root reads √(…), and
// the rows of a table become lines whose cells stand apart like those of an HTML table row.
//
// The formula is walked recursively down to kMaxDepth levels; deeper content is taken as plain
// text, so a hostile document costs time linear in its size. Stateless; any thread.

#include "html/MathTree.h"

#include <QList>
#include <QString>

struct MathPiece {
    enum class Kind { Text, LineBreak };

    Kind kind = Kind::Text;
    QString text;
    double scale = 1; // of the formula's font size
    double shift = 0; // baseline offset in units of the formula's font size; positive raises
};

class MathLinearizer {
public:
    static constexpr int kMaxDepth = 64;

    // The alttext, or the first plain-text or TeX annotation, of math; empty when it has none
    // (an alttext that only says that there is none counts as none).
    static QString textAlternative(const MathTree& math);

    // The linear form of math; adjacent pieces of one size and shift are merged.
    static QList<MathPiece> linearize(const MathTree& math);
};
