// Runs the application itself, off screen, over a settings store and cache in a temporary home.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

// One run of the program: started in `folder`, told to stop by SIGTERM once `until` appears in its
// output (or the deadline passes), then waited for.
struct Run {
    QString output;
    int exitCode = -100;
    bool sawLine = false;
    qint64 quitMs = -1; // from SIGTERM to the end of the process
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(home->path()).mkpath(QStringLiteral("books")));
        writeFile(QStringLiteral("books/tale.txt"), "Chapter One\n\nThe lamp was lit at dusk.\n\nChapter Two\n\nIt burned all night.\n");
    }

    void opensTheBookAndSavesOnQuit()
    {
        const Run run = start({QStringLiteral("books/tale.txt")}, QStringLiteral("[qml] Opened "));
        QVERIFY2(run.sawLine, qPrintable(run.output));
        QCOMPARE(run.exitCode, 0);
        const QRegularExpression apiLine(QStringLiteral(
            "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[INFO\\] (\\[main\\.cpp:\\d+\\] )?Rendering API: \\S+"),
            QRegularExpression::MultilineOption);
        QVERIFY2(apiLine.match(run.output).hasMatch(), qPrintable(run.output));
        QVERIFY2(run.output.contains(QStringLiteral("Settings saved to: \"") + storePath() + QLatin1Char('"')), qPrintable(run.output));
        // The window's first image request reached the "web" provider, and QML had nothing to say.
        QVERIFY2(!run.output.contains(QStringLiteral("Invalid image provider")), qPrintable(run.output));
        const QRegularExpression qmlWarning(QStringLiteral("\\[WARNING\\] \\[(qml|qt\\.|[^\\]]*\\.qml:)"));
        QVERIFY2(!qmlWarning.match(run.output).hasMatch(), qPrintable(run.output));

        const QString book = QDir(home->path()).canonicalPath() + QStringLiteral("/books/tale.txt");
        QSettings store(storePath(), QSettings::IniFormat);
        QCOMPARE(store.value(QStringLiteral("version")).toInt(), 4);
        QCOMPARE(store.value(QStringLiteral("ui/lastFilePath")).toString(), book);
        QCOMPARE(store.beginReadArray(QStringLiteral("history")), 1);
        store.setArrayIndex(0);
        QCOMPARE(store.value(QStringLiteral("filePath")).toString(), book);
        store.endArray();
        store.beginGroup(QStringLiteral("saved-progress"));
        QCOMPARE(store.childGroups().size(), 1);
        store.endGroup();

        // The next run, from another folder, reopens it from the store.
        const Run again = start({}, QStringLiteral("[qml] Opened ") + book);
        QVERIFY2(again.sawLine, qPrintable(again.output));
        QCOMPARE(again.exitCode, 0);
    }

    void badInputStillStartsAndQuits_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("seenLine");
        QTest::newRow("missing book") << QStringList{QStringLiteral("books/none.epub")} << QStringLiteral("Rendering API: ");
        QTest::newRow("truncated comic") << QStringList{QStringLiteral("books/broken.cbz")} << QStringLiteral("Book load failed:");
        QTest::newRow("unknown format") << QStringList{QStringLiteral("books/notes.doc")} << QStringLiteral("Book load failed:");
    }
    void badInputStillStartsAndQuits()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, seenLine);
        writeFile(QStringLiteral("books/broken.cbz"), QByteArray("PK\x03\x04", 4) + QByteArray(100, 'z'));
        writeFile(QStringLiteral("books/notes.doc"), "not a book");
        // A history entry whose file is gone.
        {
            QSettings seed(storePath(), QSettings::IniFormat);
            seed.setValue(QStringLiteral("version"), 4);
            seed.beginWriteArray(QStringLiteral("history"));
            seed.setArrayIndex(0);
            seed.setValue(QStringLiteral("filePath"), home->filePath(QStringLiteral("books/gone.txt")));
            seed.setValue(QStringLiteral("progress"), 0.5);
            seed.setValue(QStringLiteral("lastOpened"), QStringLiteral("2024-01-01T10:00:00Z"));
            seed.endArray();
        }
        const Run run = start(arguments, seenLine);
        QVERIFY2(run.sawLine, qPrintable(run.output));
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.output.contains(QStringLiteral("Settings saved to:")), qPrintable(run.output));
        QSettings store(storePath(), QSettings::IniFormat);
        QCOMPARE(store.value(QStringLiteral("ui/lastFilePath")).toString(), QString());
        QCOMPARE(store.beginReadArray(QStringLiteral("history")), 1);
        store.setArrayIndex(0);
        QCOMPARE(store.value(QStringLiteral("progress")).toDouble(), 0.5);
        store.endArray();
    }

    // SIGTERM while a long book is still being laid out, with a long history whose metadata
    // reads were asked for at start-up: the rest of the book is dropped, not waited for (laying
    // it out takes seconds), and the position and the history are in the store.
    void quitsPromptlyWhileMeasuring()
    {
        QByteArray paragraph;
        for (int i = 0; paragraph.size() < 2000; ++i)
            paragraph += "The lamplighter walked the long street at dusk, lamp " + QByteArray::number(i) + ". ";
        QByteArray text;
        while (text.size() < 40 * 1024 * 1024)
            text += paragraph + "\n\n";
        writeFile(QStringLiteral("books/long.txt"), text);
        {
            QSettings seed(storePath(), QSettings::IniFormat);
            seed.setValue(QStringLiteral("version"), 4);
            seed.beginWriteArray(QStringLiteral("history"));
            for (int i = 0; i < 40; ++i) {
                const QString name = QStringLiteral("books/old%1.txt").arg(i);
                writeFile(name, "An old book.\n");
                seed.setArrayIndex(i);
                seed.setValue(QStringLiteral("filePath"), home->filePath(name));
                seed.setValue(QStringLiteral("progress"), 0.25);
                seed.setValue(QStringLiteral("lastOpened"), QStringLiteral("2024-01-01T10:00:00Z"));
            }
            seed.endArray();
        }
        const Run run = start({QStringLiteral("books/long.txt")}, QStringLiteral("[qml] Opened "));
        QVERIFY2(run.sawLine, qPrintable(run.output));
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.quitMs < 1500, qPrintable(QStringLiteral("quitting took %1 ms").arg(run.quitMs)));

        const QString book = QDir(home->path()).canonicalPath() + QStringLiteral("/books/long.txt");
        QSettings store(storePath(), QSettings::IniFormat);
        QCOMPARE(store.value(QStringLiteral("ui/lastFilePath")).toString(), book);
        QCOMPARE(store.beginReadArray(QStringLiteral("history")), 41);
        store.setArrayIndex(0);
        QCOMPARE(store.value(QStringLiteral("filePath")).toString(), book);
        store.endArray();
        store.beginGroup(QStringLiteral("saved-progress"));
        QCOMPARE(store.childGroups().size(), 1); // the position in the long book
        store.endGroup();
    }

    // A store edited by hand (or left so by a crash or a sync tool) never stops a start: every number
    // comes back within what the application can show, and the saved store holds it so.
    void outOfRangeStoreStillStarts_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        const QStringList window{QStringLiteral("window/width"), QStringLiteral("window/height")};
        QTest::newRow("huge line spacing") << QStringList{QStringLiteral("reading/lineSpacing")} << "1e308" << 3.0 << 3.0;
        QTest::newRow("tiny line spacing") << QStringList{QStringLiteral("reading/lineSpacing")} << "-1e308" << 0.1 << 0.1;
        QTest::newRow("huge margins") << QStringList{QStringLiteral("reading/horizontalMargin"), QStringLiteral("reading/verticalMargin")}
                                      << "99999" << 128.0 << 128.0;
        QTest::newRow("huge font") << QStringList{QStringLiteral("reading/fontSize")} << "1000000" << 72.0 << 72.0;
        QTest::newRow("huge window") << window << "200000" << 1.0 << 800.0;
        QTest::newRow("negative window") << window << "-5" << 1.0 << 800.0;
        QTest::newRow("window far off every screen") << QStringList{QStringLiteral("window/x"), QStringLiteral("window/y")}
                                                     << "500000" << -1.0 << 800.0;
        // One element stored, one digit of its size flipped.
        QTest::newRow("huge history size") << QStringList{QStringLiteral("history/size")} << "99999999" << 1.0 << 1.0;
    }
    void outOfRangeStoreStillStarts()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, stored);
        QFETCH(double, low);
        QFETCH(double, high);
        {
            QSettings seed(storePath(), QSettings::IniFormat);
            seed.setValue(QStringLiteral("version"), 4);
            seed.setValue(QStringLiteral("history/1/filePath"), home->filePath(QStringLiteral("books/tale.txt")));
            seed.setValue(QStringLiteral("history/1/lastOpened"), QStringLiteral("2024-01-01T10:00:00Z"));
            seed.setValue(QStringLiteral("history/size"), 1);
            for (const QString& key : std::as_const(keys))
                seed.setValue(key, stored);
        }
        const Run run = start({}, QStringLiteral("Rendering API: "));
        QVERIFY2(run.sawLine, qPrintable(run.output));
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.output.contains(QStringLiteral("Settings saved to:")), qPrintable(run.output));
        QSettings saved(storePath(), QSettings::IniFormat);
        for (const QString& key : std::as_const(keys)) {
            bool isNumber = false;
            const double value = saved.value(key).toDouble(&isNumber);
            QVERIFY2(isNumber, qPrintable(key));
            QVERIFY2(value >= low && value <= high,
                     qPrintable(QStringLiteral("%1 = %2").arg(key).arg(value)));
        }
        QCOMPARE(saved.beginReadArray(QStringLiteral("history")), 1);
        saved.endArray();
    }

private:
    QString storePath() const { return home->filePath(QStringLiteral("config/Vellora/Vellora.ini")); }

    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(home->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    Run start(const QStringList& arguments, const QString& until)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home->path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home->filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home->filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(home->path());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(VELLORA_BINARY), arguments);
        Run run;
        if (!process.waitForStarted(30000))
            return run;
        QElapsedTimer deadline;
        deadline.start();
        while (!run.sawLine && process.state() == QProcess::Running && deadline.elapsed() < 60000) {
            process.waitForReadyRead(500);
            run.output += QString::fromUtf8(process.readAll());
            run.sawLine = run.output.contains(until);
        }
        // A process that already ended has pid 0, and kill(0, ...) would end this whole process group.
        const qint64 pid = process.processId();
        QElapsedTimer quitting;
        quitting.start();
        if (process.state() == QProcess::Running && pid > 0)
            ::kill(pid_t(pid), SIGTERM);
        if (process.state() != QProcess::NotRunning && !process.waitForFinished(60000))
            process.kill();
        run.quitMs = quitting.elapsed();
        run.output += QString::fromUtf8(process.readAll());
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -200;
        return run;
    }

    std::unique_ptr<QTemporaryDir> home;
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
