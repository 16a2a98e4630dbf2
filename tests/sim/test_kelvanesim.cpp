// The kelvane-sim program: its options, the port it publishes, the frame lines it prints and
// a clean end on SIGTERM.

#include "simline.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestKelvaneSim : public QObject {
    Q_OBJECT

    static QString program() { return QStringLiteral(KELVANE_SIM); }

private slots:
    void helpAndABadOption() {
        QProcess sim;
        sim.start(program(), {QStringLiteral("--help")});
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);
        const QByteArray help = sim.readAllStandardOutput();
        for (const char *word :
             {"[FOLDER]", "--port", "--link", "--controller", "--baud", "--version", "--dip", "--serial",
              "--fault", "--frames", "--quiet", "wrong-echo", "hangup"})
            QVERIFY2(help.contains(word), word);

        QTemporaryDir dir;
        sim.start(program(), {QStringLiteral("--fault"), QStringLiteral("explode"), dir.path()});
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY(sim.readAllStandardError().startsWith("kelvane-sim: "));
        QVERIFY(!QFileInfo(dir.filePath(QStringLiteral("COM1"))).isSymLink());
    }

    // An entry it did not make (a link to a real adapter, a file) is neither replaced nor removed.
    void refusesAnEntryItDidNotMake() {
        QTemporaryDir dir;
        const QString adapter = dir.filePath(QStringLiteral("COM1"));
        const QString file = dir.filePath(QStringLiteral("COM2"));
        QVERIFY(QFile::link(QStringLiteral("/dev/ttyUSB0"), adapter));
        QFile plain(file);
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        for (const int port : {1, 2}) {
            QProcess sim;
            sim.start(program(), {QStringLiteral("--port"), QString::number(port), dir.path()});
            QVERIFY(sim.waitForFinished(10000));
            QCOMPARE(sim.exitCode(), 1);
            const QByteArray error = sim.readAllStandardError();
            QVERIFY2(error.contains("already exists and is not a link this simulated device made"), error);
        }
        QCOMPARE(QFileInfo(adapter).symLinkTarget(), QStringLiteral("/dev/ttyUSB0"));
        QVERIFY(QFileInfo(file).isFile() && !QFileInfo(file).isSymLink());
    }

    void publishesAnswersPrintsFramesAndStops() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("COM3"));
        QProcess sim;
        sim.start(program(),
                  QStringLiteral("--port 3 --version 4.25 --dip 0102a0ff --serial 77 --baud 115200 "
                                 "--fault stray:AD:0:1 --frames")
                          .split(' ')
                      << dir.path());
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += sim.readAllStandardOutput()).contains("published at"), 10000);
        QVERIFY(output.contains(link.toLocal8Bit()));

        Line line;
        QVERIFY2(line.open(link), qPrintable(line.port.errorString()));
        QCOMPARE(line.exchange(hex("AC"), 6), hex("AC000000A901")); // 425
        QCOMPARE(line.exchange(hex("AD"), 9), hex("55AD0000000102A0FF"));
        QCOMPARE(line.exchange(hex("AB"), 12), hex("AB0000000055AAFF12004D00"));
        QCOMPARE(line.exchange(hex("AE"), 4), hex("AE000000"));
        QCOMPARE(line.exchange(hex("A00001"), 5).right(4), hex("AE000000"));

        QTRY_VERIFY((output += sim.readAllStandardOutput()).contains("command=AE payload=A0 00 01"));
        QVERIFY(output.contains("since_reply_us=-1 payload_since_reply_us=-1 command=AC payload=\n"));

        line.port.close();
        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestKelvaneSim)
#include "test_kelvanesim.moc"
