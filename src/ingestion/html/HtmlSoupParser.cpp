#include "html/HtmlSoupParser.h"
#include "html/XmlDomParser.h"
#include "text/AsciiDigit.h"
#include "text/AttributeLimit.h"
#include "text/HtmlWhiteSpace.h"

#include <gumbo.h>

#include <QList>
#include <QSet>

#include <algorithm>

#include <cstdlib>
#include <unordered_set>

namespace {

// Every block gumbo takes, so that its tree is freed in one sweep: gumbo_destroy_output recurses
// once per level, and a hostile chapter nests as deep as it is long.
struct Arena {
    std::unordered_set<void*> blocks;

    ~Arena()
    {
        for (void* block : blocks)
            std::free(block);
    }

    static void* allocate(void* userdata, size_t size)
    {
        void* block = std::malloc(size ? size : 1);
        if (!block)
            std::abort(); // as gumbo's own allocator does: it cannot recover from a null block
        static_cast<Arena*>(userdata)->blocks.insert(block);
        return block;
    }

    static void deallocate(void* userdata, void* block)
    {
        if (block && static_cast<Arena*>(userdata)->blocks.erase(block))
            std::free(block);
    }
};

QString elementName(const GumboElement& element)
{
    if (element.tag != GUMBO_TAG_UNKNOWN) {
        const QString name = QString::fromUtf8(gumbo_normalized_tagname(element.tag));
        if (element.tag_namespace == GUMBO_NAMESPACE_SVG) {
            // SVG names keep their camel case ("foreignObject", "linearGradient").
            GumboStringPiece original = element.original_tag;
            gumbo_tag_from_original_text(&original);
            if (const char* svg = gumbo_normalize_svg_tagname(&original))
                return QString::fromUtf8(svg);
        }
        return name;
    }
    GumboStringPiece original = element.original_tag;
    gumbo_tag_from_original_text(&original);
    const QString name = QString::fromUtf8(original.data, qsizetype(original.length));
    return element.tag_namespace == GUMBO_NAMESPACE_HTML ? name.toLower() : name;
}

QString attributeName(const GumboAttribute& attribute)
{
    const QString name = QString::fromUtf8(attribute.name);
    switch (attribute.attr_namespace) {
    case GUMBO_ATTR_NAMESPACE_XLINK:
        return QStringLiteral("xlink:") + name;
    case GUMBO_ATTR_NAMESPACE_XML:
        return QStringLiteral("xml:") + name;
    case GUMBO_ATTR_NAMESPACE_XMLNS:
        return name == u"xmlns" ? name : QStringLiteral("xmlns:") + name;
    case GUMBO_ATTR_NAMESPACE_NONE:
        break;
    }
    return name;
}

const char* namespaceUri(GumboNamespaceEnum space)
{
    switch (space) {
    case GUMBO_NAMESPACE_SVG:
        return "http://www.w3.org/2000/svg";
    case GUMBO_NAMESPACE_MATHML:
        return "http://www.w3.org/1998/Math/MathML";
    case GUMBO_NAMESPACE_HTML:
        break;
    }
    return nullptr;
}

QDomElement createElement(QDomDocument* document, const GumboElement& source, GumboNamespaceEnum parentSpace)
{
    QDomElement element = document->createElement(elementName(source));
    for (unsigned i = 0; i < source.attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(source.attributes.data[i]);
        const QString name = attributeName(*attribute);
        if (!element.hasAttribute(name))
            element.setAttribute(name, QString::fromUtf8(attribute->value));
    }
    if (source.tag_namespace != parentSpace && !element.hasAttribute(QStringLiteral("xmlns"))) {
        if (const char* uri = namespaceUri(source.tag_namespace))
            element.setAttribute(QStringLiteral("xmlns"), QString::fromLatin1(uri));
    }
    return element;
}

// How deep the tags of html would nest, roughly and never much below what the parser builds:
// void and self-closed elements do not nest, an end tag closes its element when it is open near
// the top, and the elements HTML closes by themselves (p, li, td, ...) close their open namesake.
// Looks at a bounded number of open elements per tag, so it is linear.
int nestingEstimate(const QString& html)
{
    static const QSet<QString> voids = {
        QStringLiteral("area"), QStringLiteral("base"), QStringLiteral("br"), QStringLiteral("col"),
        QStringLiteral("embed"), QStringLiteral("hr"), QStringLiteral("img"), QStringLiteral("input"),
        QStringLiteral("link"), QStringLiteral("meta"), QStringLiteral("param"), QStringLiteral("source"),
        QStringLiteral("track"), QStringLiteral("wbr"), QStringLiteral("image"),
    };
    static const QSet<QString> selfClosing = {
        QStringLiteral("p"), QStringLiteral("li"), QStringLiteral("dt"), QStringLiteral("dd"),
        QStringLiteral("option"), QStringLiteral("tr"), QStringLiteral("td"), QStringLiteral("th"),
        QStringLiteral("tbody"), QStringLiteral("thead"), QStringLiteral("tfoot"), QStringLiteral("rt"),
        QStringLiteral("rp"), QStringLiteral("optgroup"),
    };
    constexpr int kWindow = 16;
    QList<QString> open;
    int deepest = 0;
    const qsizetype n = html.size();
    for (qsizetype i = html.indexOf(u'<'); i >= 0 && i < n; i = html.indexOf(u'<', i + 1)) {
        qsizetype j = i + 1;
        const bool closing = j < n && html[j] == u'/';
        if (closing)
            ++j;
        if (j >= n || !isAsciiLetter(html[j]))
            continue;
        qsizetype end = j;
        while (end < n && !isHtmlSpace(html[end]) && html[end] != u'>' && html[end] != u'/')
            ++end;
        const QString name = html.mid(j, end - j).toLower();
        const qsizetype close = html.indexOf(u'>', end);
        const bool selfClosed = close > 0 && html[close - 1] == u'/';
        const qsizetype from = std::max<qsizetype>(0, open.size() - kWindow);
        if (closing || selfClosing.contains(name)) {
            for (qsizetype k = open.size() - 1; k >= from; --k) {
                if (open[k] == name) {
                    open.resize(k);
                    break;
                }
            }
        }
        if (!closing && !selfClosed && !voids.contains(name)) {
            open.append(name);
            deepest = std::max(deepest, int(open.size()));
        }
    }
    return deepest;
}

const GumboOutput* parseInArena(const QByteArray& utf8, Arena& arena)
{
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &Arena::allocate;
    options.deallocator = &Arena::deallocate;
    options.userdata = &arena;
    options.max_errors = 0;
    return gumbo_parse_with_options(&options, utf8.constData(), size_t(utf8.size()));
}

// Copies gumbo's tree into a QDomDocument, depth first without recursion; an element joins its
// parent once complete, so every append happens at the top of a detached tree (QDom pays for an
// append with its depth). Elements below XmlDomParser::kMaxDepth are left out, their text kept.
class TreeCopy {
public:
    explicit TreeCopy(QDomDocument& document) : m_document(document) {}

    // The copy of the element root, or null.
    QDomElement run(const GumboNode* root)
    {
        m_open.append({root, createElement(&m_document, root->v.element, GUMBO_NAMESPACE_HTML)});
        while (!m_open.isEmpty()) {
            // The node whose children are being walked: the deepest skipped one, or the last open one.
            const GumboNode* parent = m_skipped.isEmpty() ? m_open.last().node : m_skipped.last().first;
            unsigned& next = m_skipped.isEmpty() ? m_open.last().next : m_skipped.last().second;
            const GumboVector& children = parent->type == GUMBO_NODE_DOCUMENT ? parent->v.document.children
                                                                               : parent->v.element.children;
            if (next >= children.length)
                closeParent();
            else
                copyChild(static_cast<const GumboNode*>(children.data[next++]));
        }
        return m_root;
    }

private:
    struct Open {
        const GumboNode* node;
        QDomElement element;
        unsigned next = 0;
    };

    void appendSpace() { m_open.last().element.appendChild(m_document.createTextNode(QStringLiteral(" "))); }

    void closeParent()
    {
        if (!m_skipped.isEmpty()) {
            m_skipped.removeLast();
            appendSpace();
            return;
        }
        const Open done = m_open.takeLast();
        if (m_open.isEmpty())
            m_root = done.element;
        else
            m_open.last().element.appendChild(done.element);
    }

    void copyChild(const GumboNode* child)
    {
        switch (child->type) {
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            if (!m_skipped.isEmpty() || m_open.size() >= XmlDomParser::kMaxDepth) {
                m_skipped.append({child, 0u});
                appendSpace();
            } else {
                m_open.append({child, createElement(&m_document, child->v.element,
                                                    m_open.last().node->v.element.tag_namespace)});
            }
            break;
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
            m_open.last().element.appendChild(m_document.createTextNode(QString::fromUtf8(child->v.text.text)));
            break;
        case GUMBO_NODE_CDATA:
            m_open.last().element.appendChild(m_document.createCDATASection(QString::fromUtf8(child->v.text.text)));
            break;
        case GUMBO_NODE_COMMENT:
        case GUMBO_NODE_DOCUMENT:
            break;
        }
    }

    QDomDocument& m_document;
    QList<Open> m_open;
    // The skipped elements being walked, with the index of their next child.
    QList<std::pair<const GumboNode*, unsigned>> m_skipped;
    QDomElement m_root;
};

} // namespace

bool HtmlSoupParser::parse(const QString& markup, QDomDocument* document)
{
    *document = QDomDocument();
    const QString html = AttributeLimit::apply(markup); // gumbo is quadratic in an element's attributes
    if (html.contains(QChar(0)))
        return false; // binary data (an image in the spine), no markup of any kind
    if (nestingEstimate(html) > kMaxNesting)
        return false;
    const QByteArray utf8 = html.toUtf8(); // the tree points into it
    Arena arena;
    const GumboOutput* output = parseInArena(utf8, arena);
    if (!output || !output->root || output->root->type != GUMBO_NODE_ELEMENT)
        return false;
    const QDomElement root = TreeCopy(*document).run(output->root);
    if (root.isNull())
        return false;
    document->appendChild(root);
    return true;
}
