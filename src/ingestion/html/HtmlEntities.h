#pragma once

// Rewrites HTML character references so that an XML parser accepts the text. Any thread.

#include <QString>

namespace HtmlEntities {

// Every "&" either starts an XML-acceptable reference or becomes "&amp;"; named HTML entities
// become numeric references.
QString toXmlSafe(const QString& text);

} // namespace HtmlEntities
