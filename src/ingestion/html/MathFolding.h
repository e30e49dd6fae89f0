#pragma once

// MathFolding: a formula read while its tree is built. The reader only ever takes a formula whole,
// through MathLinearizer, and a mathematical book's chapters are mostly the insides of their
// formulas: folded, a math element keeps its attributes and, in place of its content, one marker
// child that holds what MathLinearizer makes of it, so the chapter's tree shrinks to its prose.
// The marker's name is no XML name, and no HTML parser makes one, so no book can write one.
//
// Stateless; any thread, each call with a tree of its own.

#include "html/MathLinearizer.h"

#include <QDomDocument>
#include <QList>
#include <QString>

class MathFolding {
public:
    struct Formula {
        // MathLinearizer::linearize when that sets any text; else the formula's text alternative,
        // with no pieces.
        QString alternative;
        QList<MathPiece> pieces;
    };

    // Gives math, an element of document without children yet, its marker in place of the content
    // formula holds (the formula of math, read as MathTree). A formula without content keeps what
    // it holds as it stands (a style sheet may ask whether it is empty).
    static void fold(QDomDocument& document, QDomElement& math, const MathTree& formula);

    // The formula of math, folded or not.
    static Formula formulaOf(const QDomElement& math);

    // About how many bytes of markup stand inside its formulas ("<math ...>...</math>"): what a
    // tree built with them folded leaves out. A formula nested in another ends the count early.
    static qsizetype formulaBytes(const QByteArray& markup);
};
