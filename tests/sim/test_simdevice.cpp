// The simulated device, driven through a real pseudo-terminal with QSerialPort, as the
// programmer drives it.

#include "simdevice.h"
#include "simline.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestSimDevice : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<SimDevice> sim;
    std::unique_ptr<Line> line;
    QString link() const { return dir->filePath(QStringLiteral("COM1")); }

    // A complete exchange with a payload; returns the reply to the payload.
    QByteArray program(quint8 command, const QByteArray &payload, int payloadReplyLen = 4) {
        const QByteArray first = line->exchange(QByteArray(1, char(command)), 4);
        if (first.size() != 4 || quint8(first.at(0)) != command)
            return "first reply: " + first.toHex();
        return line->exchange(payload, payloadReplyLen);
    }
    QByteArray dump(int addr, int count) {
        QByteArray payload;
        payload.append(char(addr & 0xFF)).append(char(addr >> 8)).append(char(count));
        return program(0xAE, payload, count + 4).left(count);
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
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
        dir.reset();
    }

    void replyLengthsAndEchoes_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("replyLen");
        QTest::addColumn<int>("payloadLen");
        QTest::addColumn<int>("payloadReplyLen");
        QTest::newRow("A0 audit ticket") << 0xA0 << 4 << 0 << 0;
        QTest::newRow("A1 date and time") << 0xA1 << 4 << 10 << 4;
        QTest::newRow("A2 options") << 0xA2 << 4 << 81 << 4;
        QTest::newRow("A3 disclaimer 1") << 0xA3 << 4 << 256 << 4;
        QTest::newRow("A4 disclaimer 2") << 0xA4 << 4 << 256 << 4;
        QTest::newRow("A5 location 1") << 0xA5 << 4 << 256 << 4;
        QTest::newRow("A6 location 2") << 0xA6 << 4 << 256 << 4;
        QTest::newRow("A9 printer") << 0xA9 << 4 << 22 << 4;
        QTest::newRow("AA bonus") << 0xAA << 4 << 16 << 4;
        QTest::newRow("AB comm test") << 0xAB << 12 << 0 << 0;
        QTest::newRow("AC version") << 0xAC << 6 << 0 << 0;
        QTest::newRow("AD DIP") << 0xAD << 8 << 0 << 0;
        QTest::newRow("AE dump of 16") << 0xAE << 4 << 3 << 20;
    }
    void replyLengthsAndEchoes() {
        QFETCH(int, command);
        QFETCH(int, replyLen);
        QFETCH(int, payloadLen);
        QFETCH(int, payloadReplyLen);
        QSignalSpy frames(sim.get(), &SimDevice::frameReceived);

        const QByteArray first = line->exchange(QByteArray(1, char(command)), replyLen);
        QCOMPARE(first.size(), replyLen);
        QCOMPARE(quint8(first.at(0)), quint8(command));
        if (payloadLen > 0) {
            QByteArray payload(payloadLen, '\x01');
            if (command == 0xAE)
                payload = hex("000110");
            // All but the last byte: the device keeps reading and does not answer yet.
            line->write(payload.chopped(1));
            QVERIFY(line->quiet());
            QCOMPARE(frames.count(), 0);
            const QByteArray second = line->exchange(payload.right(1), payloadReplyLen);
            QCOMPARE(second.size(), payloadReplyLen);
            QCOMPARE(quint8(second.at(payloadReplyLen - 4)), quint8(command));
            QTRY_COMPARE(frames.count(), 1);
            QCOMPARE(sim->frames().last().payload, payload);
        } else {
            QTRY_COMPARE(frames.count(), 1);
            QVERIFY(sim->frames().last().payload.isEmpty());
        }
        QCOMPARE(sim->frames().last().command, quint8(command));
    }

    void unknownCommandIsIgnoredButRecorded() {
        QCOMPARE(line->exchange(hex("42A7AC"), 6), hex("AC0000003601"));
        QVERIFY(line->received.isEmpty());
        const QList<SimFrame> frames = sim->frames();
        QCOMPARE(frames.size(), 3);
        QCOMPARE(frames.at(0).command, quint8(0x42));
        QCOMPARE(frames.at(1).command, quint8(0xA7));
        QVERIFY(frames.at(1).payload.isEmpty());
    }

    void programmedValuesAreHeldInMemory() {
        QByteArray options(81, '\0');
        options[0] = char(0x81);
        options.replace(21, 10, hex("3412120007000000CDAB"));
        QCOMPARE(program(0xA2, options), hex("A2000000"));
        const QByteArray printer = hex("0A031B7201021B6900031B2121031B2101031B720001");
        QCOMPARE(program(0xA9, printer), hex("A9000000"));
        const QByteArray bonus = hex("64000000881300008813000088130000");
        QCOMPARE(program(0xAA, bonus), hex("AA000000"));

        QCOMPARE(dump(SimDevice::addrOptions, 81), options);
        QCOMPARE(dump(SimDevice::addrPrinter, 22), printer);
        QCOMPARE(dump(SimDevice::addrBonus, 16), bonus);
        QCOMPARE(dump(SimDevice::addrCounters, 8), hex("F305000038010000")); // 1523, 312
        QCOMPARE(sim->memory().mid(SimDevice::addrOptions, 81), options);

        // The comm test reports the options byte last programmed.
        QCOMPARE(line->exchange(hex("AB"), 12), hex("AB000000"
                                                    "0055AAFF"
                                                    "12"
                                                    "81"
                                                    "D204"));
    }

    void textBlocksFillLocationAndDisclaimer() {
        QByteArray block1 = QByteArray(255, 'x') + 'y';
        QCOMPARE(program(0xA5, block1), hex("A5000000"));
        QCOMPARE(program(0xA6, QByteArray("Main St\r").leftJustified(256, '\0')), hex("A6000000"));
        QCOMPARE(sim->locationText(), QString::fromLatin1(block1 + "Main St\r"));
        QCOMPARE(dump(SimDevice::addrLocation + 255, 3), QByteArray("yMa"));

        // A new first block starts a new text: the old second block does not run on behind it.
        QCOMPARE(program(0xA5, QByteArray("Joe's\rArcade").leftJustified(256, '\0')), hex("A5000000"));
        QCOMPARE(sim->locationText(), QStringLiteral("Joe's\rArcade"));

        QCOMPARE(program(0xA3, QByteArray("Void where prohibited").leftJustified(256, '\0')),
                 hex("A3000000"));
        QCOMPARE(sim->disclaimerText(), QStringLiteral("Void where prohibited"));
        QCOMPARE(dump(SimDevice::addrDisclaimer, 4), QByteArray("Void"));
    }

    void dumpWrapsWithin32K() {
        // A clock programmed with bytes that are not BCD stands still, so its bytes are fixed.
        QCOMPARE(program(0xA1, hex("9A555900230005311209")), hex("A1000000"));
        sim->setAuditCounters({0x44332211});
        QCOMPARE(dump(0x7FFE, 4), hex("00009A55"));
        QCOMPARE(dump(0x8000 + SimDevice::addrCounters, 4), hex("11223344"));
        const QByteArray full = program(0xAE, hex("0000FC"), 256);
        QCOMPARE(full.size(), 256);
        QCOMPARE(quint8(full.at(252)), quint8(0xAE));
        QCOMPARE(program(0xAE, hex("000000"), 4), hex("AE000000"));
    }

    void clockKeepsRunning() {
        // Thursday 31 December 2009, 23:59:59: the next second is Friday 1 January 2010.
        QCOMPARE(program(0xA1, hex("59005900230005311209")), hex("A1000000"));
        const QByteArray set = dump(SimDevice::addrClock, 10);
        QVERIFY2(set == hex("59005900230005311209") || set == hex("00000000000006010110"), set.toHex());
        QTRY_COMPARE_WITH_TIMEOUT(sim->memory().left(10), hex("00000000000006010110"), 3000);
        QCOMPARE(dump(SimDevice::addrClock, 10).mid(2), hex("0000000006010110"));

        // A clock that is not valid BCD is kept as it came.
        QCOMPARE(program(0xA1, hex("9A005900230005311209")), hex("A1000000"));
        QCOMPARE(dump(SimDevice::addrClock, 10), hex("9A005900230005311209"));
    }

    void configuredVersionDipSerialAndStatus() {
        sim->setVersion(32767);
        sim->setDipSwitches(hex("01020304"));
        sim->setSerialNumber(0xBEEF);
        sim->setStatusByte(0x80);
        QCOMPARE(line->exchange(hex("AC"), 6), hex("AC000000FF7F"));
        QCOMPARE(line->exchange(hex("AD"), 8), hex("AD00000001020304"));
        QCOMPARE(line->exchange(hex("AB"), 12), hex("AB0000000055AAFF8000EFBE"));
    }

    void auditTicketText() {
        QCOMPARE(program(0xA5, QByteArray("Joe's Arcade\rMain St\a\r").leftJustified(256, '\0')),
                 hex("A5000000"));
        QCOMPARE(program(0xA3, QByteArray("Not for gambling\r\nNo cash value").leftJustified(256, '\0')),
                 hex("A3000000"));
        const QByteArray expected = sim->auditTicket();
        QCOMPARE(line->exchange(hex("A0"), 4), hex("A0000000"));
        const QByteArray ticket = line->read(expected.size());
        QCOMPARE(ticket.size(), expected.size());
        QVERIFY(line->quiet(30));

        const QString text = QString::fromLatin1(ticket);
        QVERIFY(text.startsWith(QStringLiteral("AUDIT TICKET\r\n")));
        QVERIFY(text.endsWith(QStringLiteral("\r\n")));
        QVERIFY(QRegularExpression(QStringLiteral("\r\n\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n"))
                    .match(text)
                    .hasMatch());
        QVERIFY(text.contains(QStringLiteral("\r\nJoe's Arcade\r\nMain St?\r\n")));
        QVERIFY(text.contains(QStringLiteral("GAMES PLAYED")));
        QVERIFY(text.contains(QStringLiteral("$146.50")));
        QVERIFY(text.contains(QStringLiteral("\r\nNot for gambling\r\nNo cash value\r\n")));
        for (int i = 0; i < ticket.size(); ++i) {
            const char c = ticket.at(i);
            QVERIFY2((c >= 32 && c < 127) || c == '\r' || c == '\n', qPrintable(QString::number(i)));
            if (c == '\r')
                QCOMPARE(ticket.at(i + 1), '\n');
            if (c == '\n')
                QCOMPARE(ticket.at(i - 1), '\r');
        }
    }

    void pic16f877AnswersNothingButPrintsTicket() {
        sim->setController(SimController::PIC16F877);
        QSignalSpy frames(sim.get(), &SimDevice::frameReceived);
        QByteArray options(81, '\0');
        options[0] = char(0x0B);
        // As the programmer sends with this controller: command and payload back to back.
        line->write(hex("AC") + hex("A2") + options + hex("AB"));
        QTRY_COMPARE(frames.count(), 3);
        QCOMPARE(sim->frames().at(1).payload, options);
        QCOMPARE(sim->memory().at(SimDevice::addrOptions), char(0x0B));
        QVERIFY(line->quiet());

        line->write(hex("A0"));
        const QByteArray ticket = line->read(sim->auditTicket().size());
        QVERIFY2(ticket.startsWith("AUDIT TICKET\r\n"), ticket.left(20).toHex());
    }

    void faultChangesOneReply_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("expected"); // what the AC exchange brings
        QTest::newRow("wrong echo") << int(SimFault::WrongEcho) << 0 << hex("AD0000003601");
        QTest::newRow("short reply") << int(SimFault::ShortReply) << 3 << hex("AC0000");
        QTest::newRow("stray bytes") << int(SimFault::StrayBytes) << 2 << hex("5555AC0000003601");
        QTest::newRow("silence") << int(SimFault::Silence) << 0 << QByteArray();
        QTest::newRow("delay") << int(SimFault::Delay) << 1 << hex("AC0000003601");
        QTest::newRow("split") << int(SimFault::Split) << 2 << hex("AC0000003601");
    }
    void faultChangesOneReply() {
        QFETCH(int, kind);
        QFETCH(int, count);
        QFETCH(QByteArray, expected);
        SimFault fault;
        fault.kind = SimFault::Kind(kind);
        fault.command = 0xAC;
        fault.count = count;
        sim->addFault(fault);
        // The fault touches only its command, and only once: the DIP query and the next
        // version query that follow are answered as usual.
        line->write(hex("ACADAC"));
        const QByteArray all = expected +
                               hex("AD000000"
                                   "0F00A5FF") +
                               hex("AC0000003601");
        QCOMPARE(line->read(all.size()), all);
        QVERIFY(line->quiet(30));
    }

    void faultTimingDelayAndSplit() {
        sim->addFault({SimFault::Delay, 0xAC, 0, 300, 1});
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(line->exchange(hex("AC"), 6), hex("AC0000003601"));
        QVERIFY2(timer.elapsed() >= 290, qPrintable(QString::number(timer.elapsed())));

        // Twelve bytes in pieces of four: two gaps of 50 ms.
        sim->addFault({SimFault::Split, 0xAB, 0, 4, 1});
        timer.restart();
        QCOMPARE(line->exchange(hex("AB"), 12).size(), 12);
        QVERIFY2(timer.elapsed() >= 95, qPrintable(QString::number(timer.elapsed())));
    }

    void faultSelectionByPhaseAndTimes() {
        // Phase 1 of the date: the trailer's code is wrong, the first reply is not.
        sim->addFault({SimFault::WrongEcho, 0xA1, 1, 0, 1});
        QCOMPARE(program(0xA1, hex("59005900230005311209")), hex("A2000000"));
        QCOMPARE(program(0xA1, hex("59005900230005311209")), hex("A1000000"));

        // Every exchange with any command, until cleared.
        sim->addFault({SimFault::StrayBytes, -1, 0, 1, -1});
        QCOMPARE(line->exchange(hex("AC"), 7), hex("55AC0000003601"));
        QCOMPARE(line->exchange(hex("AD"), 9), hex("55AD0000000F00A5FF"));
        sim->clearFaults();
        QCOMPARE(line->exchange(hex("AC"), 6), hex("AC0000003601"));

        // Two times, then gone.
        sim->addFault({SimFault::ShortReply, 0xAC, 0, 1, 2});
        QCOMPARE(line->exchange(hex("ACACAC"), 8), hex("ACAC"
                                                       "AC0000003601"));
    }

    void rejectedFirstReplyDropsThePayload() {
        // The programmer gives up after a wrong echo and sends no payload: its next command must
        // be taken as a command, not as the first payload byte.
        sim->addFault({SimFault::WrongEcho, 0xA2, 0, 0, 1});
        QCOMPARE(line->exchange(hex("A2"), 4), hex("A3000000"));
        QCOMPARE(line->exchange(hex("AC"), 6), hex("AC0000003601"));
        QCOMPARE(sim->frames().first().command, quint8(0xA2));
        QVERIFY(sim->frames().first().payload.isEmpty());
    }

    void unfinishedPayloadIsAbandoned() {
        QSignalSpy frames(sim.get(), &SimDevice::frameReceived);
        QCOMPARE(line->exchange(hex("A1"), 4), hex("A1000000"));
        line->write(hex("5900"));
        QVERIFY(frames.wait(SimDevice::payloadTimeoutMs + 2000));
        QCOMPARE(sim->frames().last().payload, hex("5900"));
        QCOMPARE(line->exchange(hex("AC"), 6), hex("AC0000003601"));
    }

    void hangUpThenRestartRepointsTheLink() {
        QSignalSpy hungUp(sim.get(), &SimDevice::hungUp);
        QSignalSpy portErrors(&line->port, &QSerialPort::errorOccurred);
        const QString oldSlave = sim->slavePath();
        QCOMPARE(QFileInfo(link()).symLinkTarget(), oldSlave);
        sim->addFault({SimFault::HangUp, 0xAC, 0, 0, 1});
        line->write(hex("AC"));
        QVERIFY(hungUp.wait(3000));
        QVERIFY(!sim->isRunning());
        // The programmer's end fails to read (Qt reports a vanished device as a resource or a read
        // error), and the link leads nowhere until the device starts again.
        QTRY_VERIFY(!portErrors.isEmpty());
        const auto error = portErrors.first().first().value<QSerialPort::SerialPortError>();
        QVERIFY(error == QSerialPort::ResourceError || error == QSerialPort::ReadError);
        QVERIFY(line->received.isEmpty());
        QVERIFY(QFileInfo(link()).isSymLink());
        QVERIFY(!QFileInfo::exists(link()));

        QVERIFY(sim->start(link()));
        QVERIFY(sim->slavePath() != oldSlave);
        QCOMPARE(QFileInfo(link()).symLinkTarget(), sim->slavePath());
        line = std::make_unique<Line>();
        QVERIFY(line->open(link()));
        QCOMPARE(line->exchange(hex("AC"), 6), hex("AC0000003601"));
    }

    void portClosedAndReopened() {
        QCOMPARE(line->exchange(hex("AC"), 6), hex("AC0000003601"));
        line->port.close();
        QVERIFY(line->open(link()));
        QCOMPARE(line->exchange(hex("AD"), 8), hex("AD0000000F00A5FF"));
        sim->stop();
        QVERIFY(!QFileInfo::exists(link()) && !QFileInfo(link()).isSymLink());
    }

    void startReplacesAnExistingFile() {
        sim->stop();
        line.reset();
        QFile file(link());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(sim->start(link()));
        QCOMPARE(QFileInfo(link()).symLinkTarget(), sim->slavePath());
        QVERIFY(!sim->start(dir->filePath(QStringLiteral("missing/COM1"))));
    }

    void pacingFollowsTheLineSpeed() {
        sim->setBaud(0);
        QCOMPARE(sim->effectiveBaud(), 9600);
        line->port.setBaudRate(1200);
        QCOMPARE(sim->effectiveBaud(), 1200);

        // A 100-byte dump: 4 + 104 bytes back and 4 bytes out at 8.33 ms a byte.
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(line->exchange(hex("AE"), 4), hex("AE000000"));
        QCOMPARE(line->exchange(hex("000064"), 104).size(), 104);
        QVERIFY2(timer.elapsed() >= 800, qPrintable(QString::number(timer.elapsed())));

        sim->setBaud(115200);
        QCOMPARE(sim->effectiveBaud(), 115200);
    }

    void turnaroundIsRecorded() {
        QCOMPARE(line->exchange(hex("AC"), 6), hex("AC0000003601"));
        QCOMPARE(program(0xA1, hex("59005900230005311209")), hex("A1000000"));
        const QList<SimFrame> frames = sim->frames();
        QCOMPARE(frames.size(), 2);
        QCOMPARE(frames.at(0).sinceReplyUs, -1);
        QVERIFY(frames.at(1).sinceReplyUs >= 0);
        QVERIFY(frames.at(1).payloadSinceReplyUs >= 0);
        QVERIFY(frames.at(1).receivedUs > frames.at(0).receivedUs);
        QVERIFY(simFrameLine(frames.at(1))
                    .endsWith(QStringLiteral(" command=A1 payload=59 00 59 00 23 00 05 31 12 09")));
    }

    void faultTextParsing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("phase");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("times");
        QTest::newRow("kind only") << "silence" << true << int(SimFault::Silence) << -1 << 0 << 0 << 1;
        QTest::newRow("all fields") << "delay:AC:1:300:-1" << true << int(SimFault::Delay) << 0xAC << 1 << 300
                                    << -1;
        QTest::newRow("0x and any") << "split:0xa1" << true << int(SimFault::Split) << 0xA1 << 0 << 0 << 1;
        QTest::newRow("any command") << "HANGUP:any:0:0:2" << true << int(SimFault::HangUp) << -1 << 0 << 0
                                     << 2;
        QTest::newRow("wrong-echo") << "wrong-echo:A2" << true << int(SimFault::WrongEcho) << 0xA2 << 0 << 0
                                    << 1;
        QTest::newRow("empty command field")
            << "short::0:2" << true << int(SimFault::ShortReply) << -1 << 0 << 2 << 1;
        QTest::newRow("unknown kind") << "crash" << false << 0 << 0 << 0 << 0 << 0;
        QTest::newRow("bad command") << "stray:XYZ" << false << 0 << 0 << 0 << 0 << 0;
        QTest::newRow("command too big") << "stray:1A0" << false << 0 << 0 << 0 << 0 << 0;
        QTest::newRow("phase 2") << "stray:A0:2" << false << 0 << 0 << 0 << 0 << 0;
        QTest::newRow("negative count") << "stray:A0:0:-3" << false << 0 << 0 << 0 << 0 << 0;
        QTest::newRow("too many fields") << "stray:A0:0:1:1:1" << false << 0 << 0 << 0 << 0 << 0;
    }
    void faultTextParsing() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        SimFault fault;
        QString error;
        QCOMPARE(simFaultParse(text, &fault, &error), ok);
        QCOMPARE(error.isEmpty(), ok);
        if (!ok)
            return;
        QTEST(int(fault.kind), "kind");
        QTEST(fault.command, "command");
        QTEST(fault.phase, "phase");
        QTEST(fault.count, "count");
        QTEST(fault.times, "times");
    }
};

QTEST_GUILESS_MAIN(TestSimDevice)
#include "test_simdevice.moc"
