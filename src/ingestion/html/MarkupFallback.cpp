#include "html/MarkupFallback.h"

#include "html/HtmlSoupParser.h"
#include "html/XmlDomParser.h"

namespace MarkupFallback {

Reading parse(const QString& xml, const QString& html, QDomDocument* document)
{
    if (XmlDomParser::parse(xml, document))
        return Reading::Xml;
    if (HtmlSoupParser::parse(html, document))
        return Reading::TagSoup;
    return Reading::PlainText;
}

} // namespace MarkupFallback
