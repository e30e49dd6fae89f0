#pragma once

// Css::Parser: splits style-sheet text into a plain list of rules and @font-face bodies.
//
// It knows the block structure of CSS only (comments, strings, escapes, nested brackets); selectors
// and values stay text for CssSelector and CssValues. Statement at-rules (@charset, @import,
// @namespace) and block at-rules other than @media and @font-face are skipped whole, and so is an
// @media block whose query does not apply to a screen, without losing the rules after them.
// Every pass is linear in the text, except that an applicable @media block is read once more for
// each level it is nested in (at most MaxMediaNesting levels; deeper blocks are skipped).
//
// Stateless; any thread.

#include <QList>
#include <QString>
#include <QStringView>

namespace Css {

struct Declaration {
    QString property;       // lower case
    QString value;          // as written, trimmed, without "!important"
    bool important = false;
};

struct Rule {
    QString selectors;               // the selector list as written
    QList<Declaration> declarations; // in source order
};

struct ParsedSheet {
    QList<Rule> rules;                   // in source order, rules of applicable @media blocks included
    QList<QList<Declaration>> fontFaces; // bodies of the @font-face rules, in source order
};

class Parser {
public:
    static constexpr int MaxMediaNesting = 8;

    static ParsedSheet parseSheet(const QString& text);
    // The body of a rule or a style attribute: "a: b; c: d !important". Malformed declarations
    // (no colon, no value, a property that is no identifier, a nested block) are left out.
    static QList<Declaration> parseDeclarations(QStringView text);
    // An @media prelude applies when one of its queries names all or screen (or no type at all),
    // or is "not" followed by another type, and tests no media feature.
    static bool mediaApplies(QStringView prelude);
};

} // namespace Css
