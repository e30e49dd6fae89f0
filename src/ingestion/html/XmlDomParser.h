#pragma once

// XmlDomParser: builds the DOM of a book's XML document (an XHTML chapter, a FictionBook file)
// the way QDomDocument::setContent does without namespace processing (qualified names, xmlns
// attributes kept as attributes), but
// - keeping the text nodes made only of white space: Qt's parser drops them, and with them the
//   spaces between inline elements ("<i>a</i> <b>b</b>" would read "ab");
// - in time linear in the text: QDom pays for each node added with the depth it is added at, so
//   the tree is built from the leaves up;
// - with elements nested deeper than kMaxDepth left out and their text kept in the element at that
//   depth: QDom frees a tree recursively, and a hostile document nested a few hundred thousand
//   levels deep would overflow the stack (a worker thread's stack may be far smaller still);
// - with at most AttributeLimit::kMaxAttributes attributes per element (Qt's reader is quadratic in
//   them).
//
// Comments, processing instructions and the document type are left out of the tree. Names, short
// texts and indentation are shared between the nodes that have them. Asked to, it folds the
// formulas of an HTML document as they end (MathFolding), the outermost ones that the block
// parser takes whole: not those in an svg, rp or style element, too deep to be styled, or holding
// a link or style element.
//
// Stateless; any thread.

#include <QDomDocument>
#include <QString>

class XmlDomParser {
public:
    static constexpr int kMaxDepth = 512;

    enum class Formulas { Kept, Folded };

    // False, with *errorText set when given, when xml is not well-formed; *document then holds
    // nothing.
    static bool parse(const QString& xml, QDomDocument* document, QString* errorText = nullptr,
                      Formulas formulas = Formulas::Kept);
    // The same for xml in UTF-8, read as UTF-8 whatever it declares, as QString::fromUtf8 reads it;
    // without a copy of the text when it is valid UTF-8 and declares no other encoding.
    static bool parseUtf8(const QByteArray& utf8, QDomDocument* document, QString* errorText = nullptr,
                          Formulas formulas = Formulas::Kept);
};
