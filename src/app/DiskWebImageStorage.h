#pragma once

// The disk cache of remote images: one file per URL, named by the SHA-256 of the URL (lower-case
// hex), in one folder, by default "web-images" in the platform's cache location.
//
// Thread-safe: one lock guards the files, so a reader never sees a file half written; a write goes
// to a temporary file in the same folder that is renamed over the old one, so a crash or a full disk
// leaves the previous file whole. Shared (by reference count) between start-up and the web image
// provider.

#include <QByteArray>
#include <QMutex>
#include <QString>

class DiskWebImageStorage {
public:
    // "web-images" in the standard cache location (call after the application name is set).
    DiskWebImageStorage();
    explicit DiskWebImageStorage(QString folder);

    QString folder() const { return m_folder; }
    // Where the bytes of `url` are kept; empty without a folder.
    QString pathFor(const QString& url) const;

    // Empty when nothing is stored or the file cannot be read.
    QByteArray load(const QString& url) const;
    // False when the folder or the file cannot be written; the previous file is then unchanged.
    bool store(const QString& url, const QByteArray& bytes);
    void remove(const QString& url);

private:
    QString m_folder;
    mutable QMutex m_mutex;
};
