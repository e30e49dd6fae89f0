#include "AppState.h"
#include "QuitOnTerminationSignals.h"
#include "StartupSteps.h"
#include "UiState.h"

#include <QDir>
#include <QSignalSpy>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

class TestStartupSteps : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commandLineBook_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        const QString stored = QStringLiteral("/stored/book.epub");
        QTest::newRow("existing file, made absolute") << QStringList{"vellora", "book.txt"} << QStringLiteral("<dir>/book.txt");
        QTest::newRow("existing folder") << QStringList{"vellora", "comics"} << QStringLiteral("<dir>/comics");
        QTest::newRow("second argument ignored") << QStringList{"vellora", "missing.txt", "book.txt"} << stored;
        QTest::newRow("missing file") << QStringList{"vellora", "missing.txt"} << stored;
        QTest::newRow("no argument") << QStringList{"vellora"} << stored;
    }
    void commandLineBook()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QFile book(dir.filePath(QStringLiteral("book.txt")));
        QVERIFY(book.open(QIODevice::WriteOnly));
        book.close();
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("comics")));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));

        QSettings settings(dir.filePath(QStringLiteral("store.ini")), QSettings::IniFormat);
        AppState state(settings);
        UiState uiState(state);
        uiState.setLastFilePath(QStringLiteral("/stored/book.epub"));
        StartupSteps::rememberCommandLineBook(arguments, uiState);
        QDir::setCurrent(previous);
        QCOMPARE(uiState.lastFilePath(), QString(expected).replace(QStringLiteral("<dir>"), QDir(dir.path()).canonicalPath()));
    }

    void renderingApiNames_data()
    {
        QTest::addColumn<int>("api");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("unknown") << 0 << QByteArray("Unknown");
        QTest::newRow("software") << 1 << QByteArray("Software");
        QTest::newRow("openvg") << 2 << QByteArray("Unknown");
        QTest::newRow("opengl") << 3 << QByteArray("OpenGL");
        QTest::newRow("direct3d 11") << 4 << QByteArray("Direct3D 11");
        QTest::newRow("vulkan") << 5 << QByteArray("Vulkan");
        QTest::newRow("metal") << 6 << QByteArray("Metal");
        QTest::newRow("null") << 7 << QByteArray("Null");
        QTest::newRow("direct3d 12") << 8 << QByteArray("Direct3D 12");
        QTest::newRow("unlisted") << 42 << QByteArray("Unknown");
    }
    void renderingApiNames()
    {
        QFETCH(int, api);
        QFETCH(QByteArray, name);
        QCOMPARE(QByteArray(StartupSteps::renderingApiName(QSGRendererInterface::GraphicsApi(api))), name);
    }

#ifdef Q_OS_UNIX
    void terminationSignalEndsTheEventLoop()
    {
        const QuitOnTerminationSignals quitOnSignals;
        QSignalSpy aboutToQuit(QCoreApplication::instance(), &QCoreApplication::aboutToQuit);
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        QTimer::singleShot(20000, [] { QCoreApplication::exit(1); }); // a safety net only
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(aboutToQuit.count(), 1);
    }
#endif
};

QTEST_MAIN(TestStartupSteps)
#include "tst_startupsteps.moc"
