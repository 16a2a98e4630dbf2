// The serial control's errors, and choosing and opening the port from the window:
// failures, the restore of the previous port, "None", the baud rate and the hardware type.
#include "testsupport.h"

class TestPortSelection : public QObject {
    Q_OBJECT
private slots:
    // Failures the window's tests cannot reach: a settings string the port cannot take, and a
    // device another program holds.
    void controlErrors() {
        ProgramFolder folder;
        auto sim = startSim(folder);
        OcxComm comm(folder.path());
        OcxComm other(folder.path());
        QCOMPARE(comm.setSettings(QStringLiteral("9600,N,9,1")).number, int(commErrInvalidSettings));
        QCOMPARE(comm.Settings(), QStringLiteral("9600,N,8,1"));
        QVERIFY(!comm.setPortOpen(true));
        const CommError busy = other.setPortOpen(true);
        QCOMPARE(busy.number, int(commErrInUse));
        QCOMPARE(busy.description, "COM1 (" + folder.file("COM1") + ") is in use by another program");
        QVERIFY(!comm.setPortOpen(false));
        QVERIFY(!other.setPortOpen(true));
    }

    // COMn is the device /dev/ttyS(n-1) unless the program's folder has an entry "COMn" (on Windows
    // the port COMn itself).
    void portNames_data() {
        QTest::addColumn<int>("n");
        for (int n = 1; n <= 12; ++n)
            QTest::newRow(qPrintable(QStringLiteral("COM%1").arg(n))) << n;
    }
    void portNames() {
        QFETCH(int, n);
        ProgramFolder folder;
        OcxComm comm(folder.path());
        QVERIFY(!comm.setCommPort(n));
#ifdef Q_OS_WIN
        QCOMPARE(comm.deviceName(), QStringLiteral("COM%1").arg(n));
#else
        QCOMPARE(comm.deviceName(), QStringLiteral("/dev/ttyS%1").arg(n - 1));
        folder.deadPort(n);
        QCOMPARE(comm.deviceName(), folder.file(QStringLiteral("COM%1").arg(n)));
#endif
    }

    void startupOpensThePortOnce() {
        LinkRig rig;
        rig.folder.deadPort(2);
        // Port 2 fails; had the lists' handlers opened it during start-up there would be more lines.
        rig.open({QStringLiteral("CommPort=2"), QStringLiteral("CommBaudRate=1")});
        // The line names the port as chosen and what it was tried as.
        QCOMPARE(rig.log(),
                 "Error 8001 opening comm port, COM2 (" + rig.folder.file("COM2") + ") not found\r\n");
        for (int n = 1; n <= 12; ++n) // list position n is COMn
            QCOMPARE(rig.w->cboCommPort->itemText(n), QStringLiteral("COM%1").arg(n));
        // The list shows the control's default port again; during start-up that reopens nothing.
        QCOMPARE(rig.w->cboCommPort->currentIndex(), 1);
        QVERIFY(!rig.w->ocxComm->PortOpen());
        QCOMPARE(rig.w->ocxComm->Settings(), QStringLiteral("1200,N,8,1")); // hardware type 0
        QCOMPARE(rig.setting(QStringLiteral("CommPort")), QStringLiteral("1"));
        QCOMPARE(rig.setting(QStringLiteral("CommBaudRate")), QStringLiteral("0"));
    }

    // One error line; the previous port is chosen, opened and saved again.
    void failedChoiceRestoresPreviousPort_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("afterNone");
        QTest::newRow("dangling COM3 link") << 3 << false;
        QTest::newRow("system port absent") << 12 << false;
        // After "None" the port last given to the control comes back, not "None".
        QTest::newRow("after None") << 3 << true;
    }
    void failedChoiceRestoresPreviousPort() {
        QFETCH(int, port);
        QFETCH(bool, afterNone);
        LinkRig rig;
        rig.open();
        rig.folder.deadPort(3);
        if (afterNone) {
            // "None" closes the port quietly; a baud rate chosen then is saved but opens nothing.
            rig.w->cboCommPort->setCurrentIndex(0);
            QCOMPARE(rig.setting(QStringLiteral("CommPort")), QStringLiteral("0"));
            rig.w->cboCommBaudRate->setCurrentIndex(0);
            QVERIFY(!rig.w->ocxComm->PortOpen());
            QCOMPARE(rig.setting(QStringLiteral("CommBaudRate")), QStringLiteral("0"));
            QCOMPARE(rig.log(), QString());
        }
        rig.w->cboCommPort->setCurrentIndex(port);
        QVERIFY2(rig.log().startsWith(QStringLiteral("Error 800")), qPrintable(rig.log()));
        QCOMPARE(rig.count(QStringLiteral("\r\n")), 1);
        QCOMPARE(rig.w->cboCommPort->currentIndex(), 1);
        QCOMPARE(rig.setting(QStringLiteral("CommPort")), QStringLiteral("1"));
        QCOMPARE(rig.w->ocxComm->Settings(), QString(afterNone ? "1200,N,8,1" : "9600,N,8,1"));
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(0));
    }

    // A lost port reopens when the operator picks it again, which changes no index. When the previous
    // port fails too the restore stops there: the list shows the previous port, closed, the settings
    // keep it, and the next start tries it again and says so.
    void twoFailuresKeepThePreviousPort() {
        LinkRig rig;
        rig.open();
        QVERIFY(rig.w->ocxComm->PortOpen());
        rig.sim->stop();
        QTRY_VERIFY(!rig.w->ocxComm->PortOpen());
        rig.sim = startSim(rig.folder);
        emit rig.w->cboCommPort->activated(1);
        QVERIFY2(rig.w->ocxComm->PortOpen(), qPrintable(rig.log()));
        rig.sim->stop(); // COM1 goes away for good
        QTRY_VERIFY(!rig.w->ocxComm->PortOpen());
        rig.folder.deadPort(1);
        rig.folder.deadPort(3);
        rig.w->cmdClearText_Click();
        rig.w->cboCommPort->setCurrentIndex(3);
        const QString failed1 =
            "Error 8001 opening comm port, COM1 (" + rig.folder.file("COM1") + ") not found\r\n";
        QCOMPARE(rig.log(), "Error 8001 opening comm port, COM3 (" + rig.folder.file("COM3") +
                                ") not found\r\n" + failed1);
        QCOMPARE(rig.w->cboCommPort->currentIndex(), 1);
        QVERIFY(!rig.w->ocxComm->PortOpen());
        QCOMPARE(rig.setting(QStringLiteral("CommPort")), QStringLiteral("1"));

        QVERIFY(rig.w->close());
        rig.w = openWindow(rig.folder);
        QCOMPARE(rig.log(), failed1);
        QCOMPARE(rig.w->cboCommPort->currentIndex(), 1);
    }

    // The PIC16F877 runs everything at 1200 baud and answers nothing, so the queries that need
    // an answer are unavailable; the link reopens at 1200 baud.
    void hardwareTypeRules() {
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies() << QStringLiteral("PrinterBaudRate=1"));
        frmKelvaneProgrammer &w = *rig.w;
        const QList<QWidget *> governed = {
            w.cmdTestComm,           w.cmdGetVersionNumber,   w.cmdGetDIPSettings, w.framePrinterBaudRate,
            w.optPrinterBaudRate[0], w.optPrinterBaudRate[1], w.lblCommBaudRate,   w.cboCommBaudRate};
        const auto governedEnabled = [&governed](bool enabled) {
            for (const QWidget *widget : governed)
                QVERIFY2(widget->isEnabled() == enabled, qPrintable(widget->objectName()));
        };
        governedEnabled(true);
        QCOMPARE(rig.sim->effectiveBaud(), 9600);

        QTest::mouseClick(w.optHardwareType[0], Qt::LeftButton);
        QCOMPARE(w.HardwareType, 0);
        governedEnabled(false);
        QCOMPARE(w.cboCommBaudRate->currentIndex(), 0);
        QCOMPARE(w.PrinterBaudRate, 0);
        QVERIFY(w.ocxComm->PortOpen());
        QCOMPARE(rig.sim->effectiveBaud(), 1200);
        QCOMPARE(rig.setting(QStringLiteral("CommBaudRate")), QStringLiteral("0"));

        QTest::mouseClick(w.optHardwareType[1], Qt::LeftButton);
        governedEnabled(true);
        QCOMPARE(w.cboCommBaudRate->currentIndex(), 0); // stays where it was put
        QCOMPARE(rig.log(), QString());
    }
};

QTEST_MAIN(TestPortSelection)
#include "test_portselection.moc"
