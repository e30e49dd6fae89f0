#include <QApplication>
#include <QQmlApplicationEngine>
#include <QUrl>

#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(VelloraPlugin)

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellora"));
    QApplication::setOrganizationName(QStringLiteral("Vellora"));
    QApplication::setApplicationVersion(QStringLiteral("0.1.5"));

    QQmlApplicationEngine engine;
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &app,
                     [] { QCoreApplication::exit(-1); }, Qt::QueuedConnection);
    engine.load(QUrl(QStringLiteral("qrc:/Vellora/Main.qml")));
    return QApplication::exec();
}
