// The link's two speed goals, against kelvane-sim running as a separate process:
// - the CPU time this program uses while it waits the full 5 s for a device that stays silent
//   (goal: under 1% of the wait);
// - the time from the last byte of a reply to the next byte the program writes, as the device
//   sees it (its --frames output): between one command and the next, and between a command's
//   reply and its payload (goal: median under 2 ms).

#include "link/ocxcomm.h"
#include "shell/frmkelvaneprogrammer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

double median(QList<double> values) {
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    const qsizetype mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double percentile(QList<double> values, double p) {
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, qsizetype(p * double(values.size())))];
}

// Waits for the device's link to appear, reading its messages meanwhile.
bool awaitPublished(QProcess &sim, const QString &link) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        if (QFileInfo(link).isSymLink())
            return true;
        if (sim.state() == QProcess::NotRunning)
            return false;
        sim.waitForReadyRead(100);
    }
    return false;
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int queries = 200;

    QTemporaryDir dir;
    const QString folder = dir.path();
    const QString link = QDir(folder).filePath(QStringLiteral("COM1"));
    QFile settings(QDir(folder).filePath(QStringLiteral("KelvaneProgrammer.ini")));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write("[Settings]\r\nHardwareType=1\r\nCommPort=1\r\nCommBaudRate=1\r\n");
    settings.close();

    // The first exchange meets silence; every later one is answered.
    QProcess sim;
    sim.setProcessChannelMode(QProcess::SeparateChannels);
    sim.start(QStringLiteral(KELVANE_SIM_PATH),
              {folder, QStringLiteral("--fault"), QStringLiteral("silence"), QStringLiteral("--frames")});
    if (!sim.waitForStarted() || !awaitPublished(sim, link)) {
        std::fprintf(stderr, "kelvane-sim did not start: %s\n", sim.readAllStandardError().constData());
        return 1;
    }

    auto w =
        std::make_unique<frmKelvaneProgrammer>(QDir(folder).filePath(QStringLiteral("KelvaneProgrammer")));
    if (!w->ocxComm->PortOpen()) {
        std::fprintf(stderr, "port not open: %s\n", qPrintable(w->statusText()));
        return 1;
    }

    // 1. A full wait on a silent device.
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuMs();
    const qint16 silentResult = w->CommandSend(0xAC, QByteArray(), true, 6, 4);
    const double cpuWait = cpuMs() - cpuBefore;
    const double wallWait = double(wall.nsecsElapsed()) / 1e6;

    // 2. Back-to-back exchanges: version queries, then date-and-time sections (command, reply,
    //    payload, reply) as a programming run sends them.
    const QByteArray clockPayload = QByteArray::fromHex("00000000000002150624");
    int failures = 0;
    wall.restart();
    for (int i = 0; i < queries; ++i)
        failures += w->CommandSend(0xAC, QByteArray(), true, 6, 4);
    const double versionMs = double(wall.nsecsElapsed()) / 1e6;
    wall.restart();
    for (int i = 0; i < queries; ++i)
        failures += w->CommandSend(0xA1, clockPayload, true, 4, 4);
    const double sectionMs = double(wall.nsecsElapsed()) / 1e6;
    w.reset();

    sim.terminate();
    sim.waitForFinished(5000);
    const QString frames = QString::fromLatin1(sim.readAllStandardOutput());

    // Frames: the silent one, then the version queries, then the sections. The first answered
    // query follows the silence, so its gap says nothing about the program.
    static const QRegularExpression frameLine(
        QStringLiteral(
            "^frame .*since_reply_us=(-?\\d+) payload_since_reply_us=(-?\\d+) command=([0-9A-F]{2})"),
        QRegularExpression::MultilineOption);
    QList<double> betweenCommands;
    QList<double> betweenQueries;
    QList<double> betweenSections;
    QList<double> toPayload;
    int frameCount = 0;
    for (auto it = frameLine.globalMatch(frames); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        ++frameCount;
        const double since = m.captured(1).toDouble() / 1000.0;
        const double payload = m.captured(2).toDouble() / 1000.0;
        if (frameCount > 2 && since >= 0) {
            betweenCommands.append(since);
            (m.captured(3) == QLatin1String("AC") ? betweenQueries : betweenSections).append(since);
        }
        if (payload >= 0)
            toPayload.append(payload);
    }

    std::printf("link_bench: kelvane-sim as a separate process, 9600 baud, HardwareType 1\n");
    std::printf("wait on a silent device: result %d after %.0f ms wall, %.2f ms CPU = %.3f %% of the wait "
                "(goal under 1 %%)\n",
                silentResult, wallWait, cpuWait, 100.0 * cpuWait / wallWait);
    std::printf(
        "exchanges: %d version queries in %.0f ms (%.2f ms each), %d date-and-time sections in %.0f ms "
        "(%.2f ms each), %d failed, %d frames seen by the device\n",
        queries, versionMs, versionMs / queries, queries, sectionMs, sectionMs / queries, failures,
        frameCount);
    std::printf(
        "last reply byte to next command byte: median %.3f ms, 90th percentile %.3f ms, over %lld gaps "
        "(goal median under 2 ms)\n",
        median(betweenCommands), percentile(betweenCommands, 0.9), qlonglong(betweenCommands.size()));
    std::printf(
        "  of which between version queries: median %.3f ms, 90th percentile %.3f ms; between sections: "
        "median %.3f ms, 90th percentile %.3f ms\n",
        median(betweenQueries), percentile(betweenQueries, 0.9), median(betweenSections),
        percentile(betweenSections, 0.9));
    std::printf(
        "last reply byte to first payload byte: median %.3f ms, 90th percentile %.3f ms, over %lld gaps "
        "(goal median under 2 ms)\n",
        median(toPayload), percentile(toPayload, 0.9), qlonglong(toPayload.size()));
    return silentResult == 1 && failures == 0 ? 0 : 1;
}
