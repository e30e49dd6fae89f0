#pragma once

// The reading history: one row per book path, newest first, with the reading progress, the time
// it was last opened, a format label, and the title, author and cover read from the book in the
// background. Persists as the settings array "history" (filePath, progress, lastOpened).
//
// The model lives on the GUI thread. Only the metadata tasks run on the global pool: they use the
// registry (read-only) and a reader of their own, and hand their result back as a queued call. The
// destructor cancels the tasks that have not started and waits for the rest, so none outlives the
// model or the registry.

#include <QAbstractListModel>
#include <QDateTime>
#include <QFuture>
#include <QList>
#include <QSet>
#include <QString>

#include "text/CancelToken.h"

class AppState;
class FormatRegistry;

struct HistoryEntry {
    QString filePath;       // identity of the row, compared exactly
    double progress = 0.0;  // 0..1
    QDateTime lastOpened;   // always valid for a row
    QString title;          // from the book's metadata, empty until read
    QString author;
    QString format;         // formatLabelForPath(filePath)
    QString coverImageUrl;
};

class HistoryModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged FINAL)
public:
    enum HistoryRoles {
        FilePathRole = Qt::UserRole + 1, // 257
        TitleRole,
        AuthorRole,
        FormatRole,
        ProgressRole,
        LastOpenedRole,
        CoverImageUrlRole,
    };

    explicit HistoryModel(FormatRegistry& registry, QObject* parent = nullptr);
    ~HistoryModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return rowCount(); }

    // Records a book: updates and moves its row, or inserts a new one (and reads its metadata),
    // keeping the rows newest first; a row placed at a time equal to others goes after them. An
    // empty path or an invalid time changes nothing.
    Q_INVOKABLE void addOrUpdateBook(const QString& filePath, double progress, const QDateTime& lastOpened);
    Q_INVOKABLE void addOrUpdateBook(const QString& filePath, double progress, const QString& lastOpened);
    // Stamped with the current UTC time; a negative progress keeps the stored one (0 for a new row).
    Q_INVOKABLE void addOrUpdateBook(const QString& filePath, double progress);
    Q_INVOKABLE void removeBook(const QString& filePath);
    Q_INVOKABLE void clear();

    // Replaces the rows with the stored array (bad or duplicate elements dropped, progress clamped
    // to 0..1) and reads every row's metadata.
    void load(AppState& state);
    // Writes the rows merged with what the store holds now (another instance may have saved since
    // the load): books only the store knows are kept unless removed here, and of a book both know
    // the later lastOpened wins. The model's own rows do not change.
    void save(AppState& state) const;

    QString filePath(int row) const;
    double progress(int row) const;
    QDateTime lastOpened(int row) const;

    // Starts the background read of one book's title, author and cover.
    void requestMetadata(const QString& path);
    // Teardown, before the global pool is drained: reads not started yet never run; running ones
    // stop within their current stage (what they deliver is marked failed or is incomplete, and
    // is never shown). Does not wait.
    void cancelMetadataReads();

    // An ISO 8601 date-time, else an ISO date at local midnight, else invalid.
    static QDateTime parseHistoryDate(const QString& text);
    // "Folder", "FB2", "FBZ", or the upper-cased text after the path's last ".".
    static QString formatLabelForPath(const QString& path);

Q_SIGNALS:
    void countChanged();

private:
    int indexOf(const QString& filePath) const;
    // The stored array's valid elements, newest first.
    static QList<HistoryEntry> storedEntries(const AppState& state);
    static void sortNewestFirst(QList<HistoryEntry>& entries);
    void onMetadataLoaded(const QString& path, const QString& title, const QString& author,
                          const QString& cover, bool ok);

    QList<HistoryEntry> m_entries;
    FormatRegistry& m_registry;
    // Shared by every metadata read; set once, at teardown.
    CancelToken m_metadataCancel = CancelToken::create();
    QList<QFuture<void>> m_metadataTasks;
    // Removed by the user since the load (and not recorded again): a save leaves them out even when
    // the store still holds them.
    QSet<QString> m_removedPaths;
};
