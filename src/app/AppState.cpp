#include "AppState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QtDebug>

#include <algorithm>

namespace {

const QString kVersionKey = QStringLiteral("version");

// ".corrupt", then ".corrupt-2", ... so an older kept-aside store is never overwritten.
QString freeAsidePath(const QString& storePath)
{
    QString candidate = storePath + QStringLiteral(".corrupt");
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = storePath + QStringLiteral(".corrupt-%1").arg(n);
    return candidate;
}

// QSettings tells only that the store could not be opened; the file system tells why.
QString whyStoreIsUnreadable(const QString& storePath)
{
    if (QFileInfo(storePath).isDir())
        return QStringLiteral("its path is a folder");
    QFile file(storePath);
    if (file.open(QIODevice::ReadOnly))
        return QStringLiteral("it could not be opened");
    return file.errorString().isEmpty() ? QStringLiteral("it could not be opened") : file.errorString();
}

// Values read back from an INI file are mostly text, the owners' values are typed: 16 and "16"
// are the same stored value.
bool sameStoredValue(const QVariant& stored, const QVariant& value)
{
    if (stored == value)
        return true;
    return stored.canConvert<QString>() && value.canConvert<QString>() && stored.metaType() != value.metaType()
        && stored.toString() == value.toString();
}

} // namespace

AppState::AppState(QSettings& settings)
    : m_settings(settings)
{
    m_settings.setAtomicSyncRequired(true);
    if (m_settings.status() == QSettings::AccessError) {
        leaveStoreAlone(QStringLiteral("could not be read (%1)").arg(whyStoreIsUnreadable(m_settings.fileName())));
        return;
    }
    if (m_settings.status() == QSettings::FormatError && !keepDamagedStoreAside()) {
        leaveStoreAlone(QStringLiteral("is damaged and could not be kept aside"));
        return;
    }
    checkVersion();
}

void AppState::leaveStoreAlone(const QString& what)
{
    // Not ours to repair or replace: a permission or a folder in the way is the user's to fix, and
    // the data behind it must still be there when they do.
    m_leftAloneBecause = what;
    qWarning().noquote() << QStringLiteral("Settings store %1 %2; it is left as it is, and this run starts from "
                                           "defaults and saves nothing").arg(m_settings.fileName(), what);
}

bool AppState::keepDamagedStoreAside()
{
    const QString storePath = m_settings.fileName();
    const QString aside = freeAsidePath(storePath);
    // Rename keeps the bytes exactly; copy is the fallback when the name cannot be moved.
    if (!QFile::rename(storePath, aside) && !QFile::copy(storePath, aside))
        return false;
    m_keptAsidePath = aside;
    qWarning().noquote() << "Settings store" << storePath << "is damaged; kept as" << aside << "and starting with defaults";
    // Whatever part of the file Qt did parse is dropped, so the next sync writes a clean store.
    m_settings.clear();
    return true;
}

void AppState::checkVersion()
{
    if (m_settings.value(kVersionKey, QVariant(0)).toInt() == kVersion)
        return;
    m_settings.clear();
    m_settings.setValue(kVersionKey, kVersion);
}

QVariantMap AppState::loadSection(const QString& group) const
{
    QVariantMap values;
    m_settings.beginGroup(group);
    const QStringList keys = m_settings.childKeys();
    for (const QString& key : keys)
        values.insert(key, m_settings.value(key));
    m_settings.endGroup();
    return values;
}

void AppState::saveSection(const QString& group, const QVariantMap& values)
{
    if (isLeftAlone())
        return;
    m_settings.beginGroup(group);
    m_settings.remove(QString());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        m_settings.setValue(it.key(), it.value());
    m_settings.endGroup();
}

void AppState::saveSectionChanges(const QString& group, const QVariantMap& before, const QVariantMap& values)
{
    if (isLeftAlone())
        return;
    m_settings.beginGroup(group);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!values.contains(it.key()))
            m_settings.remove(it.key());
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const auto was = before.constFind(it.key());
        const bool changed = was == before.cend() || !sameStoredValue(was.value(), it.value());
        if (changed || !m_settings.contains(it.key()))
            m_settings.setValue(it.key(), it.value());
    }
    m_settings.endGroup();
}

QList<QVariantMap> AppState::loadArray(const QString& name) const
{
    // The walk goes over the element groups that exist, so a size of a hundred million costs
    // nothing, and a size that is missing, broken or too small (a store cut off inside the array,
    // or edited by hand) loses none of them.
    m_settings.beginGroup(name);
    QList<int> indices;
    const QStringList groups = m_settings.childGroups();
    for (const QString& group : groups) {
        // Only the names QSettings itself writes ("7", never "07" or "+7").
        const int index = group.toInt();
        if (index >= 1 && QString::number(index) == group)
            indices.append(index);
    }
    std::sort(indices.begin(), indices.end());
    QList<QVariantMap> elements;
    elements.reserve(indices.size());
    for (int index : std::as_const(indices)) {
        m_settings.beginGroup(QString::number(index));
        QVariantMap element;
        const QStringList keys = m_settings.childKeys();
        for (const QString& key : keys)
            element.insert(key, m_settings.value(key));
        elements.append(element);
        m_settings.endGroup();
    }
    m_settings.endGroup();
    return elements;
}

void AppState::saveArray(const QString& name, const QList<QVariantMap>& elements)
{
    if (isLeftAlone())
        return;
    // Elements of a longer earlier array go, so what the store holds is exactly what it says.
    m_settings.remove(name);
    m_settings.beginWriteArray(name, int(elements.size()));
    for (int i = 0; i < elements.size(); ++i) {
        m_settings.setArrayIndex(i);
        const QVariantMap& element = elements.at(i);
        for (auto it = element.cbegin(); it != element.cend(); ++it)
            m_settings.setValue(it.key(), it.value());
    }
    m_settings.endArray();
}

AppState::SaveOutcome AppState::saveShared(const std::function<void()>& save)
{
    if (isLeftAlone())
        return SaveOutcome::LeftAlone;
    const QString storePath = m_settings.fileName();
    // The lock lives beside the store (QSettings' own ".lock" is taken inside each sync, so it
    // cannot be held around two of them); its folder may not exist yet on a first run.
    QDir().mkpath(QFileInfo(storePath).absolutePath());
    QLockFile lock(storePath + QStringLiteral(".save-lock"));
    if (!lock.tryLock(kSaveLockWaitMs) && lock.error() == QLockFile::LockFailedError) {
        qWarning().noquote() << "Another process kept the settings store" << storePath << "locked for"
                             << kSaveLockWaitMs << "ms; saving without waiting longer";
    }
    // An error of an earlier sync sticks to the QSettings, so only a clean start tells this one.
    const bool cleanBefore = m_settings.status() == QSettings::NoError;
    // QSettings serves reads from its copy of the file as it last read it; this sync reads in what
    // other processes saved since (and writes this one's pending changes, such as positions).
    m_settings.sync();
    save();
    m_settings.sync();
    return cleanBefore && m_settings.status() == QSettings::NoError ? SaveOutcome::Saved : SaveOutcome::NotWritten;
}
