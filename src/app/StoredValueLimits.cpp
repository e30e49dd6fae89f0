#include "StoredValueLimits.h"

#include <QtDebug>

#include <algorithm>
#include <cmath>

namespace {

template <typename T>
T keptInside(const QString& key, const QVariant& stored, T value, T min, T max)
{
    const T kept = std::clamp(value, min, max);
    if (kept != value)
        qWarning().noquote().nospace() << "Stored setting \"" << key << "\" = \"" << stored.toString()
                                       << "\" is out of range; using " << kept;
    return kept;
}

} // namespace

namespace StoredValueLimits {

int bounded(const QString& key, const QVariant& stored, int fallback, int min, int max)
{
    // Read wide, so that a number past int is held at the nearest bound rather than wrapped.
    const qint64 value = stored.isValid() ? stored.toLongLong() : fallback;
    return int(keptInside<qint64>(key, stored, value, min, max));
}

double bounded(const QString& key, const QVariant& stored, double fallback, double min, double max)
{
    const double value = stored.isValid() ? stored.toDouble() : fallback;
    if (!std::isfinite(value)) {
        qWarning().noquote().nospace() << "Stored setting \"" << key << "\" = \"" << stored.toString()
                                       << "\" is no number; using " << min;
        return min;
    }
    return keptInside(key, stored, value, min, max);
}

} // namespace StoredValueLimits
