// Time of a full "All of the above" programming run against the simulated device, which paces
// its line at the link's own baud rate, beside the time the line itself needs for the same bytes
// (10 bits a byte, both directions). The device runs in this process, on the window's thread,
// as it does in the tests. Goal: the run within 5% of the line time.

#include "link/ocxcomm.h"
#include "shell/frmkelvaneprogrammer.h"
#include "simdevice.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

struct RunFigures {
    double runMs = 0;
    double lineMs = 0;
    qint64 bytesOut = 0;
    qint64 bytesIn = 0;
    int frames = 0;
    bool clean = false; // every section acknowledged
};

RunFigures timeOneRun(int linkBaud) {
    RunFigures figures;
    QTemporaryDir dir;
    const QString folder = dir.path();
    QFile settings(QDir(folder).filePath(QStringLiteral("KelvaneProgrammer.ini")));
    if (!settings.open(QIODevice::WriteOnly))
        return figures;
    settings.write(QStringLiteral("[Settings]\r\nHardwareType=1\r\nCommPort=1\r\nCommBaudRate=%1\r\n")
                       .arg(linkBaud == 9600 ? 1 : 0)
                       .toLatin1());
    settings.close();

    SimDevice sim;
    sim.setBaud(0); // pace at the speed the programmer sets on the line
    QString error;
    if (!sim.start(QDir(folder).filePath(QStringLiteral("COM1")), &error)) {
        std::fprintf(stderr, "simulated device did not start: %s\n", qPrintable(error));
        return figures;
    }
    auto w =
        std::make_unique<frmKelvaneProgrammer>(QDir(folder).filePath(QStringLiteral("KelvaneProgrammer")));
    if (!w->ocxComm->PortOpen() || sim.effectiveBaud() != linkBaud) {
        std::fprintf(stderr, "port not open at %d baud (device paces at %d)\n", linkBaud,
                     sim.effectiveBaud());
        return figures;
    }

    w->chkSendAll->setChecked(true);
    QElapsedTimer timer;
    timer.start();
    w->cmdProgram_Click();
    figures.runMs = double(timer.nsecsElapsed()) / 1e6;

    // Every section command answers 4 bytes to the command byte and 4 to the payload.
    for (const SimFrame &frame : sim.frames()) {
        figures.bytesOut += 1 + frame.payload.size();
        figures.bytesIn += 4 + 4;
    }
    figures.frames = int(sim.frames().size());
    figures.lineMs = double(figures.bytesOut + figures.bytesIn) * 10.0 * 1000.0 / linkBaud;
    figures.clean = !w->statusText().contains(QStringLiteral("ERROR"));
    return figures;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::printf("Full \"All of the above\" run, simulated device in-process, paced at the link rate\n");
    std::printf("%6s %4s %7s %9s %9s %9s %9s  %s\n", "baud", "run", "frames", "bytes", "line ms", "run ms",
                "over %", "within 5%");
    bool allWithin = true;
    for (const int baud : {9600, 1200}) {
        const int runs = baud == 9600 ? 5 : 2;
        QList<double> overheads;
        for (int run = 1; run <= runs; ++run) {
            const RunFigures f = timeOneRun(baud);
            if (f.frames == 0 || !f.clean) {
                std::printf("%6d %4d  run failed (frames %d%s)\n", baud, run, f.frames,
                            f.clean ? "" : ", errors");
                allWithin = false;
                continue;
            }
            const double over = (f.runMs / f.lineMs - 1.0) * 100.0;
            overheads.append(over);
            std::printf("%6d %4d %7d %4lld+%-4lld %9.1f %9.1f %+9.2f  %s\n", baud, run, f.frames,
                        static_cast<long long>(f.bytesOut), static_cast<long long>(f.bytesIn), f.lineMs,
                        f.runMs, over, std::abs(over) <= 5.0 ? "yes" : "NO");
            allWithin = allWithin && std::abs(over) <= 5.0;
        }
        if (!overheads.isEmpty()) {
            std::sort(overheads.begin(), overheads.end());
            std::printf("%6d  median overhead %+.2f %%\n", baud, overheads.at(overheads.size() / 2));
        }
    }
    std::printf("Goal (every run within 5%% of the line time, either way): %s\n",
                allWithin ? "met" : "NOT met");
    return 0;
}
