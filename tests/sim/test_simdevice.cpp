// The simulated device, driven through a real pseudo-terminal with QSerialPort as the programmer
// drives it, and the kelvane-sim program: its options, the port it publishes, the frame lines it
// prints and a clean end on SIGTERM.

#include "simdevice.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const auto hex = [](const char *text) { return QByteArray::fromHex(text); };

// The programmer's end of a line to the device: 9600 baud 8N1, no flow control (QSerialPort's defaults),
// as the programmer opens it, read through the event loop so the device (in the same thread) runs.
struct Line {
    QSerialPort port;
    QByteArray received;

    bool open(const QString &path) {
        port.setPortName(path);
        return port.open(QIODevice::ReadWrite);
    }
    void write(const QByteArray &bytes) {
        port.write(bytes);
        port.flush();
    }
    // The next n bytes from the device, or fewer when they do not come in time.
    QByteArray read(int n) {
        (void)QTest::qWaitFor([&] { return (received += port.readAll()).size() >= n; }, 3000);
        const QByteArray bytes = received.left(n);
        received.remove(0, bytes.size());
        return bytes;
    }
    QByteArray exchange(const QByteArray &bytes, int replyLen) {
        write(bytes);
        return read(replyLen);
    }
    // Nothing more may come within a short while (only for checks that something stays away).
    bool quiet(int ms = 80) {
        QTest::qWait(ms);
        received += port.readAll();
        return received.isEmpty();
    }
};

} // namespace

class TestSimDevice : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<SimDevice> sim;
    std::unique_ptr<Line> line;
    QString link() const { return dir.filePath(QStringLiteral("COM1")); }
    // Runs kelvane-sim to its end: its exit code (-1: it did not end).
    static int runSim(QProcess &process, const QStringList &arguments) {
        process.start(QStringLiteral(KELVANE_SIM), arguments);
        return process.waitForFinished(10000) ? process.exitCode() : -1;
    }

    // A command byte, then its payload once the first reply came; returns the reply to the payload.
    QByteArray program(const QByteArray &command, const QByteArray &payload, int replyLen = 4) {
        line->exchange(command, 4);
        return line->exchange(payload, replyLen);
    }
    QByteArray dump(int addr, int count) {
        return program(hex("AE"), QByteArray(1, char(addr)) + char(addr >> 8) + char(count), count + 4)
            .left(count);
    }

private slots:
    void init() {
        sim = std::make_unique<SimDevice>();
        sim->setBaud(115200);
        QString error;
        QVERIFY2(sim->start(link(), &error), qPrintable(error));
        line = std::make_unique<Line>();
        QVERIFY2(line->open(link()), qPrintable(line->port.errorString()));
    }
    void cleanup() {
        line.reset();
        sim.reset();
        QFile::remove(link()); // a link a test left in the device's place
    }

    void replyLengthsAndEchoes_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("replyLen");
        QTest::addColumn<int>("payloadLen");
        QTest::newRow("A0 audit ticket") << 0xA0 << 4 << 0;
        QTest::newRow("A1 date and time") << 0xA1 << 4 << 10;
        QTest::newRow("A2 options") << 0xA2 << 4 << 81;
        for (const int textBlock : {0xA3, 0xA4, 0xA5, 0xA6}) // disclaimer 1 and 2, location 1 and 2
            QTest::addRow("%X text block", textBlock) << textBlock << 4 << 256;
        QTest::newRow("A9 printer") << 0xA9 << 4 << 22;
        QTest::newRow("AA bonus") << 0xAA << 4 << 16;
        QTest::newRow("AB comm test") << 0xAB << 12 << 0;
        QTest::newRow("AC version") << 0xAC << 6 << 0;
        QTest::newRow("AD DIP") << 0xAD << 8 << 0;
        QTest::newRow("AE dump") << 0xAE << 4 << 3;
    }
    void replyLengthsAndEchoes() {
        QFETCH(int, command);
        QFETCH(int, replyLen);
        QFETCH(int, payloadLen);
        QSignalSpy frames(sim.get(), &SimDevice::frameReceived);
        const QByteArray first = line->exchange(QByteArray(1, char(command)), replyLen);
        QCOMPARE(first.size(), replyLen);
        QCOMPARE(quint8(first.at(0)), quint8(command));
        const QByteArray payload = command == 0xAE ? hex("000110") : QByteArray(payloadLen, '\x01');
        if (payloadLen > 0) {
            const int payloadReplyLen = command == 0xAE ? 20 : 4; // a dump of 16 bytes
            // All but the last byte: the device keeps reading and does not answer yet.
            line->write(payload.chopped(1));
            QVERIFY(line->quiet());
            QCOMPARE(frames.count(), 0);
            const QByteArray second = line->exchange(payload.right(1), payloadReplyLen);
            QCOMPARE(second.size(), payloadReplyLen);
            QCOMPARE(quint8(second.at(payloadReplyLen - 4)), quint8(command));
        }
        QTRY_COMPARE(frames.count(), 1);
        QCOMPARE(sim->frames().last().command, quint8(command));
        QCOMPARE(sim->frames().last().payload, payloadLen > 0 ? payload : QByteArray());
    }

    void memoryHoldsWhatWasProgrammed() {
        QByteArray options(81, '\0');
        options[0] = char(0x81);
        options.replace(21, 10, hex("3412120007000000CDAB"));
        QCOMPARE(program(hex("A2"), options), hex("A2000000"));
        QCOMPARE(dump(SimDevice::addrOptions, 81), options);
        // The comm test reports the options byte last programmed.
        QCOMPARE(line->exchange(hex("AB"), 12), hex("AB0000000055AAFF1281D204"));
    }

    void faultChangesOneReply_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("expected"); // what the AC exchange brings
        QTest::newRow("wrong echo") << "wrong-echo:AC" << hex("AD0000003601");
        QTest::newRow("short reply") << "short:0xac:0:3" << hex("AC0000");
        QTest::newRow("stray bytes") << "stray:AC:0:2" << hex("5555AC0000003601");
        QTest::newRow("silence") << "SILENCE:AC" << QByteArray();
        QTest::newRow("delay") << "delay:AC:0:1" << hex("AC0000003601");
        QTest::newRow("split") << "split:AC:0:2:1" << hex("AC0000003601");
    }
    void faultChangesOneReply() {
        QFETCH(QString, fault);
        QFETCH(QByteArray, expected);
        SimFault parsed;
        QVERIFY(simFaultParse(fault, &parsed));
        sim->addFault(parsed);
        // The fault touches only its command, and only once: the DIP query and the next
        // version query that follow are answered as usual.
        line->write(hex("ACADAC"));
        const QByteArray all = expected + hex("AD0000000F00A5FF") + hex("AC0000003601");
        QCOMPARE(line->read(all.size()), all);
        QVERIFY(line->quiet(30));
    }

    void pacingFollowsTheLineSpeed() {
        sim->setBaud(0);
        line->port.setBaudRate(1200);
        // A 100-byte dump: 4 bytes out and 4 + 104 back, at 8.33 ms a byte.
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(dump(0, 100).size(), 100);
        QVERIFY2(timer.elapsed() >= 800, qPrintable(QString::number(timer.elapsed())));
    }

    void hangUpThenRestartRepointsTheLink() {
        QSignalSpy hungUp(sim.get(), &SimDevice::hungUp);
        const QString oldSlave = sim->slavePath();
        sim->addFault({SimFault::HangUp, 0xAC, 0, 0, 1});
        line->write(hex("AC"));
        QVERIFY(hungUp.wait(3000));
        // The link stays but leads nowhere, never to a terminal another program may get next.
        QVERIFY(QFileInfo(link()).isSymLink());
        QVERIFY(!QFileInfo::exists(link()));

        QVERIFY(sim->start(link()));
        QVERIFY(sim->slavePath() != oldSlave);
        QCOMPARE(QFileInfo(link()).symLinkTarget(), sim->slavePath());
        line->port.close();
        QVERIFY(line->open(link()));
        QCOMPARE(line->exchange(hex("AC"), 6), hex("AC0000003601"));

        // Stopping removes the link only while it is still the one this device made.
        QVERIFY(QFile::remove(link()) && QFile::link(QStringLiteral("/dev/null"), link()));
        sim->stop();
        QCOMPARE(QFileInfo(link()).symLinkTarget(), QStringLiteral("/dev/null"));
    }

    // The kelvane-sim program: its help, a bad option, and an entry it did not make (a link to a real
    // adapter, a file), which it neither replaces nor removes.
    void helpBadOptionAndEntriesItDidNotMake() {
        QProcess process;
        QCOMPARE(runSim(process, {QStringLiteral("--help")}), 0);
        QVERIFY(process.readAllStandardOutput().contains("--fault"));

        QTemporaryDir folder;
        QCOMPARE(runSim(process, {QStringLiteral("--fault"), QStringLiteral("explode"), folder.path()}), 2);
        QVERIFY(process.readAllStandardError().startsWith("kelvane-sim: "));
        QVERIFY(!QFileInfo(folder.filePath(QStringLiteral("COM1"))).isSymLink());

        const QString adapter = folder.filePath(QStringLiteral("COM1"));
        const QString file = folder.filePath(QStringLiteral("COM2"));
        QVERIFY(QFile::link(QStringLiteral("/dev/ttyUSB0"), adapter));
        QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        for (const int port : {1, 2}) {
            QCOMPARE(runSim(process, {QStringLiteral("--port"), QString::number(port), folder.path()}), 1);
            const QByteArray error = process.readAllStandardError();
            QVERIFY2(error.contains("already exists and is not a link this simulated device made"), error);
        }
        QCOMPARE(QFileInfo(adapter).symLinkTarget(), QStringLiteral("/dev/ttyUSB0"));
        QVERIFY(QFileInfo(file).isFile() && !QFileInfo(file).isSymLink());
    }

    void publishesAnswersPrintsFramesAndStops() {
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("COM3"));
        QProcess process;
        process.start(QStringLiteral(KELVANE_SIM),
                      {"--port", "3", "--version", "4.25", "--dip", "0102a0ff", "--serial", "77", "--baud",
                       "115200", "--fault", "stray:AD:0:1", "--frames", folder.path()});
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains("published at"), 10000);
        QVERIFY(output.contains(link.toLocal8Bit()));

        Line own;
        QVERIFY2(own.open(link), qPrintable(own.port.errorString()));
        QCOMPARE(own.exchange(hex("AC"), 6), hex("AC000000A901")); // 425
        QCOMPARE(own.exchange(hex("AD"), 9), hex("55AD0000000102A0FF"));
        QCOMPARE(own.exchange(hex("AB"), 12), hex("AB0000000055AAFF12004D00"));
        QCOMPARE(own.exchange(hex("AE"), 4), hex("AE000000"));
        QCOMPARE(own.exchange(hex("A00001"), 5).right(4), hex("AE000000"));

        QTRY_VERIFY((output += process.readAllStandardOutput()).contains("command=AE payload=A0 00 01"));
        QVERIFY(output.contains("since_reply_us=-1 payload_since_reply_us=-1 command=AC payload=\n"));

        own.port.close();
        process.terminate();
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestSimDevice)
#include "test_simdevice.moc"
