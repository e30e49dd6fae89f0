#pragma once

// MathTree: one formula as MathLinearizer reads it: its elements with their attributes, texts and
// CDATA sections, held in two arrays. A chapter's formulas are read while its tree is built, each
// once, and dropped: kept in a DOM, each of their nodes would be allocated, linked and freed one
// by one, which costs more than reading them. Where a formula is not folded, its content goes on
// into the chapter's DOM as the parser would have built it.
//
// Nodes are numbered in document order from the formula's own element, 0. A tree is built by one
// thread and then read by any; clear() makes it ready for the next formula, keeping its room.

#include <QDomDocument>
#include <QList>
#include <QString>
#include <QStringView>

#include <vector>

class MathTree {
public:
    static constexpr int kNone = -1;
    static constexpr int kRoot = 0;

    enum class Kind : quint8 { Element, Text, Cdata };

    // Building: an element opens inside the open one (the first is the root), its attributes come
    // right after it, then its content, until it closes.
    void clear();
    void openElement(const QString& name);
    void addAttribute(const QString& name, const QString& value);
    void addText(const QString& text, bool cdata);
    void closeElement();
    int openDepth() const { return int(m_open.size()); }

    // The element math and what it holds, as a DOM holds them.
    static MathTree fromDom(const QDomElement& math);
    // Appends the root's content to element, a node of document, as the parser would have.
    void appendContentTo(QDomDocument& document, QDomElement& element) const;

    bool isEmpty() const { return m_nodes.empty(); }
    Kind kind(int node) const { return m_nodes[size_t(node)].kind; }
    // The qualified name of an element, or the text of a text or CDATA node.
    const QString& nameOrText(int node) const { return m_nodes[size_t(node)].value; }
    // The local part of an element's name in lower case.
    const QString& localName(int node) const { return m_nodes[size_t(node)].localName; }
    // All the text inside node, as QDomElement::text gives it.
    QString text(int node) const;
    bool hasAttribute(int node, QStringView name) const;
    QString attribute(int node, QStringView name) const;
    // Whether the root holds an element, or a text or CDATA section that is not empty.
    bool rootHasContent() const;

    int firstChild(int node) const { return m_nodes[size_t(node)].firstChild; }
    int nextSibling(int node) const { return m_nodes[size_t(node)].next; }
    int firstChildElement(int node) const;
    int nextSiblingElement(int node) const;
    int previousSiblingElement(int node) const;
    QList<int> childElements(int node) const;

private:
    struct Node {
        QString value;
        QString localName;
        Kind kind;
        int parent = kNone;
        int firstChild = kNone;
        int lastChild = kNone;
        int next = kNone;
        int previous = kNone;
        int firstAttribute = 0;
        int attributes = 0;
    };
    struct Attribute {
        QString name;
        QString value;
    };

    int append(Kind kind, const QString& value);
    QDomNode toDom(QDomDocument& document, int node) const;

    std::vector<Node> m_nodes;
    std::vector<Attribute> m_attributes;
    std::vector<int> m_open;
};
