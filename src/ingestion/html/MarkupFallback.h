#pragma once

// How a book's markup becomes a tree: as XML first (XmlDomParser, the document as written), then,
// when it is not well-formed, as tag soup read the way a browser reads it (HtmlSoupParser), which
// keeps its styles, links and images. Markup neither reads is left to
// HtmlBlockParser::plainTextChunks, which still keeps every word. The tree is HtmlBlockParser's to
// read: an XML tree comes with its formulas folded (MathFolding).
//
// Stateless; any thread. Under a cancelled CancelToken the answer is Xml with an empty tree.

#include <QDomDocument>
#include <QString>

namespace MarkupFallback {

enum class Reading { Xml, TagSoup, PlainText };

// xml is the markup made XML-safe (HtmlEntities::toXmlSafe), html the markup as the book has it.
// *document holds the tree unless the answer is PlainText.
Reading parse(const QString& xml, const QString& html, QDomDocument* document);

// The same for markup in UTF-8 as the book has it; the texts made from it live only while they
// are read, and a well-formed chapter is read from its bytes (see XmlDomParser).
Reading parse(const QByteArray& markup, QDomDocument* document);

} // namespace MarkupFallback
