#include "MacMenuBar.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QTest>

#include <memory>

class TestMacMenuBar : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Vellora"));
        QCoreApplication::setApplicationVersion(QStringLiteral(VELLORA_VERSION));
    }

    void oneMenuWithTheAboutAction()
    {
        const std::unique_ptr<QMenuBar> bar(MacMenuBar::create());
        QVERIFY(!bar->parent());
        const QList<QAction*> menus = bar->actions();
        QCOMPARE(menus.size(), 1);
        QCOMPARE(menus.first()->text(), QStringLiteral("Vellora"));
        const QList<QAction*> actions = menus.first()->menu()->actions();
        QCOMPARE(actions.size(), 1);
        QCOMPARE(actions.first()->text(), QStringLiteral("About Vellora"));
        QCOMPARE(actions.first()->menuRole(), QAction::AboutRole);
    }

#ifndef Q_OS_MACOS
    void aboutShowsABoxWithoutBlocking()
    {
        const std::unique_ptr<QMenuBar> bar(MacMenuBar::create());
        bar->actions().first()->menu()->actions().first()->trigger();
        QMessageBox* box = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QLatin1String("aboutBox"))
                box = qobject_cast<QMessageBox*>(widget);
        }
        QVERIFY(box);
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowTitle(), QStringLiteral("About Vellora"));
        QVERIFY(box->text().contains(QStringLiteral(VELLORA_VERSION)));
        QPointer<QMessageBox> guard(box);
        box->close();
        QTRY_VERIFY(guard.isNull());
    }
#endif
};

QTEST_MAIN(TestMacMenuBar)
#include "tst_macmenubar.moc"
