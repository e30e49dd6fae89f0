#pragma once

// HtmlPlainText: the text of markup that no XML parser accepts, cut into paragraphs at the tags of
// block elements, so that a broken document still reads as text. Tags, comments, processing
// instructions and the contents of head, style and script elements (when they are closed) go;
// character references are decoded; everything else is text, including a "<" that starts no tag.
// Linear in the input.
//
// Stateless; any thread.

#include <QString>
#include <QStringList>

class HtmlPlainText {
public:
    // The paragraphs in reading order, white space collapsed, none empty.
    static QStringList paragraphs(const QString& markup);
};
