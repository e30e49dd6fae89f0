// Runs the built application as real processes over one settings store in a temporary home: several
// instances quitting in turn or at once, stop requests while a book is being reopened, and stores
// that cannot be read or are damaged.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <memory>
#include <vector>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kWaitMs = 120000;

// One running instance of the application. Readiness is read from its log, never guessed by time.
class AppProcess {
public:
    AppProcess(const QString& home, const QStringList& arguments, bool asNobody = false)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(home);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        if (asNobody) {
            // The super-user reads every file; the store's permissions only hold for other users.
            m_process.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(99);
            });
        }
        m_process.start(QStringLiteral(VELLORA_BINARY), arguments);
        m_process.waitForStarted(kWaitMs);
    }

    ~AppProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kWaitMs);
        }
    }

    // Reads the log until `line` appears; false when the process ends first.
    bool waitFor(const QString& line)
    {
        while (!m_output.contains(line)) {
            if (m_process.state() != QProcess::Running)
                return (m_output += QString::fromUtf8(m_process.readAll())).contains(line);
            m_process.waitForReadyRead(1000);
            m_output += QString::fromUtf8(m_process.readAll());
        }
        return true;
    }

    void stop()
    {
        // A process that already ended has pid 0, and kill(0, ...) would stop this whole group.
        const qint64 pid = m_process.processId();
        if (m_process.state() == QProcess::Running && pid > 0)
            ::kill(pid_t(pid), SIGTERM);
    }

    // Waits for the end; the exit code, or -200 for a crash or a process that did not end.
    int finish()
    {
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(kWaitMs))
            m_process.kill();
        m_output += QString::fromUtf8(m_process.readAll());
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -200;
    }

    QString output() const { return m_output; }

private:
    QProcess m_process;
    QString m_output;
};

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("books")));
        QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("config/Vellora")));
    }

    // Instances on one store, each with its own book, stopped one after the other (in either
    // order) or all at once: every book is in the history with its position, and a preference only
    // a later instance changed (it loads a font size past the limit and saves the limited one) is
    // not undone by an earlier instance that quits after it.
    void instancesKeepEachOthersSaves_data()
    {
        QTest::addColumn<int>("instances");
        QTest::addColumn<QString>("stopping");
        QTest::newRow("two, first quits first") << 2 << QStringLiteral("in order");
        QTest::newRow("two, first quits last") << 2 << QStringLiteral("in reverse");
        QTest::newRow("two at once") << 2 << QStringLiteral("at once");
        QTest::newRow("three, in order") << 3 << QStringLiteral("in order");
        QTest::newRow("three at once") << 3 << QStringLiteral("at once");
    }
    void instancesKeepEachOthersSaves()
    {
        QFETCH(int, instances);
        QFETCH(QString, stopping);
        QStringList books;
        std::vector<std::unique_ptr<AppProcess>> running;
        for (int i = 0; i < instances; ++i) {
            books.append(writeBook(QStringLiteral("book%1.txt").arg(i), "Book " + QByteArray::number(i) + "\n\nIts one paragraph.\n"));
            if (i == 1) {
                // Edited by hand while the first instance runs: the instances started now load it.
                QSettings edit(storePath(), QSettings::IniFormat);
                edit.setValue(QStringLiteral("reading/fontSize"), 500);
                edit.setValue(QStringLiteral("customTheme/surface"), QStringLiteral("#123456"));
            }
            running.push_back(std::make_unique<AppProcess>(m_home->path(), QStringList{books.last()}));
            QVERIFY2(running.back()->waitFor(QStringLiteral("[qml] Opened ") + books.last()), qPrintable(running.back()->output()));
        }
        if (stopping == QLatin1String("in reverse"))
            std::reverse(running.begin(), running.end());
        for (auto& instance : running) {
            instance->stop();
            if (stopping != QLatin1String("at once"))
                QCOMPARE(instance->finish(), 0);
        }
        for (auto& instance : running) {
            QCOMPARE(instance->finish(), 0);
            QVERIFY2(instance->output().contains(QStringLiteral("Settings saved to: ")), qPrintable(instance->output()));
        }

        QSettings store(storePath(), QSettings::IniFormat);
        QStringList inHistory;
        const int size = store.beginReadArray(QStringLiteral("history"));
        for (int i = 0; i < size; ++i) {
            store.setArrayIndex(i);
            inHistory.append(store.value(QStringLiteral("filePath")).toString());
        }
        store.endArray();
        std::sort(inHistory.begin(), inHistory.end());
        QCOMPARE(inHistory, books);
        store.beginGroup(QStringLiteral("saved-progress"));
        QCOMPARE(store.childGroups().size(), instances);
        store.endGroup();
        QCOMPARE(store.value(QStringLiteral("reading/fontSize")).toInt(), 72);
        QCOMPARE(store.value(QStringLiteral("customTheme/surface")).toString(), QStringLiteral("#123456"));
        QVERIFY(books.contains(store.value(QStringLiteral("ui/lastFilePath")).toString()));
    }

    // A stop request at any moment of the start, before or while the last book is reopened (a long
    // text that takes a while to open), keeps that book as the one to reopen.
    void stopWhileTheBookReopensKeepsIt_data()
    {
        QTest::addColumn<QString>("readyLine");
        QTest::addColumn<int>("thenMs");
        // Logged while the stores are made, before the window exists (the stored window is larger
        // than the screen).
        QTest::newRow("before the window") << QStringLiteral("does not fit the screens") << 0;
        QTest::newRow("as the window shows") << QStringLiteral("Rendering API: ") << 0;
        QTest::newRow("while opening") << QStringLiteral("Rendering API: ") << 100;
        QTest::newRow("later while opening") << QStringLiteral("Rendering API: ") << 400;
    }
    void stopWhileTheBookReopensKeepsIt()
    {
        QFETCH(QString, readyLine);
        QFETCH(int, thenMs);
        QByteArray paragraph;
        for (int i = 0; paragraph.size() < 4000; ++i)
            paragraph += "The lamplighter walked the long street at dusk, lamp " + QByteArray::number(i) + ". ";
        QByteArray text;
        while (text.size() < 24 * 1024 * 1024)
            text += paragraph + "\n\n";
        const QString book = writeBook(QStringLiteral("long.txt"), text);
        {
            QSettings seed(storePath(), QSettings::IniFormat);
            seed.setValue(QStringLiteral("version"), 4);
            seed.setValue(QStringLiteral("ui/lastFilePath"), book);
            seed.setValue(QStringLiteral("window/width"), 100000);
        }
        AppProcess app(m_home->path(), {});
        QVERIFY2(app.waitFor(readyLine), qPrintable(app.output()));
        if (thenMs > 0)
            QTest::qSleep(thenMs);
        app.stop();
        QCOMPARE(app.finish(), 0);
        QVERIFY2(app.output().contains(QStringLiteral("Settings saved to: ")), qPrintable(app.output()));
        QCOMPARE(QSettings(storePath(), QSettings::IniFormat).value(QStringLiteral("ui/lastFilePath")).toString(), book);
    }

    // A store the application cannot read (no permission, a folder in its place) is neither moved
    // nor written, and the log says why at start and that nothing was saved at quit.
    void unreadableStoreIsLeftAlone_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::newRow("no permission") << false;
        QTest::newRow("a folder in its place") << true;
    }
    void unreadableStoreIsLeftAlone()
    {
        QFETCH(bool, folder);
        const QString book = writeBook(QStringLiteral("tale.txt"), "Tale\n\nA short tale.\n");
        const QByteArray stored = "version=4\n[history]\n1\\filePath=/books/kept.epub\n1\\lastOpened=2024-01-01T10:00:00Z\nsize=1\n";
        bool asNobody = false;
        if (folder) {
            QVERIFY(QDir().mkpath(storePath()));
            writeFile(storePath() + QStringLiteral("/inside"), stored);
        } else {
            writeFile(storePath(), stored);
            QVERIFY(QFile::setPermissions(storePath(), QFileDevice::Permissions()));
            asNobody = ::geteuid() == 0;
            if (asNobody) {
                // Everything but the store is open to the unprivileged user, its folder included, so
                // nothing but the application's own rule keeps the store in place.
                for (const QString& path : {m_home->path(), m_home->filePath(QStringLiteral("books")),
                                            m_home->filePath(QStringLiteral("config")),
                                            m_home->filePath(QStringLiteral("config/Vellora"))})
                    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0777), 0);
                QCOMPARE(::chmod(QFile::encodeName(book).constData(), 0644), 0);
            }
        }
        AppProcess app(m_home->path(), {book}, asNobody);
        QVERIFY2(app.waitFor(QStringLiteral("[qml] Opened ") + book), qPrintable(app.output()));
        app.stop();
        QCOMPARE(app.finish(), 0);
        QCOMPARE(QDir(m_home->filePath(QStringLiteral("config/Vellora"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("Vellora.ini")});
        QFile::setPermissions(storePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(readFile(folder ? storePath() + QStringLiteral("/inside") : storePath()), stored);

        const QString output = app.output();
        const QRegularExpression startLine(QStringLiteral("Settings store %1 could not be read \\([^)]+\\); it is left as it is, and "
                                                          "this run starts from defaults and saves nothing")
                                               .arg(QRegularExpression::escape(storePath())));
        QVERIFY2(startLine.match(output).hasMatch(), qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("Settings not saved: the store %1 could not be read").arg(storePath())),
                 qPrintable(output));
        QVERIFY2(!output.contains(QStringLiteral("Settings saved to:")), qPrintable(output));
    }

    // A damaged store is kept aside and the run saves a fresh one; the log says so, not that the
    // store could not be written.
    void damagedStoreIsKeptAsideAndSaved()
    {
        const QString book = writeBook(QStringLiteral("tale.txt"), "Tale\n\nA short tale.\n");
        const QByteArray damaged = "version=4\n[ui\nlastFilePath=/books/a.epub\n";
        writeFile(storePath(), damaged);
        AppProcess app(m_home->path(), {book});
        QVERIFY2(app.waitFor(QStringLiteral("[qml] Opened ") + book), qPrintable(app.output()));
        app.stop();
        QCOMPARE(app.finish(), 0);
        const QString output = app.output();
        QVERIFY2(!output.contains(QStringLiteral("could not be written")), qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("Settings saved to: \"%1\"").arg(storePath())), qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("Settings store %1 is damaged; kept as %1.corrupt").arg(storePath())), qPrintable(output));
        QCOMPARE(readFile(storePath() + QStringLiteral(".corrupt")), damaged);
        QSettings store(storePath(), QSettings::IniFormat);
        QCOMPARE(store.status(), QSettings::NoError);
        QCOMPARE(store.value(QStringLiteral("ui/lastFilePath")).toString(), book);
        QCOMPARE(store.value(QStringLiteral("history/1/filePath")).toString(), book);
    }

    // A history whose stored size is smaller than what it holds keeps every element it holds.
    void historyLongerThanItsSizeKeepsEveryBook()
    {
        QByteArray stored = "version=4\n[history]\n";
        for (int i = 1; i <= 5; ++i)
            stored += QByteArray::number(i) + "\\filePath=/books/b" + QByteArray::number(i) + ".epub\n" + QByteArray::number(i)
                + "\\lastOpened=2024-01-0" + QByteArray::number(i) + "T10:00:00Z\n";
        writeFile(storePath(), stored + "size=2\n");
        AppProcess app(m_home->path(), {});
        QVERIFY2(app.waitFor(QStringLiteral("Rendering API: ")), qPrintable(app.output()));
        app.stop();
        QCOMPARE(app.finish(), 0);
        QSettings store(storePath(), QSettings::IniFormat);
        QCOMPARE(store.beginReadArray(QStringLiteral("history")), 5);
        store.endArray();
    }

private:
    QString storePath() const { return m_home->filePath(QStringLiteral("config/Vellora/Vellora.ini")); }

    // The book's path as the application records it (the temporary folder may sit behind a link).
    QString writeBook(const QString& name, const QByteArray& bytes)
    {
        writeFile(m_home->filePath(QStringLiteral("books/") + name), bytes);
        return QFileInfo(m_home->filePath(QStringLiteral("books/") + name)).canonicalFilePath();
    }

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<QTemporaryDir> m_home;
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
