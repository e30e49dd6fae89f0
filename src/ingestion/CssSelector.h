#pragma once

// Css::Selector: one complex selector of a selector list, compiled, with its specificity and a
// matcher over the chain of an element's ancestors.
//
// Supported: type (namespace prefixes ignored), universal, class, id, attribute presence and the
// operators = ~= |= ^= $= *= (a "prefix|name" attribute is looked up as "prefix:name", the way a
// DOM without namespace processing names it), :first-child, and the descendant, child (>) and
// adjacent sibling (+) combinators. A selector using anything else (other pseudo-classes,
// pseudo-elements, "~") never matches and is left out of the list, like a browser drops what it
// cannot match. So is a selector of more than MaxCompounds compound selectors or a compound of
// more than MaxSimpleSelectors parts: no real sheet comes near these, and they bound the work of
// one match to MaxCompounds x the depth of the element.
//
// Immutable after parsing; any thread.

#include <QDomElement>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace Css {

// What the cascade needs to know of one element.
struct ElementInfo {
    QString name;        // local name (any "prefix:" removed), lower case
    QString id;
    QStringList classes; // without duplicates
    QDomElement element; // attributes and preceding siblings
    bool firstChild = false;

    // firstChild is computed from the element's preceding siblings.
    static ElementInfo fromElement(const QDomElement& element);
};

// The chain of elements from the outermost one to the subject (the last entry).
using ElementPath = QList<ElementInfo>;

class Selector {
public:
    static constexpr int MaxCompounds = 32;
    static constexpr int MaxSimpleSelectors = 32;

    // Selectors that cannot be compiled are left out.
    static QList<Selector> parseList(QStringView text);

    bool matches(const ElementPath& path) const;
    // ids << 16 | (classes, attributes, pseudo-classes) << 8 | types, each part capped at 255.
    int specificity() const { return spec; }

    // The most selective part of the subject, by which a sheet indexes its rules: its id, first
    // class, first attribute name or type.
    enum class KeyKind { Id, Class, Attribute, Type, Any };
    KeyKind keyKind() const;
    QString key() const;

private:
    struct AttributeTest {
        enum Op { Exists, Equals, Includes, DashMatch, Prefix, Suffix, Substring };
        QString name;
        Op op = Exists;
        QString value;
        bool ignoreCase = false;
    };
    struct Compound {
        QString type; // empty: any
        QString id;
        QStringList classes;
        QList<AttributeTest> attributes;
        bool firstChild = false;
    };
    enum class Combinator { Descendant, Child, Adjacent };

    static bool parseOne(QStringView text, Selector* out);
    static bool compoundMatches(const Compound& compound, const ElementInfo& element);
    static bool attributeMatches(const AttributeTest& test, const QDomElement& element);

    QList<Compound> compounds;      // left to right; the last is the subject
    QList<Combinator> combinators;  // combinators[i] joins compounds[i] and compounds[i + 1]
    int spec = 0;
};

} // namespace Css
