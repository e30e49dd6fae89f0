#include "AppInfo.h"
#include "AppState.h"
#include "Book.h"
#include "BookPositionStore.h"
#include "formats/DefaultFormats.h"
#include "formats/FormatRegistry.h"
#include "HistoryModel.h"
#include "IFileDialogService.h"
#include "KnuthPlassItem.h"
#include "QmlSingletons.h"
#include "ReadingModel.h"
#include "ReadingPreferences.h"
#include "UiState.h"

#include <QFile>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <memory>

Q_IMPORT_QML_PLUGIN(VelloraPlugin)

namespace {

class NoDialogs : public IFileDialogService {
public:
    void open(const QStringList&) override {}
};

const QByteArray kProbe = R"(
import QtQuick
import Vellora
QtObject {
    property QtObject book: Book
    property QtObject history: HistoryModel
    property QtObject reading: ReadingModel
    property QtObject preferences: ReadingPreferences
    property QtObject ui: UiState
    property QtObject info: AppInfo
    property string version: AppInfo.version
    property bool debugBuild: AppInfo.isDebugBuild
    property Item painter: KnuthPlassItem { textColor: "#010203" }
}
)";

// What the window shell, the history page and the settings popup use of the back end; "missing"
// lists each member QML cannot reach.
const QByteArray kMembers = R"(
import QtQuick
import Vellora
QtObject {
    function absent(object, names, kind) {
        var missing = []
        for (var i = 0; i < names.length; ++i) {
            var member = object[names[i]]
            if (kind === "function" ? typeof member !== "function" : member === undefined)
                missing.push(names[i])
        }
        return missing
    }
    property var missing: [].concat(
        absent(Book, ["hasBook", "loading", "errorMessage", "title", "author", "filePath", "coverImageUrl"], "value"),
        absent(Book, ["openFromPath", "browseAndOpen", "close", "clearError",
                      "loadingChanged", "bookChanged", "errorMessageChanged"], "function"),
        absent(ReadingModel, ["isTextMode", "mangaRTL", "pageShift", "useBookColours", "currentPage",
                              "totalPages", "totalPagePairs", "measuring", "progress"], "value"),
        absent(ReadingModel, ["setMangaRTL", "setPageShift", "setUseBookColours", "restoreReady",
                              "updateLayoutMetrics", "setScrollPosition", "setScrollInfo", "pagePair"], "function"),
        absent(HistoryModel, ["count"], "value"),
        absent(HistoryModel, ["removeBook", "addOrUpdateBook", "clear", "countChanged"], "function"),
        absent(ReadingPreferences, ["fontSize", "lineSpacing", "horizontalMargin", "verticalMargin"], "value"),
        absent(UiState, ["themeName", "lastPage", "sidebarOpen", "barsVisible", "lastFilePath",
                         "customThemeColors", "windowWidth", "windowHeight", "windowX", "windowY"], "value"),
        absent(UiState, ["themeNameChanged", "customThemeColorsChanged"], "function"),
        absent(AppInfo, ["version", "isDebugBuild"], "value"))
}
)";

std::unique_ptr<QObject> createProbe(QQmlEngine& engine, const QByteArray& source = kProbe)
{
    QQmlComponent component(&engine);
    component.setData(source, QUrl(QStringLiteral("qrc:/probe.qml")));
    std::unique_ptr<QObject> probe(component.create());
    if (!probe)
        qWarning() << component.errors();
    return probe;
}

QObject* objectProperty(QObject* probe, const char* name)
{
    return probe->property(name).value<QObject*>();
}

} // namespace

class TestQmlRegistration : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void singletonsAreNullBeforeStartUp()
    {
        QQmlEngine engine;
        const std::unique_ptr<QObject> probe = createProbe(engine);
        QVERIFY(probe);
        for (const char* name : {"book", "history", "reading", "preferences", "ui"})
            QVERIFY2(!objectProperty(probe.get(), name), name);
        QVERIFY(objectProperty(probe.get(), "info")); // made by the engine
    }

    void singletonsAreTheBackEndObjectsAndOutliveTheEngine()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("store.ini")), QSettings::IniFormat);
        AppState state(settings);
        ReadingPreferences preferences(state);
        UiState uiState(state);
        BookPositionStore positions(state);
        FormatRegistry registry(DefaultFormats::table());
        HistoryModel history(registry);
        NoDialogs dialogs;
        Book book(dialogs, registry);
        ReadingModel readingModel(positions);
        BookQmlSingleton::s_instance = &book;
        HistoryModelQmlSingleton::s_instance = &history;
        ReadingModelQmlSingleton::s_instance = &readingModel;
        ReadingPreferencesQmlSingleton::s_instance = &preferences;
        UiStateQmlSingleton::s_instance = &uiState;

        QPointer<QObject> info;
        QPointer<QObject> painter;
        {
            QQmlEngine engine;
            const std::unique_ptr<QObject> probe = createProbe(engine);
            QVERIFY(probe);
            QCOMPARE(objectProperty(probe.get(), "book"), &book);
            QCOMPARE(objectProperty(probe.get(), "history"), &history);
            QCOMPARE(objectProperty(probe.get(), "reading"), &readingModel);
            QCOMPARE(objectProperty(probe.get(), "preferences"), &preferences);
            QCOMPARE(objectProperty(probe.get(), "ui"), &uiState);
            QCOMPARE(QQmlEngine::objectOwnership(&book), QQmlEngine::CppOwnership);
            info = objectProperty(probe.get(), "info");
            QVERIFY(info);
            auto* item = qobject_cast<KnuthPlassItem*>(objectProperty(probe.get(), "painter"));
            QVERIFY(item);
            QCOMPARE(item->textColor(), QColor(1, 2, 3));
            painter = item;

            const std::unique_ptr<QObject> members = createProbe(engine, kMembers);
            QVERIFY(members);
            QCOMPARE(members->property("missing").toStringList(), QStringList());
            engine.collectGarbage();
        }
        QVERIFY(!info); // the engine's own
        QVERIFY(!painter);
        // The back-end objects are still whole (their parent-less QObjects would crash here otherwise).
        QCOMPARE(book.objectName(), QString());
        QCOMPARE(history.rowCount(), 0);
        QCOMPARE(uiState.themeName(), QStringLiteral("dark"));

        BookQmlSingleton::s_instance = nullptr;
        HistoryModelQmlSingleton::s_instance = nullptr;
        ReadingModelQmlSingleton::s_instance = nullptr;
        ReadingPreferencesQmlSingleton::s_instance = nullptr;
        UiStateQmlSingleton::s_instance = nullptr;
    }

    void appInfoValues()
    {
        QQmlEngine engine;
        const std::unique_ptr<QObject> probe = createProbe(engine);
        QVERIFY(probe);
        QCOMPARE(probe->property("version").toString(), QStringLiteral(VELLORA_VERSION));
        QCOMPARE(probe->property("debugBuild").toBool(), false);
        const QMetaObject& meta = AppInfo::staticMetaObject;
        for (const char* name : {"version", "isDebugBuild"}) {
            const QMetaProperty property = meta.property(meta.indexOfProperty(name));
            QVERIFY(property.isConstant());
            QVERIFY(!property.hasNotifySignal());
        }
    }

    void moduleDescription()
    {
        QFile qmldir(QStringLiteral(":/Vellora/qmldir"));
        QVERIFY(qmldir.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = qmldir.readAll().split('\n');
        for (const QByteArray line : {QByteArray("module Vellora"), QByteArray("typeinfo vellora-qt.qmltypes"),
                                      QByteArray("prefer :/Vellora/"), QByteArray("Main 1.0 Main.qml"),
                                      QByteArray("depends QtQuick")})
            QVERIFY2(lines.contains(line), line.constData());
        QCOMPARE(lines.first(), QByteArray("module Vellora"));
    }
};

QTEST_MAIN(TestQmlRegistration)
#include "tst_qmlregistration.moc"
