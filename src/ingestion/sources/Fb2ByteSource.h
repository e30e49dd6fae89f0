#pragma once

// The byte source over a FictionBook file, plain or zipped (.fbz, .fb2.zip, or a zip by its magic
// bytes). Its entries are the book's embedded binary elements (images), named by their ids and
// base64-decoded at open; the FictionBook XML itself is kept for the FB2 reader.
//
// A plain file is refused when it is larger than the zip source accepts for one inflated entry, so
// that either form of a book costs at most that much memory.
//
// One thread at a time: open() first, then any of the accessors. Everything is served from memory
// after open(), which releases the file or the zip archive before it returns.

#include "sources/IByteSource.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

struct Fb2Binary {
    QString id;
    std::optional<QString> contentType; // only when the element declared a non-empty one
    QByteArray data;                    // decoded bytes
};

class Fb2ByteSource : public IByteSource {
public:
    bool open(const QString& path) override;
    QStringList listEntries() const override;
    // A leading "#" of the name (as in an FB2 link) is ignored.
    QByteArray readEntry(const QString& name) const override;
    QByteArray contentHash() const override { return m_contentHash; }

    // The FictionBook XML bytes as stored (not decoded); empty after a failed open.
    QByteArray xmlData() const { return m_xmlData; }
    bool isZipped() const { return m_zipped; }
    // The reason of the last failed open, empty after a successful one.
    QString errorString() const { return m_errorString; }

private:
    bool openZipped();
    bool openPlain();
    void extractBinaries();

    QString m_path;
    QByteArray m_contentHash;
    QByteArray m_xmlData;
    bool m_zipped = false;
    QStringList m_entries;
    QHash<QString, Fb2Binary> m_binaries;
    QString m_errorString;
};
