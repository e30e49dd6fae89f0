#pragma once

// What a reader states about the book it opened last: the fields its FormatReader accessors
// return unchanged. Every open()/loadMetadata() starts from an empty record.
//
// A plain value; owned by its reader and used on that reader's thread (see FormatReader).

#include <QByteArray>
#include <QString>

struct BookMetadata {
    QString filePath;        // the path given to the last open()/loadMetadata()
    QByteArray contentHash;  // identity of the book file; empty after loadMetadata()
    QString title;
    QString author;
    QString errorString;     // the message of the last failure, empty when none
    QString cover;           // the cover image's name inside the book, empty when none

    // The image URL of the cover for a reader of this image-provider scheme, empty when none.
    QString coverImageUrl(const QString& scheme) const;
};
