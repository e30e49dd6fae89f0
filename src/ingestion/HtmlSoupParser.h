#pragma once

// HtmlSoupParser: builds the DOM of a chapter that is not well-formed XML (an unclosed <br>,
// an unquoted attribute, tag soup converted from old HTML) the way a browser reads it, with the
// HTML5 parsing algorithm of gumbo, into the same tree shape XmlDomParser gives: lower-case
// element names, attributes by their qualified names ("epub:type", "xlink:href"), text and
// white space kept, comments left out. SVG and MathML elements get their xmlns so namespaces
// resolve.
//
// Linear in the text. Elements nested deeper than XmlDomParser::MaxDepth are left out and their
// text kept in the element at that depth (QDom frees a tree recursively). Gumbo's own memory is
// freed at once, without walking its tree.
//
// Stateless; any thread.

#include <QDomDocument>
#include <QString>

class HtmlSoupParser {
public:
    // False when html yields no document element or holds a NUL (it is binary data, not text);
    // *document then holds nothing.
    static bool parse(const QString& html, QDomDocument* document);
};
