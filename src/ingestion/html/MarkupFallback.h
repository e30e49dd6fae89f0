#pragma once

// How a book's markup becomes a tree: as XML first (XmlDomParser, the document as written), then,
// when it is not well-formed, as tag soup read the way a browser reads it (HtmlSoupParser), which
// keeps its styles, links and images. Markup neither reads is left to
// HtmlBlockParser::plainTextChunks, which still keeps every word.
//
// Stateless; any thread.

#include <QDomDocument>
#include <QString>

namespace MarkupFallback {

enum class Reading { Xml, TagSoup, PlainText };

// xml is the markup made XML-safe (HtmlEntities::toXmlSafe), html the markup as the book has it.
// *document holds the tree unless the answer is PlainText.
Reading parse(const QString& xml, const QString& html, QDomDocument* document);

} // namespace MarkupFallback
