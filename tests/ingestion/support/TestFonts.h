#pragma once

// Font fixtures for the tests: free fonts the project's packages install (fonts-dejavu-core), read
// at run time, and a check of how a family measures.

#include <QByteArray>
#include <QString>

namespace TestFonts {

// DejaVu Sans Mono, regular or bold; empty when the file cannot be read.
QByteArray monospaced(bool bold = false);
// Whether "iiii" and "WWWW" are equally wide in family: a monospaced face answers to it.
bool isMonospaced(const QString& family);

} // namespace TestFonts
