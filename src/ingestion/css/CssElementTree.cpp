#include "css/CssElementTree.h"
#include "text/HtmlWhiteSpace.h"

#include <QDomNamedNodeMap>


namespace Css {

namespace {

const QString& xhtmlNamespace()
{
    static const QString kUri = QStringLiteral("http://www.w3.org/1999/xhtml");
    return kUri;
}

QString localPart(const QString& qualified)
{
    return qualified.mid(qualified.lastIndexOf(u':') + 1);
}

QString prefixPart(const QString& qualified)
{
    const qsizetype colon = qualified.indexOf(u':');
    return colon < 0 ? QString() : qualified.left(colon);
}

QStringList classesOf(const QString& attribute)
{
    QStringList classes;
    for (QStringView word : htmlWords(attribute)) {
        if (!classes.contains(word))
            classes.append(word.toString());
    }
    return classes;
}

} // namespace

struct ElementFacts::Children {
    int total = 0;
    QHash<QString, int> byType;
};

const ElementFacts::Children& ElementFacts::childCounts() const
{
    if (!m_counts) {
        m_counts = std::make_shared<Children>();
        for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            ++m_counts->total;
            ++m_counts->byType[localPart(child.tagName()).toLower()];
        }
    }
    return *m_counts;
}

int ElementFacts::followingSiblings() const
{
    if (parent)
        return parent->childCounts().total - index;
    int following = 0;
    for (QDomElement next = element.nextSiblingElement(); !next.isNull(); next = next.nextSiblingElement())
        ++following;
    return following;
}

int ElementFacts::followingOfType() const
{
    if (parent)
        return parent->childCounts().byType.value(name) - indexOfType;
    int following = 0;
    for (QDomElement next = element.nextSiblingElement(); !next.isNull(); next = next.nextSiblingElement())
        following += localPart(next.tagName()).toLower() == name ? 1 : 0;
    return following;
}

const bool* ElementFacts::findAnswer(const void* selector, int step) const
{
    if (!m_manyAnswers.isEmpty()) {
        const auto found = m_manyAnswers.constFind(qMakePair(selector, step));
        return found == m_manyAnswers.constEnd() ? nullptr : &*found;
    }
    for (const Answer& kept : m_fewAnswers) {
        if (kept.selector == selector && kept.step == step)
            return &kept.answer;
    }
    return nullptr;
}

void ElementFacts::keepAnswer(const void* selector, int step, bool answer) const
{
    if (m_manyAnswers.isEmpty() && m_fewAnswers.size() < kFewAnswers) {
        m_fewAnswers.append({ selector, step, answer });
        return;
    }
    for (const Answer& kept : std::as_const(m_fewAnswers))
        m_manyAnswers.insert(qMakePair(kept.selector, kept.step), kept.answer);
    m_fewAnswers.clear();
    m_manyAnswers.insert(qMakePair(selector, step), answer);
}

bool ElementFacts::empty() const
{
    if (m_emptyState == EmptyState::Unknown) {
        m_emptyState = EmptyState::Empty;
        for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
            if (child.isElement() || ((child.isText() || child.isCDATASection()) && !child.nodeValue().isEmpty())) {
                m_emptyState = EmptyState::NotEmpty;
                break;
            }
        }
    }
    return m_emptyState == EmptyState::Empty;
}

ElementTree::ElementTree()
{
    levels.emplace_back();
}

ElementTree::~ElementTree() = default;

const ElementFacts& ElementTree::push(const QDomElement& element)
{
    Level& level = levels[m_open.size()];
    const ElementFacts* previous = level.children.empty() ? nullptr : &level.children.back();
    ElementFacts& facts = level.children.emplace_back(); // built in place: facts are large
    const QString tag = element.tagName();
    facts.name = localPart(tag).toLower();
    if (element.hasAttributes()) {
        facts.id = element.attribute(QStringLiteral("id"));
        facts.classes = classesOf(element.attribute(QStringLiteral("class")));
    }
    facts.element = element;
    facts.parent = m_open.empty() ? nullptr : m_open.back();
    facts.previous = previous;
    facts.index = facts.previous ? facts.previous->index + 1 : 1;
    facts.indexOfType = ++level.typeCounts[facts.name];
    facts.root = element.parentNode().isDocument();

    if (facts.parent) {
        facts.prefixes = facts.parent->prefixes;
        facts.defaultNamespace = facts.parent->defaultNamespace;
        facts.lang = facts.parent->lang;
    } else {
        facts.prefixes.insert(QStringLiteral("xml"), QStringLiteral("http://www.w3.org/XML/1998/namespace"));
        facts.defaultNamespace = xhtmlNamespace();
    }
    const QDomNamedNodeMap attributes = element.hasAttributes() ? element.attributes() : QDomNamedNodeMap();
    for (int i = 0; i < attributes.length(); ++i) {
        const QDomNode attribute = attributes.item(i);
        const QString name = attribute.nodeName();
        if (name == u"xmlns")
            facts.defaultNamespace = attribute.nodeValue();
        else if (name.startsWith(QLatin1String("xmlns:")))
            facts.prefixes.insert(name.mid(6), attribute.nodeValue());
        else if (name == u"lang" || name == u"xml:lang")
            facts.lang = attribute.nodeValue().trimmed();
    }
    const QString prefix = prefixPart(tag);
    facts.namespaceUri = prefix.isEmpty() ? facts.defaultNamespace : facts.prefixes.value(prefix);

    const ElementFacts* pushed = &facts;
    m_open.push_back(pushed);
    if (levels.size() <= m_open.size())
        levels.emplace_back();
    return *pushed;
}

void ElementTree::pop()
{
    if (m_open.empty())
        return;
    Level& children = levels[m_open.size()];
    children.children.clear();
    children.typeCounts.clear();
    m_open.pop_back();
}

bool ElementTree::isEmpty() const
{
    return m_open.empty();
}

} // namespace Css
