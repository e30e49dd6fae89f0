#pragma once

// One row of the table of formats: which paths it matches, the image-provider scheme of its
// entries, and the factories of its reader and of its byte source. A plain value; the factories
// create independent objects and may be called from any thread.

#include "formats/FormatReader.h"

#include <QString>

struct FormatSpec {
    QString extension;           // without the leading dot, may hold inner dots ("fb2.zip"); empty for folders
    bool isDirectory = false;    // the row matches folders instead of files
    QString scheme;              // image-provider id of the entries; empty when none
    ReaderFactory readerFactory;
    SourceFactory sourceFactory; // empty when the format reads no container

    // A ComicReader over sources made by sourceFactory.
    static FormatSpec comic(const QString& extension, bool isDirectory, const QString& scheme,
                            const SourceFactory& sourceFactory);
    // An EpubReader, scheme "epub".
    static FormatSpec epub(const SourceFactory& sourceFactory);
    // An Fb2Reader, scheme "fb2".
    static FormatSpec fb2(const QString& extension, const SourceFactory& sourceFactory);
    // A TxtReader: no scheme, no byte source.
    static FormatSpec txt(const QString& extension);
};
