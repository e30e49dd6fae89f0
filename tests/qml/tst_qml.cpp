// Runs every tst_*.qml file of this folder as a Qt Quick Test case against the Vellora module and
// the real back end: settings in a temporary INI file, the real format table, the open book, the
// reading model, the image resolver and the coordinator, wired as start-up wires them. Books are
// tiny ones the tests write (BookFixtures, the context property "fixtures").
#include "AppCoordinator.h"
#include "AppState.h"
#include "Book.h"
#include "BookFixtures.h"
#include "BookImageResolver.h"
#include "BookPositionStore.h"
#include "ChunkLayout.h"
#include "DiskWebImageStorage.h"
#include "formats/DefaultFormats.h"
#include "formats/FormatRegistry.h"
#include "HistoryModel.h"
#include "IFileDialogService.h"
#include "KnuthPlassItem.h"
#include "LayoutGate.h"
#include "QmlSingletons.h"
#include "ReadingModel.h"
#include "ReadingPreferences.h"
#include "UiState.h"
#include "WebImageProvider.h"

#include <QImage>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSettings>
#include <QQuickImageProvider>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

#include <memory>

Q_IMPORT_QML_PLUGIN(VelloraPlugin)

namespace {

// The tests never show a file dialog.
class NoFileDialog : public IFileDialogService {
public:
    void open(const QStringList&) override {}
};

// Stands in for the platform's file icons, which need a widgets application: a plain grey sheet
// at the requested size, so pages that show file icons load them as they do in the application.
class PlainFileIcons : public QQuickImageProvider {
public:
    PlainFileIcons()
        : QQuickImageProvider(QQuickImageProvider::Image)
    {
    }

    QImage requestImage(const QString&, QSize* size, const QSize& requestedSize) override
    {
        QImage image(requestedSize.isValid() ? requestedSize : QSize(60, 80), QImage::Format_RGB32);
        image.fill(Qt::gray);
        if (size)
            *size = image.size();
        return image;
    }
};

struct BackEnd {
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    AppState state{settings};
    ReadingPreferences preferences{state};
    UiState uiState{state};
    BookPositionStore positions{state};
    FormatRegistry registry{DefaultFormats::table()};
    HistoryModel history{registry};
    NoFileDialog dialogs;
    Book book{dialogs, registry};
    ReadingModel readingModel{positions};
    BookImageResolver resolver{
        SchemeSourceFactory([this](const QString& scheme) { return registry.createByteSourceForScheme(scheme); }),
        nullptr};
    // Background layout asks through the gate, so a test can hold a run open (context property
    // "layoutGate"); painting asks the resolver itself.
    LayoutGate layoutGate{resolver};
    AppCoordinator coordinator{book, readingModel, history, uiState, preferences, state, settings};
    BookFixtures fixtures;

    BackEnd()
    {
        BookQmlSingleton::s_instance = &book;
        ReadingModelQmlSingleton::s_instance = &readingModel;
        ReadingPreferencesQmlSingleton::s_instance = &preferences;
        UiStateQmlSingleton::s_instance = &uiState;
        HistoryModelQmlSingleton::s_instance = &history;
        KnuthPlassItem::setImageResolver(&resolver);
        readingModel.setImageResolver(&layoutGate);
        registerChunkLayoutMetaType();
    }

    ~BackEnd()
    {
        BookQmlSingleton::s_instance = nullptr;
        ReadingModelQmlSingleton::s_instance = nullptr;
        ReadingPreferencesQmlSingleton::s_instance = nullptr;
        UiStateQmlSingleton::s_instance = nullptr;
        HistoryModelQmlSingleton::s_instance = nullptr;
        layoutGate.release();
        book.close();
        // Layout runs and image jobs use the resolver and the model.
        QThreadPool::globalInstance()->waitForDone();
        KnuthPlassItem::setImageResolver(nullptr);
        readingModel.setImageResolver(nullptr);
    }
};

} // namespace

class QmlTestSetup : public QObject {
    Q_OBJECT
public Q_SLOTS:
    void applicationAvailable()
    {
        backEnd = std::make_unique<BackEnd>();
    }

    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/"));
        engine->rootContext()->setContextProperty(QStringLiteral("fixtures"), &backEnd->fixtures);
        engine->rootContext()->setContextProperty(QStringLiteral("layoutGate"), &backEnd->layoutGate);
        backEnd->registry.registerImageProviders(*engine);
        engine->addImageProvider(QStringLiteral("fileicon"), new PlainFileIcons);
        // The window warms the image loader up through it; the tests fetch nothing remote.
        engine->addImageProvider(QStringLiteral("web"), new WebImageProvider(std::make_shared<DiskWebImageStorage>(
                                                            backEnd->dir.filePath(QStringLiteral("web-images")))));
    }

    // Every test file's engine is gone by now.
    void cleanupTestCase()
    {
        backEnd.reset();
    }

private:
    std::unique_ptr<BackEnd> backEnd;
};

QUICK_TEST_MAIN_WITH_SETUP(vellora_qml, QmlTestSetup)

#include "tst_qml.moc"
