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

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256, 512})
        icon.addFile(QStringLiteral(":/Vellora/packaging/icons/%1x%1/vellora-qt.png").arg(size), QSize(size, size));
    return icon;
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

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(myMessageHandler);
    QSettings::setDefaultFormat(QSettings::IniFormat);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellora"));
    QApplication::setOrganizationName(QStringLiteral("Vellora"));
    QApplication::setApplicationVersion(QStringLiteral("0.1.5"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vellora-qt"));
    const QuitOnTerminationSignals quitOnSignals;

    const QIcon windowIcon = applicationIcon();
    QGuiApplication::setWindowIcon(windowIcon);
    std::unique_ptr<QMenuBar> menuBar(MacMenuBar::create());
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    auto settings = std::make_unique<QSettings>(nullptr);
    // Clears a store of another version before anything below reads it.
    auto appState = std::make_unique<AppState>(*settings);
    auto preferences = std::make_unique<ReadingPreferences>(*appState);
    auto uiState = std::make_unique<UiState>(*appState);
    StartupSteps::fitWindowToScreens(*uiState, StartupSteps::availableScreenAreas());
    auto positions = std::make_unique<BookPositionStore>(*appState);

    auto registry = std::make_unique<FormatRegistry>(DefaultFormats::table());
    auto history = std::make_unique<HistoryModel>(*registry);
    history->load(*appState);

    // The book named here is opened by the window once it is shown.
    StartupSteps::rememberCommandLineBook(StartupSteps::decodedArguments(argc, argv), *uiState);

    auto dialogs = std::make_unique<NativeFileDialogService>();
    auto book = std::make_unique<Book>(*dialogs, *registry);
    auto readingModel = std::make_unique<ReadingModel>(*positions);
    setSingletons(book.get(), readingModel.get(), preferences.get(), uiState.get(), history.get());

    auto webStorage = std::make_shared<DiskWebImageStorage>();
    auto* webProvider = new WebImageProvider(webStorage, {}); // the engine takes it over below
    const FormatRegistry& formats = *registry;
    SchemeSourceFactory sourceForScheme = [&formats](const QString& scheme) {
        return formats.createByteSourceForScheme(scheme);
    };
    auto resolver = std::make_unique<BookImageResolver>(sourceForScheme, webProvider);
    KnuthPlassItem::setImageResolver(resolver.get());
    readingModel->setImageResolver(resolver.get());
    // Sizes learnt late (downloads, decodes) reach the model on the GUI thread; the model outlives
    // the event loop, and teardown silences both sources before it goes.
    ReadingModel* const model = readingModel.get();
    resolver->setResolvedListener([model](const QString& url) {
        QMetaObject::invokeMethod(model, [model, url] { model->imageResolved(url); }, Qt::QueuedConnection);
    });
    BookImageResolver* const images = resolver.get();
    webProvider->setArrivalListener([images](const QString& url) { images->webImageArrived(url); });
    // Connected before the coordinator: the old book's pictures go before the new book is laid out.
    QObject::connect(book.get(), &Book::bookChanged, book.get(), [images] { images->clearCache(); });
    registerChunkLayoutMetaType();

    auto engine = std::make_unique<QQmlApplicationEngine>();
    // The module lives at ":/Vellora/"; Qt 6.4 does not look under ":/" by itself, and without it
    // the files under components/ and pages/ would see only the module's C++ types.
    engine->addImportPath(QStringLiteral("qrc:/"));
    engine->addImageProvider(QStringLiteral("fileicon"), new FileIconProvider);
    engine->addImageProvider(QStringLiteral("web"), webProvider);
    registry->registerImageProviders(*engine);
    QQmlContext* context = engine->rootContext();
    context->setContextProperty(QStringLiteral("isDebugBuild"), QVariant(false));
    context->setContextProperty(QStringLiteral("book"), book.get());
    context->setContextProperty(QStringLiteral("readingModel"), readingModel.get());
    context->setContextProperty(QStringLiteral("readingPreferences"), preferences.get());
    context->setContextProperty(QStringLiteral("uiState"), uiState.get());
    context->setContextProperty(QStringLiteral("historyModel"), history.get());

    // Connected before the window loads, so the back end sees a new book before the window does.
    auto coordinator = std::make_unique<AppCoordinator>(*book, *readingModel, *history, *uiState, *preferences,
                                                        *appState, *settings);

    const QUrl rootUrl(QStringLiteral("qrc:/Vellora/Main.qml"));
    QObject::connect(engine.get(), &QQmlApplicationEngine::objectCreationFailed, &app,
                     [] { QCoreApplication::exit(-1); }, Qt::QueuedConnection);
    engine->load(rootUrl);
    const QList<QObject*> roots = engine->rootObjects();
    if (auto* window = qobject_cast<QQuickWindow*>(roots.isEmpty() ? nullptr : roots.first()))
        qInfo("Rendering API: %s", StartupSteps::renderingApiName(window->rendererInterface()->graphicsApi()));

    const int result = QApplication::exec();

    // Teardown. The coordinator has saved history, preferences and interface state on
    // aboutToQuit.
    webProvider->setArrivalListener({});
    resolver->setWebProvider(nullptr); // the engine is about to delete it
    resolver->setResolvedListener({});
    setSingletons(nullptr, nullptr, nullptr, nullptr, nullptr);
    coordinator.reset();
    // Queued layout chunks and metadata reads are dropped first, so the wait below is for the
    // tasks already running only, not for the rest of the book.
    readingModel->cancelBackgroundWork();
    history->cancelMetadataReads();
    // Image requests still on the pools finish while the engine can free them.
    QThreadPool::globalInstance()->waitForDone();
    WebImageCache::downloadPool()->waitForDone();
    engine.reset();
    // Nothing that runs from here on may reach the resolver: no painter, no layout run.
    QThreadPool::globalInstance()->waitForDone();
    KnuthPlassItem::setImageResolver(nullptr);
    readingModel->setImageResolver(nullptr);
    resolver.reset();
    webStorage.reset();
    readingModel.reset();
    book.reset();
    dialogs.reset();
    history.reset(); // waits for its metadata reads, which use the registry
    registry.reset();
    positions.reset();
    uiState.reset();
    preferences.reset();
    appState.reset();
    settings.reset();
    menuBar.reset();
    return result;
}
