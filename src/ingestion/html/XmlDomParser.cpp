#include "html/XmlDomParser.h"

#include "html/HtmlBlockParser.h"
#include "html/MathFolding.h"
#include "html/MathTree.h"
#include "text/AttributeLimit.h"
#include "text/CancelToken.h"
#include "text/TextEncoding.h"

#include <QHash>
#include <QList>
#include <QXmlStreamReader>

#include <algorithm>
#include <array>

namespace {

// Names, short texts and indentation repeat all through a chapter: each is held once, shared by
// every node that has it, so that a node costs no text of its own.
class SharedStrings {
public:
    QString of(QStringView text)
    {
        if (const qsizetype spaces = indentSpaces(text); spaces >= 0)
            return indent(spaces, text);
        if (text.isEmpty() || text.size() > kShortText)
            return worthSharing(text) ? lookUp(text) : text.toString();
        // Most names and short texts are those met a moment before (mi, mo, mrow and their
        // one-letter texts, all through a formula): the last few are compared before any is hashed.
        QString& recent = m_recent[recentSlot(text)];
        if (QStringView(recent) != text)
            recent = lookUp(text);
        return recent;
    }

private:
    static constexpr qsizetype kShortText = 32;
    static constexpr qsizetype kLongestIndent = 512;
    static constexpr size_t kRecentSlots = 64;

    static size_t recentSlot(QStringView text)
    {
        const size_t first = text.front().unicode();
        const size_t last = text.back().unicode();
        return (first ^ (last << 3) ^ (size_t(text.size()) << 1)) % kRecentSlots;
    }

    QString lookUp(QStringView text)
    {
        const auto found = m_strings.constFind(text);
        if (found != m_strings.constEnd())
            return *found;
        const QString kept = text.toString();
        m_strings.insert(QStringView(kept), kept); // the key views the text the value holds
        return kept;
    }

    static bool worthSharing(QStringView text)
    {
        if (text.size() <= kShortText)
            return true;
        if (text.size() > kLongestIndent)
            return false;
        return std::all_of(text.begin(), text.end(),
                           [](QChar c) { return c == u' ' || c == u'\n' || c == u'\t' || c == u'\r'; });
    }

    // The spaces after the line end that starts text, when that is all it holds (the indentation of
    // most markup, looked up without hashing); else -1.
    static qsizetype indentSpaces(QStringView text)
    {
        if (text.isEmpty() || text.size() > kLongestIndent || text.front() != u'\n')
            return -1;
        for (qsizetype i = 1; i < text.size(); ++i) {
            if (text[i] != u' ')
                return -1;
        }
        return text.size() - 1;
    }

    QString indent(qsizetype spaces, QStringView text)
    {
        if (m_indents.size() <= spaces)
            m_indents.resize(spaces + 1);
        QString& kept = m_indents[spaces];
        if (kept.isNull())
            kept = text.toString();
        return kept;
    }

    QHash<QStringView, QString> m_strings;
    QList<QString> m_indents; // by their spaces
    std::array<QString, kRecentSlots> m_recent; // by recentSlot
};

// What an open element means to folding its formulas (see MathFolding).
enum class Kind : quint8 {
    Plain,
    Math,
    Keeper, // its content is read as text (rp, style) or copied whole (svg): formulas stay
};

QStringView localPart(QStringView qualifiedName)
{
    return qualifiedName.sliced(qualifiedName.lastIndexOf(u':') + 1);
}

// Whether local in lower case, the reader's notion of a name, is lower.
bool isNamed(QStringView local, QLatin1String lower)
{
    if (std::any_of(local.begin(), local.end(), [](QChar c) { return c.unicode() >= 0x80; }))
        return local.toString().toLower() == lower; // a letter beyond ASCII may lower into it
    return local.compare(lower, Qt::CaseInsensitive) == 0;
}

Kind kindOf(QStringView qualifiedName)
{
    const QStringView local = localPart(qualifiedName);
    if (isNamed(local, QLatin1String("math")))
        return Kind::Math;
    return isNamed(local, QLatin1String("rp")) || isNamed(local, QLatin1String("svg")) || isNamed(local, QLatin1String("style"))
        ? Kind::Keeper
        : Kind::Plain;
}

// Builds the tree from the reader's tokens. The open elements have no parent yet: an element joins
// its parent when it ends, complete, so every append happens at the top of a detached tree. The
// content of a formula that may be folded is read into a MathTree instead, and reaches the DOM
// only when the formula is not folded after all.
class TreeBuilder {
public:
    TreeBuilder(QDomDocument& document, QXmlStreamReader& reader, XmlDomParser::Formulas formulas)
        : m_document(document), m_reader(reader), m_folding(formulas == XmlDomParser::Formulas::Folded)
    {
    }

    // The document element once the reader is through, or null.
    QDomElement run()
    {
        while (!m_reader.atEnd()) {
            if (CancelToken::requested()) {
                m_reader.raiseError(QStringLiteral("Cancelled"));
                break;
            }
            switch (m_reader.readNext()) {
            case QXmlStreamReader::StartElement:
                startElement();
                break;
            case QXmlStreamReader::EndElement:
                endElement();
                break;
            case QXmlStreamReader::Characters:
                characters();
                break;
            default:
                break;
            }
        }
        return m_root;
    }

private:
    void startElement()
    {
        if (depth() >= XmlDomParser::kMaxDepth) {
            ++m_skipped;
            appendText(QStringLiteral(" "));
            return;
        }
        const QStringView name = m_reader.qualifiedName();
        const QXmlStreamAttributes attributes = m_reader.attributes();
        if (m_inFormula) {
            m_formula.openElement(m_strings.of(name));
            addAttributes(attributes);
            noteSheet(name);
            return;
        }
        QDomElement element = m_document.createElement(m_strings.of(name));
        for (const QXmlStreamAttribute& attribute : attributes)
            element.setAttribute(m_strings.of(attribute.qualifiedName()), m_strings.of(attribute.value()));
        if (m_open.isEmpty() && isNamed(localPart(name), QLatin1String("fictionbook")))
            m_folding = false; // its vocabulary has no formulas
        const Kind kind = m_folding ? kindOf(name) : Kind::Plain;
        m_mathOpen += kind == Kind::Math ? 1 : 0;
        m_keepersOpen += kind == Kind::Keeper ? 1 : 0;
        noteSheet(name);
        m_open.append(element);
        m_kinds.append(kind);
        if (kind == Kind::Math && m_mathOpen == 1 && foldable())
            startFormula(element.tagName(), attributes);
    }

    void endElement()
    {
        if (m_skipped > 0) {
            --m_skipped;
            appendText(QStringLiteral(" "));
            return;
        }
        if (m_inFormula && m_formula.openDepth() > 1) {
            m_formula.closeElement();
            return;
        }
        if (m_open.isEmpty())
            return;
        QDomElement element = m_open.takeLast();
        const Kind kind = m_kinds.takeLast();
        if (kind == Kind::Math && --m_mathOpen == 0)
            endFormula(element);
        m_keepersOpen -= kind == Kind::Keeper ? 1 : 0;
        if (m_open.isEmpty())
            m_root = element;
        else
            m_open.last().appendChild(element);
    }

    // Of the open elements, those of an open formula's content included.
    qsizetype depth() const { return m_open.size() + (m_inFormula ? m_formula.openDepth() - 1 : 0); }

    void appendText(const QString& text)
    {
        if (m_inFormula)
            m_formula.addText(text, false);
        else
            m_open.last().appendChild(m_document.createTextNode(text));
    }

    // The links and styles of a chapter are looked up in its tree.
    void noteSheet(QStringView name)
    {
        if (m_mathOpen > 0 && (name == QLatin1String("link") || name == QLatin1String("style")))
            m_mathNamesSheets = true;
    }

    // Where the reader takes a formula whole (not as text too deep to style).
    bool foldable() const { return m_keepersOpen == 0 && m_open.size() <= HtmlBlockParser::kMaxStyledDepth; }

    void addAttributes(const QXmlStreamAttributes& attributes)
    {
        for (const QXmlStreamAttribute& attribute : attributes)
            m_formula.addAttribute(m_strings.of(attribute.qualifiedName()), m_strings.of(attribute.value()));
    }

    void startFormula(const QString& name, const QXmlStreamAttributes& attributes)
    {
        m_formula.clear();
        m_formula.openElement(name);
        addAttributes(attributes);
        m_inFormula = true;
    }

    void endFormula(QDomElement& math)
    {
        if (m_inFormula && !m_mathNamesSheets)
            MathFolding::fold(m_document, math, m_formula);
        else if (m_inFormula)
            m_formula.appendContentTo(m_document, math);
        m_inFormula = false;
        m_mathNamesSheets = false;
    }

    void characters()
    {
        // Outside the document element there is only white space, which has no place in a DOM.
        if (m_open.isEmpty())
            return;
        const QStringView text = m_reader.text();
        const bool cdata = m_reader.isCDATA();
        if (m_inFormula)
            m_formula.addText(cdata ? text.toString() : m_strings.of(text), cdata);
        else if (cdata)
            m_open.last().appendChild(m_document.createCDATASection(text.toString()));
        else
            m_open.last().appendChild(m_document.createTextNode(m_strings.of(text)));
    }

    QDomDocument& m_document;
    QXmlStreamReader& m_reader;
    SharedStrings m_strings;
    QList<QDomElement> m_open;
    QList<Kind> m_kinds; // of the open elements
    QDomElement m_root;
    int m_skipped = 0; // open elements below kMaxDepth that are left out
    bool m_folding;
    int m_mathOpen = 0;
    int m_keepersOpen = 0;
    bool m_mathNamesSheets = false; // a link or style element stands in the open formula
    bool m_inFormula = false; // the content of the open formula goes to m_formula
    MathTree m_formula;
};

// Whether Qt's reader, given these bytes, reads them as UTF-8 with no say of their own: as text,
// given in a QString, is read. A declaration of another encoding, or bytes a detector would take
// for UTF-16 or refuse, would have the reader read something else.
bool readAsUtf8Alone(const QByteArray& utf8)
{
    if (utf8.startsWith("\xEF\xBB\xBF") || utf8.contains('\0') || !isValidUtf8(utf8.constData(), utf8.size()))
        return false;
    if (!utf8.startsWith("<?xml"))
        return true;
    const qsizetype end = utf8.indexOf("?>");
    if (end < 0)
        return false;
    const QByteArrayView declaration = QByteArrayView(utf8).first(end);
    const qsizetype encoding = declaration.indexOf("encoding");
    if (encoding < 0)
        return true;
    QByteArrayView value = declaration.sliced(encoding + 8).trimmed();
    if (!value.startsWith('='))
        return false;
    value = value.sliced(1).trimmed();
    const char quote = value.isEmpty() ? 0 : value.front();
    return value.size() >= 7 && (quote == '"' || quote == '\'') && value[6] == quote
        && qstrnicmp(value.data() + 1, "utf-8", 5) == 0;
}

bool parseWith(QXmlStreamReader& reader, QDomDocument* document, QString* errorText,
               XmlDomParser::Formulas formulas)
{
    *document = QDomDocument();
    reader.setNamespaceProcessing(false);
    const QDomElement root = TreeBuilder(*document, reader, formulas).run();
    if (reader.hasError() || root.isNull()) {
        if (errorText) {
            *errorText = reader.hasError() ? QStringLiteral("%1 (line %2, column %3)")
                                                 .arg(reader.errorString())
                                                 .arg(reader.lineNumber())
                                                 .arg(reader.columnNumber())
                                           : QStringLiteral("No document element");
        }
        *document = QDomDocument();
        return false;
    }
    document->appendChild(root);
    return true;
}

} // namespace

bool XmlDomParser::parse(const QString& xml, QDomDocument* document, QString* errorText, Formulas formulas)
{
    QXmlStreamReader reader(AttributeLimit::apply(xml));
    return parseWith(reader, document, errorText, formulas);
}

bool XmlDomParser::parseUtf8(const QByteArray& utf8, QDomDocument* document, QString* errorText, Formulas formulas)
{
    if (!readAsUtf8Alone(utf8))
        return parse(QString::fromUtf8(utf8), document, errorText, formulas);
    QXmlStreamReader reader(AttributeLimit::apply(utf8));
    return parseWith(reader, document, errorText, formulas);
}
