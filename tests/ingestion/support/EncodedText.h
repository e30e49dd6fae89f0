#pragma once

// Known texts in the scripts real books are written in, and their bytes in legacy code pages,
// for tests that must compare a decoding with the text it came from.

#include <QByteArray>
#include <QString>

namespace EncodedText {

QString russian();
QString german();
QString japanese();
QString chinese();
QString traditionalChinese(); // holds characters of the second plane of CNS 11643
QString korean();
QString hebrew();

// The text in the named encoding, through Qt's converter or else iconv; empty when neither
// knows the name or the text has a character the encoding lacks.
QByteArray encode(const QString& text, const char* encoding);

} // namespace EncodedText
