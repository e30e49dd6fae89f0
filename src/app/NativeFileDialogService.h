#pragma once

// The platform's modal file-open dialog. GUI thread only.

#include "IFileDialogService.h"

class NativeFileDialogService : public IFileDialogService {
    Q_OBJECT
public:
    explicit NativeFileDialogService(QObject* parent = nullptr);

    // Blocks in the modal dialog; emits fileSelected() unless the user cancelled.
    void open(const QStringList& extensions) override;

    // "Book files (*.a *.b);;All files (*)" for the extensions in the given order.
    static QString filterFor(const QStringList& extensions);
};
