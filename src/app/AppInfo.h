#pragma once

// Application facts for the user interface. Created and owned by the QML engine; GUI thread only.

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class AppInfo : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool isDebugBuild READ isDebugBuild CONSTANT FINAL)
    Q_PROPERTY(QString version READ version CONSTANT FINAL)
public:
    using QObject::QObject;
    bool isDebugBuild() const { return false; }
    QString version() const { return QStringLiteral(VELLORA_VERSION); }
};
