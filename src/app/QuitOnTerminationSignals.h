#pragma once

// Ends the event loop normally when the process is asked to stop (SIGINT from the terminal,
// SIGTERM from the session or a supervisor), so that the about-to-quit save still runs instead of
// the run's history, preferences and interface state being lost. The signal handler only writes to
// a pipe; the event loop reads it, closes the shown windows (whose closing handlers run before the
// save) and calls QCoreApplication::quit(). Does nothing on platforms without these signals.
//
// A signal that comes during start-up, before the event loop runs, is kept and answered as soon as
// the loop starts, so that a process stopped while it is still starting saves what it was about to
// show instead of being killed. catchEarly() extends that to the time before the application object
// exists.
//
// GUI thread only; one object per process, alive while the event loop runs.

#include <QObject>

class QSocketNotifier;

class QuitOnTerminationSignals : public QObject {
    Q_OBJECT
public:
    // Catches the signals from now on (once per process; the constructor does it if not done yet).
    // Call first thing in main(), before the application object is made.
    static void catchEarly();

    explicit QuitOnTerminationSignals(QObject* parent = nullptr);
    ~QuitOnTerminationSignals() override;

private:
    void onSignal();

    QSocketNotifier* m_notifier = nullptr;
};
