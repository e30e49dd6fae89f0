#pragma once

// Asks the user for one book file. The book calls open() with the extensions it can read; the
// choice comes back, at once or later, through fileSelected(); a cancelled dialog reports nothing.
// Behind an interface so the book can be given another service (tests use a fake).
//
// GUI thread only.

#include <QObject>
#include <QString>
#include <QStringList>

class IFileDialogService : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Extensions without dots, for example "epub" or "fb2.zip".
    virtual void open(const QStringList& extensions) = 0;

Q_SIGNALS:
    void fileSelected(QString path);
};
