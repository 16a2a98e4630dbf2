// Start-up: the program's window against a minimal Qt window of the same size (startup_probe),
// launched in turn, each timed from process start to its window's first expose, with its
// resident memory at that moment. The program starts against kelvane-sim on COM1, seeded as
// scripts/run seeds it (PIC18F4520, 9600 baud, Debug frame shown).
// Goal: start within 1.25x of the minimal window, memory within 1.10x.
//
// startup_bench [LAUNCHES]   (default 15 of each; the window is offscreen unless QT_QPA_PLATFORM
// says otherwise)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

struct Launch {
    double ms = -1;
    double cpuMs = -1; // CPU time until the expose: less disturbed by other load than the wall time
    double rssKb = -1;
};

qint64 nowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

Launch launch(const QString &probe, const QStringList &args, const QProcessEnvironment &env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 started = nowNs();
    p.start(probe, args);
    if (!p.waitForFinished(20000))
        return {};
    static const QRegularExpression line(QStringLiteral("exposed_ns=(\\d+) cpu_us=(\\d+) rss_kb=(\\d+)"));
    const QRegularExpressionMatch m = line.match(QString::fromLatin1(p.readAllStandardOutput()));
    if (!m.hasMatch())
        return {};
    return {double(m.captured(1).toLongLong() - started) / 1e6, m.captured(2).toDouble() / 1000.0,
            m.captured(3).toDouble()};
}

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    const qsizetype n = v.size();
    return n == 0 ? -1 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int launches = argc > 1 ? std::max(10, atoi(argv[1])) : 15;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    QTemporaryDir dir;
    const QDir folder(dir.path());
    QFile settings(folder.filePath(QStringLiteral("KelvaneProgrammer.ini")));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write("[Settings]\r\nDebugOptions=1\r\nHardwareType=1\r\nCommPort=1\r\nCommBaudRate=1\r\n");
    settings.close();

    QProcess sim;
    sim.start(QStringLiteral(KELVANE_SIM_PATH), {folder.path(), QStringLiteral("--quiet")});
    QElapsedTimer wait;
    wait.start();
    while (!QFileInfo(folder.filePath(QStringLiteral("COM1"))).isSymLink() && wait.elapsed() < 10000)
        sim.waitForFinished(50);
    if (!QFileInfo(folder.filePath(QStringLiteral("COM1"))).isSymLink()) {
        std::fprintf(stderr, "kelvane-sim did not publish COM1\n");
        return 1;
    }

    const QString program = QStringLiteral(KELVANE_PROBE_PROGRAM);
    const QString minimal = QStringLiteral(KELVANE_PROBE_MINIMAL);
    const QStringList programArgs{folder.filePath(QStringLiteral("KelvaneProgrammer"))};
    // One of each first, so both find the libraries and fonts in the page cache.
    launch(program, programArgs, env);
    launch(minimal, {}, env);

    QList<double> programMs, minimalMs, programCpu, minimalCpu, programKb, minimalKb;
    for (int i = 0; i < launches; ++i) {
        // Alternate which goes first, so neither always follows the other's exit.
        for (int k = 0; k < 2; ++k) {
            const bool isProgram = (i + k) % 2 == 0;
            const Launch l = isProgram ? launch(program, programArgs, env) : launch(minimal, {}, env);
            if (l.ms < 0) {
                std::fprintf(stderr, "a launch of %s failed\n",
                             isProgram ? "the program" : "the minimal window");
                return 1;
            }
            (isProgram ? programMs : minimalMs).append(l.ms);
            (isProgram ? programCpu : minimalCpu).append(l.cpuMs);
            (isProgram ? programKb : minimalKb).append(l.rssKb);
        }
    }
    sim.terminate();
    sim.waitForFinished(5000);

    const double pMs = median(programMs), mMs = median(minimalMs);
    const double pKb = median(programKb), mKb = median(minimalKb);
    std::printf("startup_bench: process start to first expose, median of %d launches each (%s)\n", launches,
                qPrintable(env.value(QStringLiteral("QT_QPA_PLATFORM"))));
    std::printf("program:        %6.1f ms  (min %.1f, max %.1f)  RSS %.0f kB\n", pMs,
                *std::min_element(programMs.begin(), programMs.end()),
                *std::max_element(programMs.begin(), programMs.end()), pKb);
    std::printf("minimal window: %6.1f ms  (min %.1f, max %.1f)  RSS %.0f kB\n", mMs,
                *std::min_element(minimalMs.begin(), minimalMs.end()),
                *std::max_element(minimalMs.begin(), minimalMs.end()), mKb);
    std::printf("ratio: start %.2fx (goal at most 1.25x), memory %.2fx (goal at most 1.10x)\n", pMs / mMs,
                pKb / mKb);
    const double pCpu = median(programCpu), mCpu = median(minimalCpu);
    std::printf("CPU time until the expose: program %.1f ms, minimal window %.1f ms, ratio %.2fx\n", pCpu,
                mCpu, pCpu / mCpu);
    return 0;
}
