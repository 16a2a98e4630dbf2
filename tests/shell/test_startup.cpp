// Start-up from the settings file and shut-down back into it.
#include "testsupport.h"

#include "link/ocxcomm.h"
#include "shell/codewindows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWindow>

namespace {

// The key=value lines of section [Settings], in file order.
QStringList settingsLines(const ProgramFolder &folder) {
    QStringList lines;
    bool inSection = false;
    const QString text = QString::fromLocal8Bit(folder.read(QStringLiteral("KelvaneProgrammer.ini")));
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line.compare(QLatin1String("[Settings]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inSection && !line.isEmpty())
            lines << line;
    }
    return lines;
}

QString storedValue(const ProgramFolder &folder, const QString &key) {
    for (const QString &line : settingsLines(folder)) {
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    }
    return QStringLiteral("<missing>");
}

bool profileFunctionsWork() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("probe.ini"));
    ProfileStringWrite(QStringLiteral("Settings"), QStringLiteral("Key"), QStringLiteral("7"), file);
    return ProfileIntGet(QStringLiteral("Settings"), QStringLiteral("Key"), 0, file) == 7;
}

#define REQUIRE_PROFILE()                                                                                    \
    if (!profileFunctionsWork())                                                                             \
    QSKIP("the settings file functions are not in yet")

#define REQUIRE_DEVICE(sim)                                                                                  \
    if (!(sim)->isRunning())                                                                                 \
    QSKIP("the simulated device does not start yet")

const QStringList firstRunKeys = {
    "CommPort=1",       "CommBaudRate=0",   "Options=0",        "PrinterType=0",    "PrinterBaudRate=0",
    "HardwareType=0",   "DumpMemAddr=0",    "DumpMemCnt=0",     "GameNumber0=1111", "GameNumber1=2222",
    "GameNumber2=3333", "GameNumber3=4444", "GameNumber4=5555", "Bonus0=1.00",      "Bonus1=5000",
    "Bonus2=50.00",     "Bonus3=50.00"};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void noSettingsFile();
    void debugFrameShown();
    void dumpFieldsNeedDebug();
    void storedValues_data();
    void storedValues();
    void sendBoxesUnticked();
    void hiddenBonusKept();
    void firstRunThenClose_data();
    void firstRunThenClose();
    void closeAfterProgrammingRun();
    void repickLostPort();
    void closeWhileWaiting_data();
    void closeWhileWaiting();
};

void TestStartup::noSettingsFile() {
    ProgramFolder folder;
    const auto sim = startSim(folder);
    const auto w = openWindow(folder);

    QVERIFY(w->FormLoaded);
    QVERIFY(w->frameDebug->isHidden());
    QCOMPARE(w->size(), QSize(827, 568));
    for (QCheckBox *box : std::as_const(w->chkOptions))
        QVERIFY(!box->isChecked());
    QCOMPARE(w->Options, quint8(0));
    QVERIFY(w->optPrinter[0]->isChecked());
    QVERIFY(w->optPrinterBaudRate[0]->isChecked());
    QVERIFY(w->optHardwareType[0]->isChecked());
    QCOMPARE(w->cboCommBaudRate->currentText(), QStringLiteral("1200"));
    const QStringList bonus = {"1.00", "5000", "50.00", "50.00"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(w->txtBonus[i]->text(), bonus[i]);
    const QStringList games = {"1111", "2222", "3333", "4444", "5555"};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(w->txtGameNumber[i]->text(), games[i]);
    QCOMPARE(w->txtDumpMemAddr->text(), QStringLiteral("0"));
    QCOMPARE(w->txtDumpMemCnt->text(), QStringLiteral("0"));
    QCOMPARE(w->SettingsFileName, QDir::toNativeSeparators(folder.ini()));
    QCOMPARE(w->LocationFileName, QDir::toNativeSeparators(folder.file(QStringLiteral("MyLocation.txt"))));
    QCOMPARE(w->DisclaimerFileName,
             QDir::toNativeSeparators(folder.file(QStringLiteral("MyDisclaimer.txt"))));
    // The reply timer is set up but stays off until an exchange waits.
    QCOMPARE(w->ocxTimer->interval(), 5000);
    QVERIFY(!w->ocxTimer->isActive());

    REQUIRE_DEVICE(sim);
    QCOMPARE(w->cboCommPort->currentText(), QStringLiteral("COM1"));
    REQUIRE_PROFILE();
    QCOMPARE(settingsLines(folder), QStringList({"CommPort=1", "CommBaudRate=0"}));
}

void TestStartup::debugFrameShown() {
    ProgramFolder folder;
    folder.writeSettings({"DebugOptions=1", "DumpMemAddr=1F00", "DumpMemCnt=40"});
    REQUIRE_PROFILE();
    const auto w = openWindow(folder);
    QVERIFY(!w->frameDebug->isHidden());
    QCOMPARE(w->size(), QSize(827, 651));
    QCOMPARE(w->txtDumpMemAddr->text(), QStringLiteral("1F00"));
    QCOMPARE(w->txtDumpMemCnt->text(), QStringLiteral("40"));

    w->txtDumpMemCnt->setText(QStringLiteral("16"));
    w->close();
    QCOMPARE(storedValue(folder, "DumpMemAddr"), QStringLiteral("1F00"));
    QCOMPARE(storedValue(folder, "DumpMemCnt"), QStringLiteral("16"));
    QCOMPARE(storedValue(folder, "DebugOptions"), QStringLiteral("1")); // never written, kept as it was
}

void TestStartup::dumpFieldsNeedDebug() {
    // Without the Debug frame the stored dump fields are not read, and exit writes the initial 0s.
    ProgramFolder folder;
    folder.writeSettings({"DumpMemAddr=1F00", "DumpMemCnt=40"});
    REQUIRE_PROFILE();
    const auto w = openWindow(folder);
    QCOMPARE(w->txtDumpMemAddr->text(), QStringLiteral("0"));
    QCOMPARE(w->txtDumpMemCnt->text(), QStringLiteral("0"));
    w->close();
    QCOMPARE(storedValue(folder, "DumpMemAddr"), QStringLiteral("0"));
    QCOMPARE(storedValue(folder, "DumpMemCnt"), QStringLiteral("0"));
}

void TestStartup::storedValues_data() {
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("printerType");
    QTest::addColumn<int>("printerBaudRate");
    QTest::addColumn<int>("hardwareType");
    QTest::addColumn<int>("commPort");
    QTest::addColumn<int>("commBaudRate");
    QTest::addColumn<bool>("debugShown");

    // Options: the boxes follow the bits, after the option rules have had their say.
    QTest::newRow("options 137") << QStringList{"Options=137"} << 137 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("options 184 tickets win")
        << QStringList{"Options=184"} << 0x20 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("use bonus kept hidden") << QStringList{"Options=4"} << 4 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("printer 6") << QStringList{"PrinterType=6"} << 0 << 6 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("pic16 forces 1200") << QStringList{"HardwareType=0", "PrinterBaudRate=1", "CommBaudRate=1"}
                                       << 0 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("pic18 keeps 9600") << QStringList{"HardwareType=1", "PrinterBaudRate=1", "CommBaudRate=1"}
                                      << 0 << 0 << 1 << 1 << 1 << 1 << false;
    QTest::newRow("port none") << QStringList{"CommPort=0"} << 0 << 0 << 0 << 0 << 0 << 0 << false;
    QTest::newRow("debug -1 shows") << QStringList{"DebugOptions=-1"} << 0 << 0 << 0 << 0 << 1 << 0 << true;

    // Values the program does not know fall back to the key's default.
    QTest::newRow("options 300") << QStringList{"Options=300"} << 0 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("options -1") << QStringList{"Options=-1"} << 0 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("printer 9") << QStringList{"PrinterType=9"} << 0 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("printer -1") << QStringList{"PrinterType=-1"} << 0 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("printer rate 2") << QStringList{"HardwareType=1", "PrinterBaudRate=2"} << 0 << 0 << 0 << 1
                                    << 1 << 0 << false;
    QTest::newRow("hardware 2") << QStringList{"HardwareType=2"} << 0 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("comm rate 7") << QStringList{"HardwareType=1", "CommBaudRate=7"} << 0 << 0 << 0 << 1 << 1
                                 << 0 << false;
    QTest::newRow("port 20") << QStringList{"CommPort=20"} << 0 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("port -3") << QStringList{"CommPort=-3"} << 0 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("port 65537") << QStringList{"CommPort=65537"} << 0 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("debug 70000") << QStringList{"DebugOptions=70000"} << 0 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("debug 65536") << QStringList{"DebugOptions=65536"} << 0 << 0 << 0 << 0 << 1 << 0 << false;
}

void TestStartup::storedValues() {
    QFETCH(QStringList, settings);
    QFETCH(int, options);
    QFETCH(int, printerType);
    QFETCH(int, printerBaudRate);
    QFETCH(int, hardwareType);
    QFETCH(int, commBaudRate);
    QFETCH(bool, debugShown);

    ProgramFolder folder;
    folder.writeSettings(settings);
    REQUIRE_PROFILE();
    const auto sim = startSim(folder);
    REQUIRE_DEVICE(sim);
    const auto w = openWindow(folder);

    QCOMPARE(int(w->Options), options);
    for (int i = 0; i < 8; ++i)
        QVERIFY2(w->chkOptions[i]->isChecked() == bool(options & (1 << i)), qPrintable(QString::number(i)));
    QCOMPARE(w->PrinterType, printerType);
    QVERIFY(w->optPrinter[printerType]->isChecked());
    QCOMPARE(w->PrinterBaudRate, printerBaudRate);
    QVERIFY(w->optPrinterBaudRate[printerBaudRate]->isChecked());
    QCOMPARE(w->HardwareType, hardwareType);
    QVERIFY(w->optHardwareType[hardwareType]->isChecked());
    QTEST(w->cboCommPort->currentIndex(), "commPort");
    QCOMPARE(w->cboCommBaudRate->currentIndex(), commBaudRate);
    QCOMPARE(!w->frameDebug->isHidden(), debugShown);
    QCOMPARE(w->size(), QSize(827, debugShown ? 651 : 568));

    // Shut-down writes what the window settled on.
    w->close();
    QCOMPARE(storedValue(folder, "Options"), QString::number(options));
    QCOMPARE(storedValue(folder, "PrinterType"), QString::number(printerType));
    QCOMPARE(storedValue(folder, "PrinterBaudRate"), QString::number(printerBaudRate));
    QCOMPARE(storedValue(folder, "HardwareType"), QString::number(hardwareType));
}

void TestStartup::sendBoxesUnticked() {
    // Restoring values that differ from the designed ones ticks sections; start-up clears them.
    ProgramFolder folder;
    folder.writeSettings({"Options=3", "PrinterType=2", "HardwareType=1", "PrinterBaudRate=1",
                          "GameNumber0=9999", "Bonus0=2.00"});
    folder.write(QStringLiteral("MyLocation.txt"), "Main Street\r\nAnytown\r\n");
    folder.write(QStringLiteral("MyDisclaimer.txt"), "Void where prohibited\r\n\r\n");
    const auto w = openWindow(folder);
    for (int i = 0; i < 6; ++i)
        QVERIFY2(!w->chkSend[i]->isChecked(), qPrintable(QString::number(i)));
    QVERIFY(!w->chkSendAll->isChecked());
    for (QCheckBox *box : std::as_const(w->chkSend))
        QVERIFY(box->isEnabled());
}

void TestStartup::hiddenBonusKept() {
    ProgramFolder folder;
    folder.writeSettings({"Options=4", "Bonus0=2.50", "Bonus1=100", "Bonus2=", "Bonus3=20.00"});
    REQUIRE_PROFILE();
    const auto w = openWindow(folder);
    QVERIFY(w->frameBonus->isHidden());
    QVERIFY(w->chkSend[5]->isHidden());
    QVERIFY(w->chkOptions[2]->isHidden());
    QVERIFY(w->chkOptions[2]->isChecked());
    QCOMPARE(w->txtBonus[0]->text(), QStringLiteral("2.50"));
    QCOMPARE(w->txtBonus[1]->text(), QStringLiteral("100"));
    QCOMPARE(w->txtBonus[2]->text(), QString()); // stored empty: not the default
    QCOMPARE(w->txtBonus[3]->text(), QStringLiteral("20.00"));

    w->close();
    QCOMPARE(storedValue(folder, "Options"), QStringLiteral("4"));
    QCOMPARE(storedValue(folder, "Bonus0"), QStringLiteral("2.50"));
    QCOMPARE(storedValue(folder, "Bonus1"), QStringLiteral("100"));
    QCOMPARE(storedValue(folder, "Bonus2"), QString());
    QCOMPARE(storedValue(folder, "Bonus3"), QStringLiteral("20.00"));
}

void TestStartup::firstRunThenClose_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Exit button") << false;
    QTest::newRow("close box") << true;
}

void TestStartup::firstRunThenClose() {
    QFETCH(bool, closeBox);
    ProgramFolder folder;
    REQUIRE_PROFILE();
    const auto sim = startSim(folder);
    REQUIRE_DEVICE(sim);
    const auto w = openWindow(folder);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));

    frmKelvaneProgrammer::setBoxText(w->txtLocationInfo, QStringLiteral("Main Street\r\nAnytown"));
    if (closeBox)
        w->windowHandle()->close();
    else
        QTest::mouseClick(w->cmdExit, Qt::LeftButton);

    QVERIFY(!w->isVisible());
    QCOMPARE(settingsLines(folder), firstRunKeys);
    // Both texts are written back to their files, changed or not.
    QCOMPARE(folder.read(QStringLiteral("MyLocation.txt")), QByteArray("Main Street\r\nAnytown\r\n"));
    QCOMPARE(folder.read(QStringLiteral("MyDisclaimer.txt")),
             QByteArray("Put disclaimer information here\r\n"));

    // Shut-down runs once, however often the window is closed.
    QVERIFY(QFile::remove(folder.ini()));
    w->close();
    QVERIFY(!QFile::exists(folder.ini()));
}

void TestStartup::closeAfterProgrammingRun() {
    ProgramFolder folder;
    const auto sim = startSim(folder);
    REQUIRE_DEVICE(sim);
    const auto w = openWindow(folder);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));

    QTest::mouseClick(w->cmdProgram, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w->statusText().contains(QLatin1String("Complete")), 10000);
    const QPointer<frmProgramming> leftOver = w->programmingWindow();
    if (!leftOver)
        QSKIP("the programming run does not show its window yet");
    QVERIFY(!leftOver->isVisible());

    QTest::mouseClick(w->cmdExit, Qt::LeftButton);
    QVERIFY(!w->isVisible());
    QTRY_VERIFY(!leftOver);
    // Nothing is left that could keep the program running.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *tl : windows)
        QVERIFY2(!tl->isVisible(), qPrintable(tl->objectName()));
}

void TestStartup::repickLostPort() {
    // The port vanished; choosing the same list entry again, which changes no index, reopens it.
    ProgramFolder folder;
    auto sim = startSim(folder);
    REQUIRE_DEVICE(sim);
    const auto w = openWindow(folder);
    QVERIFY(w->ocxComm->PortOpen());
    sim->stop();
    QTRY_VERIFY(!w->ocxComm->PortOpen());
    sim = startSim(folder);
    QVERIFY(sim->isRunning());
    QCOMPARE(w->cboCommPort->currentIndex(), 1);
    emit w->cboCommPort->activated(1);
    QVERIFY2(w->ocxComm->PortOpen(), qPrintable(w->statusText()));
}

void TestStartup::closeWhileWaiting_data() {
    QTest::addColumn<bool>("programmingRun");
    QTest::newRow("Test Comm") << false;
    QTest::newRow("programming run") << true;
}

void TestStartup::closeWhileWaiting() {
    // Closing while an exchange waits for a silent device: shut-down happens at once, the wait ends
    // without its 5 seconds, and the handler that waited unwinds safely.
    QFETCH(bool, programmingRun);
    ProgramFolder folder;
    folder.writeSettings({"HardwareType=1"});
    REQUIRE_PROFILE();
    const auto sim = startSim(folder);
    REQUIRE_DEVICE(sim);
    SimFault silence;
    silence.kind = SimFault::Silence;
    silence.times = -1;
    sim->addFault(silence);
    const auto w = openWindow(folder);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->chkSend[0]->setChecked(true);
    w->txtGameNumber[0]->setText(QStringLiteral("4321"));

    QTimer::singleShot(300, w.get(), [&w] { w->close(); });
    QElapsedTimer elapsed;
    elapsed.start();
    QTest::mouseClick(programmingRun ? w->cmdProgram : w->cmdTestComm, Qt::LeftButton);
    QVERIFY2(elapsed.elapsed() < 4000, qPrintable(QString::number(elapsed.elapsed())));

    QVERIFY(!w->isVisible());
    QCOMPARE(storedValue(folder, "GameNumber0"), QStringLiteral("4321"));
    QCOMPARE(storedValue(folder, "HardwareType"), QStringLiteral("1"));
    if (programmingRun) {
        QVERIFY(w->programmingWindow());
        QVERIFY(!w->programmingWindow()->isVisible());
    }
}

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
