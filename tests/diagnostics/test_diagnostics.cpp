// The diagnostic buttons against the simulated device: each query and its failures, the memory
// dump with its input checks, the audit ticket, and a second click while a query waits.
#include "link/replyreception.h"
#include "testsupport.h"

namespace {

// The bytes as the log shows them, each in the given form.
QString formsOf(const QByteArray &bytes, QString (*form)(quint8)) {
    QString text;
    for (const char c : bytes)
        text += form(quint8(c));
    return text;
}

// The ticket's clock runs: its date and time line is left out of comparisons.
QString withoutClock(QString text) {
    static const QRegularExpression clock(QStringLiteral("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d"));
    return text.replace(clock, QStringLiteral("<clock>"));
}

// Opens the rig and writes something to the log, to see the query clear it.
void openWithText(LinkRig &rig, const QStringList &settings = LinkRig::awaitingReplies(), int timerMs = 300) {
    rig.open(settings, timerMs);
    rig.w->StatusAppend(QStringLiteral("earlier text\r\n"), false);
}

} // namespace

class TestDiagnostics : public QObject {
    Q_OBJECT
private slots:
    // Version 40000 and serial number 40000 lie above 32767: both are shown unsigned.
    void query_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("log");
        const QString timeout = QStringLiteral("ERROR: Timeout\r\n");
        const auto row = [](const char *name, const char *button, const char *fault, const QString &log) {
            QTest::newRow(name) << QString(button) << QString(fault) << log;
        };
        row("version", "cmdGetVersionNumber", "",
            "<0xAC><0x00><0x00><0x00><0x40><0x9C>  \r\n\r\nVersion Number = 400.00\r\n");
        row("version timeout", "cmdGetVersionNumber", "silence:AC", timeout);
        row("DIP settings", "cmdGetDIPSettings", "",
            "<0xAD><0x00><0x00><0x00><0x0F><0x00><0xA5><0x05>  \r\n\r\nDIP SW1 = 0F - 00001111\r\n"
            "DIP SW2 = 00 - 00000000\r\nDIP SW3 = A5 - 10100101\r\nDIP SW4 = 05 - 00000101\r\n");
        row("DIP wrong echo", "cmdGetDIPSettings", "wrong-echo:AD",
            "<0xAE><0x00><0x00><0x00><0x0F><0x00><0xA5><0x05>  ERROR: Command\r\n");
        row("comm test", "cmdTestComm", "",
            "<0xAB><0x00><0x00><0x00><0x00><0x55><0xAA><0xFF><0x12><0x00><0x40><0x9C>\r\n\r\n"
            "Status   = 00010010\r\nOptions  = 00000000\r\nSerial # = 40000\r\n\r\n");
        row("comm test silent", "cmdTestComm", "silence:AB", timeout);
        row("dump payload unanswered", "cmdDumpMemory", "silence:AE:1",
            "<0xAE><0x00><0x00><0x00>  " + timeout);
    }
    void query() {
        QFETCH(QString, button);
        QFETCH(QString, fault);
        LinkRig rig;
        openWithText(rig);
        rig.sim->setVersion(40000);
        rig.sim->setSerialNumber(40000);
        rig.sim->setDipSwitches(QByteArray::fromHex("0F00A505"));
        if (!fault.isEmpty())
            rig.fault(fault);
        rig.click(button);
        QTEST(rig.log(), "log");
    }

    // Input the device cannot take gets one line saying what is accepted, and nothing is sent.
    void memoryDump_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QByteArray>("payload"); // empty: refused with the line
        QTest::addColumn<QString>("line");
        const QString badAddress = QStringLiteral("ERROR: Address must be hexadecimal, 0 to 7FFF\r\n");
        const QString badCount = QStringLiteral("ERROR: Count must be a whole number, 0 to 252\r\n");
        const auto row = [](const char *name, const char *address, const char *count, const char *payload,
                            const QString &line = QString()) {
            QTest::newRow(name) << QString(address) << QString(count) << QByteArray::fromHex(payload) << line;
        };
        row("1A2, 16", "1A2", "16", "A20110");
        row("count 0: trailer alone", "100", "0", "000100");
        row("7FFF", "7FFF", "1", "FF7F01");
        row("252 fills the buffer", "300", "252", "0003FC");
        row("address 8000", "8000", "16", "", badAddress);
        row("count 253", "1A2", "253", "", badCount);
        row("both bad: the address is named", "FFFF", "999", "", badAddress);
    }
    void memoryDump() {
        QFETCH(QString, address);
        QFETCH(QString, count);
        QFETCH(QByteArray, payload);
        LinkRig rig;
        openWithText(rig, LinkRig::awaitingReplies(), 2000); // 256 bytes take 270 ms at 9600 baud
        rig.w->txtDumpMemAddr->setText(address);
        rig.w->txtDumpMemCnt->setText(count);
        rig.click(QStringLiteral("cmdDumpMemory"));
        if (payload.isEmpty()) {
            QTEST(rig.log(), "line");
            // The device's next frame is the next command: the dump never went out.
            QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(0));
        } else {
            const int n = count.toInt();
            const QByteArray data = rig.sim->memory().mid(address.toInt(nullptr, 16), n);
            QVERIFY(data.isEmpty() || (quint8(data[0]) != 0xA0 && quint8(data[0]) != 0xAB));
            QCOMPARE(rig.log(), "<0xAE><0x00><0x00><0x00>  " + formsOf(data, hexForm) +
                                    "<0xAE><0x00><0x00><0x00> OK\r\n\r\n\r\n");
            QCOMPARE(rig.w->ReplyBuffer[n], quint8(0xAE));
        }
        QTRY_COMPARE(rig.sim->frames().size(), 1);
        QCOMPARE(rig.sim->frames()[0].command, quint8(payload.isEmpty() ? 0xAC : 0xAE));
        QCOMPARE(rig.sim->frames()[0].payload, payload);
    }

    // The four-byte reply is awaited and checked where the device answers; the ticket that follows
    // is free text. The PIC16F877 answers nothing: the click returns at once.
    void auditTicket_data() {
        QTest::addColumn<bool>("answering");
        QTest::newRow("PIC18F4520") << true;
        QTest::newRow("PIC16F877") << false;
    }
    void auditTicket() {
        QFETCH(bool, answering);
        LinkRig rig;
        openWithText(rig, answering ? LinkRig::awaitingReplies() : QStringList{"DebugOptions=1"}, 2000);
        if (!answering)
            rig.sim->setController(SimController::PIC16F877);
        const QString reply = answering ? QStringLiteral("<0xA0><0x00><0x00><0x00>\r\n") : QString();
        rig.click(QStringLiteral("cmdTicket"));
        QCOMPARE(answering ? rig.log().left(reply.size()) : rig.log(), reply);
        QTRY_COMPARE_WITH_TIMEOUT(withoutClock(rig.log()),
                                  withoutClock(reply + formsOf(rig.sim->auditTicket(), freeText)), 10000);
    }

    // A second click while a query waits neither clears the log nor disturbs the first query; a
    // programming run started then sends nothing.
    void secondClickRefused_data() {
        QTest::addColumn<QString>("second");
        QTest::newRow("Get DIP Settings") << QStringLiteral("cmdGetDIPSettings");
        QTest::newRow("Program") << QStringLiteral("cmdProgram");
    }
    void secondClickRefused() {
        QFETCH(QString, second);
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 3000);
        rig.fault(QStringLiteral("delay:AC:0:300"));
        rig.w->chkSendAll->setChecked(true);
        // The device has the first command and answers it 300 ms later: meanwhile a second click.
        connect(
            rig.sim.get(), &SimDevice::frameReceived, rig.w.get(), [&] { rig.click(second); },
            Qt::SingleShotConnection);
        rig.click(QStringLiteral("cmdGetVersionNumber"));
        QCOMPARE(rig.log(), QStringLiteral("ERROR: Another command is still waiting for the device\r\n"
                                           "<0xAC><0x00><0x00><0x00><0x36><0x01>  \r\n\r\n"
                                           "Version Number = 3.10\r\n"));
        // The device saw nothing of the second click: its next frame is the next command.
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(0));
        QTRY_COMPARE(rig.sim->frames().size(), 2);
        QCOMPARE(rig.sim->frames()[1].command, quint8(0xAC));
    }
};

QTEST_MAIN(TestDiagnostics)
#include "test_diagnostics.moc"
