#pragma once

// What every format reader answers alike: the accessors of what it states about the book it opened
// last, read from the one BookMetadata record the reader fills as it opens. The readers derive
// from it and add what differs (content, cover, open).
//
// The threading is FormatReader's.

#include "formats/BookMetadata.h"
#include "formats/FormatReader.h"

class MetadataReader : public FormatReader {
public:
    QString errorString() const override { return m_book.errorString; }
    QString filePath() const override { return m_book.filePath; }
    QString title() const override { return m_book.title; }
    QString author() const override { return m_book.author; }
    QByteArray contentHash() const override { return m_book.contentHash; }

protected:
    BookMetadata m_book;
};
