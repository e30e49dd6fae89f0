#include "XmlDomParser.h"

#include <QXmlStreamReader>

bool XmlDomParser::parse(const QString& xml, QDomDocument* document, QString* errorText)
{
    *document = QDomDocument();
    QXmlStreamReader reader(xml);
    reader.setNamespaceProcessing(false);
    // The document itself only comes to life with its first node, so the top level is a null node.
    QDomNode current;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            QDomElement element = document->createElement(reader.qualifiedName().toString());
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute& attribute : attributes)
                element.setAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            if (current.isNull() || current.isDocument())
                document->appendChild(element);
            else
                current.appendChild(element);
            current = element;
            break;
        }
        case QXmlStreamReader::EndElement:
            current = current.parentNode();
            break;
        case QXmlStreamReader::Characters:
            // Text outside the document element can only be white space, which a document has no
            // place for.
            if (!current.isNull() && !current.isDocument()) {
                if (reader.isCDATA())
                    current.appendChild(document->createCDATASection(reader.text().toString()));
                else
                    current.appendChild(document->createTextNode(reader.text().toString()));
            }
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        if (errorText) {
            *errorText = QStringLiteral("%1 (line %2, column %3)")
                             .arg(reader.errorString())
                             .arg(reader.lineNumber())
                             .arg(reader.columnNumber());
        }
        *document = QDomDocument();
        return false;
    }
    if (document->documentElement().isNull()) {
        if (errorText)
            *errorText = QStringLiteral("No document element");
        return false;
    }
    return true;
}
