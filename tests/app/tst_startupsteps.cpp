#include "AppState.h"
#include "QuitOnTerminationSignals.h"
#include "StartupSteps.h"
#include "UiState.h"

#include <QDir>
#include <QWindow>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>

// Tells when it is asked to close, as a window of the interface runs its closing handlers then.
class ClosingWindow : public QWindow {
public:
    explicit ClosingWindow(std::function<void()> onClose)
        : m_onClose(std::move(onClose))
    {
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::Close)
            m_onClose();
        return QWindow::event(event);
    }

private:
    std::function<void()> m_onClose;
};

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

    // Arguments are decoded as file names are; a name whose bytes cannot be decoded is reported.
    void argumentsAreDecodedAsFileNames_data()
    {
        QTest::addColumn<QByteArray>("book");
        QTest::addColumn<QString>("decoded");
        QTest::addColumn<bool>("reported");
        QTest::newRow("ASCII") << QByteArray("/books/a.epub") << QStringLiteral("/books/a.epub") << false;
        QTest::newRow("UTF-8") << QByteArray("/books/caf\xc3\xa9.epub") << QStringLiteral("/books/caf\u00e9.epub") << false;
        QTest::newRow("Latin-1 bytes") << QByteArray("/books/caf\xe9.epub") << QStringLiteral("/books/caf\ufffd.epub") << true;
    }
    void argumentsAreDecodedAsFileNames()
    {
        QFETCH(QByteArray, book);
        QFETCH(QString, decoded);
        QFETCH(bool, reported);
        const char* argv[] = {"vellora", book.constData(), "/books/ignored\xff"};
        if (reported)
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("The book named on the command line cannot be opened: its name is not valid in the file name encoding: ") + decoded));
        const QStringList arguments = StartupSteps::decodedArguments(3, argv);
        QCOMPARE(arguments.size(), 3);
        QCOMPARE(arguments.at(1), decoded);
    }

    // Two screens side by side, the second lower and with a panel; sizes and places from the store.
    void windowFitsTheScreens_data()
    {
        QTest::addColumn<QRect>("stored"); // x, y, width, height
        QTest::addColumn<QRect>("fitted");
        QTest::newRow("fits, kept") << QRect(100, 50, 1024, 768) << QRect(100, 50, 1024, 768);
        QTest::newRow("no position saved") << QRect(-1, -1, 800, 600) << QRect(-1, -1, 800, 600);
        QTest::newRow("huge size") << QRect(-1, -1, 200000, 200000) << QRect(-1, -1, 1920, 1080);
        QTest::newRow("no size") << QRect(-1, -1, 0, -7) << QRect(-1, -1, 1024, 768);
        QTest::newRow("off every screen") << QRect(500000, 500000, 800, 600) << QRect(-1, -1, 800, 600);
        QTest::newRow("above the screens") << QRect(100, -300, 800, 600) << QRect(-1, -1, 800, 600);
        QTest::newRow("hanging off the right edge") << QRect(1800, 100, 800, 600) << QRect(1120, 100, 800, 600);
        QTest::newRow("on the second screen, too low") << QRect(2000, 900, 800, 600) << QRect(2000, 460, 800, 600);
        QTest::newRow("larger than its screen") << QRect(2000, 200, 1900, 1000) << QRect(1920, 100, 1900, 1000);
    }
    void windowFitsTheScreens()
    {
        QFETCH(QRect, stored);
        QFETCH(QRect, fitted);
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("store.ini")), QSettings::IniFormat);
        AppState state(settings);
        UiState uiState(state);
        uiState.setWindowX(stored.x());
        uiState.setWindowY(stored.y());
        uiState.setWindowWidth(stored.width());
        uiState.setWindowHeight(stored.height());
        if (stored != fitted)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("does not fit the screens")));
        StartupSteps::fitWindowToScreens(uiState, {QRect(0, 0, 1920, 1080), QRect(1920, 100, 1280, 960)});
        QCOMPARE(QRect(uiState.windowX(), uiState.windowY(), uiState.windowWidth(), uiState.windowHeight()), fitted);

        StartupSteps::fitWindowToScreens(uiState, {});
        QCOMPARE(uiState.windowWidth(), fitted.width()); // without screens nothing changes
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

    // A shown window is closed before the save on quitting runs, as the window manager closes it.
    void terminationSignalClosesTheWindowsFirst()
    {
        const QuitOnTerminationSignals quitOnSignals;
        QStringList order;
        ClosingWindow window([&] { order.append(QStringLiteral("closing")); });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto saved = connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                                   [&] { order.append(QStringLiteral("about to quit")); });
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        QTimer::singleShot(20000, [] { QCoreApplication::exit(1); }); // a safety net only
        QCOMPARE(QCoreApplication::exec(), 0);
        disconnect(saved);
        QCOMPARE(order, (QStringList{QStringLiteral("closing"), QStringLiteral("about to quit")}));
    }
#endif
};

QTEST_MAIN(TestStartupSteps)
#include "tst_startupsteps.moc"
