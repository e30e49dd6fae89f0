#pragma once

// HtmlSoupParser: builds the DOM of a chapter that is not well-formed XML (an unclosed <br>,
// an unquoted attribute, tag soup converted from old HTML) the way a browser reads it, with the
// HTML5 parsing algorithm of gumbo, into the same tree shape XmlDomParser gives: lower-case
// element names, attributes by their qualified names ("epub:type", "xlink:href"), text and
// white space kept, comments left out. SVG and MathML elements get their xmlns so namespaces
// resolve.
//
// The HTML5 algorithm looks through the open elements at many tags, so its cost grows with the
// square of the nesting: text whose tags would nest deeper than kMaxNesting (a cheap estimate, run
// first) is refused, and the caller falls back to plain text. Below that the parse is linear in
// the text. Elements nested deeper than XmlDomParser::kMaxDepth are left out and their text kept in
// the element at that depth (QDom frees a tree recursively), and attributes beyond
// AttributeLimit::kMaxAttributes on one element are left out. Gumbo's own memory is freed at once,
// without walking its tree.
//
// Stateless; any thread.

#include <QDomDocument>
#include <QString>

class HtmlSoupParser {
public:
    static constexpr int kMaxNesting = 4096;

    // False when html yields no document element, nests deeper than kMaxNesting or holds a NUL (it
    // is binary data, not text); *document then holds nothing.
    static bool parse(const QString& html, QDomDocument* document);
};
