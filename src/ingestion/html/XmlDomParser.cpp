#include "html/XmlDomParser.h"

#include "text/AttributeLimit.h"

#include <QList>
#include <QXmlStreamReader>

namespace {

// Builds the tree from the reader's tokens. The open elements have no parent yet: an element joins
// its parent when it ends, complete, so every append happens at the top of a detached tree.
class TreeBuilder {
public:
    TreeBuilder(QDomDocument& document, QXmlStreamReader& reader) : m_document(document), m_reader(reader) {}

    // The document element once the reader is through, or null.
    QDomElement run()
    {
        while (!m_reader.atEnd()) {
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
        if (m_open.size() >= XmlDomParser::kMaxDepth) {
            ++m_skipped;
            m_open.last().appendChild(m_document.createTextNode(QStringLiteral(" ")));
            return;
        }
        QDomElement element = m_document.createElement(m_reader.qualifiedName().toString());
        const QXmlStreamAttributes attributes = m_reader.attributes();
        for (const QXmlStreamAttribute& attribute : attributes)
            element.setAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
        m_open.append(element);
    }

    void endElement()
    {
        if (m_skipped > 0) {
            --m_skipped;
            m_open.last().appendChild(m_document.createTextNode(QStringLiteral(" ")));
            return;
        }
        if (m_open.isEmpty())
            return;
        const QDomElement element = m_open.takeLast();
        if (m_open.isEmpty())
            m_root = element;
        else
            m_open.last().appendChild(element);
    }

    void characters()
    {
        // Outside the document element there is only white space, which has no place in a DOM.
        if (m_open.isEmpty())
            return;
        if (m_reader.isCDATA())
            m_open.last().appendChild(m_document.createCDATASection(m_reader.text().toString()));
        else
            m_open.last().appendChild(m_document.createTextNode(m_reader.text().toString()));
    }

    QDomDocument& m_document;
    QXmlStreamReader& m_reader;
    QList<QDomElement> m_open;
    QDomElement m_root;
    int m_skipped = 0; // open elements below kMaxDepth that are left out
};

} // namespace

bool XmlDomParser::parse(const QString& xml, QDomDocument* document, QString* errorText)
{
    *document = QDomDocument();
    QXmlStreamReader reader(AttributeLimit::apply(xml));
    reader.setNamespaceProcessing(false);
    const QDomElement root = TreeBuilder(*document, reader).run();
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
