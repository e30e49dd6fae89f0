#include "AppState.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

class TestAppState : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    int m_counter = 0;

    QString freshPath() { return m_dir.filePath(QStringLiteral("store%1.ini").arg(++m_counter)); }

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void versionCheck_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QStringList>("keysAfter");
        QTest::newRow("empty store") << QByteArray() << QStringList{"version"};
        QTest::newRow("version 3 with content") << QByteArray("version=3\n[reading]\nfontSize=20\n[history]\n1\\filePath=/a\nsize=1\n")
                                                << QStringList{"version"};
        QTest::newRow("version not a number") << QByteArray("version=abc\n[ui]\nthemeName=light\n") << QStringList{"version"};
        QTest::newRow("version 4 untouched") << QByteArray("version=4\n[ui]\nthemeName=light\n")
                                             << QStringList{"ui/themeName", "version"};
    }
    void versionCheck()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QStringList, keysAfter);
        const QString path = freshPath();
        if (!stored.isEmpty())
            writeFile(path, stored);
        QSettings settings(path, QSettings::IniFormat);
        AppState state(settings);
        QStringList keys = settings.allKeys();
        keys.sort();
        QCOMPARE(keys, keysAfter);
        QCOMPARE(settings.value("version").toInt(), 4);
        QVERIFY(state.keptAsidePath().isEmpty());
    }

    // A store Qt cannot parse is not wiped: its bytes are kept next to it and the run starts clean.
    void unreadableStoreIsKeptAside()
    {
        const QString path = freshPath();
        const QByteArray damaged("version=4\n[ui\nlastFilePath=/books/a.epub\n");
        writeFile(path, damaged);
        writeFile(path + ".corrupt", "older"); // an earlier kept-aside store survives too
        {
            QSettings settings(path, QSettings::IniFormat);
            QCOMPARE(settings.status(), QSettings::FormatError);
            AppState state(settings);
            QCOMPARE(state.keptAsidePath(), path + ".corrupt-2");
            QCOMPARE(settings.allKeys(), QStringList{"version"});
            QVERIFY(state.loadSection("ui").isEmpty());
        }
        QCOMPARE(readFile(path + ".corrupt-2"), damaged);
        QCOMPARE(readFile(path + ".corrupt"), QByteArray("older"));
        QSettings reopened(path, QSettings::IniFormat);
        QCOMPARE(reopened.status(), QSettings::NoError);
        QCOMPARE(reopened.allKeys(), QStringList{"version"});
        QCOMPARE(reopened.value("version").toInt(), 4);
    }

#ifdef Q_OS_UNIX
    // Each sync writes a new file and renames it over the store, so the store is replaced whole.
    void writesReplaceTheFileAtomically()
    {
        const QString path = freshPath();
        QSettings settings(path, QSettings::IniFormat);
        AppState state(settings);
        QVERIFY(settings.isAtomicSyncRequired());
        settings.sync();
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
        state.saveSection("window", {{"width", 800}});
        settings.sync();
        QCOMPARE(settings.status(), QSettings::NoError);
        struct stat after {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &after), 0);
        QVERIFY(before.st_ino != after.st_ino);
        QVERIFY(readFile(path).contains("width=800"));
    }
#endif

    void saveSectionReplacesTheGroup()
    {
        QSettings settings(freshPath(), QSettings::IniFormat);
        AppState state(settings);
        settings.setValue("window/width", 1);
        settings.setValue("window/height", 2);
        settings.setValue("window/sub/key", 3);
        state.saveSection("window", {{"width", 800}});
        QCOMPARE(state.loadSection("window"), (QVariantMap{{"width", 800}}));
        QVERIFY(!settings.contains("window/sub/key"));
        state.saveSection("window", {});
        QVERIFY(state.loadSection("window").isEmpty());
        QCOMPARE(settings.allKeys(), QStringList{"version"});
    }

    // Only what the owner changed since it read the group is written: what another process saved
    // in the meantime stays unless the owner changed that very key.
    void saveSectionChangesKeepsOthersSaves_data()
    {
        QTest::addColumn<QVariantMap>("before");
        QTest::addColumn<QVariantMap>("storedNow");
        QTest::addColumn<QVariantMap>("values");
        QTest::addColumn<QVariantMap>("after");
        const QVariantMap one{{"a", 1}};
        QTest::newRow("a key another process added") << one << QVariantMap{{"a", 1}, {"b", 2}} << one << QVariantMap{{"a", 1}, {"b", 2}};
        QTest::newRow("a key only another process changed") << one << QVariantMap{{"a", 5}} << one << QVariantMap{{"a", 5}};
        QTest::newRow("a key both changed") << one << QVariantMap{{"a", 5}} << QVariantMap{{"a", 7}} << QVariantMap{{"a", 7}};
        QTest::newRow("a key the owner dropped") << QVariantMap{{"a", 1}, {"c", 3}} << QVariantMap{{"a", 1}, {"c", 3}} << one << one;
        QTest::newRow("a new key") << QVariantMap() << QVariantMap() << one << one;
        // `before` holds the default the owner took for a key the store lacked.
        QTest::newRow("a default the store lacks") << one << QVariantMap() << one << one;
        // Read back from the file, numbers are text.
        QTest::newRow("stored text, typed value") << QVariantMap{{"a", "16"}, {"d", "true"}} << QVariantMap{{"a", 20}, {"d", false}}
                                                  << QVariantMap{{"a", 16}, {"d", true}} << QVariantMap{{"a", 20}, {"d", false}};
    }
    void saveSectionChangesKeepsOthersSaves()
    {
        QFETCH(QVariantMap, before);
        QFETCH(QVariantMap, storedNow);
        QFETCH(QVariantMap, values);
        QFETCH(QVariantMap, after);
        QSettings settings(freshPath(), QSettings::IniFormat);
        AppState state(settings);
        state.saveSection("reading", storedNow);
        state.saveSectionChanges("reading", before, values);
        QCOMPARE(state.loadSection("reading"), after);
    }

    void loadSectionReadsDirectKeysOnly()
    {
        QSettings settings(freshPath(), QSettings::IniFormat);
        AppState state(settings);
        settings.setValue("saved-progress/00ab/chunkIndex", 3);
        QVERIFY(state.loadSection("saved-progress").isEmpty());
        QVERIFY(state.loadSection("missing").isEmpty());
        QCOMPARE(state.loadSection("saved-progress/00ab"), (QVariantMap{{"chunkIndex", 3}}));
    }

    void arrays()
    {
        const QString path = freshPath();
        {
            QSettings settings(path, QSettings::IniFormat);
            AppState state(settings);
            QList<QVariantMap> five;
            for (int i = 0; i < 5; ++i)
                five.append({{"filePath", QStringLiteral("/b%1").arg(i)}, {"progress", i / 10.0}});
            state.saveArray("history", five);
            state.saveArray("history", {five.at(3), five.at(4)});
            QVERIFY(state.loadArray("missing").isEmpty());
        }
        // Through the file, as the next run reads it.
        QSettings settings(path, QSettings::IniFormat);
        AppState state(settings);
        const QList<QVariantMap> loaded = state.loadArray("history");
        QCOMPARE(loaded.size(), 2);
        QCOMPARE(loaded.at(0).value("filePath").toString(), QStringLiteral("/b3"));
        QCOMPARE(loaded.at(1).value("progress").toDouble(), 0.4);
        QVERIFY(!settings.contains("history/5/filePath")); // nothing left behind to come back
    }

    // A flipped digit in the stored size, gaps, names QSettings never writes: every element group
    // that exists is read, in index order, whatever the stored size says.
    void arraysReadOnlyTheElementsThatExist_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("size of a hundred million") << QByteArray("[history]\n1\\filePath=/a\n2\\filePath=/b\nsize=99999999\n")
                                                   << QStringList{"/a", "/b"};
        QTest::newRow("gaps and order") << QByteArray("[history]\n7\\filePath=/g\n2\\filePath=/b\n10\\filePath=/j\nsize=12\n")
                                        << QStringList{"/b", "/g", "/j"};
        // A size too small (cut short, edited by hand) loses none of the elements there are.
        QTest::newRow("more than the size") << QByteArray("[history]\n1\\filePath=/a\n3\\filePath=/c\nsize=2\n")
                                            << QStringList{"/a", "/c"};
        QTest::newRow("size 2 of 5") << QByteArray("[history]\n1\\filePath=/a\n2\\filePath=/b\n3\\filePath=/c\n"
                                                   "4\\filePath=/d\n5\\filePath=/e\nsize=2\n")
                                     << QStringList{"/a", "/b", "/c", "/d", "/e"};
        QTest::newRow("names Qt does not write") << QByteArray("[history]\n01\\filePath=/x\n0\\filePath=/y\n-1\\filePath=/z\n+2\\filePath=/w\n1\\filePath=/a\nsize=3\n")
                                                 << QStringList{"/a"};
        // A store cut off inside the array: its size line (written last) is gone or broken.
        QTest::newRow("no size") << QByteArray("[history]\n1\\filePath=/a\n2\\filePath=/b\n") << QStringList{"/a", "/b"};
        QTest::newRow("size cut short") << QByteArray("[history]\n1\\filePath=/a\nsize=\n") << QStringList{"/a"};
        QTest::newRow("size not a count") << QByteArray("[history]\n1\\filePath=/a\nsize=2x\n") << QStringList{"/a"};
        QTest::newRow("negative size") << QByteArray("[history]\n1\\filePath=/a\nsize=-4\n") << QStringList{"/a"};
    }
    void arraysReadOnlyTheElementsThatExist()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QStringList, paths);
        const QString path = freshPath();
        writeFile(path, "version=4\n" + stored);
        QSettings settings(path, QSettings::IniFormat);
        AppState state(settings);
        QStringList loaded;
        for (const QVariantMap& element : state.loadArray("history"))
            loaded.append(element.value("filePath").toString());
        QCOMPARE(loaded, paths);
    }
};

QTEST_GUILESS_MAIN(TestAppState)
#include "tst_appstate.moc"
