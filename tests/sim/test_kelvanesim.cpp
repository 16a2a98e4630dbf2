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
    void helpDocumentsTheOptions() {
        QProcess sim;
        sim.start(program(), {QStringLiteral("--help")});
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);
        const QByteArray help = sim.readAllStandardOutput();
        for (const char *word :
             {"[FOLDER]", "--port", "--link", "--controller", "--baud", "--version", "--dip", "--serial",
              "--fault", "--frames", "--quiet", "wrong-echo", "hangup"})
            QVERIFY2(help.contains(word), word);
    }

    void badOptionsAreRefused_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("dip") << QStringList{QStringLiteral("--dip"), QStringLiteral("12")};
        QTest::newRow("controller") << QStringList{QStringLiteral("--controller"), QStringLiteral("z80")};
        QTest::newRow("fault") << QStringList{QStringLiteral("--fault"), QStringLiteral("explode")};
        QTest::newRow("serial") << QStringList{QStringLiteral("--serial"), QStringLiteral("70000")};
    }
    void badOptionsAreRefused() {
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        QProcess sim;
        sim.start(program(), arguments << dir.path());
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY(sim.readAllStandardError().startsWith("kelvane-sim: "));
        QVERIFY(!QFileInfo(dir.filePath(QStringLiteral("COM1"))).isSymLink());
    }

    void publishesAnswersPrintsFramesAndStops() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("COM3"));
        QProcess sim;
        sim.start(program(), {QStringLiteral("--port"), QStringLiteral("3"), QStringLiteral("--version"),
                              QStringLiteral("4.25"), QStringLiteral("--dip"), QStringLiteral("0102a0ff"),
                              QStringLiteral("--serial"), QStringLiteral("77"), QStringLiteral("--baud"),
                              QStringLiteral("115200"), QStringLiteral("--fault"),
                              QStringLiteral("stray:AD:0:1"), QStringLiteral("--frames"), dir.path()});
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += sim.readAllStandardOutput()).contains("published at"), 10000);
        QVERIFY(output.contains(link.toLocal8Bit()));
        QVERIFY(QFileInfo(link).isSymLink());

        Line line;
        QVERIFY2(line.open(link), qPrintable(line.port.errorString()));
        QCOMPARE(line.exchange(hex("AC"), 6), hex("AC000000A901")); // 425
        QCOMPARE(line.exchange(hex("AD"), 9), hex("55AD0000000102A0FF"));
        QCOMPARE(line.exchange(hex("AB"), 12), hex("AB0000000055AAFF12004D00"));
        QCOMPARE(line.exchange(hex("AE"), 4), hex("AE000000"));
        QCOMPARE(line.exchange(hex("A00001"), 5).right(4), hex("AE000000"));

        QTRY_VERIFY((output += sim.readAllStandardOutput()).contains("command=AE payload=A0 00 01"));
        QVERIFY(output.contains("since_reply_us=-1 payload_since_reply_us=-1 command=AC payload=\n"));
        QVERIFY(output.contains(" command=AB payload=\n"));

        line.port.close();
        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void pic16f877PrintsItsTicketOnly() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("device"));
        QProcess sim;
        sim.start(program(), {QStringLiteral("--link"), link, QStringLiteral("--controller"),
                              QStringLiteral("16f877"), QStringLiteral("--quiet")});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 10000);
        Line line;
        QVERIFY(line.open(link));
        line.write(hex("A0"));
        QCOMPARE(line.read(14), QByteArray("AUDIT TICKET\r\n"));
        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(sim.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestKelvaneSim)
#include "test_kelvanesim.moc"
