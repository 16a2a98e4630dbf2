// A talkative device: free text (an audit ticket, or a device stuck printing) at the full 9600
// baud, 960 characters a second, for 10 s into the real program, run as its own process on a
// pseudo-terminal bound to COM1. Measured: the CPU time of the program's process over those 10 s,
// with the bytes arriving in 10 ms bursts and then each byte on its own, as some USB adapters
// deliver them. Goal: under 3 % of a core in both cases.
//
// The window is offscreen unless QT_QPA_PLATFORM says otherwise (xcb on a real or virtual screen).

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int bytesPerSecond = 960; // 9600 baud, 10 bits a byte
constexpr int seconds = 10;

// User plus system CPU time of a process, in seconds, from /proc/PID/stat.
double processCpu(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks; // utime, stime
}

// True once the process holds the terminal open.
bool holds(qint64 pid, const QString &device) {
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString &fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(fds.filePath(fd)) == device)
            return true;
    return false;
}

void sleepUntil(const timespec &t) {
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

timespec plusNs(timespec t, qint64 ns) {
    t.tv_nsec += long(ns % 1000000000);
    t.tv_sec += time_t(ns / 1000000000);
    if (t.tv_nsec >= 1000000000) {
        t.tv_nsec -= 1000000000;
        ++t.tv_sec;
    }
    return t;
}

// Sends `seconds` worth of ticket text to the terminal, `chunk` bytes at a time, paced at 960
// bytes a second; returns the CPU seconds the program used meanwhile.
double feed(int master, qint64 pid, int chunk) {
    static const QByteArray ticket =
        "AUDIT TICKET   GAME 1111   COINS IN 00012345   TICKETS OUT 00067890\r\n";
    const int total = bytesPerSecond * seconds;
    const qint64 period = 1000000000LL * chunk / bytesPerSecond;
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const double cpuBefore = processCpu(pid);
    for (int sent = 0; sent < total; sent += chunk) {
        QByteArray bytes;
        for (int i = 0; i < chunk; ++i)
            bytes += ticket.at((sent + i) % ticket.size());
        if (::write(master, bytes.constData(), size_t(bytes.size())) < 0)
            return -1;
        next = plusNs(next, period);
        sleepUntil(next);
    }
    QThread::msleep(100); // the last bytes are taken
    return processCpu(pid) - cpuBefore;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral(KELVANE_PROGRAM_PATH);
    QTemporaryDir dir;
    const QDir folder(dir.path());

    // The program keeps its settings beside itself: a copy of it in a folder of its own.
    const QString copy = folder.filePath(QStringLiteral("KelvaneProgrammer"));
    if (!QFile::copy(program, copy) ||
        !QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(program));
        return 1;
    }
    QFile settings(folder.filePath(QStringLiteral("KelvaneProgrammer.ini")));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write("[Settings]\r\nHardwareType=1\r\nCommPort=1\r\nCommBaudRate=1\r\n");
    settings.close();

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return 1;
    const QString slave = QString::fromLocal8Bit(ptsname(master));
    if (!QFile::link(slave, folder.filePath(QStringLiteral("COM1"))))
        return 1;

    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    window.setProcessEnvironment(env);
    window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    window.start(copy, {});
    if (!window.waitForStarted())
        return 1;
    const qint64 pid = window.processId();
    for (int i = 0; i < 200 && !holds(pid, slave); ++i)
        QThread::msleep(50);
    if (!holds(pid, slave)) {
        std::fprintf(stderr, "the program never opened COM1\n");
        return 1;
    }
    QThread::msleep(1000); // start-up's own work is over

    std::printf("talkative_bench: %d characters a second of free text for %d s into %s (%s)\n",
                bytesPerSecond, seconds, qPrintable(program),
                qPrintable(env.value(QStringLiteral("QT_QPA_PLATFORM"))));
    const double idle = [&] {
        const double before = processCpu(pid);
        QThread::msleep(2000);
        return (processCpu(pid) - before) / 2.0;
    }();
    const double bursts = feed(master, pid, bytesPerSecond / 100);
    const double single = feed(master, pid, 1);
    std::printf("idle:                 %.2f %% of a core\n", 100.0 * idle);
    std::printf("10 ms bursts:         %.2f %% of a core (goal under 3 %%)\n", 100.0 * bursts / seconds);
    std::printf("each byte on its own: %.2f %% of a core (goal under 3 %%)\n", 100.0 * single / seconds);

    window.terminate();
    window.waitForFinished(5000);
    ::close(master);
    return 0;
}
