#pragma once

// The one rule by which doubles count as equal wherever a setter or an equality compares them:
// |a - b| x 1e12 <= min(|a|, |b|). Pure; any thread.

#include <QRectF>

#include <algorithm>
#include <cmath>

inline bool relativelyEqual(double a, double b)
{
    return a == b || std::abs(a - b) * 1e12 <= std::min(std::abs(a), std::abs(b));
}

inline bool relativelyEqual(const QRectF& a, const QRectF& b)
{
    return relativelyEqual(a.x(), b.x()) && relativelyEqual(a.y(), b.y())
        && relativelyEqual(a.width(), b.width()) && relativelyEqual(a.height(), b.height());
}
