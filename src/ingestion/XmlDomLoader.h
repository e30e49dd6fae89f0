#pragma once

// Builds a DOM tree (namespace processing off, as QDomDocument::setContent does) from XML text
// with a stream reader, for the readers that hand element trees to the HTML block parser.
//
// Unlike QDomDocument::setContent of Qt 6.4 it keeps text nodes made only of white space: the
// blank between "</em> <b>" separates two words. Nesting deeper than MaxDepth is flattened (the
// deeper elements' tags are dropped, their text is kept) so that no later recursive walk, nor the
// tree's own destruction, can exhaust the stack.
//
// Stateless; any thread.

#include <QDomDocument>
#include <QString>

class XmlDomLoader {
public:
    static constexpr int MaxDepth = 256;

    // Replaces *doc with the tree of text. False (with *error set when given) when the text is
    // not well-formed XML or holds no element.
    static bool load(const QString& text, QDomDocument* doc, QString* error = nullptr);
};
