// The serial control's port names and errors, and choosing and opening the port from the window:
// failures, the restore of the previous port, "None", the baud rate and the hardware type.
#include "linkrig.h"

#include <QGroupBox>
#include <QLabel>

class TestPortSelection : public QObject {
    Q_OBJECT
private slots:
    void deviceNames() {
        ProgramFolder folder;
        QCOMPARE(commPortDeviceName(3, folder.path()), QStringLiteral("/dev/ttyS2"));
        QCOMPARE(commPortDeviceName(1, folder.path()), QStringLiteral("/dev/ttyS0"));
        folder.deadPort(3); // a dangling link still names the port
        QCOMPARE(commPortDeviceName(3, folder.path()), folder.file(QStringLiteral("COM3")));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), folder.file(QStringLiteral("COM12"))));
        QCOMPARE(commPortDeviceName(12, folder.path()), folder.file(QStringLiteral("COM12")));
    }

    void settingsStrings_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("valid");
        QTest::newRow("9600") << "9600,N,8,1" << true;
        QTest::newRow("1200 lower-case parity") << "1200,n,8,1" << true;
        QTest::newRow("even, 7 bits, 2 stop") << "4800,E,7,2" << true;
        QTest::newRow("three fields") << "9600,N,8" << false;
        QTest::newRow("text") << "fast" << false;
        QTest::newRow("zero baud") << "0,N,8,1" << false;
        QTest::newRow("unknown parity") << "9600,X,8,1" << false;
        QTest::newRow("nine data bits") << "9600,N,9,1" << false;
        QTest::newRow("three stop bits") << "9600,N,8,3" << false;
    }
    void settingsStrings() {
        QFETCH(QString, settings);
        QFETCH(bool, valid);
        QCOMPARE(commSettingsParse(settings, nullptr), valid);
        ProgramFolder folder;
        OcxComm comm(folder.path());
        const CommError error = comm.setSettings(settings);
        QCOMPARE(error.number, valid ? 0 : int(commErrInvalidSettings));
        QCOMPARE(comm.Settings(), valid ? settings : QStringLiteral("9600,N,8,1"));
    }

    // Each failure of the control has its own number and a plain description.
    void controlErrors() {
        ProgramFolder folder;
        auto sim = startSim(folder);
        folder.deadPort(2);
        OcxComm comm(folder.path());
        QCOMPARE(comm.CommPort(), 1);
        QCOMPARE(comm.setCommPort(0).number, int(commErrInvalidPort));
        QCOMPARE(comm.setCommPort(17).number, int(commErrInvalidPort));
        QCOMPARE(comm.CommPort(), 1);

        QVERIFY(!comm.setCommPort(2));
        const CommError missing = comm.setPortOpen(true);
        QCOMPARE(missing.number, int(commErrPortNotFound));
        QCOMPARE(missing.description, QStringLiteral("Port not found"));
        QVERIFY(!comm.PortOpen());

        QVERIFY(!comm.setCommPort(1));
        QVERIFY(!comm.setPortOpen(true));
        QVERIFY(comm.PortOpen());
        QCOMPARE(comm.setPortOpen(true).number, int(commErrAlreadyOpen));
        QCOMPARE(comm.setCommPort(2).number, int(commErrPortOpen));

        // A second control on the same device finds it in use.
        OcxComm other(folder.path());
        const CommError busy = other.setPortOpen(true);
        QCOMPARE(busy.number, int(commErrInUse));
        QCOMPARE(busy.description, QStringLiteral("Port already in use"));

        QVERIFY(!comm.setPortOpen(false));
        QVERIFY(!comm.PortOpen());
        QVERIFY(!other.setPortOpen(true));
    }

    void startupOpensThePortOnce() {
        LinkRig rig;
        rig.folder.deadPort(2);
        // Port 2 fails; had the lists' handlers opened it during start-up there would be more lines.
        rig.open({QStringLiteral("CommPort=2"), QStringLiteral("CommBaudRate=1")});
        QCOMPARE(rig.log(), QStringLiteral("Error 8001 opening comm port, Port not found\r\n"));
        // The list shows the control's default port again; during start-up that reopens nothing.
        QCOMPARE(rig.w->cboCommPort->currentIndex(), 1);
        QCOMPARE(rig.w->ocxComm->CommPort(), 1);
        QVERIFY(!rig.w->ocxComm->PortOpen());
        QCOMPARE(rig.w->ocxComm->Settings(), QStringLiteral("1200,N,8,1")); // hardware type 0
        QCOMPARE(rig.setting(QStringLiteral("CommPort")), QStringLiteral("1"));
        QCOMPARE(rig.setting(QStringLiteral("CommBaudRate")), QStringLiteral("0"));
    }

    void startupWithoutSettings() {
        LinkRig rig;
        rig.sim = startSim(rig.folder);
        rig.w = openWindow(rig.folder);
        QVERIFY(rig.w->ocxComm->PortOpen());
        QCOMPARE(rig.w->cboCommPort->currentText(), QStringLiteral("COM1"));
        QCOMPARE(rig.w->cboCommBaudRate->currentText(), QStringLiteral("1200"));
        QCOMPARE(rig.log(), QString());
        QCOMPARE(rig.setting(QStringLiteral("CommPort")), QStringLiteral("1"));
        QCOMPARE(rig.setting(QStringLiteral("CommBaudRate")), QStringLiteral("0"));
    }

    void failedChoiceRestoresPreviousPort() {
        LinkRig rig;
        rig.open();
        rig.folder.deadPort(3);
        rig.w->cboCommPort->setCurrentIndex(3);
        QCOMPARE(rig.log(), QStringLiteral("Error 8001 opening comm port, Port not found\r\n"));
        QCOMPARE(rig.w->cboCommPort->currentIndex(), 1);
        QCOMPARE(rig.w->ocxComm->CommPort(), 1);
        QVERIFY(rig.w->ocxComm->PortOpen());
        QCOMPARE(rig.setting(QStringLiteral("CommPort")), QStringLiteral("1"));
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(0));
    }

    // Without a "COMn" entry the port is the system's serial device, absent in the test box.
    void missingSystemPort() {
        LinkRig rig;
        rig.open();
        rig.w->cboCommPort->setCurrentIndex(12);
        QVERIFY(rig.log().startsWith(QStringLiteral("Error ")));
        QCOMPARE(rig.count(QStringLiteral("Error ")), 1);
        QCOMPARE(rig.w->cboCommPort->currentIndex(), 1);
        QVERIFY(rig.w->ocxComm->PortOpen());
    }

    void noneClosesQuietly() {
        LinkRig rig;
        rig.open();
        rig.w->cboCommPort->setCurrentIndex(0);
        QVERIFY(!rig.w->ocxComm->PortOpen());
        QCOMPARE(rig.log(), QString());
        QCOMPARE(rig.setting(QStringLiteral("CommPort")), QStringLiteral("0"));

        // The baud rate still changes and is saved, but nothing opens.
        rig.w->cboCommBaudRate->setCurrentIndex(0);
        QVERIFY(!rig.w->ocxComm->PortOpen());
        QCOMPARE(rig.log(), QString());
        QCOMPARE(rig.setting(QStringLiteral("CommBaudRate")), QStringLiteral("0"));

        // A failed choice after "None" brings back the port last given to the control.
        rig.folder.deadPort(3);
        rig.w->cboCommPort->setCurrentIndex(3);
        QCOMPARE(rig.count(QStringLiteral("Error ")), 1);
        QCOMPARE(rig.w->cboCommPort->currentIndex(), 1);
        QVERIFY(rig.w->ocxComm->PortOpen());
        QCOMPARE(rig.w->ocxComm->Settings(), QStringLiteral("1200,N,8,1"));
        QCOMPARE(rig.setting(QStringLiteral("CommPort")), QStringLiteral("1"));
    }

    // When the previous port fails too the restore stops there: "None", port closed, two lines.
    void twoFailuresEndAtNone() {
        LinkRig rig;
        rig.open();
        rig.sim->stop(); // COM1 goes away
        QTRY_VERIFY(!rig.w->ocxComm->PortOpen());
        rig.folder.deadPort(1);
        rig.folder.deadPort(3);
        rig.w->cmdClearText_Click();
        rig.w->cboCommPort->setCurrentIndex(3);
        QCOMPARE(rig.log(), QStringLiteral("Error 8001 opening comm port, Port not found\r\n"
                                           "Error 8001 opening comm port, Port not found\r\n"));
        QCOMPARE(rig.w->cboCommPort->currentIndex(), 0);
        QVERIFY(!rig.w->ocxComm->PortOpen());
        QCOMPARE(rig.setting(QStringLiteral("CommPort")), QStringLiteral("0"));
    }

    void baudRateReopens() {
        LinkRig rig;
        rig.open();
        QCOMPARE(rig.w->ocxComm->Settings(), QStringLiteral("9600,N,8,1"));
        QCOMPARE(rig.sim->effectiveBaud(), 9600);
        rig.w->cboCommBaudRate->setCurrentIndex(0);
        QVERIFY(rig.w->ocxComm->PortOpen());
        QCOMPARE(rig.w->ocxComm->Settings(), QStringLiteral("1200,N,8,1"));
        QCOMPARE(rig.sim->effectiveBaud(), 1200);
        QCOMPARE(rig.setting(QStringLiteral("CommBaudRate")), QStringLiteral("0"));
        QCOMPARE(rig.w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(0));
    }

    // The PIC16F877 runs everything at 1200 baud and answers nothing, so the queries that need
    // an answer are unavailable.
    void hardwareTypeRules() {
        LinkRig rig;
        rig.open(LinkRig::awaitingReplies() << QStringLiteral("PrinterBaudRate=1"));
        frmKelvaneProgrammer &w = *rig.w;
        const QList<QWidget *> governed = {
            w.cmdTestComm,           w.cmdGetVersionNumber,   w.cmdGetDIPSettings, w.framePrinterBaudRate,
            w.optPrinterBaudRate[0], w.optPrinterBaudRate[1], w.lblCommBaudRate,   w.cboCommBaudRate};
        for (QWidget *const widget : governed)
            QVERIFY2(widget->isEnabled(), qPrintable(widget->objectName()));
        QVERIFY(w.optPrinterBaudRate[1]->isChecked());

        QTest::mouseClick(w.optHardwareType[0], Qt::LeftButton);
        QCOMPARE(w.HardwareType, 0);
        QVERIFY(!w.optHardwareType[1]->isChecked());
        for (QWidget *const widget : governed)
            QVERIFY2(!widget->isEnabled(), qPrintable(widget->objectName()));
        QCOMPARE(w.cboCommBaudRate->currentIndex(), 0);
        QVERIFY(w.optPrinterBaudRate[0]->isChecked());
        QCOMPARE(w.PrinterBaudRate, 0);
        QVERIFY(w.ocxComm->PortOpen());
        QCOMPARE(w.ocxComm->Settings(), QStringLiteral("1200,N,8,1"));
        QCOMPARE(rig.setting(QStringLiteral("CommBaudRate")), QStringLiteral("0"));
        QVERIFY(w.cmdTicket->isEnabled());

        QTest::mouseClick(w.optHardwareType[1], Qt::LeftButton);
        QCOMPARE(w.HardwareType, 1);
        for (QWidget *const widget : governed)
            QVERIFY2(widget->isEnabled(), qPrintable(widget->objectName()));
        QCOMPARE(w.cboCommBaudRate->currentIndex(), 0); // stays where it was put
        QCOMPARE(rig.log(), QString());
    }
};

QTEST_MAIN(TestPortSelection)
#include "test_portselection.moc"
