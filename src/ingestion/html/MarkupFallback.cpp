#include "html/MarkupFallback.h"

#include "html/HtmlEntities.h"
#include "html/HtmlSoupParser.h"
#include "html/XmlDomParser.h"
#include "text/CancelToken.h"

namespace {

// A cancelled open reads no further: the markup counts as an empty tree, not as tag soup or text
// to be parsed all over again.
bool stopped(QDomDocument* document)
{
    if (!CancelToken::requested())
        return false;
    *document = QDomDocument();
    return true;
}

} // namespace

namespace MarkupFallback {

Reading parse(const QString& xml, const QString& html, QDomDocument* document)
{
    if (XmlDomParser::parse(xml, document, nullptr, XmlDomParser::Formulas::Folded) || stopped(document))
        return Reading::Xml;
    if (HtmlSoupParser::parse(html, document))
        return Reading::TagSoup;
    return Reading::PlainText;
}

Reading parse(const QByteArray& markup, QDomDocument* document)
{
    // The references HTML knows and XML does not are spelled out first; the texts that takes are
    // gone before the tree is built.
    QByteArray xml = markup;
    if (markup.contains('&')) {
        const QString html = QString::fromUtf8(markup);
        const QString safe = HtmlEntities::toXmlSafe(html);
        if (safe != html)
            xml = safe.toUtf8();
    }
    if (XmlDomParser::parseUtf8(xml, document, nullptr, XmlDomParser::Formulas::Folded) || stopped(document))
        return Reading::Xml;
    xml = QByteArray();
    if (HtmlSoupParser::parse(QString::fromUtf8(markup), document))
        return Reading::TagSoup;
    return Reading::PlainText;
}

} // namespace MarkupFallback
