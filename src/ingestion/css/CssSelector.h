#pragma once

// Css::Selector: one complex selector of a selector list, compiled, with its specificity and a
// matcher over the element facts of an ElementTree.
//
// Selectors Level 3: type and universal selectors with namespace prefixes, class, id, attribute
// presence and the operators = ~= |= ^= $= *= (with an "i" flag), the structural pseudo-classes
// (:root, :empty, :first-child, :last-child, :only-child, :nth-child(), :nth-last-child(),
// :first-of-type, :last-of-type, :only-of-type, :nth-of-type(), :nth-last-of-type()), :link,
// :lang(), :enabled, :disabled, :checked, :not() with a list of complex selectors, and the
// descendant, child (>), adjacent (+) and general sibling (~) combinators. A reader has no pointer,
// focus, history or fragment target: :hover, :active, :focus, :visited and :target never match.
// A selector with a pseudo-element (this engine draws none), an unknown pseudo-class or a syntax
// error is left out of the list, like a browser drops what it cannot match. So is a selector of
// more than kMaxCompounds compound selectors or a compound of more than kMaxSimpleSelectors parts.
//
// A namespace prefix is resolved through the sheet's @namespace rules; a prefix the sheet does not
// declare is taken to name the namespace the document binds it to, so "[epub|type]" works in
// sheets that forget the rule.
//
// Matching keeps its answers for the walks along ancestors and preceding siblings in the facts of
// the elements walked, so a sheet costs each element a bounded number of steps however long the
// document is. Every step is counted; callers bound the total with a MatchBudget.
//
// Immutable after parsing; any thread. Matching writes the memo of the facts it walks: one
// ElementTree per thread.

#include "css/CssElementTree.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace Css {

// The namespaces a sheet declares: prefix to URI, and the default for type selectors.
struct NamespaceMap {
    QString defaultUri; // empty: type selectors match elements of any namespace
    QHash<QString, QString> prefixes;
};

class Selector {
public:
    static constexpr int kMaxCompounds = 32;
    static constexpr int kMaxSimpleSelectors = 32;
    static constexpr int kMaxNotNesting = 4;

    // Selectors that cannot be compiled are left out.
    static QList<Selector> parseList(QStringView text, const NamespaceMap& namespaces = NamespaceMap());

    // *steps grows by the work done, when given.
    bool matches(const ElementFacts& element, qint64* steps = nullptr) const;
    // ids << 16 | (classes, attributes, pseudo-classes) << 8 | types, each part capped at 255.
    int specificity() const { return m_spec; }

    // The most selective part of the subject, by which a sheet indexes its rules: its id, first
    // class, first attribute local name or type.
    enum class KeyKind { Id, Class, Attribute, Type, Any };
    KeyKind keyKind() const;
    QString key() const;

private:
    struct AttributeTest {
        enum Op { Exists, Equals, Includes, DashMatch, Prefix, Suffix, Substring };
        enum class Space { None, Any, Uri, Prefix };
        QString name;      // local name, lower case
        Space space = Space::None;
        QString namespaceUri; // Space::Uri
        QString prefix;       // Space::Prefix: as written, for a prefix the sheet does not declare
        Op op = Exists;
        QString value;
        bool ignoreCase = false;
    };
    enum class Pseudo {
        Root, Empty, NthChild, NthLastChild, NthOfType, NthLastOfType, OnlyChild, OnlyOfType, Link,
        Lang, Enabled, Disabled, Checked, Never,
    };
    struct PseudoTest {
        Pseudo kind = Pseudo::Never;
        int a = 0, b = 0; // an+b of the nth-* tests; first-child is nth-child(1)
        QString lang;
    };
    struct Compound {
        QString type; // local name, lower case; empty: any
        bool anyNamespace = true;
        QString namespaceUri;
        QString id;
        QStringList classes;
        QList<AttributeTest> attributes;
        QList<PseudoTest> pseudos;
        std::vector<Selector> negations; // :not(a, b) matches when none of them does
    };
    enum class Combinator { Descendant, Child, Adjacent, Sibling };

    static bool parseOne(QStringView text, const NamespaceMap& namespaces, int notDepth, Selector* out);
    static bool parseCompound(QStringView s, qsizetype& i, const NamespaceMap& namespaces, int notDepth,
                              Compound* compound, int* ids, int* classes, int* types);
    static bool parsePseudo(QStringView s, qsizetype& i, const NamespaceMap& namespaces, int notDepth,
                            Compound* compound, int* ids, int* classes, int* types);
    static bool parseTypeSelector(QStringView s, qsizetype& i, const NamespaceMap& namespaces, Compound* compound);
    static bool parseAttributeSelector(QStringView s, qsizetype& i, const NamespaceMap& namespaces,
                                       AttributeTest* test);
    static bool parseAttributeName(QStringView s, qsizetype& i, const NamespaceMap& namespaces, AttributeTest* test);
    static bool parseAttributeMatcher(QStringView s, qsizetype& i, AttributeTest* test);
    static bool parseNegation(QStringView argument, const NamespaceMap& namespaces, int notDepth,
                              Compound* compound, int* ids, int* classes, int* types);
    static bool parseFunctionalPseudo(const QString& name, QStringView argument, PseudoTest* test);
    static bool parseSimplePseudo(const QString& name, PseudoTest* test);
    bool compoundMatches(int j, const ElementFacts& element, qint64* steps) const;
    static bool attributeMatches(const AttributeTest& test, const ElementFacts& element);
    static bool valueMatches(const AttributeTest& test, const QString& actual);
    static bool pseudoMatches(const PseudoTest& test, const ElementFacts& element);

    // Compounds 0..j match with compound j on element.
    bool matchesAt(int j, const ElementFacts& element, qint64* steps) const;
    // Compounds 0..j match with compound j on some ancestor (or preceding sibling) of element.
    bool matchesAlong(int j, bool ancestors, const ElementFacts& element, qint64* steps) const;

    QList<Compound> m_compounds;      // left to right; the last is the subject
    QList<Combinator> m_combinators;  // combinators[i] joins compounds[i] and compounds[i + 1]
    int m_spec = 0;
    bool m_never = false; // holds a pseudo-class that never matches in a reader
};

} // namespace Css
