// Runs every tst_*.qml file of this folder as a Qt Quick Test case against the Vellora module.
#include <QtQuickTest>
#include <QQmlEngine>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(VelloraPlugin)

class QmlTestSetup : public QObject {
    Q_OBJECT
public Q_SLOTS:
    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/"));
    }
};

QUICK_TEST_MAIN_WITH_SETUP(vellora_qml, QmlTestSetup)

#include "tst_qml.moc"
