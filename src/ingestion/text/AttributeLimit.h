#pragma once

// AttributeLimit: keeps at most kMaxAttributes attributes on every start tag of a book's markup
// (XML or HTML) before it reaches a parser. Qt's XML stream reader and gumbo both check each new
// attribute against all the earlier ones of its element, so a tag with a hundred thousand
// attributes costs them minutes; no real book comes near the limit. Attributes beyond it are left
// out, with one warning per document; everything else is passed on byte for byte.
//
// The scan is linear in the text: a comment, CDATA section, processing instruction or declaration
// is skipped to its end, and a start tag is read attribute by attribute (quoted, unquoted or bare
// values). Text without an over-long tag is returned as it came, without a copy.
//
// Stateless; any thread.

#include <QByteArray>
#include <QString>

namespace AttributeLimit {

constexpr int kMaxAttributes = 1000;

QString apply(const QString& markup);
// The same for markup still in bytes of an ASCII-compatible encoding.
QByteArray apply(const QByteArray& markup);

} // namespace AttributeLimit
