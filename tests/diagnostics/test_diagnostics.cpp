// The diagnostic buttons against the simulated device: version, DIP switches, memory dump with its
// input checks, comm test, audit ticket, and a second click while a query waits.
#include "../link/linkrig.h"
#include "link/replyreception.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>

namespace {

QString hexForms(const QByteArray &bytes) {
    QString text;
    for (const char c : bytes)
        text += hexForm(quint8(c));
    return text;
}

QString freeTextOf(const QByteArray &bytes) {
    QString text;
    for (const char c : bytes)
        text += freeText(quint8(c));
    return text;
}

SimFault fault(SimFault::Kind kind, int command, int phase, int count = 0) {
    SimFault f;
    f.kind = kind;
    f.command = command;
    f.phase = phase;
    f.count = count;
    return f;
}

// The ticket's clock runs: its date and time line is left out of comparisons.
QString withoutClock(QString text) {
    static const QRegularExpression clock(QStringLiteral("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d"));
    return text.replace(clock, QStringLiteral("<clock>"));
}

// The queries start on an empty log: something is written first to see it go.
void dirtyLog(LinkRig &rig) {
    rig.w->StatusAppend(QStringLiteral("earlier text\r\n"), false);
}

} // namespace

class TestDiagnostics : public QObject {
    Q_OBJECT
private slots:
    void versionNumber_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("shown");
        QTest::newRow("3.10") << 310 << "3.10";
        QTest::newRow("zero") << 0 << "0.00";
        QTest::newRow("0.05") << 5 << "0.05";
        QTest::newRow("327.67") << 32767 << "327.67";
        QTest::newRow("above 327.67") << 40000 << "400.00";
        QTest::newRow("highest") << 65535 << "655.35";
    }
    void versionNumber() {
        QFETCH(int, version);
        QFETCH(QString, shown);
        LinkRig rig;
        rig.open();
        rig.sim->setVersion(quint16(version));
        dirtyLog(rig);
        QTest::mouseClick(rig.w->cmdGetVersionNumber, Qt::LeftButton);
        const QByteArray reply = QByteArray::fromHex("AC000000") + char(version & 0xFF) + char(version >> 8);
        QCOMPARE(rig.log(), hexForms(reply) + QStringLiteral("  \r\n\r\nVersion Number = ") + shown +
                                QStringLiteral("\r\n"));
    }

    void versionTimeout() {
        LinkRig rig;
        rig.open();
        rig.sim->addFault(fault(SimFault::Silence, 0xAC, 0));
        dirtyLog(rig);
        QTest::mouseClick(rig.w->cmdGetVersionNumber, Qt::LeftButton);
        QCOMPARE(rig.log(), QStringLiteral("ERROR: Timeout\r\n"));
    }

    void dipSettings() {
        LinkRig rig;
        rig.open();
        rig.sim->setDipSwitches(QByteArray::fromHex("0F00A505"));
        dirtyLog(rig);
        QTest::mouseClick(rig.w->cmdGetDIPSettings, Qt::LeftButton);
        QCOMPARE(rig.log(), QStringLiteral("<0xAD><0x00><0x00><0x00><0x0F><0x00><0xA5><0x05>  \r\n\r\n"
                                           "DIP SW1 = 0F - 00001111\r\n"
                                           "DIP SW2 = 00 - 00000000\r\n"
                                           "DIP SW3 = A5 - 10100101\r\n"
                                           "DIP SW4 = 05 - 00000101\r\n"));
    }

    void dipSettingsWrongEcho() {
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 3000);
        rig.sim->addFault(fault(SimFault::WrongEcho, 0xAD, 0));
        QTest::mouseClick(rig.w->cmdGetDIPSettings, Qt::LeftButton);
        QVERIFY(rig.log().endsWith(QStringLiteral("  ERROR: Command\r\n")));
        QVERIFY(!rig.log().contains(QStringLiteral("DIP SW")));
    }

    void memoryDump_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("1A2, 16") << "1A2"
                                 << "16" << QByteArray::fromHex("A20110");
        QTest::newRow("lower case ff") << "ff"
                                       << "4" << QByteArray::fromHex("FF0004");
        QTest::newRow("count 0: trailer alone") << "100"
                                                << "0" << QByteArray::fromHex("000100");
        QTest::newRow("7FFF") << "7FFF"
                              << "1" << QByteArray::fromHex("FF7F01");
        QTest::newRow("252 fills the buffer") << "300"
                                              << "252" << QByteArray::fromHex("0003FC");
    }
    void memoryDump() {
        QFETCH(QString, address);
        QFETCH(QString, count);
        QFETCH(QByteArray, payload);
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 2000); // 256 bytes take 270 ms at 9600 baud
        rig.w->txtDumpMemAddr->setText(address);
        rig.w->txtDumpMemCnt->setText(count);
        dirtyLog(rig);
        QTest::mouseClick(rig.w->cmdDumpMemory, Qt::LeftButton);

        const int start = address.toInt(nullptr, 16);
        const int n = count.toInt();
        const QByteArray data = rig.sim->memory().mid(start, n);
        QVERIFY(data.isEmpty() || (quint8(data[0]) != 0xA0 && quint8(data[0]) != 0xAB));
        QCOMPARE(rig.log(), QStringLiteral("<0xAE><0x00><0x00><0x00>  ") + hexForms(data) +
                                QStringLiteral("<0xAE><0x00><0x00><0x00> OK\r\n\r\n\r\n"));
        QCOMPARE(rig.w->ReplyBuffer[n], quint8(0xAE));
        QTRY_COMPARE(rig.sim->frames().size(), 1);
        QCOMPARE(rig.sim->frames()[0].payload, payload);
    }

    // Input the device cannot take gets one line saying what is accepted, and nothing is sent.
    void memoryDumpBadInput_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("line");
        const QString badAddress = QStringLiteral("ERROR: Address must be hexadecimal, 0 to 7FFF\r\n");
        const QString badCount = QStringLiteral("ERROR: Count must be a whole number, 0 to 252\r\n");
        QTest::newRow("address 8000") << "8000"
                                      << "16" << badAddress;
        QTest::newRow("address with 0x") << "0x10"
                                         << "16" << badAddress;
        QTest::newRow("address empty") << ""
                                       << "16" << badAddress;
        QTest::newRow("address not hex") << "12G"
                                         << "16" << badAddress;
        QTest::newRow("count 253") << "1A2"
                                   << "253" << badCount;
        QTest::newRow("count negative") << "1A2"
                                        << "-1" << badCount;
        QTest::newRow("count empty") << "1A2"
                                     << "" << badCount;
        QTest::newRow("count hex") << "1A2"
                                   << "1F" << badCount;
        QTest::newRow("both bad: the address is named") << "FFFF"
                                                        << "999" << badAddress;
    }
    void memoryDumpBadInput() {
        QFETCH(QString, address);
        QFETCH(QString, count);
        QFETCH(QString, line);
        LinkRig rig;
        rig.open();
        rig.w->txtDumpMemAddr->setText(address);
        rig.w->txtDumpMemCnt->setText(count);
        dirtyLog(rig);
        QTest::mouseClick(rig.w->cmdDumpMemory, Qt::LeftButton);
        QCOMPARE(rig.log(), line);
        QVERIFY(!rig.w->ExchangeBusy);
        // The device's next frame is the next command: the dump never went out.
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(0));
        QTRY_COMPARE(rig.sim->frames().size(), 1);
        QCOMPARE(rig.sim->frames()[0].command, quint8(0xAC));
    }

    void memoryDumpPayloadTimeout() {
        LinkRig rig;
        rig.open();
        rig.sim->addFault(fault(SimFault::Silence, 0xAE, 1));
        rig.w->txtDumpMemAddr->setText(QStringLiteral("10"));
        rig.w->txtDumpMemCnt->setText(QStringLiteral("8"));
        QTest::mouseClick(rig.w->cmdDumpMemory, Qt::LeftButton);
        QCOMPARE(rig.log(), QStringLiteral("<0xAE><0x00><0x00><0x00>  ERROR: Timeout\r\n"));
    }

    void commTest() {
        LinkRig rig;
        rig.open();
        rig.sim->setSerialNumber(40000); // above 32767: shown unsigned
        dirtyLog(rig);
        QTest::mouseClick(rig.w->cmdTestComm, Qt::LeftButton);
        QCOMPARE(rig.log(),
                 QStringLiteral("<0xAB><0x00><0x00><0x00><0x00><0x55><0xAA><0xFF><0x12><0x00><0x40><0x9C>"
                                "\r\n\r\n"
                                "Status   = 00010010\r\n"
                                "Options  = 00000000\r\n"
                                "Serial # = 40000\r\n\r\n"));
    }

    void commTestSilent() {
        LinkRig rig;
        rig.open();
        rig.sim->addFault(fault(SimFault::Silence, 0xAB, 0));
        dirtyLog(rig);
        QTest::mouseClick(rig.w->cmdTestComm, Qt::LeftButton);
        QCOMPARE(rig.log(), QStringLiteral("ERROR: Timeout\r\n"));
    }

    // The four-byte reply is awaited and checked; the ticket that follows is free text.
    void auditTicketAwaited() {
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies(), 2000);
        dirtyLog(rig);
        QTest::mouseClick(rig.w->cmdTicket, Qt::LeftButton);
        QCOMPARE(rig.log().left(26), QStringLiteral("<0xA0><0x00><0x00><0x00>\r\n"));
        const QString expected =
            QStringLiteral("<0xA0><0x00><0x00><0x00>\r\n") + freeTextOf(rig.sim->auditTicket());
        QTRY_COMPARE_WITH_TIMEOUT(withoutClock(rig.log()), withoutClock(expected), 10000);
        QVERIFY(rig.log().contains(QStringLiteral("AUDIT TICKET\r\n\r\n")));
    }

    // The PIC16F877 answers nothing: the click returns at once and the ticket arrives as free text.
    void auditTicketPic16() {
        LinkRig rig;
        rig.open({QStringLiteral("DebugOptions=1")});
        rig.sim->setController(SimController::PIC16F877);
        dirtyLog(rig);
        QTest::mouseClick(rig.w->cmdTicket, Qt::LeftButton);
        QCOMPARE(rig.log(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(withoutClock(rig.log()), withoutClock(freeTextOf(rig.sim->auditTicket())),
                                  10000);
    }

    void queriesNeedingRepliesOffWithPic16() {
        LinkRig rig;
        rig.open({QStringLiteral("DebugOptions=1")});
        QVERIFY(!rig.w->cmdGetVersionNumber->isEnabled());
        QVERIFY(!rig.w->cmdGetDIPSettings->isEnabled());
        QVERIFY(!rig.w->cmdTestComm->isEnabled());
        QVERIFY(rig.w->cmdDumpMemory->isEnabled());
        QVERIFY(rig.w->cmdTicket->isEnabled());
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
        rig.sim->addFault(fault(SimFault::Delay, 0xAC, 0, 300));
        // The device has the first command and answers it 300 ms later: meanwhile a second click.
        connect(
            rig.sim.get(), &SimDevice::frameReceived, rig.w.get(),
            [&] {
                rig.w->chkSendAll->setChecked(true);
                QTest::mouseClick(rig.w->findChild<QPushButton *>(second), Qt::LeftButton);
            },
            Qt::SingleShotConnection);
        QTest::mouseClick(rig.w->cmdGetVersionNumber, Qt::LeftButton);
        QCOMPARE(rig.log(), QStringLiteral("ERROR: Another command is still waiting for the device\r\n"
                                           "<0xAC><0x00><0x00><0x00><0x36><0x01>  \r\n\r\n"
                                           "Version Number = 3.10\r\n"));
        QTRY_COMPARE(rig.sim->frames().size(), 1);
    }
};

QTEST_MAIN(TestDiagnostics)
#include "test_diagnostics.moc"
