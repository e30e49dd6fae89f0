#pragma once

// Css::Parser: splits style-sheet text into a plain list of rules and @font-face bodies.
//
// It knows the block structure of CSS only (comments, strings, escapes, nested brackets); selectors
// and values stay text for CssSelector and CssValues. @import and @namespace are collected (the
// sheet loads the imports); @media blocks are kept when their query applies to the reader's
// MediaContext, @supports blocks when their condition holds for the properties this engine reads;
// other at-rules (@charset, @page, @keyframes, ...) are skipped whole, without losing the rules
// after them. Every pass is linear in the text, except that an applicable @media or @supports
// block is read once more for each level it is nested in (at most kMaxMediaNesting levels; deeper
// blocks are skipped).
//
// Stateless; any thread.

#include "css/ColourScheme.h"

#include <QList>
#include <QString>
#include <QStringList>
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

struct Namespace {
    QString prefix; // empty: the default namespace
    QString uri;
};

struct ParsedSheet {
    QStringList imports;                 // URLs of the applicable @import rules, as written, in order
    QList<Namespace> namespaces;         // in source order
    QList<Rule> rules;                   // in source order, rules of applicable @media blocks included;
                                         // declarations as parseDeclarations keeps them
    QList<QList<Declaration>> fontFaces; // bodies of the @font-face rules, in source order
    bool asksColourScheme = false;       // an @media or @import query names prefers-color-scheme
};

// What media queries are evaluated against: a colour screen the size of the reading column, in the
// colour scheme of the reading theme.
struct MediaContext {
    double width = 600;  // px
    double height = 800; // px
    bool dark = ColourScheme::prefersDark();
};

class Parser {
public:
    static constexpr int kMaxMediaNesting = 8;

    static ParsedSheet parseSheet(const QString& text, const MediaContext& media = MediaContext());
    // The body of a rule or a style attribute: "a: b; c: d !important". Malformed declarations
    // (no colon, no value, a property that is no identifier, a nested block) are left out, and so
    // are those whose value their property does not accept (see CssValueCheck.h).
    static QList<Declaration> parseDeclarations(QStringView text);
    // An @media prelude applies when one of its queries holds: its type is all or screen (or none
    // is given), or "not" precedes another type, and each "and (feature)" holds for media: width,
    // height, aspect-ratio and orientation of the column (with min-/max-), color and color-index
    // true, monochrome false, prefers-color-scheme by media.dark; an unknown feature fails.
    static bool mediaApplies(QStringView prelude, const MediaContext& media = MediaContext());
    // An @supports condition: "(property: value)" holds when this engine reads the property (the
    // value is not checked), with not, and, or and parentheses; selector(...) holds when the
    // selector compiles.
    static bool supportsApplies(QStringView condition);
};

} // namespace Css
