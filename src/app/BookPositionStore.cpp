#include "BookPositionStore.h"

#include "AppState.h"

#include <QVariantMap>

#include <cmath>

namespace {

const QString kChunkIndex = QStringLiteral("chunkIndex");
const QString kIntraOffset = QStringLiteral("intraOffset");
const QString kProgress = QStringLiteral("progress");
const QString kPageShift = QStringLiteral("pageShift");
const QString kMangaRTL = QStringLiteral("mangaRTL");
const QString kUseBookColours = QStringLiteral("useBookColours");

// The INI file gives every value back as text, so the conversions below accept exactly what save()
// writes (and the obvious hand-written spellings) and nothing else.

int readIndex(const QVariantMap& map, const QString& key, int fallback)
{
    const auto it = map.constFind(key);
    if (it == map.cend())
        return fallback;
    bool ok = false;
    const int value = it->toInt(&ok);
    return ok && value >= 0 ? value : fallback;
}

double readFinite(const QVariantMap& map, const QString& key, double fallback)
{
    const auto it = map.constFind(key);
    if (it == map.cend())
        return fallback;
    bool ok = false;
    const double value = it->toDouble(&ok);
    return ok && std::isfinite(value) ? value : fallback;
}

double readProgress(const QVariantMap& map, const QString& key, double fallback)
{
    const double value = readFinite(map, key, fallback);
    return value >= 0.0 && value <= 1.0 ? value : fallback;
}

bool readFlag(const QVariantMap& map, const QString& key, bool fallback)
{
    const auto it = map.constFind(key);
    if (it == map.cend())
        return fallback;
    const QString text = it->toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return fallback;
}

} // namespace

BookPositionStore::BookPositionStore(AppState& state)
    : m_state(state)
{
}

QString BookPositionStore::sectionKey(const QByteArray& key)
{
    return QStringLiteral("saved-progress/") + QString::fromLatin1(key.toHex());
}

BookPosition BookPositionStore::load(const QByteArray& key) const
{
    const BookPosition defaults;
    if (key.isEmpty())
        return defaults;
    const QVariantMap map = m_state.loadSection(sectionKey(key));
    BookPosition position;
    position.chunkIndex = readIndex(map, kChunkIndex, defaults.chunkIndex);
    position.intraOffset = readFinite(map, kIntraOffset, defaults.intraOffset);
    position.progress = readProgress(map, kProgress, defaults.progress);
    position.pageShift = readFlag(map, kPageShift, defaults.pageShift);
    position.mangaRTL = readFlag(map, kMangaRTL, defaults.mangaRTL);
    position.useBookColours = readFlag(map, kUseBookColours, defaults.useBookColours);
    return position;
}

void BookPositionStore::save(const QByteArray& key, const BookPosition& position)
{
    if (key.isEmpty())
        return;
    QVariantMap map;
    map.insert(kChunkIndex, position.chunkIndex);
    map.insert(kIntraOffset, position.intraOffset);
    map.insert(kProgress, position.progress);
    map.insert(kPageShift, position.pageShift);
    map.insert(kMangaRTL, position.mangaRTL);
    map.insert(kUseBookColours, position.useBookColours);
    m_state.saveSection(sectionKey(key), map);
}

void BookPositionStore::setUseBookColours(const QByteArray& key, bool enabled)
{
    if (key.isEmpty())
        return;
    BookPosition position = load(key);
    position.useBookColours = enabled;
    save(key, position);
}
