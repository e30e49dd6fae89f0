#pragma once

// The one open book: owns at most one FormatReader, opens books on the global thread pool and offers
// the book's metadata, its loading state and its last error to the user interface.
//
// Every member is read and written on the GUI thread; every signal is emitted there. An open task
// runs on a pool thread and touches only the registry (read-only), its own new reader and its
// cancel token; it hands its result back as a queued call, which is dropped when a later open or
// close has moved the generation on. A later open, a close and cancelOpening() also cancel the
// running open, whose stages then stop within a bounded amount of work. The Book keeps every open
// task's future and waits for all of them when destroyed, so no task outlives it (or the registry
// it reads).

#include <QFuture>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include "text/CancelToken.h"

#include <memory>

class FormatReader;
class FormatRegistry;
class IFileDialogService;

class Book : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool hasBook READ hasBook NOTIFY bookChanged FINAL)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged FINAL)
    Q_PROPERTY(QString title READ title NOTIFY bookChanged FINAL)
    Q_PROPERTY(QString author READ author NOTIFY bookChanged FINAL)
    Q_PROPERTY(QString filePath READ filePath NOTIFY bookChanged FINAL)
    Q_PROPERTY(QString coverImageUrl READ coverImageUrl NOTIFY bookChanged FINAL)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged FINAL)
public:
    Book(IFileDialogService& dialogs, FormatRegistry& registry, QObject* parent = nullptr);
    ~Book() override;

    Q_INVOKABLE void openFromUrl(const QUrl& url);
    Q_INVOKABLE void openFromPath(const QString& path);
    // Offers the registry's extensions plus the image extensions; the choice comes back through
    // the dialog's fileSelected() and so through openFromPath().
    Q_INVOKABLE void browseAndOpen();
    Q_INVOKABLE void close();
    Q_INVOKABLE void clearError();
    // Asks the running open to stop, so that a wait for the pool ends soon (teardown); changes no
    // state and emits nothing. Its result, if any, would be dropped.
    void cancelOpening();

    bool hasBook() const { return m_reader != nullptr; }
    bool loading() const { return m_loading; }
    QString title() const;
    QString author() const;
    QString filePath() const;
    // The path being opened while loading() is true; empty otherwise.
    QString openingPath() const { return m_loading ? m_openingPath : QString(); }
    QString coverImageUrl() const;
    QString errorMessage() const { return m_errorMessage; }

    // The installed reader or null; the Book keeps ownership.
    FormatReader* reader() const { return m_reader.get(); }

Q_SIGNALS:
    void willOpenNewBook();
    void willCloseBook();
    void bookChanged();
    void loadingChanged();
    void errorMessageChanged();

private:
    using ReaderHolder = std::shared_ptr<std::unique_ptr<FormatReader>>;

    void startOpen(const QString& path);
    void openTask(const FormatRegistry& registry, const QString& path, int generation);
    void advanceGeneration();
    void dropReader();
    void onOpenSucceeded(int generation, const ReaderHolder& reader);
    void onOpenFailed(int generation, const QString& path, const QString& error);

    IFileDialogService& m_dialogs;
    FormatRegistry& m_registry;
    std::unique_ptr<FormatReader> m_reader;
    QString m_errorMessage;
    bool m_loading = false;
    QString m_openingPath;
    int m_generation = 0;
    // Cancelled whenever m_generation moves on: the open task it was made for is superseded.
    CancelToken m_openCancel;
    QList<QFuture<void>> m_openTasks;
};
