#pragma once

// The Unicode Bidirectional Algorithm (UAX #9, through ICU's ubidi) in the units the layout works
// in: a paragraph's pieces (its words, the spaces between them, its images) get their embedding
// levels once, when the paragraph is prepared, so that line breaking stays in logical order; each
// laid-out line then puts its pieces in visual order by those levels (rule L2). A piece is drawn
// as one string in the direction of its level, so the order of characters inside a word is the
// text engine's business, and mirrored brackets come with that direction.
//
// Pure functions; any thread.

#include "content/ContentModel.h"

#include <QList>
#include <QString>
#include <QStringView>

namespace BidiLevels {

// Whether text holds anything that may set a piece right to left: a right-to-left letter, an
// Arabic digit or a right-to-left control. A left-to-right paragraph without any of these keeps
// its logical order and need not be resolved at all.
bool mayReorder(QStringView text);

struct Piece {
    qsizetype start = 0; // in the paragraph's text
    qsizetype length = 0;
};

// Where the characters of a piece change level: from offset (in the piece) on they are at level.
struct LevelChange {
    qsizetype piece = 0;
    qsizetype offset = 0;
    quint8 level = 0;
};

struct Resolved {
    bool rightToLeft = false; // the paragraph level
    QList<quint8> levels;     // one per piece: the level of its first character
    QList<LevelChange> changes; // in piece and offset order; empty when every piece is one level
};

// Levels of the pieces of a paragraph whose characters (and the controls of its embeddings) are
// text. A piece whose characters are not all at one level (a Latin word with its full stop, or a
// bracket, in a right-to-left paragraph) lists where they change: drawn as one string it would
// be reordered by the text engine on its own, away from the words it belongs with, so such a
// piece must be set as several. An empty piece takes the paragraph level. Auto takes the base
// direction from the first strong character, else left to right.
Resolved resolve(const QString& text, const QList<Piece>& pieces, TextDirection base);

// Fills order[visual] = logical for count pieces with the given levels.
void visualOrder(const quint8* levels, int count, int* order);

// The controls that open and close an embedding of a run in a paragraph of the given direction;
// both empty when the run is reordered with its neighbours.
QString openingControls(const TextStyle& run, TextDirection paragraph);
QString closingControls(const TextStyle& run, TextDirection paragraph);

} // namespace BidiLevels
