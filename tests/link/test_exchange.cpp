// One command exchange over a pseudo-terminal with the simulated device: echoes, failures in each
// phase, late bytes, the refused second exchange, a port lost mid-exchange and closing the window
// while an exchange waits.
#include "linkrig.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>

#include <ctime>

namespace {

const QByteArray clockPayload = QByteArray::fromHex("00000000000002150624"); // 10 bytes, as for 0xA1

qint64 cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

SimFault fault(SimFault::Kind kind, int command, int phase, int count = 0) {
    SimFault f;
    f.kind = kind;
    f.command = command;
    f.phase = phase;
    f.count = count;
    return f;
}

} // namespace

Q_DECLARE_METATYPE(SimFault::Kind)

class TestExchange : public QObject {
    Q_OBJECT
private slots:
    void commandAndPayload() {
        LinkRig rig;
        rig.open();
        QCOMPARE(rig.w->CommandSend(0xA1, clockPayload, true, 4, 4), qint16(0));
        QCOMPARE(rig.log(), QStringLiteral("<0xA1><0x00><0x00><0x00>  <0xA1><0x00><0x00><0x00> OK\r\n"));
        QTRY_COMPARE(rig.sim->frames().size(), 1);
        QCOMPARE(rig.sim->frames()[0].command, quint8(0xA1));
        QCOMPARE(rig.sim->frames()[0].payload, clockPayload);
        QVERIFY(!rig.w->ExchangeBusy);
        QVERIFY(!rig.w->ocxTimer->isActive());
    }

    void wrongEcho_data() {
        QTest::addColumn<int>("phase");
        QTest::newRow("reply to the command byte") << 0;
        QTest::newRow("reply to the payload") << 1;
    }
    void wrongEcho() {
        QFETCH(int, phase);
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 3000);
        rig.sim->addFault(fault(SimFault::WrongEcho, 0xA1, phase));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rig.w->CommandSend(0xA1, clockPayload, true, 4, 4), qint16(1));
        QVERIFY2(clock.elapsed() < 2000, "a complete reply ends the wait without the timer");
        QVERIFY(rig.log().endsWith(QStringLiteral("ERROR: Command\r\n")));
        QCOMPARE(rig.count(QStringLiteral("ERROR: ")), 1);
        QTRY_COMPARE(rig.sim->frames().size(), 1);
        // A failure after the command byte means the payload is never sent.
        QCOMPARE(rig.sim->frames()[0].payload, phase == 0 ? QByteArray() : clockPayload);
    }

    void timeout_data() {
        QTest::addColumn<SimFault::Kind>("kind");
        QTest::addColumn<int>("phase");
        QTest::newRow("silence after the command byte") << SimFault::Silence << 0;
        QTest::newRow("silence after the payload") << SimFault::Silence << 1;
        QTest::newRow("short reply to the command byte") << SimFault::ShortReply << 0;
        QTest::newRow("short reply to the payload") << SimFault::ShortReply << 1;
    }
    void timeout() {
        QFETCH(SimFault::Kind, kind);
        QFETCH(int, phase);
        LinkRig rig;
        rig.open();
        rig.sim->addFault(fault(kind, 0xA1, phase, 2));
        QCOMPARE(rig.w->CommandSend(0xA1, clockPayload, true, 4, 4), qint16(1));
        QVERIFY(rig.log().endsWith(QStringLiteral("ERROR: Timeout\r\n")));
        QCOMPARE(rig.count(QStringLiteral("ERROR: ")), 1);
        QVERIFY(rig.w->TimedOut);
        QTRY_COMPARE(rig.sim->frames().size(), 1);
        QCOMPARE(rig.sim->frames()[0].payload, phase == 0 ? QByteArray() : clockPayload);
    }

    // The one test of the real reply time-out, as start-up sets it.
    void timeoutAfterFiveSeconds() {
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 0);
        QCOMPARE(rig.w->ocxTimer->interval(), 5000);
        rig.sim->addFault(fault(SimFault::Silence, 0xAC, 0));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(1));
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 4990 && elapsed < 6500, qPrintable(QString::number(elapsed)));
        QCOMPARE(rig.log(), QStringLiteral("ERROR: Timeout\r\n"));
    }

    // Bytes arriving do not restart the timer, but each phase starts it afresh.
    void eachPhaseHasItsOwnTime() {
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 700);
        rig.sim->addFault(fault(SimFault::Delay, 0xA1, 0, 450));
        rig.sim->addFault(fault(SimFault::Delay, 0xA1, 1, 450));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rig.w->CommandSend(0xA1, clockPayload, true, 4, 4), qint16(0));
        QVERIFY(clock.elapsed() > 700);
        QVERIFY(rig.log().endsWith(QStringLiteral(" OK\r\n")));
    }

    // After a time-out the abandoned reply still counts: its bytes are stored and shown in hex.
    void lateReplyAfterTimeout() {
        LinkRig rig;
        rig.open();
        rig.sim->addFault(fault(SimFault::Delay, 0xAC, 0, 600));
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(1));
        QCOMPARE(rig.log(), QStringLiteral("ERROR: Timeout\r\n"));
        QTRY_COMPARE(rig.log(), QStringLiteral("ERROR: Timeout\r\n<0xAC><0x00><0x00><0x00><0x36><0x01>  "));
        QCOMPARE(rig.w->ReplyBuffer[4], quint8(0x36));
        QCOMPARE(rig.w->ReplyExpected, qint16(0));
    }

    // Only the awaited number of bytes is the reply; the rest of the same notification is free text.
    void twoRepliesInOneNotification() {
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 3000);
        rig.sim->addFault(fault(SimFault::Delay, 0xAC, 0, 100));
        rig.sim->addFault(fault(SimFault::StrayBytes, 0xAC, 0, 4));
        // Keep the thread busy while all ten bytes fall due, so they reach the port together.
        connect(rig.sim.get(), &SimDevice::frameReceived, rig.sim.get(), [] { QThread::msleep(300); });
        QSignalSpy notifications(rig.w->ocxComm, &OcxComm::OnComm);
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(1));
        QCOMPARE(notifications.size(), 1);
        QCOMPARE(rig.log(), QStringLiteral("<0x55><0x55><0x55><0x55><0xAC><0x00>  <0x00><0x00>6<0x01>"
                                           "ERROR: Command\r\n"));
    }

    // With the PIC16F877 nothing is awaited: both writes leave at once and the result is 0.
    void nothingAwaitedWithPic16() {
        LinkRig rig;
        rig.open({}, 300);
        rig.sim->setController(SimController::PIC16F877);
        QCOMPARE(rig.w->HardwareType, 0);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rig.w->CommandSend(0xA1, clockPayload, true, 4, 4), qint16(0));
        QVERIFY(clock.elapsed() < 100);
        QCOMPARE(rig.log(), QString());
        QVERIFY(!rig.w->ocxTimer->isActive());
        QTRY_COMPARE(rig.sim->frames().size(), 1);
        QCOMPARE(rig.sim->frames()[0].payload, clockPayload);
    }

    void replyLengthZeroEndsByTimer() {
        LinkRig rig;
        rig.open();
        QCOMPARE(rig.w->CommandSend(0xA0, QByteArray(), true, 0, 4), qint16(1));
        QVERIFY(rig.log().contains(QStringLiteral("ERROR: Timeout\r\n")));
    }

    void closedPortWritesNothing() {
        LinkRig rig;
        rig.open();
        rig.w->cboCommPort->setCurrentIndex(0); // "None"
        QVERIFY(!rig.w->ocxComm->PortOpen());
        QCOMPARE(rig.w->CommandSend(0xA1, clockPayload, true, 4, 4), qint16(1));
        QCOMPARE(rig.log(), QStringLiteral("ERROR: Communications port not open\r\n"));
        QVERIFY(!rig.w->ExchangeBusy);
        QVERIFY(!rig.w->ocxTimer->isActive());
    }

    // A handler running during the wait cannot start a second exchange and spoil the first.
    void secondExchangeRefused() {
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 3000);
        rig.sim->addFault(fault(SimFault::Delay, 0xAC, 0, 300));
        qint16 second = -1;
        // The device has the first command and answers it 300 ms later: meanwhile a second one.
        connect(
            rig.sim.get(), &SimDevice::frameReceived, rig.w.get(),
            [&] { second = rig.w->CommandSend(0xAD, QByteArray(), true, 8, 4); }, Qt::SingleShotConnection);
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(0));
        QCOMPARE(second, qint16(1));
        QCOMPARE(rig.log(), QStringLiteral("ERROR: Another command is still waiting for the device\r\n"
                                           "<0xAC><0x00><0x00><0x00><0x36><0x01>  "));
        QCOMPARE(rig.w->ReplyBuffer[0], quint8(0xAC));
        // The device saw no 0xAD: the next command is the next frame it records.
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(0));
        QTRY_COMPARE(rig.sim->frames().size(), 2);
        QCOMPARE(rig.sim->frames()[1].command, quint8(0xAC));
    }

    // The device hangs up mid-exchange: one error line, the exchange fails at once, no error storm,
    // and choosing the port again reopens it.
    void portLostMidExchange_data() {
        QTest::addColumn<bool>("hangUpFault");
        QTest::newRow("device hangs up instead of replying") << true;
        QTest::newRow("device stops while the reply is awaited") << false;
    }
    void portLostMidExchange() {
        QFETCH(bool, hangUpFault);
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 0); // full 5000 ms: the failure must not wait for it
        const QString link = rig.sim->linkPath();
        if (hangUpFault)
            rig.sim->addFault(fault(SimFault::HangUp, 0xA1, 0));
        else {
            rig.sim->addFault(fault(SimFault::Silence, 0xA1, 0));
            QTimer::singleShot(100, rig.sim.get(), [&] { rig.sim->stop(); });
        }
        QSignalSpy lost(rig.w->ocxComm, &OcxComm::portLost);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rig.w->CommandSend(0xA1, clockPayload, true, 4, 4), qint16(1));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(lost.size(), 1);
        QVERIFY(!rig.w->ocxComm->PortOpen());
        QVERIFY(!rig.w->ExchangeBusy);
        QVERIFY(!rig.w->ocxTimer->isActive());
        QCOMPARE(rig.count(QStringLiteral("ERROR: ")), 1);
        QVERIFY(rig.log().startsWith(QStringLiteral("ERROR: Communications port COM1 lost")));
        QVERIFY(rig.log().endsWith(QStringLiteral("\r\n")));

        // Quiet afterwards: no further lines, signals or busy loop.
        const QString logAfter = rig.log();
        const qint64 cpuBefore = cpuMs();
        QTest::qWait(400);
        QVERIFY2(cpuMs() - cpuBefore < 200, "the lost port must not keep the program busy");
        QCOMPARE(rig.log(), logAfter);
        QCOMPARE(lost.size(), 1);
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(1));
        QVERIFY(rig.log().endsWith(QStringLiteral("ERROR: Communications port not open\r\n")));

        // The device is back; picking the same port again reopens it.
        QVERIFY(rig.sim->start(link));
        emit rig.w->cboCommPort->activated(1);
        QVERIFY(rig.w->ocxComm->PortOpen());
        rig.w->cmdClearText_Click();
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(0));
        QCOMPARE(rig.log(), QStringLiteral("<0xAC><0x00><0x00><0x00><0x36><0x01>  "));
    }

    void portLostWhileIdle() {
        LinkRig rig;
        rig.open();
        QSignalSpy lost(rig.w->ocxComm, &OcxComm::portLost);
        rig.sim->stop();
        QVERIFY(lost.wait(2000));
        QVERIFY(rig.log().startsWith(QStringLiteral("ERROR: Communications port COM1 lost (")));
        QVERIFY(rig.log().endsWith(QStringLiteral(")\r\n")));
        QVERIFY(!rig.w->ocxComm->PortOpen());
        QTest::qWait(200);
        QCOMPARE(lost.size(), 1);
        QCOMPARE(rig.count(QStringLiteral("ERROR: ")), 1);
    }

    // Closing the window while an exchange waits ends the wait; shut-down still saves everything.
    void closingWhileWaiting() {
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 0);
        rig.w->show();
        rig.sim->addFault(fault(SimFault::Silence, 0xAC, 0));
        rig.w->txtDumpMemAddr->setText(QStringLiteral("1A2"));
        QTimer::singleShot(100, rig.w.get(), [&] { rig.w->close(); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(1));
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(!rig.w->isVisible());
        QVERIFY(!rig.w->ExchangeBusy);
        QVERIFY(!rig.w->ocxTimer->isActive());
        QVERIFY(!rig.log().contains(QStringLiteral("Timeout")));
        QCOMPARE(rig.setting(QStringLiteral("DumpMemAddr")), QStringLiteral("1A2"));
        QCOMPARE(rig.setting(QStringLiteral("HardwareType")), QStringLiteral("1"));
        QVERIFY(rig.folder.read(QStringLiteral("MyLocation.txt")).size() > 0);
        // Nothing more goes to the device once the window has closed.
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(1));
        rig.w.reset();
    }
};

QTEST_MAIN(TestExchange)
#include "test_exchange.moc"
