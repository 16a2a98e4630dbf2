#pragma once

// The end of a session closes the program as its close box does: the settings and edited texts
// are saved, the port is released, and the program ends. On Linux a session ends with a signal:
// SIGTERM (log-out, shut-down, kill), SIGHUP (the terminal that started the program was closed) or
// SIGINT (Ctrl+C there). On Windows the system ends it at log-off and shut-down.
//
// Nobody is left to answer a refused close then, so a save that fails is reported (status log and
// standard error) and the program ends all the same. A second signal while the first is handled
// ends the program at once.

#include <QObject>

class frmKelvaneProgrammer;

class SessionEnd : public QObject {
    Q_OBJECT
public:
    // Catches the signals from now on (once per process). Called before the window is created, so
    // that a signal during start-up is kept until the event loop runs, then handled the same way.
    static void catchSignals();

    // Ends the session of `window` when a caught signal arrives or the system ends the session.
    explicit SessionEnd(frmKelvaneProgrammer *window);

    // The program's exit code after a signal: 128 + its number, as a shell reports a signal.
    static int exitCodeFor(int signalNumber) { return 128 + signalNumber; }

private:
    void signalArrived();
    void end(int exitCode);

    frmKelvaneProgrammer *m_window;
    bool m_ending = false;
};
