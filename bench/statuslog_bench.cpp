// Throughput of the status log: 50 000 appends of about ten characters into the real window,
// as a flood of received bytes produces them.
#include "shell/frmkelvaneprogrammer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir folder;
    frmKelvaneProgrammer window(folder.filePath(QStringLiteral("KelvaneProgrammer")));
    window.show();
    QApplication::processEvents();

    constexpr int appends = 50000;
    const QString pieces[] = {QStringLiteral("<0xAB><0x00>"), QStringLiteral("  OK\r\n"),
                              QStringLiteral("Status = 1\r\n"), QStringLiteral("<0x55>")};
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < appends; ++i)
        window.StatusAppend(pieces[i % 4], false);
    // The box catches up with the log on a later pass of the event loop; wait until it shows it all.
    QString shown = window.statusText();
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (window.txtStatus->toPlainText() != shown)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 ns = timer.nsecsElapsed();

    QTextStream out(stdout);
    out << "statuslog_bench: " << appends << " appends in " << QString::number(ns / 1e6, 'f', 1) << " ms, "
        << QString::number(appends / (ns / 1e9), 'f', 0) << " appends/s, log " << window.statusText().size()
        << " characters\n";
    return 0;
}
