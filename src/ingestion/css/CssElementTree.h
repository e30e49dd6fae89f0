#pragma once

// Css::ElementTree: what the cascade knows of the elements of one document walk, built once per
// element as the walk enters it and shared by every test of its descendants and later siblings:
// names, id, classes, namespaces, its place among its siblings, and the answers of selector walks
// already made through it (the memo), so that no walk along ancestors or siblings is repeated.
//
// The walk pushes an element when it enters it and pops it when it leaves; the facts of an element
// stay valid until its parent is popped (its following siblings refer to it). Facts of the
// children of a popped element are freed with it.
//
// One tree per walk and thread: matching writes the memo.

#include <QDomElement>
#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>

#include <deque>
#include <memory>

namespace Css {

struct ElementFacts {
    QString name;          // local name (any "prefix:" removed), lower case
    QString namespaceUri;  // from its prefix or the default namespace in scope
    QString id;
    QStringList classes;   // without duplicates
    QDomElement element;   // attributes, children
    const ElementFacts* parent = nullptr;
    const ElementFacts* previous = nullptr; // the preceding sibling element
    int index = 1;         // among the parent's element children, from 1
    int indexOfType = 1;   // among those of the same name
    bool root = false;     // the document element
    QHash<QString, QString> prefixes; // namespace prefixes in scope, to URI
    QString defaultNamespace;         // in scope for unprefixed element names
    QString lang;          // lang or xml:lang of the element or its nearest ancestor with one

    // Counted once per parent, on first use.
    int followingSiblings() const;
    int followingOfType() const;
    bool empty() const;

    // Selector walks already answered at this element, by (selector, step): null when unknown.
    const bool* findAnswer(const void* selector, int step) const;
    void keepAnswer(const void* selector, int step, bool answer) const;

private:
    // Most elements keep a few answers, held inline; past kFewAnswers they move to a hash.
    static constexpr int kFewAnswers = 16;
    struct Answer {
        const void* selector;
        int step;
        bool answer;
    };
    mutable QVarLengthArray<Answer, 4> m_fewAnswers;
    mutable QHash<QPair<const void*, int>, bool> m_manyAnswers;

    friend class ElementTree;
    struct Children; // counts of a parent's element children, made on first use
    mutable std::shared_ptr<Children> m_counts;
    enum class EmptyState { Unknown, Empty, NotEmpty }; // found on first use
    mutable EmptyState m_emptyState = EmptyState::Unknown;
    const Children& childCounts() const;
};

class ElementTree {
public:
    ElementTree();
    ~ElementTree();
    ElementTree(const ElementTree&) = delete;
    ElementTree& operator=(const ElementTree&) = delete;

    // The facts of element, a child of the element pushed last (or a new root when none is open).
    const ElementFacts& push(const QDomElement& element);
    void pop();
    bool isEmpty() const;

private:
    struct Level {
        std::deque<ElementFacts> children; // stable addresses as they grow
        QHash<QString, int> typeCounts;
    };
    std::deque<Level> levels;           // levels[d]: the children of open[d - 1] (levels[0]: the roots)
    std::deque<const ElementFacts*> m_open; // the elements pushed and not popped, outermost first
};

} // namespace Css
