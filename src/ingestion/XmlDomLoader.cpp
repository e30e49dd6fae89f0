#include "XmlDomLoader.h"

#include <QList>
#include <QXmlStreamReader>

bool XmlDomLoader::load(const QString& text, QDomDocument* doc, QString* error)
{
    *doc = QDomDocument();
    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);

    // The open elements; the tree below MaxDepth is appended to the deepest one kept.
    QList<QDomElement> open;
    int skippedDepth = 0;

    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (open.size() >= MaxDepth) {
                ++skippedDepth;
                break;
            }
            QDomElement element = doc->createElement(reader.qualifiedName().toString());
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute& attribute : attributes)
                element.setAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            if (open.isEmpty())
                doc->appendChild(element);
            else
                open.last().appendChild(element);
            open.append(element);
            break;
        }
        case QXmlStreamReader::EndElement:
            if (skippedDepth > 0)
                --skippedDepth;
            else if (!open.isEmpty())
                open.removeLast();
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            // Text outside the document element is only white space; a document node takes none.
            if (!open.isEmpty())
                open.last().appendChild(doc->createTextNode(reader.text().toString()));
            break;
        default:
            break;
        }
    }

    if (reader.hasError() || doc->documentElement().isNull()) {
        if (error)
            *error = reader.hasError() ? reader.errorString() : QStringLiteral("No document element");
        *doc = QDomDocument();
        return false;
    }
    return true;
}
