#pragma once

// The QML image provider "fileicon": "image://fileicon/" + a file path gives the platform's icon for
// that kind of file (the generic file icon when the platform has none for it), drawn at the
// requested size, kDefaultSize when the request does not give both sides.
//
// Synchronous; the engine calls it on the GUI thread for synchronous image elements.

#include <QQuickImageProvider>

class FileIconProvider : public QQuickImageProvider {
public:
    static constexpr QSize kDefaultSize{60, 80};

    FileIconProvider();

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};
