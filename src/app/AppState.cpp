#include "AppState.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QtDebug>

#include <algorithm>
#include <limits>

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

} // namespace

AppState::AppState(QSettings& settings)
    : m_settings(settings)
{
    m_settings.setAtomicSyncRequired(true);
    if (m_settings.status() != QSettings::NoError)
        keepUnreadableStoreAside();
    checkVersion();
}

void AppState::keepUnreadableStoreAside()
{
    const QString storePath = m_settings.fileName();
    if (QFileInfo::exists(storePath)) {
        const QString aside = freeAsidePath(storePath);
        // Rename keeps the bytes exactly; copy is the fallback when the name cannot be moved.
        if (QFile::rename(storePath, aside) || QFile::copy(storePath, aside)) {
            m_keptAsidePath = aside;
            qWarning() << "Settings store could not be read; kept as" << aside << "and starting with defaults";
        } else {
            qWarning() << "Settings store could not be read and could not be kept aside:" << storePath;
        }
    }
    // Whatever part of the file Qt did parse is dropped, so the next sync writes a clean store.
    m_settings.clear();
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
    m_settings.beginGroup(group);
    m_settings.remove(QString());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        m_settings.setValue(it.key(), it.value());
    m_settings.endGroup();
}

QList<QVariantMap> AppState::loadArray(const QString& name) const
{
    // The stored size only cuts off elements left behind by a shorter write of an older version;
    // the walk goes over the element groups that exist, so a size of a hundred million costs
    // nothing. A store cut off inside the array has lost its size line (Qt writes it last): a size
    // that is missing or no count reads every element there is.
    m_settings.beginGroup(name);
    bool sizeIsCount = false;
    int size = m_settings.value(QStringLiteral("size")).toInt(&sizeIsCount);
    if (!sizeIsCount || size < 0)
        size = std::numeric_limits<int>::max();
    QList<int> indices;
    const QStringList groups = m_settings.childGroups();
    for (const QString& group : groups) {
        // Only the names QSettings itself writes ("7", never "07" or "+7").
        const int index = group.toInt();
        if (index >= 1 && index <= size && QString::number(index) == group)
            indices.append(index);
    }
    std::sort(indices.begin(), indices.end());
    QList<QVariantMap> elements;
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
