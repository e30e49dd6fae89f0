#include "HistoryModel.h"

#include "AppState.h"
#include "formats/FormatReader.h"
#include "formats/FormatRegistry.h"
#include "sources/FileKind.h"

#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QThreadPool>
#include <QVariantMap>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace {

const QString kArray = QStringLiteral("history");
const QString kFilePath = QStringLiteral("filePath");
const QString kProgress = QStringLiteral("progress");
const QString kLastOpened = QStringLiteral("lastOpened");

using MetadataDelivery = std::function<void(const QString& title, const QString& author, const QString& cover, bool ok)>;

// Runs on a pool thread: a reader of its own, the registry read-only, the result posted back. A
// pipe or a device in the history is never opened: it would hold the thread, and the quit after it.
void metadataTask(const QString& path, const FormatRegistry* registry, const CancelToken& cancel,
                  const MetadataDelivery& deliver)
{
    if (cancel.isCancelled() || FileKind::isSpecial(path))
        return deliver(QString(), QString(), QString(), false);
    const CancelToken::Scope scope(cancel);
    std::unique_ptr<FormatReader> reader = registry->createReader(path);
    const bool ok = reader && reader->loadMetadata(path);
    deliver(ok ? reader->title() : QString(), ok ? reader->author() : QString(),
            ok ? reader->coverImageUrl() : QString(), ok);
}

} // namespace

HistoryModel::HistoryModel(FormatRegistry& registry, QObject* parent)
    : QAbstractListModel(parent)
    , m_registry(registry)
{
}

HistoryModel::~HistoryModel()
{
    cancelMetadataReads();
    for (QFuture<void>& task : m_metadataTasks)
        task.waitForFinished();
    // Results already posted are discarded with this object's pending events.
}

void HistoryModel::cancelMetadataReads()
{
    for (QFuture<void>& task : m_metadataTasks)
        task.cancel(); // a task that has not started never runs
    m_metadataCancel.cancel(); // and a running one stops within its current stage
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_entries.size())
        return QVariant();
    const HistoryEntry& entry = m_entries.at(index.row());
    switch (role) {
    case FilePathRole: return entry.filePath;
    case TitleRole: return entry.title;
    case AuthorRole: return entry.author;
    case FormatRole: return entry.format;
    case ProgressRole: return entry.progress;
    case LastOpenedRole: return entry.lastOpened.isValid() ? entry.lastOpened.toString(Qt::ISODate) : QString();
    case CoverImageUrlRole: return entry.coverImageUrl;
    }
    return QVariant();
}

bool HistoryModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_entries.size())
        return false;
    HistoryEntry& entry = m_entries[index.row()];
    if (role == ProgressRole) {
        entry.progress = value.toDouble();
        Q_EMIT dataChanged(index, index, {ProgressRole});
        return true;
    }
    if (role == LastOpenedRole) {
        const QDateTime time = value.canConvert<QDateTime>() && value.metaType() != QMetaType::fromType<QString>()
            ? value.toDateTime()
            : parseHistoryDate(value.toString());
        if (!time.isValid())
            return false;
        const HistoryEntry copy = entry;
        addOrUpdateBook(copy.filePath, copy.progress, time);
        return true;
    }
    return false;
}

QHash<int, QByteArray> HistoryModel::roleNames() const
{
    static const QHash<int, QByteArray> names{
        {FilePathRole, "filePath"}, {TitleRole, "title"}, {AuthorRole, "author"}, {FormatRole, "format"},
        {ProgressRole, "progress"}, {LastOpenedRole, "lastOpened"}, {CoverImageUrlRole, "coverImageUrl"},
    };
    return names;
}

int HistoryModel::indexOf(const QString& filePath) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).filePath == filePath)
            return int(i);
    }
    return -1;
}

void HistoryModel::addOrUpdateBook(const QString& filePath, double progress, const QDateTime& lastOpened)
{
    if (filePath.isEmpty() || !lastOpened.isValid())
        return;
    const int i = indexOf(filePath);
    if (i >= 0) {
        m_entries[i].progress = progress;
        m_entries[i].lastOpened = lastOpened;
        int j = 0;
        for (qsizetype k = 0; k < m_entries.size(); ++k) {
            if (k == i)
                continue;
            if (m_entries.at(k).lastOpened < lastOpened)
                break;
            ++j;
        }
        if (j != i) {
            beginMoveRows(QModelIndex(), i, i, QModelIndex(), j > i ? j + 1 : j);
            m_entries.move(i, j);
            endMoveRows();
        }
        Q_EMIT dataChanged(index(j), index(j), {ProgressRole, LastOpenedRole});
        return;
    }
    m_removedPaths.remove(filePath); // opened again after a removal: it belongs to the history again
    HistoryEntry entry;
    entry.filePath = filePath;
    entry.progress = progress;
    entry.lastOpened = lastOpened;
    entry.format = formatLabelForPath(filePath);
    int j = 0;
    while (j < m_entries.size() && !(m_entries.at(j).lastOpened < lastOpened))
        ++j;
    beginInsertRows(QModelIndex(), j, j);
    m_entries.insert(j, entry);
    endInsertRows();
    Q_EMIT countChanged();
    requestMetadata(filePath);
}

void HistoryModel::addOrUpdateBook(const QString& filePath, double progress, const QString& lastOpened)
{
    const QDateTime time = parseHistoryDate(lastOpened);
    if (time.isValid())
        addOrUpdateBook(filePath, progress, time);
}

void HistoryModel::addOrUpdateBook(const QString& filePath, double progress)
{
    if (progress < 0) {
        const int i = indexOf(filePath);
        if (i >= 0)
            progress = m_entries.at(i).progress;
        progress = std::max(progress, 0.0);
    }
    addOrUpdateBook(filePath, progress, QDateTime::currentDateTimeUtc());
}

void HistoryModel::removeBook(const QString& filePath)
{
    const int i = indexOf(filePath);
    if (i < 0)
        return;
    beginRemoveRows(QModelIndex(), i, i);
    m_entries.removeAt(i);
    m_removedPaths.insert(filePath);
    endRemoveRows();
    Q_EMIT countChanged();
}

void HistoryModel::clear()
{
    if (m_entries.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, int(m_entries.size()) - 1);
    for (const HistoryEntry& entry : std::as_const(m_entries))
        m_removedPaths.insert(entry.filePath);
    m_entries.clear();
    endRemoveRows();
    Q_EMIT countChanged();
}

QList<HistoryEntry> HistoryModel::storedEntries(const AppState& state)
{
    QList<HistoryEntry> entries;
    QSet<QString> seen;
    for (const QVariantMap& element : state.loadArray(kArray)) {
        const QString path = element.value(kFilePath).toString();
        if (path.isEmpty() || seen.contains(path))
            continue;
        const QDateTime time = parseHistoryDate(element.value(kLastOpened).toString());
        if (!time.isValid())
            continue;
        seen.insert(path);
        HistoryEntry entry;
        entry.filePath = path;
        const double progress = element.value(kProgress, 0.0).toDouble();
        entry.progress = std::isfinite(progress) ? std::clamp(progress, 0.0, 1.0) : 0.0; // "nan" is a number to Qt
        entry.lastOpened = time;
        entry.format = formatLabelForPath(path);
        entries.append(entry);
    }
    sortNewestFirst(entries);
    return entries;
}

void HistoryModel::sortNewestFirst(QList<HistoryEntry>& entries)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const HistoryEntry& a, const HistoryEntry& b) { return a.lastOpened > b.lastOpened; });
}

void HistoryModel::load(AppState& state)
{
    const QList<HistoryEntry> entries = storedEntries(state);
    beginResetModel();
    m_entries = entries;
    m_removedPaths.clear();
    endResetModel();
    Q_EMIT countChanged();
    for (const HistoryEntry& entry : std::as_const(m_entries))
        requestMetadata(entry.filePath);
}

void HistoryModel::save(AppState& state) const
{
    // Another instance on the same store may have saved since this one loaded: its books stay,
    // and of a book both know, the later opening wins. Only the user's removals here drop one.
    // Rows are found by path through an index, so a long history merges in linear time.
    QList<HistoryEntry> merged = m_entries;
    QHash<QString, qsizetype> rowOfPath;
    rowOfPath.reserve(merged.size());
    for (qsizetype i = 0; i < merged.size(); ++i)
        rowOfPath.insert(merged.at(i).filePath, i);
    for (const HistoryEntry& stored : storedEntries(state)) {
        if (m_removedPaths.contains(stored.filePath))
            continue;
        const auto known = rowOfPath.constFind(stored.filePath);
        if (known == rowOfPath.cend()) {
            rowOfPath.insert(stored.filePath, merged.size());
            merged.append(stored);
        } else if (stored.lastOpened > merged.at(known.value()).lastOpened) {
            HistoryEntry& entry = merged[known.value()];
            entry.progress = stored.progress;
            entry.lastOpened = stored.lastOpened;
        }
    }
    sortNewestFirst(merged);
    QList<QVariantMap> elements;
    elements.reserve(merged.size());
    for (const HistoryEntry& entry : std::as_const(merged)) {
        elements.append({{kFilePath, entry.filePath},
                         {kProgress, entry.progress},
                         {kLastOpened, entry.lastOpened.toString(Qt::ISODate)}});
    }
    state.saveArray(kArray, elements);
}

QString HistoryModel::filePath(int row) const
{
    return row >= 0 && row < m_entries.size() ? m_entries.at(row).filePath : QString();
}

double HistoryModel::progress(int row) const
{
    return row >= 0 && row < m_entries.size() ? m_entries.at(row).progress : 0.0;
}

QDateTime HistoryModel::lastOpened(int row) const
{
    return row >= 0 && row < m_entries.size() ? m_entries.at(row).lastOpened : QDateTime();
}

void HistoryModel::requestMetadata(const QString& path)
{
    m_metadataTasks.erase(std::remove_if(m_metadataTasks.begin(), m_metadataTasks.end(),
                                         [](const QFuture<void>& task) { return task.isFinished(); }),
                          m_metadataTasks.end());
    // The model waits for its tasks when destroyed, so it is alive while a task posts; a call still
    // queued when the model goes is dropped with it.
    MetadataDelivery deliver = [model = this, path](const QString& title, const QString& author, const QString& cover, bool ok) {
        QMetaObject::invokeMethod(model, [self = QPointer<HistoryModel>(model), path, title, author, cover, ok] {
            if (self)
                self->onMetadataLoaded(path, title, author, cover, ok);
        }, Qt::QueuedConnection);
    };
    m_metadataTasks.append(QtConcurrent::run(QThreadPool::globalInstance(), metadataTask, path, &m_registry,
                                             m_metadataCancel, deliver));
}

void HistoryModel::onMetadataLoaded(const QString& path, const QString& title, const QString& author,
                                    const QString& cover, bool ok)
{
    if (!ok)
        return;
    const int i = indexOf(path);
    if (i < 0)
        return;
    m_entries[i].title = title;
    m_entries[i].author = author;
    m_entries[i].coverImageUrl = cover;
    Q_EMIT dataChanged(index(i), index(i), {TitleRole, AuthorRole, CoverImageUrlRole});
}

QDateTime HistoryModel::parseHistoryDate(const QString& text)
{
    if (text.isEmpty())
        return QDateTime();
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (time.isValid())
        return time;
    const QDate date = QDate::fromString(text, Qt::ISODate);
    return date.isValid() ? date.startOfDay() : QDateTime();
}

QString HistoryModel::formatLabelForPath(const QString& path)
{
    if (QFileInfo(path).isDir())
        return QStringLiteral("Folder");
    if (path.endsWith(QLatin1String(".fb2.zip"), Qt::CaseInsensitive))
        return QStringLiteral("FB2");
    if (path.endsWith(QLatin1String(".fbz"), Qt::CaseInsensitive))
        return QStringLiteral("FBZ");
    if (path.endsWith(QLatin1String(".fb2"), Qt::CaseInsensitive))
        return QStringLiteral("FB2");
    return path.section(QLatin1Char('.'), -1).toUpper();
}
