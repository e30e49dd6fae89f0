#include "html/XmlDomParser.h"

#include "text/AttributeLimit.h"

#include <QList>
#include <QXmlStreamReader>

bool XmlDomParser::parse(const QString& xml, QDomDocument* document, QString* errorText)
{
    *document = QDomDocument();
    QXmlStreamReader reader(AttributeLimit::apply(xml));
    reader.setNamespaceProcessing(false);
    // The open elements have no parent yet: an element joins its parent when it ends, complete,
    // so every append happens at the top of a detached tree.
    QList<QDomElement> open;
    QDomElement root;
    int skipped = 0; // open elements below MaxDepth that are left out
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (open.size() >= MaxDepth) {
                ++skipped;
                open.last().appendChild(document->createTextNode(QStringLiteral(" ")));
                break;
            }
            QDomElement element = document->createElement(reader.qualifiedName().toString());
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute& attribute : attributes)
                element.setAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            open.append(element);
            break;
        }
        case QXmlStreamReader::EndElement: {
            if (skipped > 0) {
                --skipped;
                open.last().appendChild(document->createTextNode(QStringLiteral(" ")));
                break;
            }
            if (open.isEmpty())
                break;
            const QDomElement element = open.takeLast();
            if (open.isEmpty())
                root = element;
            else
                open.last().appendChild(element);
            break;
        }
        case QXmlStreamReader::Characters:
            // Outside the document element there is only white space, which has no place in a DOM.
            if (!open.isEmpty()) {
                if (reader.isCDATA())
                    open.last().appendChild(document->createCDATASection(reader.text().toString()));
                else
                    open.last().appendChild(document->createTextNode(reader.text().toString()));
            }
            break;
        default:
            break;
        }
    }
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
