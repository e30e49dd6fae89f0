#pragma once

// The only gate to the settings store: versions the store as a whole and reads and writes named
// groups and arrays as whole maps. It caches nothing, so every read sees the last write.
//
// GUI thread only (the QSettings it wraps is used from there alone).
//
// Two protections the plain QSettings calls would not give:
// - a store Qt cannot read (a format or access error when it was opened) is moved aside to a
//   ".corrupt" file and the application starts from defaults, rather than being treated like a store
//   of another version and wiped: the user's data stays on disk for inspection or repair;
// - atomic synchronisation is required of the QSettings, so Qt writes every sync to a temporary
//   file in the same folder and renames it over the store (QSaveFile without direct-write fallback).
//   A crash mid-write leaves the previous store whole; a folder where no temporary file can be
//   made fails the sync instead of half-writing the store.

#include <QList>
#include <QString>
#include <QVariantMap>

class QSettings;

class AppState {
public:
    static constexpr int kVersion = 4;

    // Keeps the reference (the caller owns the QSettings and keeps it alive), then checks the store.
    explicit AppState(QSettings& settings);

    QVariantMap loadSection(const QString& group) const;
    // The group holds exactly `values` afterwards (keys and subgroups it had before are removed).
    void saveSection(const QString& group, const QVariantMap& values);
    // The elements stored under the array's numbered groups up to its stored size (all of them when
    // the size is missing or not a count), in index order; an index with no group is skipped, not
    // read as an empty element.
    QList<QVariantMap> loadArray(const QString& name) const;
    // Replaces the whole array: elements of a longer earlier one are removed.
    void saveArray(const QString& name, const QList<QVariantMap>& elements);

    // Where an unreadable store is moved; empty when the store was readable.
    QString keptAsidePath() const { return m_keptAsidePath; }

private:
    void checkVersion();
    void keepUnreadableStoreAside();

    QSettings& m_settings;
    QString m_keptAsidePath;
};
