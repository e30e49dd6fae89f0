#pragma once

// The plain first-fit line breaker, for comparison with total fit on the same measured items:
// each line takes every item up to the last breakpoint at which it still fits at natural width
// (an overfull first breakpoint when nothing fits). Pure; any thread.

#include "KnuthPlass.h"

namespace FirstFitBreaker {

// Lines as KnuthPlass::breakLines gives them, ratios by the same measure.
QList<KnuthPlass::Line> breakLines(const QList<KnuthPlass::Item>& items, double lineWidth);

} // namespace FirstFitBreaker
