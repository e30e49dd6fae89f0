// Runs the application itself, off screen, over a settings store and cache in a temporary home.
#include "TestEpub.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/stat.h>

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

    // SIGTERM while a heavy book is still opening (seconds of work in one stage or another): the
    // open is cancelled where it stands, and the run ends normally and saves. The bound is far
    // above what cancelling takes and far below what finishing the open would.
    void quitsPromptlyWhileOpening_data()
    {
        QTest::addColumn<int>("chapters");
        QTest::addColumn<int>("paragraphs"); // in each chapter
        QTest::newRow("one large chapter") << 1 << 40000;
        QTest::newRow("many chapters") << 2000 << 40;
    }
    void quitsPromptlyWhileOpening()
    {
        QFETCH(int, chapters);
        QFETCH(int, paragraphs);
        QVERIFY(writeEpub(QStringLiteral("books/heavy.epub"), chapters, paragraphs));
        const Run run = start({QStringLiteral("books/heavy.epub")}, QStringLiteral("Opening book:"));
        QVERIFY2(run.sawLine, qPrintable(run.output));
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.quitMs < 10000, qPrintable(QStringLiteral("quitting took %1 ms").arg(run.quitMs)));
        QVERIFY2(run.output.contains(QStringLiteral("Book open cancelled:")), qPrintable(run.output));
        QVERIFY2(!run.output.contains(QStringLiteral("[qml] Opened ")), qPrintable(run.output));
        QVERIFY2(run.output.contains(QStringLiteral("Settings saved to: ")), qPrintable(run.output));
    }

    // A pipe or a device named like a book is refused with a clear error wherever its path comes
    // from (the command line, the last file restored at start, the history's metadata reads), and
    // neither the start nor the quit waits on it.
    void specialFilesAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("pipe"); // else a link to /dev/zero
        for (const char* name : {"book.epub", "book.txt", "book.fb2", "book.fbz", "book.cbz", "book.cbr"}) {
            QTest::newRow(qPrintable(QStringLiteral("pipe %1").arg(QLatin1String(name)))) << QString::fromLatin1(name) << true;
            QTest::newRow(qPrintable(QStringLiteral("/dev/zero as %1").arg(QLatin1String(name)))) << QString::fromLatin1(name) << false;
        }
    }
    void specialFilesAreRefused()
    {
        QFETCH(QString, name);
        QFETCH(bool, pipe);
        const QString path = home->filePath(QStringLiteral("books/") + name);
        if (pipe)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        seedStore(path);
        const QString refusal = QStringLiteral("Not a regular file or folder: ");

        // From the store: the last file and the history's entry.
        const Run restored = start({}, QStringLiteral("Book load failed:"));
        QVERIFY2(restored.sawLine, qPrintable(restored.output));
        QVERIFY2(restored.output.contains(refusal), qPrintable(restored.output));
        QCOMPARE(restored.exitCode, 0);
        QVERIFY2(restored.quitMs < 10000, qPrintable(QStringLiteral("quitting took %1 ms").arg(restored.quitMs)));
        QVERIFY2(restored.output.contains(QStringLiteral("Settings saved to: ")), qPrintable(restored.output));

        // From the command line, with the same store.
        const Run named = start({path}, QStringLiteral("Book load failed:"));
        QVERIFY2(named.sawLine, qPrintable(named.output));
        QVERIFY2(named.output.contains(refusal + path), qPrintable(named.output));
        QCOMPARE(named.exitCode, 0);
        QVERIFY2(named.quitMs < 10000, qPrintable(QStringLiteral("quitting took %1 ms").arg(named.quitMs)));
    }

    // A folder of pictures holding a pipe among them opens with its pictures; a pipe named like a
    // picture opens as its folder, which then holds no pictures.
    void foldersWithPipesOpen_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("until");
        QTest::newRow("the folder") << "books/comic" << "[qml] Opened ";
        QTest::newRow("one of its pictures") << "books/comic/001.png" << "[qml] Opened ";
        QTest::newRow("the pipe named like a picture") << "books/comic/002.png" << "[qml] Opened ";
        QTest::newRow("a pipe alone in its folder") << "books/lone/001.png" << "No images found: ";
    }
    void foldersWithPipesOpen()
    {
        QFETCH(QString, argument);
        QFETCH(QString, until);
        QVERIFY(QDir(home->path()).mkpath(QStringLiteral("books/comic")));
        QVERIFY(QDir(home->path()).mkpath(QStringLiteral("books/lone")));
        QImage image(8, 12, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QVERIFY(image.save(home->filePath(QStringLiteral("books/comic/001.png")), "PNG"));
        for (const char* pipe : {"books/comic/002.png", "books/lone/001.png"})
            QCOMPARE(::mkfifo(QFile::encodeName(home->filePath(QString::fromLatin1(pipe))).constData(), 0600), 0);
        const Run run = start({argument}, until);
        QVERIFY2(run.sawLine, qPrintable(run.output));
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.quitMs < 10000, qPrintable(QStringLiteral("quitting took %1 ms").arg(run.quitMs)));
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

    // A chapter's paragraphs of ordinary prose, as an EPUB of that many chapters.
    bool writeEpub(const QString& name, int chapters, int paragraphs)
    {
        QByteArray body;
        for (int i = 0; i < paragraphs; ++i)
            body += "<p>The lamplighter walked the <em>long</em> street at dusk and lit lamp " + QByteArray::number(i)
                + ", then the next one, and the one after that.</p>";
        const QByteArray chapter = "<?xml version=\"1.0\" encoding=\"utf-8\"?><html xmlns=\"http://www.w3.org/1999/xhtml\">"
                                   "<head><title>c</title></head><body>" + body + "</body></html>";
        TestEpub::Book book;
        book.title = "Heavy";
        book.spine = TestEpub::numberedChapters(QList<QByteArray>(chapters, chapter));
        return TestEpub::write(home->filePath(name), book);
    }

    // A store whose last file and newest history entry is path, beside an ordinary book.
    void seedStore(const QString& path)
    {
        QSettings seed(storePath(), QSettings::IniFormat);
        seed.setValue(QStringLiteral("version"), 4);
        seed.setValue(QStringLiteral("ui/lastFilePath"), path);
        seed.beginWriteArray(QStringLiteral("history"));
        seed.setArrayIndex(0);
        seed.setValue(QStringLiteral("filePath"), path);
        seed.setValue(QStringLiteral("lastOpened"), QStringLiteral("2024-01-02T10:00:00Z"));
        seed.setArrayIndex(1);
        seed.setValue(QStringLiteral("filePath"), home->filePath(QStringLiteral("books/tale.txt")));
        seed.setValue(QStringLiteral("lastOpened"), QStringLiteral("2024-01-01T10:00:00Z"));
        seed.endArray();
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
