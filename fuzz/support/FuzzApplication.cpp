#include "FuzzApplication.h"

#include <QGuiApplication>

namespace FuzzApplication {

void startGui()
{
    if (QGuiApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt reads and edits its arguments; libFuzzer's own flags must not reach it.
    static int argc = 1;
    static char name[] = "vellora-fuzz";
    static char* argv[] = { name, nullptr };
    new QGuiApplication(argc, argv);
}

} // namespace FuzzApplication
