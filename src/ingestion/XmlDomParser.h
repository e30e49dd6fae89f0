#pragma once

// XmlDomParser: builds the DOM of a book's XML document (an XHTML chapter, a FictionBook file)
// the way QDomDocument::setContent does without namespace processing (qualified names, xmlns
// attributes kept as attributes), but keeping the text nodes made only of white space. Qt's own
// parser drops those, and with them the spaces between inline elements: "<i>a</i> <b>b</b>" would
// read "ab". The build is linear in the text however deep the elements nest (QDomDocument's own
// parse slows down with the square of the depth).
//
// Comments, processing instructions and the document type are left out of the tree.
//
// Stateless; any thread.

#include <QDomDocument>
#include <QString>

class XmlDomParser {
public:
    // False, with *errorText set when given, when xml is not well-formed; *document then holds
    // nothing.
    static bool parse(const QString& xml, QDomDocument* document, QString* errorText = nullptr);
};
