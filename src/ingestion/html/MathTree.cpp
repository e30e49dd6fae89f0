#include "html/MathTree.h"

namespace {

QString localPartLowered(const QString& qualifiedName)
{
    return qualifiedName.mid(qualifiedName.lastIndexOf(u':') + 1).toLower();
}

} // namespace

void MathTree::clear()
{
    m_nodes.clear();
    m_attributes.clear();
    m_open.clear();
}

int MathTree::append(Kind kind, const QString& value)
{
    const int index = int(m_nodes.size());
    Node node;
    node.value = value;
    node.kind = kind;
    if (!m_open.empty()) {
        Node& parent = m_nodes[size_t(m_open.back())];
        node.parent = m_open.back();
        node.previous = parent.lastChild;
        if (parent.lastChild == kNone)
            parent.firstChild = index;
        else
            m_nodes[size_t(parent.lastChild)].next = index;
        parent.lastChild = index;
    }
    m_nodes.push_back(std::move(node));
    return index;
}

void MathTree::openElement(const QString& name)
{
    const int index = append(Kind::Element, name);
    Node& node = m_nodes[size_t(index)];
    node.localName = localPartLowered(name);
    node.firstAttribute = int(m_attributes.size());
    m_open.push_back(index);
}

void MathTree::addAttribute(const QString& name, const QString& value)
{
    m_attributes.push_back({name, value});
    ++m_nodes[size_t(m_open.back())].attributes;
}

void MathTree::addText(const QString& text, bool cdata)
{
    append(cdata ? Kind::Cdata : Kind::Text, text);
}

void MathTree::closeElement()
{
    m_open.pop_back();
}

MathTree MathTree::fromDom(const QDomElement& math)
{
    MathTree tree;
    // Walked without recursion: a tag-soup tree may be deep.
    QDomNode node = math;
    for (;;) {
        if (node.isElement()) {
            const QDomElement element = node.toElement();
            tree.openElement(element.tagName());
            const QDomNamedNodeMap attributes = element.attributes();
            for (int i = 0; i < attributes.count(); ++i)
                tree.addAttribute(attributes.item(i).nodeName(), attributes.item(i).nodeValue());
            const QDomNode child = node.firstChild();
            if (!child.isNull()) {
                node = child;
                continue;
            }
            tree.closeElement();
        } else if (node.isCDATASection() || node.isText()) {
            tree.addText(node.nodeValue(), node.isCDATASection());
        }
        while (node != math && node.nextSibling().isNull()) {
            node = node.parentNode();
            tree.closeElement();
        }
        if (node == math)
            return tree;
        node = node.nextSibling();
    }
}

void MathTree::appendContentTo(QDomDocument& document, QDomElement& element) const
{
    for (int child = firstChild(kRoot); child != kNone; child = nextSibling(child))
        element.appendChild(toDom(document, child));
}

// Built from the leaves up, as the parser builds: every append happens at the top of a detached
// tree. A formula's depth is bounded by the parser's.
QDomNode MathTree::toDom(QDomDocument& document, int node) const
{
    const Node& n = m_nodes[size_t(node)];
    if (n.kind == Kind::Text)
        return document.createTextNode(n.value);
    if (n.kind == Kind::Cdata)
        return document.createCDATASection(n.value);
    QDomElement element = document.createElement(n.value);
    for (int i = n.firstAttribute; i < n.firstAttribute + n.attributes; ++i)
        element.setAttribute(m_attributes[size_t(i)].name, m_attributes[size_t(i)].value);
    for (int child = n.firstChild; child != kNone; child = nextSibling(child))
        element.appendChild(toDom(document, child));
    return element;
}

// Nodes stand in document order, so a node's subtree runs up to the next sibling of the node or
// of its nearest ancestor that has one: read without recursion, however deep a tag-soup tree is.
QString MathTree::text(int node) const
{
    int end = int(m_nodes.size());
    for (int at = node; at != kNone; at = m_nodes[size_t(at)].parent) {
        if (nextSibling(at) != kNone) {
            end = nextSibling(at);
            break;
        }
    }
    QString out;
    for (int i = node + 1; i < end; ++i) {
        if (kind(i) != Kind::Element)
            out += nameOrText(i);
    }
    return out;
}

bool MathTree::hasAttribute(int node, QStringView name) const
{
    const Node& n = m_nodes[size_t(node)];
    for (int i = n.firstAttribute; i < n.firstAttribute + n.attributes; ++i) {
        if (m_attributes[size_t(i)].name == name)
            return true;
    }
    return false;
}

QString MathTree::attribute(int node, QStringView name) const
{
    const Node& n = m_nodes[size_t(node)];
    for (int i = n.firstAttribute; i < n.firstAttribute + n.attributes; ++i) {
        if (m_attributes[size_t(i)].name == name)
            return m_attributes[size_t(i)].value;
    }
    return QString();
}

bool MathTree::rootHasContent() const
{
    for (int child = firstChild(kRoot); child != kNone; child = nextSibling(child)) {
        if (kind(child) == Kind::Element || !nameOrText(child).isEmpty())
            return true;
    }
    return false;
}

int MathTree::firstChildElement(int node) const
{
    int child = firstChild(node);
    while (child != kNone && kind(child) != Kind::Element)
        child = nextSibling(child);
    return child;
}

int MathTree::nextSiblingElement(int node) const
{
    int sibling = nextSibling(node);
    while (sibling != kNone && kind(sibling) != Kind::Element)
        sibling = nextSibling(sibling);
    return sibling;
}

int MathTree::previousSiblingElement(int node) const
{
    int sibling = m_nodes[size_t(node)].previous;
    while (sibling != kNone && kind(sibling) != Kind::Element)
        sibling = m_nodes[size_t(sibling)].previous;
    return sibling;
}

QList<int> MathTree::childElements(int node) const
{
    QList<int> children;
    for (int child = firstChildElement(node); child != kNone; child = nextSiblingElement(child))
        children.append(child);
    return children;
}
