#include "MacMenuBar.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>

#ifdef Q_OS_MACOS
#include <objc/message.h>
#include <objc/runtime.h>
#else
#include <QMessageBox>
#endif

QMenuBar* MacMenuBar::create()
{
    auto* bar = new QMenuBar(nullptr);
    QMenu* menu = bar->addMenu(QCoreApplication::applicationName());
    QAction* about = menu->addAction(
        QCoreApplication::translate("MacMenuBar", "About %1").arg(QCoreApplication::applicationName()));
    about->setMenuRole(QAction::AboutRole);
    QObject::connect(about, &QAction::triggered, &MacMenuBar::showAboutPanel);
    return bar;
}

#ifdef Q_OS_MACOS

void MacMenuBar::showAboutPanel()
{
    using SendObject = id (*)(id, SEL);
    using SendBool = void (*)(id, SEL, BOOL);
    using SendId = void (*)(id, SEL, id);
    id application = reinterpret_cast<SendObject>(objc_msgSend)(
        reinterpret_cast<id>(objc_getClass("NSApplication")), sel_registerName("sharedApplication"));
    if (!application)
        return;
    reinterpret_cast<SendBool>(objc_msgSend)(application, sel_registerName("activateIgnoringOtherApps:"), YES);
    reinterpret_cast<SendId>(objc_msgSend)(application, sel_registerName("orderFrontStandardAboutPanel:"), nil);
}

#else

void MacMenuBar::showAboutPanel()
{
    const QString name = QCoreApplication::applicationName();
    auto* box = new QMessageBox(QMessageBox::NoIcon,
                                QCoreApplication::translate("MacMenuBar", "About %1").arg(name),
                                QStringLiteral("<h3>%1</h3><p>Version %2</p>")
                                    .arg(name.toHtmlEscaped(), QCoreApplication::applicationVersion().toHtmlEscaped()),
                                QMessageBox::Ok);
    box->setObjectName(QStringLiteral("aboutBox"));
    box->setIconPixmap(QGuiApplication::windowIcon().pixmap(64, 64));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Not modal: the reading window behind it keeps working.
    box->setModal(false);
    box->show();
}

#endif
