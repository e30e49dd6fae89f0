#pragma once

// The linked style sheets of one book open, shared by its spine documents while they are parsed in
// parallel: a sheet is read and parsed once, by the first document that links it, and the others
// use that parse. A sheet whose entry cannot be read (missing or empty) is not remembered, so every
// document that links it tries again, just as when the documents are read one after another.
//
// A sheet's @import rules are read through the same reader, relative to the importing sheet (an
// absolute path from the root of the book), at most kMaxImportDepth levels deep and kMaxImports in
// all per sheet; an import of a sheet already on the chain of imports is a cycle and is left out. Imported sheets are not shared
// between the sheets that import them: the reads of one sheet never wait for another's lock.
//
// Any thread. A document that needs a sheet another thread is reading waits for that read; sheets
// of different paths are read and parsed concurrently.

#include "css/CssStyleSheet.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class StyleSheetCache {
public:
    // readEntry must be safe to call from several threads at once.
    using EntryReader = std::function<QByteArray(const QString& path)>;

    static constexpr int kMaxImportDepth = 8;
    static constexpr int kMaxImports = 64;

    explicit StyleSheetCache(EntryReader readEntry);
    StyleSheetCache(const StyleSheetCache&) = delete;
    StyleSheetCache& operator=(const StyleSheetCache&) = delete;

    // The parsed sheet of the entry at path (a cleaned archive path), or null when the entry cannot
    // be read. The sheet stays valid and unchanged for the life of the cache.
    const Css::StyleSheet* sheet(const QString& path);
    // A sheet written in the document at documentPath (a style element), with its imports.
    Css::StyleSheet parseInline(const QString& text, const QString& documentPath) const;

private:
    // chain: the paths of the sheets importing this one, outermost first, this one last.
    Css::StyleSheet parseWithImports(const QString& text, const QStringList& chain, const QString& directory,
                                     int* importsLeft) const;

    struct Slot {
        QMutex mutex; // held while the sheet is read and parsed
        bool loaded = false;
        Css::StyleSheet sheet;
    };

    EntryReader m_readEntry;
    QMutex m_entriesMutex;
    QHash<QString, std::shared_ptr<Slot>> m_entries; // by path
};
