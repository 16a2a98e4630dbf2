// One command exchange over a pseudo-terminal with the simulated device: echoes, failures in each
// phase, late bytes and a port lost mid-exchange (closing while an exchange waits: test_startup).
#include "testsupport.h"

#include <QSerialPort>

#include <ctime>

namespace {

const QByteArray clockPayload = QByteArray::fromHex("00000000000002150624"); // 10 bytes, as for 0xA1
const QString echoA1 = QStringLiteral("<0xA1><0x00><0x00><0x00>");

} // namespace

class TestExchange : public QObject {
    Q_OBJECT
    // The window's serial port, to see what waits in it and whether its input is held (a held port
    // reads at most one byte into its buffer).
    static QSerialPort *portOf(const LinkRig &rig) { return rig.w->ocxComm->findChild<QSerialPort *>(); }
    static bool inputHeld(const LinkRig &rig) { return portOf(rig)->readBufferSize() != 0; }

private slots:
    // 0xA1 with its payload, the reply timer at 700 ms (0: the 5000 ms start-up sets), the device
    // misbehaving as the faults say.
    void phases_data() {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<QString>("log");
        QTest::addColumn<bool>("pastTimer"); // the exchange outlasts one timer interval
        QTest::addColumn<int>("timer");
        const auto row = [](const char *name, const char *faults, const QString &log, bool pastTimer,
                            int timer = 700) {
            QTest::newRow(name) << QString(faults) << log << pastTimer << timer;
        };
        const QString ok = echoA1 + "  " + echoA1 + " OK\r\n";
        const QString timeout = QStringLiteral("ERROR: Timeout\r\n");
        row("both echoes right", "", ok, false);
        // Bytes arriving do not restart the timer, but each phase starts it afresh.
        row("each phase has its own time", "delay:A1:0:450 delay:A1:1:450", ok, true);
        row("wrong echo to the command byte", "wrong-echo:A1:0",
            "<0xA2><0x00><0x00><0x00>  ERROR: Command\r\n", false);
        row("wrong echo to the payload", "wrong-echo:A1:1",
            echoA1 + "  <0xA2><0x00><0x00><0x00> OK\r\nERROR: Command\r\n", false);
        row("silence after the command byte", "silence:A1:0", timeout, true);
        row("silence after the payload", "silence:A1:1", echoA1 + "  " + timeout, true);
        row("short reply to the command byte", "short:A1:0:2", "<0xA1><0x00>" + timeout, true);
        row("short reply to the payload", "short:A1:1:2", echoA1 + "  <0xA1><0x00>" + timeout, true);
        row("the real time-out, as start-up sets it", "silence:A1:0", timeout, true, 0);
    }
    void phases() {
        QFETCH(QString, faults);
        QFETCH(QString, log);
        QFETCH(bool, pastTimer);
        QFETCH(int, timer);
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), timer);
        for (const QString &f : faults.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            rig.fault(f);
        // The pointer shows the wait, and comes back however it ends.
        Qt::CursorShape pointer = Qt::ArrowCursor;
        QTimer::singleShot(0, rig.w.get(), [&pointer] {
            if (const QCursor *const shown = QGuiApplication::overrideCursor())
                pointer = shown->shape();
        });
        QElapsedTimer clock;
        clock.start();
        const qint16 result = rig.w->CommandSend(0xA1, clockPayload, true, 4, 4);
        const qint64 elapsed = clock.elapsed();
        QVERIFY2((elapsed >= (timer ? timer : 4990)) == pastTimer && elapsed < (timer ? timer : 5000) + 1500,
                 qPrintable(QString::number(elapsed)));
        QCOMPARE(pointer, Qt::BusyCursor);
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(rig.log(), log);
        QCOMPARE(result, qint16(log.contains(QStringLiteral("ERROR: ")) ? 1 : 0));
        QCOMPARE(rig.w->TimedOut, log.endsWith(QStringLiteral("Timeout\r\n")));
        QVERIFY(!rig.w->ExchangeBusy);
        QVERIFY(!rig.w->ocxTimer->isActive());
        // A failure after the command byte means the payload is never sent.
        QTRY_COMPARE(rig.sim->frames().size(), 1);
        QCOMPARE(rig.sim->frames()[0].command, quint8(0xA1));
        QCOMPARE(rig.sim->frames()[0].payload, log.startsWith(echoA1 + "  ") ? clockPayload : QByteArray());
    }

    // Nothing is awaited with a reply length of 0: the reply is free text and the timer ends the wait.
    // After a time-out the abandoned reply still counts: its bytes are stored and shown in hex.
    void replyAfterTheTimer() {
        LinkRig rig;
        rig.open();
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 0, 4), qint16(1));
        const QString lengthZero = QStringLiteral("<0xAC><0x00><0x00><0x00>6<0x01>ERROR: Timeout\r\n");
        QCOMPARE(rig.log(), lengthZero);
        rig.fault(QStringLiteral("delay:AC:0:600"));
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(1));
        QCOMPARE(rig.log(), lengthZero + "ERROR: Timeout\r\n");
        QTRY_COMPARE(rig.log(), lengthZero + "ERROR: Timeout\r\n<0xAC><0x00><0x00><0x00><0x36><0x01>  ");
        QCOMPARE(rig.w->ReplyBuffer[4], quint8(0x36));

        // A late comm-test reply is shown as bytes, not decoded as the answer of the failed command.
        rig.fault(QStringLiteral("delay:AB:0:600"));
        QCOMPARE(rig.w->CommandSend(0xAB, QByteArray(), true, 12, 4), qint16(1));
        QTRY_VERIFY(rig.log().endsWith(QStringLiteral("<0xD2><0x04>  ")));
        QVERIFY2(!rig.log().contains(QStringLiteral("Serial")), qPrintable(rig.log()));
    }

    // Text the device sent before a clear of the log is cleared with it, not held back and shown
    // on the cleared log as if it answered what follows. Text held back when a command starts is
    // shown as text before the command's reply, and the reply is taken at once, not after the hold.
    void heldText_data() {
        QTest::addColumn<QString>("button"); // empty: a command is sent instead
        QTest::newRow("^ Clear Text ^") << "cmdClearText";
        QTest::newRow("Program") << "cmdProgram";
        QTest::newRow("Test Comm") << "cmdTestComm";
        QTest::newRow("command during held text") << "";
    }
    void heldText() {
        QFETCH(QString, button);
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 3000);
        rig.w->show();
        rig.w->ocxComm->holdInput(60000);
        rig.sim->sendRaw("~"); // one byte: once it waits in the port, nothing else is on its way
        QTRY_VERIFY(portOf(rig)->bytesAvailable() > 0);
        if (!button.isEmpty()) {
            rig.click(button);
            QTRY_VERIFY(!inputHeld(rig));
            QVERIFY2(!rig.log().contains(QLatin1Char('~')), qPrintable(rig.log()));
            return;
        }
        bool heldWhileWaiting = true;
        connect(rig.sim.get(), &SimDevice::frameReceived, rig.sim.get(),
                [&] { heldWhileWaiting = inputHeld(rig); });
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(0));
        QVERIFY(!heldWhileWaiting);
        QTRY_COMPARE(rig.log(), QStringLiteral("~<0xAC><0x00><0x00><0x00><0x36><0x01>  "));
    }

    // A device talking without pause, a byte at a time: every byte is shown, in order, though the
    // window takes them in batches; a command afterwards gets its own reply.
    void talkativeDevice() {
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 3000);
        QString text;
        for (int i = 0; text.size() < 600; ++i)
            text += QStringLiteral("TICKET %1 ").arg(i);
        QSignalSpy notifications(rig.w->ocxComm, &OcxComm::OnComm);
        rig.sim->sendRaw(text.toLatin1()); // paced at 9600 baud: a byte every 1.04 ms
        QTRY_COMPARE_WITH_TIMEOUT(rig.log(), text, 5000);
        QVERIFY2(notifications.size() < 100, qPrintable(QString::number(notifications.size())));
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(0));
        QCOMPARE(rig.log(), text + QStringLiteral("<0xAC><0x00><0x00><0x00><0x36><0x01>  "));
    }

    // The device hangs up mid-exchange: one error line, the exchange fails at once without the
    // full 5000 ms, and no error storm follows.
    void portLostMidExchange_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("device hangs up instead of replying") << "hangup:A1";
        QTest::newRow("device stops while the reply is awaited") << "silence:A1";
    }
    void portLostMidExchange() {
        QFETCH(QString, fault);
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 0);
        rig.fault(fault);
        if (fault.startsWith(QLatin1String("silence")))
            QTimer::singleShot(100, rig.sim.get(), [&] { rig.sim->stop(); });
        QSignalSpy lost(rig.w->ocxComm, &OcxComm::portLost);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rig.w->CommandSend(0xA1, clockPayload, true, 4, 4), qint16(1));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!rig.w->ocxComm->PortOpen());
        QVERIFY(!rig.w->ocxTimer->isActive());
        QVERIFY(rig.log().startsWith(QStringLiteral("ERROR: Communications port COM1 lost (")));
        QVERIFY(rig.log().endsWith(QStringLiteral(")\r\n")));
        QCOMPARE(rig.count(QStringLiteral("\r\n")), 1);

        // Quiet afterwards: no further lines, signals or busy loop.
        const QString logAfter = rig.log();
        const std::clock_t cpuBefore = std::clock();
        QTest::qWait(400);
        QVERIFY2((std::clock() - cpuBefore) * 1000 / CLOCKS_PER_SEC < 200, "the lost port keeps us busy");
        QCOMPARE(rig.log(), logAfter);
        QCOMPARE(lost.size(), 1);
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(1));
        QCOMPARE(rig.log(),
                 logAfter +
                     QStringLiteral("ERROR: Communications port not open - choose the port again in the Comm "
                                    "Port list\r\n"));
    }
};

QTEST_MAIN(TestExchange)
#include "test_exchange.moc"
