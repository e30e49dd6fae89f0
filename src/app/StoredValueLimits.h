#pragma once

// Bounds for numbers read back from the settings store. A store edited by hand, half-written by a
// crash or merged by a sync tool can hold any number, and one the application cannot show (a
// line spacing of 1e308, a margin wider than any window) would stop every later start. Each value
// outside its bounds is replaced by the nearest bound, with a warning naming the key.
//
// Any thread (pure functions; the warning goes through Qt's message handler).

#include <QString>
#include <QVariant>

namespace StoredValueLimits {

// `stored` as an integer (text that is no integer reads as 0, as QVariant gives it), or
// `fallback` when nothing is stored, held inside [min, max].
int bounded(const QString& key, const QVariant& stored, int fallback, int min, int max);
// The same for a double; NaN and the infinities become min, since no layout can use them.
double bounded(const QString& key, const QVariant& stored, double fallback, double min, double max);

} // namespace StoredValueLimits
