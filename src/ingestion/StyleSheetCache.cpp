#include "StyleSheetCache.h"

#include <QMutexLocker>

#include <utility>

StyleSheetCache::StyleSheetCache(EntryReader readEntry)
    : readEntry(std::move(readEntry))
{
}

const Css::StyleSheet* StyleSheetCache::sheet(const QString& path)
{
    std::shared_ptr<Slot> slot;
    {
        const QMutexLocker locker(&entriesMutex);
        std::shared_ptr<Slot>& found = entries[path];
        if (!found)
            found = std::make_shared<Slot>();
        slot = found;
    }
    const QMutexLocker locker(&slot->mutex);
    if (!slot->loaded) {
        const QByteArray bytes = readEntry(path);
        if (bytes.isEmpty())
            return nullptr;
        slot->sheet = Css::StyleSheet::parse(QString::fromUtf8(bytes));
        slot->loaded = true;
    }
    return &slot->sheet;
}
