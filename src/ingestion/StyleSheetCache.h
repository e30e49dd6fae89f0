#pragma once

// The linked style sheets of one book open, shared by its spine documents while they are parsed in
// parallel: a sheet is read and parsed once, by the first document that links it, and the others
// use that parse. A sheet whose entry cannot be read (missing or empty) is not remembered, so every
// document that links it tries again, just as when the documents are read one after another.
//
// Any thread. A document that needs a sheet another thread is reading waits for that read; sheets
// of different paths are read and parsed concurrently.

#include "CssStyleSheet.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

#include <functional>
#include <memory>

class StyleSheetCache {
public:
    // readEntry must be safe to call from several threads at once.
    using EntryReader = std::function<QByteArray(const QString& path)>;

    explicit StyleSheetCache(EntryReader readEntry);
    StyleSheetCache(const StyleSheetCache&) = delete;
    StyleSheetCache& operator=(const StyleSheetCache&) = delete;

    // The parsed sheet of the entry at path (a cleaned archive path), or null when the entry cannot
    // be read. The sheet stays valid and unchanged for the life of the cache.
    const Css::StyleSheet* sheet(const QString& path);

private:
    struct Slot {
        QMutex mutex; // held while the sheet is read and parsed
        bool loaded = false;
        Css::StyleSheet sheet;
    };

    EntryReader readEntry;
    QMutex entriesMutex;
    QHash<QString, std::shared_ptr<Slot>> entries; // by path
};
