#pragma once

// The back-end objects as QML singletons of the module Vellora: each wrapper names one class the
// user interface reaches (Book, HistoryModel, ReadingModel, ReadingPreferences, UiState) and hands
// out the one object start-up created. The engine never owns them.
//
// GUI thread only. Start-up sets every s_instance after creating the objects and before loading the
// QML, and sets them back to null at teardown before the objects go; QML that asks for a
// singleton while its pointer is null receives null, not a new object.

#include "Book.h"
#include "HistoryModel.h"
#include "ReadingModel.h"
#include "ReadingPreferences.h"
#include "UiState.h"

#include <QJSEngine>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;

namespace QmlSingletons {

// The object itself, kept in C++ hands, or null before start-up and after teardown.
template <typename T>
T* handOut(T* instance, QJSEngine* engine)
{
    if (instance)
        engine->setObjectOwnership(instance, QJSEngine::CppOwnership);
    return instance;
}

} // namespace QmlSingletons

struct BookQmlSingleton {
    Q_GADGET
    QML_FOREIGN(Book)
    QML_NAMED_ELEMENT(Book)
    QML_SINGLETON
public:
    inline static Book* s_instance = nullptr;
    static Book* create(QQmlEngine*, QJSEngine* engine) { return QmlSingletons::handOut(s_instance, engine); }
};

struct HistoryModelQmlSingleton {
    Q_GADGET
    QML_FOREIGN(HistoryModel)
    QML_NAMED_ELEMENT(HistoryModel)
    QML_SINGLETON
public:
    inline static HistoryModel* s_instance = nullptr;
    static HistoryModel* create(QQmlEngine*, QJSEngine* engine) { return QmlSingletons::handOut(s_instance, engine); }
};

struct ReadingModelQmlSingleton {
    Q_GADGET
    QML_FOREIGN(ReadingModel)
    QML_NAMED_ELEMENT(ReadingModel)
    QML_SINGLETON
public:
    inline static ReadingModel* s_instance = nullptr;
    static ReadingModel* create(QQmlEngine*, QJSEngine* engine) { return QmlSingletons::handOut(s_instance, engine); }
};

struct ReadingPreferencesQmlSingleton {
    Q_GADGET
    QML_FOREIGN(ReadingPreferences)
    QML_NAMED_ELEMENT(ReadingPreferences)
    QML_SINGLETON
public:
    inline static ReadingPreferences* s_instance = nullptr;
    static ReadingPreferences* create(QQmlEngine*, QJSEngine* engine) { return QmlSingletons::handOut(s_instance, engine); }
};

struct UiStateQmlSingleton {
    Q_GADGET
    QML_FOREIGN(UiState)
    QML_NAMED_ELEMENT(UiState)
    QML_SINGLETON
public:
    inline static UiState* s_instance = nullptr;
    static UiState* create(QQmlEngine*, QJSEngine* engine) { return QmlSingletons::handOut(s_instance, engine); }
};
