#include "shell/sessionend.h"
#include "shell/frmkelvaneprogrammer.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
const int endingSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The handler only writes the signal's number into this pipe; the event loop reads it.
int signalPipe[2] = {-1, -1};
volatile sig_atomic_t signalCaught = 0;

const char *signalName(int signalNumber) {
    switch (signalNumber) {
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    case SIGINT:
        return "SIGINT";
    default:
        return "a signal";
    }
}

void writeAll(int fd, const char *text) {
    size_t length = 0;
    while (text[length])
        ++length;
    while (length > 0) {
        const ssize_t written = ::write(fd, text, length);
        if (written <= 0)
            return;
        text += written;
        length -= size_t(written);
    }
}

// Async-signal-safe: write(), _exit() and a sig_atomic_t only.
extern "C" void onEndingSignal(int signalNumber) {
    const int savedErrno = errno;
    if (signalCaught != 0) {
        // The first signal is being handled, or the program cannot get to it: the operator insists.
        writeAll(STDERR_FILENO, "Kelvane Programmer: ");
        writeAll(STDERR_FILENO, signalName(signalNumber));
        writeAll(STDERR_FILENO, " again, closing at once; what is not saved yet is lost.\n");
        ::_exit(SessionEnd::exitCodeFor(signalNumber));
    }
    signalCaught = signalNumber;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}
#endif

} // namespace

void SessionEnd::catchSignals() {
#ifdef Q_OS_UNIX
    if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onEndingSignal;
    action.sa_flags = SA_RESTART;
    // One signal at a time, so that a second one always sees the first.
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : endingSignals)
        sigaddset(&action.sa_mask, signalNumber);
    for (const int signalNumber : endingSignals)
        ::sigaction(signalNumber, &action, nullptr);
#endif
}

SessionEnd::SessionEnd(frmKelvaneProgrammer *window) : QObject(window), m_window(window) {
#ifdef Q_OS_UNIX
    if (signalPipe[0] >= 0) {
        auto *const notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &SessionEnd::signalArrived);
    }
#endif
#ifdef Q_OS_WIN
    // Log-off and shut-down: Qt asks for the data to be saved while Windows waits for the answer
    // to its query (after it, Windows may end the process without further notice).
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { end(0); });
#endif
}

void SessionEnd::signalArrived() {
#ifdef Q_OS_UNIX
    char byte = 0;
    if (::read(signalPipe[0], &byte, 1) != 1 || m_ending)
        return;
    // Writing to a terminal or pipe that is gone must not end the program before it has saved.
    std::signal(SIGPIPE, SIG_IGN);
    std::fprintf(stderr,
                 "Kelvane Programmer: %s received, closing; the settings and texts are saved first.\n",
                 signalName(byte));
    std::fflush(stderr);
    end(exitCodeFor(byte));
#endif
}

void SessionEnd::end(int exitCode) {
    if (m_ending)
        return;
    m_ending = true;
    // A dialog's own loop would hold the close: a file dialog, for one, is cancelled first.
    for (int i = 0; i < 10; ++i) {
        QWidget *const modal = QApplication::activeModalWidget();
        if (!modal || modal == m_window)
            break;
        if (auto *const dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }
    m_window->closeForSessionEnd();
    // Ends every loop now running (a command's wait, a dialog's), and the main loop also when it
    // has yet to start (a signal during start-up).
    QCoreApplication::exit(exitCode);
    QTimer::singleShot(0, qApp, [exitCode] { QCoreApplication::exit(exitCode); });
}
