#pragma once

// The ordered table of formats: chooses the reader for a path and the byte source for a scheme.
//
// Built once at start-up and never changed afterwards, so any thread may use it without a lock.
// Readers and sources it makes belong to the caller.

#include "formats/FormatSpec.h"

#include <QList>
#include <QStringList>

#include <memory>

class QQmlEngine;

class FormatRegistry {
public:
    explicit FormatRegistry(QList<FormatSpec> specs);

    // A file takes the first row whose "." + extension ends the lower-cased path; a folder, whatever
    // its name ("x.epub" too), the first folder row. Null when none matches. Only the path is
    // looked at, never the content.
    const FormatSpec* specFor(const QString& path) const;
    // A new, unopened reader from the matching row; null when none matches.
    std::unique_ptr<FormatReader> createReader(const QString& path) const;
    // A new source from the first row with exactly this scheme and a source factory; null otherwise.
    std::unique_ptr<IByteSource> createByteSourceForScheme(const QString& scheme) const;
    // Extensions of the file rows, in table order, as stored ("cbz", ..., "fb2.zip", "txt").
    QStringList supportedExtensions() const;
    // Adds one entry-image provider per distinct scheme with a source factory (GUI thread).
    void registerImageProviders(QQmlEngine& engine) const;

    const QList<FormatSpec>& specs() const { return m_specs; }

private:
    // The first file row matching the path's end, whatever the path is.
    const FormatSpec* fileSpecFor(const QString& path) const;

    QList<FormatSpec> m_specs;
};
