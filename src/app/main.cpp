// The program entry: builds the back end, wires it to the QML user interface, runs the event loop
// and takes everything down again in the reverse order. Every long-lived object lives in this
// function's scope, so start-up order is construction order.
//
// Teardown has one rule beyond the reverse order: work on the global thread pool (layout runs,
// image requests, downloads, metadata reads) uses the image resolver, the reading model and the
// objects behind them, so the pool is drained before any of them goes. Work that would only be
// thrown away (the rest of a layout run, queued metadata reads) is cancelled before that wait.

#include "AppCoordinator.h"
#include "AppState.h"
#include "Book.h"
#include "BookImageResolver.h"
#include "BookPositionStore.h"
#include "ChunkLayout.h"
#include "DiskWebImageStorage.h"
#include "FileIconProvider.h"
#include "formats/DefaultFormats.h"
#include "formats/FormatRegistry.h"
#include "HistoryModel.h"
#include "KnuthPlassItem.h"
#include "LogMessageHandler.h"
#include "MacMenuBar.h"
#include "NativeFileDialogService.h"
#include "QmlSingletons.h"
#include "QuitOnTerminationSignals.h"
#include "ReadingModel.h"
#include "ReadingPreferences.h"
#include "StartupSteps.h"
#include "UiState.h"
#include "WebImageProvider.h"

#include <QApplication>
#include <QIcon>
#include <QMenuBar>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSettings>
#include <QThreadPool>
#include <QUrl>
#include <QtQml/qqmlextensionplugin.h>

#include <memory>

Q_IMPORT_QML_PLUGIN(VelloraPlugin)

namespace {

// The long-lived objects of the application, in creation order. They live in main's scope (this
// struct is one of its locals), so start-up order is construction order; tearDown takes them down.
struct Application {
    QIcon windowIcon;
    std::unique_ptr<QMenuBar> menuBar;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<AppState> appState;
    std::unique_ptr<ReadingPreferences> preferences;
    std::unique_ptr<UiState> uiState;
    std::unique_ptr<BookPositionStore> positions;
    std::unique_ptr<FormatRegistry> registry;
    std::unique_ptr<HistoryModel> history;
    std::unique_ptr<NativeFileDialogService> dialogs;
    std::unique_ptr<Book> book;
    std::unique_ptr<ReadingModel> readingModel;
    std::shared_ptr<DiskWebImageStorage> webStorage;
    WebImageProvider* webProvider = nullptr; // owned by the engine once added to it
    std::unique_ptr<BookImageResolver> resolver;
    std::unique_ptr<QQmlApplicationEngine> engine;
    std::unique_ptr<AppCoordinator> coordinator;
};

void nameApplication()
{
    QApplication::setApplicationName(QStringLiteral("Vellora"));
    QApplication::setOrganizationName(QStringLiteral("Vellora"));
    QApplication::setApplicationVersion(QStringLiteral(VELLORA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("vellora-qt"));
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256, 512})
        icon.addFile(QStringLiteral(":/Vellora/packaging/icons/%1x%1/vellora-qt.png").arg(size), QSize(size, size));
    return icon;
}

void setUpLook(Application& a)
{
    a.windowIcon = applicationIcon();
    QGuiApplication::setWindowIcon(a.windowIcon);
    a.menuBar.reset(MacMenuBar::create());
    QQuickStyle::setStyle(QStringLiteral("Basic"));
}

void createStores(Application& a)
{
    a.settings = std::make_unique<QSettings>(nullptr);
    // Clears a store of another version before anything below reads it.
    a.appState = std::make_unique<AppState>(*a.settings);
    if (!a.appState->keptAsidePath().isEmpty()) {
        // A damaged store was moved aside. Its parse error would stick to this settings object and
        // hide whether the saves of this run reach the disk, so the run goes on with a fresh one.
        a.appState.reset();
        a.settings.reset();
        a.settings = std::make_unique<QSettings>(nullptr);
        a.appState = std::make_unique<AppState>(*a.settings);
    }
    a.preferences = std::make_unique<ReadingPreferences>(*a.appState);
    a.uiState = std::make_unique<UiState>(*a.appState);
    StartupSteps::fitWindowToScreens(*a.uiState, StartupSteps::availableScreenAreas());
    a.positions = std::make_unique<BookPositionStore>(*a.appState);
}

void createHistory(Application& a)
{
    a.registry = std::make_unique<FormatRegistry>(DefaultFormats::table());
    a.history = std::make_unique<HistoryModel>(*a.registry);
    a.history->load(*a.appState);
}

void setSingletons(Book* book, ReadingModel* readingModel, ReadingPreferences* preferences, UiState* uiState,
                   HistoryModel* history)
{
    BookQmlSingleton::s_instance = book;
    ReadingModelQmlSingleton::s_instance = readingModel;
    ReadingPreferencesQmlSingleton::s_instance = preferences;
    UiStateQmlSingleton::s_instance = uiState;
    HistoryModelQmlSingleton::s_instance = history;
}

void createBookAndModel(Application& a)
{
    a.dialogs = std::make_unique<NativeFileDialogService>();
    a.book = std::make_unique<Book>(*a.dialogs, *a.registry);
    a.readingModel = std::make_unique<ReadingModel>(*a.positions);
    setSingletons(a.book.get(), a.readingModel.get(), a.preferences.get(), a.uiState.get(), a.history.get());
}

void createImageResolver(Application& a)
{
    a.webStorage = std::make_shared<DiskWebImageStorage>();
    a.webProvider = new WebImageProvider(a.webStorage, {});
    const FormatRegistry& formats = *a.registry;
    SchemeSourceFactory sourceForScheme = [&formats](const QString& scheme) {
        return formats.createByteSourceForScheme(scheme);
    };
    a.resolver = std::make_unique<BookImageResolver>(sourceForScheme, a.webProvider);
    KnuthPlassItem::setImageResolver(a.resolver.get());
    a.readingModel->setImageResolver(a.resolver.get());
}

// Sizes learnt late (downloads, decodes) reach the model on the GUI thread; the model outlives
// the event loop, and teardown silences both sources before it goes.
void connectImageResolver(Application& a)
{
    ReadingModel* const model = a.readingModel.get();
    a.resolver->setResolvedListener([model](const QString& url) {
        QMetaObject::invokeMethod(model, [model, url] { model->imageResolved(url); }, Qt::QueuedConnection);
    });
    BookImageResolver* const images = a.resolver.get();
    a.webProvider->setArrivalListener([images](const QString& url) { images->webImageArrived(url); });
    // Connected before the coordinator: the old book's pictures go before the new book is laid out.
    QObject::connect(a.book.get(), &Book::bookChanged, a.book.get(), [images] { images->clearCache(); });
}

void createEngine(Application& a)
{
    a.engine = std::make_unique<QQmlApplicationEngine>();
    // The module lives at ":/Vellora/"; Qt 6.4 does not look under ":/" by itself, and without it
    // the files under components/ and pages/ would see only the module's C++ types.
    a.engine->addImportPath(QStringLiteral("qrc:/"));
    a.engine->addImageProvider(QStringLiteral("fileicon"), new FileIconProvider);
    a.engine->addImageProvider(QStringLiteral("web"), a.webProvider);
    a.registry->registerImageProviders(*a.engine);
}

void setContextProperties(const Application& a)
{
    QQmlContext* context = a.engine->rootContext();
    context->setContextProperty(QStringLiteral("isDebugBuild"), QVariant(false));
    context->setContextProperty(QStringLiteral("book"), a.book.get());
    context->setContextProperty(QStringLiteral("readingModel"), a.readingModel.get());
    context->setContextProperty(QStringLiteral("readingPreferences"), a.preferences.get());
    context->setContextProperty(QStringLiteral("uiState"), a.uiState.get());
    context->setContextProperty(QStringLiteral("historyModel"), a.history.get());
}

void loadWindow(QQmlApplicationEngine& engine, QApplication& app)
{
    const QUrl rootUrl(QStringLiteral("qrc:/Vellora/Main.qml"));
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &app,
                     [] { QCoreApplication::exit(-1); }, Qt::QueuedConnection);
    engine.load(rootUrl);
    const QList<QObject*> roots = engine.rootObjects();
    if (auto* window = qobject_cast<QQuickWindow*>(roots.isEmpty() ? nullptr : roots.first()))
        qInfo("Rendering API: %s", StartupSteps::renderingApiName(window->rendererInterface()->graphicsApi()));
}

// The coordinator has saved history, preferences and interface state on aboutToQuit.
void tearDown(Application& a)
{
    a.webProvider->setArrivalListener({});
    a.resolver->setWebProvider(nullptr); // the engine is about to delete it
    a.resolver->setResolvedListener({});
    setSingletons(nullptr, nullptr, nullptr, nullptr, nullptr);
    a.coordinator.reset();
    // Queued layout chunks and metadata reads are dropped first and the running ones asked to stop,
    // so the wait below is short, not for the rest of the book.
    a.readingModel->cancelBackgroundWork();
    a.history->cancelMetadataReads();
    a.book->cancelOpening(); // a book still opening stops within its current stage
    // Image requests still on the pools finish while the engine can free them.
    QThreadPool::globalInstance()->waitForDone();
    WebImageCache::downloadPool()->waitForDone();
    a.engine.reset();
    a.webProvider = nullptr;
    // Nothing that runs from here on may reach the resolver: no painter, no layout run.
    QThreadPool::globalInstance()->waitForDone();
    KnuthPlassItem::setImageResolver(nullptr);
    a.readingModel->setImageResolver(nullptr);
    a.resolver.reset();
    a.webStorage.reset();
    a.readingModel.reset();
    a.book.reset();
    a.dialogs.reset();
    a.history.reset(); // waits for its metadata reads, which use the registry
    a.registry.reset();
    a.positions.reset();
    a.uiState.reset();
    a.preferences.reset();
    a.appState.reset();
    a.settings.reset();
    a.menuBar.reset();
}

} // namespace

int main(int argc, char** argv)
{
    // One log line format for every message, Qt's included, and INI for every settings store.
    qInstallMessageHandler(myMessageHandler);
    // A stop request that comes while the application is still being built is answered once the
    // event loop runs, with the usual save, instead of killing the process.
    QuitOnTerminationSignals::catchEarly();
    QSettings::setDefaultFormat(QSettings::IniFormat);

    QApplication app(argc, argv);
    nameApplication();
    const QuitOnTerminationSignals quitOnSignals;
    Application a;
    // Window icon, native menu bar and control style, before any window exists.
    setUpLook(a);
    // Settings, preferences, interface state and positions; the window is fitted to the screens.
    createStores(a);
    // The format table and the reading history it checks entries against.
    createHistory(a);
    // The book named here is opened by the window once it is shown.
    StartupSteps::rememberCommandLineBook(StartupSteps::decodedArguments(argc, argv), *a.uiState);
    // The open book and the reading model, offered to QML as singletons.
    createBookAndModel(a);
    // Pictures of books and of the web, for the painter and the layout.
    createImageResolver(a);
    connectImageResolver(a);
    registerChunkLayoutMetaType();
    // The QML engine with its image providers and root-context names.
    createEngine(a);
    setContextProperties(a);
    // Connected before the window loads, so the back end sees a new book before the window does.
    a.coordinator = std::make_unique<AppCoordinator>(*a.book, *a.readingModel, *a.history, *a.uiState,
                                                     *a.preferences, *a.appState, *a.settings);
    loadWindow(*a.engine, app);

    const int result = QApplication::exec();
    // Reverse order, with the thread pools drained before what their tasks use goes.
    tearDown(a);
    return result;
}
