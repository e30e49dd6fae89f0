#include "ReadingPreferences.h"

#include "AppState.h"

#include <QVariantMap>

#include <algorithm>
#include <cmath>

namespace {

const QString kGroup = QStringLiteral("reading");
const QString kFontSize = QStringLiteral("fontSize");
const QString kLineSpacing = QStringLiteral("lineSpacing");
const QString kHorizontalMargin = QStringLiteral("horizontalMargin");
const QString kVerticalMargin = QStringLiteral("verticalMargin");

constexpr int kMinFontSize = 8;
constexpr int kMaxFontSize = 72;
constexpr double kMinLineSpacing = 0.1;

} // namespace

ReadingPreferences::ReadingPreferences(AppState& state, QObject* parent)
    : QObject(parent)
    , m_state(state)
{
    const QVariantMap stored = m_state.loadSection(kGroup);
    m_fontSize = std::clamp(stored.value(kFontSize, 16).toInt(), kMinFontSize, kMaxFontSize);
    const double spacing = stored.value(kLineSpacing, 1.0).toDouble();
    // Text that is no number, NaN and infinity all fall to the minimum, as a layout cannot use them.
    m_lineSpacing = std::isfinite(spacing) && spacing > kMinLineSpacing ? spacing : kMinLineSpacing;
    m_horizontalMargin = std::max(stored.value(kHorizontalMargin, 32).toInt(), 0);
    m_verticalMargin = std::max(stored.value(kVerticalMargin, 8).toInt(), 0);
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

void ReadingPreferences::save()
{
    QVariantMap values;
    values.insert(kFontSize, m_fontSize);
    values.insert(kLineSpacing, m_lineSpacing);
    values.insert(kHorizontalMargin, m_horizontalMargin);
    values.insert(kVerticalMargin, m_verticalMargin);
    m_state.saveSection(kGroup, values);
}
