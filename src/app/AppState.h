#pragma once

// The only gate to the settings store: versions the store as a whole and reads and writes named
// groups and arrays as whole maps. It caches nothing, so every read sees the last write.
//
// GUI thread only (the QSettings it wraps is used from there alone).
//
// Protections the plain QSettings calls would not give:
// - a store that cannot be read at all (no permission, a folder in its place) is left exactly as it
//   is: the run starts from defaults, nothing is written to the store, and the log says so;
// - a damaged store (Qt cannot parse it) is moved aside to a ".corrupt" file and the application
//   starts from defaults, rather than being treated like a store of another version and wiped: the
//   user's data stays on disk for inspection or repair (a damaged store that can be neither moved
//   nor copied is left alone like an unreadable one);
// - atomic synchronisation is required of the QSettings, so Qt writes every sync to a temporary
//   file in the same folder and renames it over the store (QSaveFile without direct-write fallback).
//   A crash mid-write leaves the previous store whole; a folder where no temporary file can be
//   made fails the sync instead of half-writing the store;
// - several processes may share the store: saveShared() runs a save under a lock beside the store,
//   after reading in what the others wrote, so that merges see it and nothing of theirs is lost.

#include <QList>
#include <QString>
#include <QVariantMap>

#include <functional>

class QSettings;

class AppState {
public:
    static constexpr int kVersion = 4;
    // How long a save waits for another process's save on the same store before going ahead.
    static constexpr int kSaveLockWaitMs = 10000;

    enum class SaveOutcome {
        Saved,      // on disk
        NotWritten, // the store could not be written (QSettings reports why only by kind)
        LeftAlone,  // the store could not be read at start, so nothing was written to it
    };

    // Keeps the reference (the caller owns the QSettings and keeps it alive), then checks the store.
    explicit AppState(QSettings& settings);

    QVariantMap loadSection(const QString& group) const;
    // The group holds exactly `values` afterwards (keys and subgroups it had before are removed).
    void saveSection(const QString& group, const QVariantMap& values);
    // Writes what the owner changed in the group since it read `before` from the store (the stored
    // values, and for keys the store lacked, the defaults the owner took instead): keys whose value
    // differs from `before`, or that the store lacks now, take the value of `values`; keys of
    // `before` that `values` lacks are removed; every other key keeps what the store holds now, so a
    // value another process saved in the meantime survives. Without other writers the group ends up
    // holding exactly `values`.
    void saveSectionChanges(const QString& group, const QVariantMap& before, const QVariantMap& values);
    // Every element stored under the array's numbered groups, in index order, whatever the stored
    // size says (a size cut short must not lose the elements that are there); an index with no
    // group is skipped, not read as an empty element.
    QList<QVariantMap> loadArray(const QString& name) const;
    // Replaces the whole array: elements of a longer earlier one are removed.
    void saveArray(const QString& name, const QList<QVariantMap>& elements);

    // Runs `save` as one step against the store on disk. Other processes' saves on the same store
    // wait for it (or it waits for theirs, at most kSaveLockWaitMs); what they wrote is read in
    // first, so that the loads and merges `save` makes see it; what `save` wrote is on disk when
    // this returns. A store left alone is not touched and `save` does not run.
    SaveOutcome saveShared(const std::function<void()>& save);

    // Where a damaged store was moved; empty when the store was readable.
    QString keptAsidePath() const { return m_keptAsidePath; }
    // Whether the store is left as it is (it could not be read at start, or it is damaged and could
    // not be kept aside): nothing is ever written to it.
    bool isLeftAlone() const { return !m_leftAloneBecause.isEmpty(); }
    // What is wrong with a store left alone ("could not be read (Permission denied)"); else empty.
    QString leftAloneBecause() const { return m_leftAloneBecause; }

private:
    void checkVersion();
    // Moves a damaged store aside and starts clean; false when it could be neither moved nor copied.
    bool keepDamagedStoreAside();
    void leaveStoreAlone(const QString& what);

    QSettings& m_settings;
    QString m_keptAsidePath;
    QString m_leftAloneBecause;
};
