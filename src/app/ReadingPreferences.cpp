#include "ReadingPreferences.h"

#include "AppState.h"
#include "StoredValueLimits.h"

#include <QVariantMap>

namespace {

const QString kGroup = QStringLiteral("reading");
const QString kFontSize = QStringLiteral("fontSize");
const QString kLineSpacing = QStringLiteral("lineSpacing");
const QString kHorizontalMargin = QStringLiteral("horizontalMargin");
const QString kVerticalMargin = QStringLiteral("verticalMargin");

// A little wider than the settings popup offers (margins 0 to 64, spacing 0.5 to 2.0), so that a
// value set by an earlier version or by hand within reason survives.
constexpr int kMinFontSize = 8;
constexpr int kMaxFontSize = 72;
constexpr double kMinLineSpacing = 0.1;
constexpr double kMaxLineSpacing = 3.0;
constexpr int kMaxMargin = 128;

} // namespace

ReadingPreferences::ReadingPreferences(AppState& state, QObject* parent)
    : QObject(parent)
    , m_state(state)
{
    const QVariantMap stored = m_state.loadSection(kGroup);
    // A key the store lacks stands for its default, which is what the members hold now.
    m_stored = storedForm();
    m_stored.insert(stored);
    const auto load = [&stored](const QString& key, auto fallback, auto min, auto max) {
        return StoredValueLimits::bounded(kGroup + QLatin1Char('/') + key, stored.value(key), fallback, min, max);
    };
    m_fontSize = load(kFontSize, m_fontSize, kMinFontSize, kMaxFontSize);
    m_lineSpacing = load(kLineSpacing, m_lineSpacing, kMinLineSpacing, kMaxLineSpacing);
    m_horizontalMargin = load(kHorizontalMargin, m_horizontalMargin, 0, kMaxMargin);
    m_verticalMargin = load(kVerticalMargin, m_verticalMargin, 0, kMaxMargin);
}

void ReadingPreferences::setFontSize(int value)
{
    if (value == m_fontSize)
        return;
    m_fontSize = value;
    Q_EMIT fontSizeChanged();
}

void ReadingPreferences::setLineSpacing(double value)
{
    if (qFuzzyCompare(value, m_lineSpacing))
        return;
    m_lineSpacing = value;
    Q_EMIT lineSpacingChanged();
}

void ReadingPreferences::setHorizontalMargin(int value)
{
    if (value == m_horizontalMargin)
        return;
    m_horizontalMargin = value;
    Q_EMIT horizontalMarginChanged();
}

void ReadingPreferences::setVerticalMargin(int value)
{
    if (value == m_verticalMargin)
        return;
    m_verticalMargin = value;
    Q_EMIT verticalMarginChanged();
}

QVariantMap ReadingPreferences::storedForm() const
{
    QVariantMap values;
    values.insert(kFontSize, m_fontSize);
    values.insert(kLineSpacing, m_lineSpacing);
    values.insert(kHorizontalMargin, m_horizontalMargin);
    values.insert(kVerticalMargin, m_verticalMargin);
    return values;
}

void ReadingPreferences::save()
{
    const QVariantMap values = storedForm();
    m_state.saveSectionChanges(kGroup, m_stored, values);
    m_stored = values;
}
