#include "QuitOnTerminationSignals.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWindow>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    // Async-signal-safe; a full pipe already holds a request to quit.
    [[maybe_unused]] const auto written = ::write(g_pipe[0], &byte, 1);
}

void setHandler(int signal, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

} // namespace

void QuitOnTerminationSignals::catchEarly()
{
    if (g_pipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0)
        return;
    setHandler(SIGINT, onTerminationSignal);
    setHandler(SIGTERM, onTerminationSignal);
}

QuitOnTerminationSignals::QuitOnTerminationSignals(QObject* parent)
    : QObject(parent)
{
    catchEarly();
    if (g_pipe[0] < 0)
        return;
    // A byte written before this point is still in the pipe: the notifier fires once the loop runs.
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitOnTerminationSignals::onSignal);
}

QuitOnTerminationSignals::~QuitOnTerminationSignals()
{
    if (!m_notifier)
        return;
    setHandler(SIGINT, SIG_DFL);
    setHandler(SIGTERM, SIG_DFL);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void QuitOnTerminationSignals::onSignal()
{
    char byte = 0;
    [[maybe_unused]] const auto read = ::read(g_pipe[1], &byte, 1);
    // The windows close first, as when the user closes them, so that what the interface does on
    // closing (the text view reporting its place) comes before the about-to-quit save.
    const QWindowList windows = QGuiApplication::topLevelWindows();
    for (QWindow* window : windows) {
        if (window->isVisible())
            window->close();
    }
    QCoreApplication::quit();
}

#else

QuitOnTerminationSignals::QuitOnTerminationSignals(QObject* parent)
    : QObject(parent)
{
}

QuitOnTerminationSignals::~QuitOnTerminationSignals() = default;

void QuitOnTerminationSignals::catchEarly() {}

void QuitOnTerminationSignals::onSignal() {}

#endif
