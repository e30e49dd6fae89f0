#pragma once

// The total-fit (Knuth-Plass) line breaker: breaks one paragraph, given as boxes, glue and
// penalties, into lines of one width. It knows nothing of fonts or text, only the item numbers.
//
// Pure functions on caller-owned data: any thread may call them, any number of threads at once.

#include <QList>
#include <QtGlobal>

namespace KnuthPlass {

enum ItemType : int { Box = 0, Glue = 1, Penalty = 2 };

// A penalty at or above this value never breaks; at or below its negation it always breaks.
constexpr double kInfinity = 10000;

// Fields in the order an aggregate names them: {type, width, stretch, shrink, penalty, flagged,
// runIndex}.
struct Item {
    int type = Box;
    double width = 0;    // natural width; for a penalty, the width added when a line ends there
    double stretch = 0;  // glue only
    double shrink = 0;   // glue only
    double penalty = 0;  // penalty only
    bool flagged = false; // penalty only: a hyphenation break
    int runIndex = -1;   // prepared run the item measures; -1 for items that carry no text

    static Item box(double width, int runIndex = -1) { return {Box, width, 0, 0, 0, false, runIndex}; }
    static Item glue(double width, double stretch, double shrink, int runIndex = -1)
    {
        return {Glue, width, stretch, shrink, 0, false, runIndex};
    }
    static Item penaltyItem(double width, double penalty, bool flagged, int runIndex = -1)
    {
        return {Penalty, width, 0, 0, penalty, flagged, runIndex};
    }
};

struct Params {
    double tolerance = 2;           // ratio bound of the first pass
    double fallbackTolerance = 10;  // ratio bound of the second pass
    double linePenalty = 10;        // added to the badness before squaring
    double flaggedDemerit = 100;    // two consecutive lines ending at flagged penalties
    double fitnessDemerit = 100;    // fitness classes of consecutive lines more than one apart
};

// Items start .. end-1 form the line, plus the width of item end when it is a penalty.
struct Line {
    int start = 0;
    int end = 0;
    double ratio = 0;       // adjustment ratio; below -1 (or -10000) for a line that cannot be set
    bool hyphenated = false; // ends at a flagged penalty of positive width
};

// The adjustment ratio of a line of this natural length, total stretch and total shrink set at
// lineWidth (taken as at least 1): 0 for a line holding the finishing glue, 10000 for a short
// line with nothing to stretch, -10000 for an overfull line with nothing to shrink.
double adjustmentRatio(double length, double stretch, double shrink, double lineWidth);

// Whether a line may end at item j: a penalty below kInfinity, or glue that follows a box.
// Inline: the breaker and the paragraph's measures ask it of every item.
inline bool isBreakpoint(const QList<Item>& items, qsizetype j)
{
    const Item& item = items[j];
    if (item.type == Penalty)
        return item.penalty < kInfinity;
    return item.type == Glue && j > 0 && items[j - 1].type == Box;
}

// Closes a paragraph in place: drops trailing glue, adds an empty box when the list is empty or
// ends at a forced break, then a never-break penalty, the finishing glue and the forced break.
void finishLine(QList<Item>& items);
void finishParagraph(QList<Item>& items);

// The lines of a closed paragraph in reading order; empty when items is empty or cannot be set.
// Tries tolerance, then fallbackTolerance, then any ratio with rescue of overfull stretches.
QList<Line> breakLines(const QList<Item>& items, double lineWidth, const Params& params);

} // namespace KnuthPlass
