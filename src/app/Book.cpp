#include "Book.h"

#include "formats/FormatReader.h"
#include "formats/FormatRegistry.h"
#include "IFileDialogService.h"
#include "images/ImageUrl.h"
#include "sources/FileKind.h"

#include <QFileInfo>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <QtDebug>

namespace {

const QString kNoReader = QStringLiteral("No format reader available for this file type");

// A single image opens the whole folder that holds it, as a comic.
QString normalisedPath(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isDir() && imageFileExtensions().contains(info.suffix().toLower()))
        return info.absolutePath();
    return path;
}

} // namespace

Book::Book(IFileDialogService& dialogs, FormatRegistry& registry, QObject* parent)
    : QObject(parent)
    , m_dialogs(dialogs)
    , m_registry(registry)
{
    connect(&m_dialogs, &IFileDialogService::fileSelected, this, &Book::openFromPath);
}

Book::~Book()
{
    advanceGeneration();
    for (QFuture<void>& task : m_openTasks) {
        task.cancel(); // a task that has not started yet never runs
        task.waitForFinished();
    }
    // Results already posted are discarded with this object's pending events.
}

QString Book::title() const { return m_reader ? m_reader->title() : QString(); }
QString Book::author() const { return m_reader ? m_reader->author() : QString(); }
QString Book::filePath() const { return m_reader ? m_reader->filePath() : QString(); }
QString Book::coverImageUrl() const { return m_reader ? m_reader->coverImageUrl() : QString(); }

void Book::openFromUrl(const QUrl& url)
{
    startOpen(url.toLocalFile());
}

void Book::openFromPath(const QString& path)
{
    startOpen(path);
}

void Book::browseAndOpen()
{
    QStringList extensions = m_registry.supportedExtensions();
    QStringList images = imageFileExtensions().values();
    images.sort();
    for (const QString& image : std::as_const(images)) {
        if (!extensions.contains(image))
            extensions.append(image);
    }
    m_dialogs.open(extensions);
}

void Book::advanceGeneration()
{
    ++m_generation;
    cancelOpening();
}

void Book::cancelOpening()
{
    m_openCancel.cancel();
}

void Book::startOpen(const QString& rawPath)
{
    const QString path = normalisedPath(rawPath);
    if (m_reader)
        Q_EMIT willOpenNewBook();
    advanceGeneration();
    const int generation = m_generation;
    m_openingPath = path;
    if (!m_loading) {
        m_loading = true;
        Q_EMIT loadingChanged();
    }
    if (!m_errorMessage.isEmpty()) {
        m_errorMessage.clear();
        Q_EMIT errorMessageChanged();
    }
    if (m_reader)
        dropReader();

    m_openTasks.removeIf([](const QFuture<void>& task) { return task.isFinished(); });
    qInfo() << "Opening book:" << path;
    m_openCancel = CancelToken::create();
    const FormatRegistry& registry = m_registry;
    m_openTasks.append(QtConcurrent::run(QThreadPool::globalInstance(),
                                         [this, &registry, cancel = m_openCancel, path, generation] {
        // Superseded before it started, its result would be dropped anyway.
        if (!cancel.isCancelled()) {
            const CancelToken::Scope scope(cancel);
            openTask(registry, path, generation);
        }
        // A stage that stopped early may have left a failure or a partial book; either is dropped.
        if (cancel.isCancelled())
            qInfo() << "Book open cancelled:" << path;
    }));
}

// On a pool thread, under the open's cancel token.
void Book::openTask(const FormatRegistry& registry, const QString& path, int generation)
{
    const auto fail = [this, generation, path](const QString& error) {
        QMetaObject::invokeMethod(this, [this, generation, path, error] { onOpenFailed(generation, path, error); },
                                  Qt::QueuedConnection);
    };
    // A pipe would block the open and a device would never end: neither reaches a reader.
    if (FileKind::isSpecial(path))
        return fail(FileKind::refusal(path));
    ReaderHolder reader = std::make_shared<std::unique_ptr<FormatReader>>(registry.createReader(path));
    if (!*reader)
        return fail(kNoReader);
    if (!(*reader)->open(path)) {
        const QString error = (*reader)->errorString();
        reader.reset();
        return fail(error);
    }
    QMetaObject::invokeMethod(this, [this, generation, reader] { onOpenSucceeded(generation, reader); },
                              Qt::QueuedConnection);
}

void Book::onOpenSucceeded(int generation, const ReaderHolder& reader)
{
    if (generation != m_generation)
        return; // the holder deletes the superseded reader
    m_reader = std::move(*reader);
    m_loading = false;
    Q_EMIT loadingChanged();
    Q_EMIT bookChanged();
}

void Book::onOpenFailed(int generation, const QString& path, const QString& error)
{
    if (generation != m_generation)
        return;
    m_loading = false;
    Q_EMIT loadingChanged();
    m_errorMessage = error;
    qWarning() << "Book load failed:" << path << "—" << m_errorMessage;
    Q_EMIT errorMessageChanged();
}

void Book::close()
{
    advanceGeneration();
    if (m_loading) {
        m_loading = false;
        Q_EMIT loadingChanged();
    }
    if (!m_reader)
        return;
    Q_EMIT willCloseBook();
    dropReader();
}

void Book::dropReader()
{
    // Handlers of bookChanged run in no fixed order (the user interface's run before the C++
    // slots), and objects not yet told still hold the reader: it goes once all have been told.
    const std::unique_ptr<FormatReader> outgoing = std::move(m_reader);
    Q_EMIT bookChanged();
}

void Book::clearError()
{
    if (m_errorMessage.isEmpty())
        return;
    m_errorMessage.clear();
    Q_EMIT errorMessageChanged();
}
