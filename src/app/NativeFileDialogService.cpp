#include "NativeFileDialogService.h"

#include <QFileDialog>

NativeFileDialogService::NativeFileDialogService(QObject* parent)
    : IFileDialogService(parent)
{
}

QString NativeFileDialogService::filterFor(const QStringList& extensions)
{
    QStringList patterns;
    patterns.reserve(extensions.size());
    for (const QString& extension : extensions)
        patterns.append(QStringLiteral("*.") + extension);
    return QStringLiteral("Book files (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(");;All files (*)");
}

void NativeFileDialogService::open(const QStringList& extensions)
{
    const QString path = QFileDialog::getOpenFileName(nullptr, QStringLiteral("Open Book"), QString(),
                                                      filterFor(extensions));
    if (!path.isEmpty())
        Q_EMIT fileSelected(path);
}
