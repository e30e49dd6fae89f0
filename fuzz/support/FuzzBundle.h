#pragma once

// The text form of a set of named files, the input of the harnesses whose readers take several
// files (an EPUB's entries, a comic's pages, a chapter and its style sheets). Fuzzing the files
// through this form, instead of through an archive's checksummed bytes, lets mutations reach the
// parsers behind the container:
//
//   --- META-INF/container.xml
//   <container>...</container>
//   --- OEBPS/content.opf
//   <package>...</package>
//
// A line beginning with "--- " starts a part named by the rest of the line; the part's bytes run
// to the next such line (the line feed before it included). Bytes before the first marker form a
// part with an empty name, left out when empty; an input without any marker is one such part.
//
// Stateless; any thread.

#include <QByteArray>
#include <QList>
#include <QString>

struct FuzzPart {
    QString name;
    QByteArray data;
};

namespace FuzzBundle {

QList<FuzzPart> split(const QByteArray& input);
// The input that split() turns back into these parts, each part's bytes then ending in a line
// feed (names must not hold one).
QByteArray join(const QList<FuzzPart>& parts);

} // namespace FuzzBundle
