#include "FuzzChapter.h"

#include "css/CssStyleSheet.h"
#include "FuzzBundle.h"
#include "html/HtmlBlockParser.h"
#include "html/HtmlEntities.h"
#include "html/MarkupFallback.h"

#include <QDomDocument>

namespace FuzzChapter {

QList<ContentChunk> parseChunks(const QByteArray& input, int budget)
{
    Css::StyleSheet sheet;
    QString text;
    bool haveText = false;
    for (const FuzzPart& part : FuzzBundle::split(input)) {
        if (part.name.endsWith(QLatin1String(".css")))
            sheet.append(Css::StyleSheet::parse(QString::fromUtf8(part.data)));
        else if (!haveText && !part.data.isEmpty()) {
            text = QString::fromUtf8(part.data);
            haveText = true;
        }
    }

    const QString chunkId = QStringLiteral("OEBPS/text/chapter.xhtml");
    const ParseParams params;
    QDomDocument document;
    if (MarkupFallback::parse(HtmlEntities::toXmlSafe(text), text, &document) == MarkupFallback::Reading::PlainText)
        return HtmlBlockParser::plainTextChunks(text, chunkId, budget, params);

    const QDomNodeList styles = document.elementsByTagName(QStringLiteral("style"));
    for (int i = 0; i < styles.size(); ++i)
        sheet.append(Css::StyleSheet::parse(styles.at(i).toElement().text()));
    return HtmlBlockParser::parseChunks(document.documentElement(), chunkId, budget,
                                        params, &sheet, QStringLiteral("epub"), QStringLiteral("/books/fuzz.epub"),
                                        QStringLiteral("OEBPS/text/"), 1);
}

} // namespace FuzzChapter
