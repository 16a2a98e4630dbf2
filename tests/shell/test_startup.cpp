// Start-up from the settings file and shut-down back into it.
#include "testsupport.h"

#include "shell/sessionend.h"

#include <cstdio>

namespace {

QString storedValue(const ProgramFolder &folder, const QString &key) {
    const QStringList lines = QString::fromLocal8Bit(folder.read(QStringLiteral("KelvaneProgrammer.ini")))
                                  .split(QStringLiteral("\r\n"))
                                  .filter(QRegularExpression(QLatin1Char('^') + key + '='));
    return lines.size() == 1 ? lines[0].mid(key.size() + 1) : QStringLiteral("<missing or repeated>");
}

const QStringList firstRunKeys = {
    "CommPort=1",       "CommBaudRate=0",   "Options=0",        "PrinterType=0",    "PrinterBaudRate=0",
    "HardwareType=0",   "DumpMemAddr=0",    "DumpMemCnt=0",     "GameNumber0=1111", "GameNumber1=2222",
    "GameNumber2=3333", "GameNumber3=4444", "GameNumber4=5555", "Bonus0=1.00",      "Bonus1=5000",
    "Bonus2=50.00",     "Bonus3=50.00"};

const QString pressAgain = QStringLiteral("Press Exit again to close; what could not be saved is then lost.");

// Closes the window with its close box or with Exit.
void closeBy(bool closeBox, frmKelvaneProgrammer &w) {
    if (closeBox)
        w.windowHandle()->close();
    else
        QTest::mouseClick(w.cmdExit, Qt::LeftButton);
}

// While it lives, what the process writes to standard error goes to a file.
struct StderrCapture {
    QTemporaryFile file;
    const int saved = ::dup(2); // standard error is unbuffered: nothing waits to be flushed
    StderrCapture() { ::dup2(file.open() ? file.handle() : saved, 2); }
    ~StderrCapture() {
        ::dup2(saved, 2);
        ::close(saved);
    }
    QString text() { return file.seek(0) ? QString::fromLocal8Bit(file.readAll()) : QString(); }
};

// The child of the session-end and kill tests, on the folder: catches the signals as the program does,
// edits settings and a text through the controls, then, in `mode`, waits in the event loop ("idle"), in an
// open file dialog ("dialog"), in a command waiting for a silent device ("waiting"), with a full
// disk ("full"), or stuck outside the event loop, as on a hung drive ("stuck"). It says "ready".
int sessionEndChild(const QString &folder, const QString &mode) {
    SessionEnd::catchSignals();
    SimDevice sim;
    if (mode == "waiting" && !sim.start(folder + "/COM1"))
        return 10;
    sim.addFault({SimFault::Silence, -1, 0, 0, -1}); // heard only where it runs, in "waiting"
    frmKelvaneProgrammer w(folder + QStringLiteral("/KelvaneProgrammer"));
    const SessionEnd sessionEnd(&w);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        return 11;
    if (mode == "full")
        frmKelvaneProgrammer::setBoxText(w.txtLocationInfo, QString(2000, u'x'));
    QTest::mouseClick(w.chkOptions[0], Qt::LeftButton);
    for (int i = 0; i < w.txtGameNumber.size(); ++i) // more keys for a write cut short to mix
        w.txtGameNumber[i]->setText(QStringLiteral("9%1").arg(i));
    QTest::keyClicks(w.txtLocationInfo, QStringLiteral("Joe's"));
    const FileSizeLimit full(mode == "full" ? 1000 : RLIM_INFINITY);
    if (mode == "stuck") {
        fputs("ready\n", stdout);
        char byte = 0;
        return int(::read(STDIN_FILENO, &byte, 1)); // never answered
    }
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if ((mode != "dialog" || qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) &&
            (mode != "waiting" || w.ExchangeBusy)) {
            poll.stop();
            fputs("ready\n", stdout);
        }
    });
    poll.start(10);
    QPushButton *const press = mode == "dialog"    ? w.cmdFileOps[0]
                               : mode == "waiting" ? w.cmdTestComm
                                                   : nullptr;
    if (press)
        QTimer::singleShot(0, press, [press] { QTest::mouseClick(press, Qt::LeftButton); });
    return QApplication::exec();
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void storedValues_data() {
        QTest::addColumn<QStringList>("settings"); // no lines: no settings file at all
        // Options, PrinterType, PrinterBaudRate, HardwareType, port and rate positions, Debug frame shown.
        QTest::addColumn<QList<int>>("expected");
        const auto row = [](const char *name, const QStringList &settings, const QList<int> &expected) {
            QTest::newRow(name) << settings << expected;
        };
        const QList<int> defaults = {0, 0, 0, 0, 1, 0, 0};
        row("no file", {}, defaults);
        row("debug 1", {"DebugOptions=1"}, {0, 0, 0, 0, 1, 0, 1});
        row("debug -1", {"DebugOptions=-1"}, {0, 0, 0, 0, 1, 0, 1});
        // The boxes follow the bits, after the option rules have had their say.
        row("options 137", {"Options=137"}, {137, 0, 0, 0, 1, 0, 0});
        row("printer 6", {"PrinterType=6"}, {0, 6, 0, 0, 1, 0, 0});
        row("pic16 forces 1200", {"HardwareType=0", "PrinterBaudRate=1", "CommBaudRate=1"}, defaults);
        row("pic18: 9600", {"HardwareType=1", "PrinterBaudRate=1", "CommBaudRate=1"}, {0, 0, 1, 1, 1, 1, 0});
        row("port none", {"CommPort=0"}, {0, 0, 0, 0, 0, 0, 0});
        // Values the program does not know fall back to the key's default.
        for (const char *unknown :
             {"Options=300", "Options=-1", "PrinterType=7", "PrinterType=-1", "HardwareType=2", "CommPort=13",
              "CommPort=-3", "CommPort=65537", "DebugOptions=65536"})
            row(unknown, {unknown}, defaults);
        row("printer rate 2", {"HardwareType=1", "PrinterBaudRate=2"}, {0, 0, 0, 1, 1, 0, 0});
        row("comm rate 2", {"HardwareType=1", "CommBaudRate=2"}, {0, 0, 0, 1, 1, 0, 0});
    }

    void storedValues() {
        QFETCH(QStringList, settings);
        QFETCH(QList<int>, expected);
        // The dump fields are read only when the Debug frame shows; otherwise exit writes their initial 0.
        const QString dumpAddr = expected[6] ? "1F00" : "0";
        // A value stored empty stays empty, not the default, though the bonus frame never shows.
        const QString bonus2 = settings.isEmpty() ? "50.00" : "";

        ProgramFolder folder;
        const auto sim = startSim(folder);
        const auto w = openWindow(
            folder, settings.isEmpty() ? settings : settings + QStringList{"DumpMemAddr=1F00", "Bonus2="});

        QList<int> state = {w->Options, w->PrinterType, w->PrinterBaudRate, w->HardwareType};
        state << w->cboCommPort->currentIndex() << w->cboCommBaudRate->currentIndex()
              << w->frameDebug->isVisibleTo(w.get());
        QCOMPARE(state, expected);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(w->chkOptions[i]->isChecked(), bool(w->Options & (1 << i)));
        QVERIFY(w->optPrinter[w->PrinterType]->isChecked() &&
                w->optHardwareType[w->HardwareType]->isChecked() &&
                w->optPrinterBaudRate[w->PrinterBaudRate]->isChecked());
        QCOMPARE(w->txtDumpMemAddr->text(), dumpAddr);
        QCOMPARE(w->txtBonus[2]->text(), bonus2);
        QVERIFY(w->frameBonus->isHidden() && w->chkSend[5]->isHidden() && w->chkOptions[2]->isHidden());
        // Loading ticks send boxes through the change handlers; the window still opens with none ticked.
        for (const QCheckBox *box : std::as_const(w->chkSend))
            QVERIFY(!box->isChecked());

        // Shut-down writes what the window settled on.
        w->txtDumpMemCnt->setText(QStringLiteral("16"));
        w->close();
        const QStringList keys = {"Options", "PrinterType", "PrinterBaudRate", "HardwareType"};
        for (int i = 0; i < keys.size(); ++i)
            QCOMPARE(storedValue(folder, keys[i]), QString::number(expected[i]));
        QCOMPARE(storedValue(folder, "DumpMemAddr"), dumpAddr);
        QCOMPARE(storedValue(folder, "DumpMemCnt"), QStringLiteral("16"));
        QCOMPARE(storedValue(folder, "Bonus2"), bonus2);
    }

    void firstRunThenClose_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::addColumn<bool>("programFirst"); // a run leaves the hidden "Programming Kelvane" window
        QTest::newRow("Exit button") << false << false;
        QTest::newRow("close box, after a programming run") << true << true;
    }

    void firstRunThenClose() {
        QFETCH(bool, closeBox);
        QFETCH(bool, programFirst);
        ProgramFolder folder;
        const auto sim = startSim(folder);
        const auto w = openWindow(folder);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        // Start-up notes the port it opened; the reply timer stays off until an exchange waits.
        QCOMPARE(folder.read("KelvaneProgrammer.ini"),
                 ProgramFolder::settingsBytes({"CommPort=1", "CommBaudRate=0"}));
        QVERIFY(!w->ocxTimer->isActive());

        QPointer<frmProgramming> leftOver;
        if (programFirst) {
            QTest::mouseClick(w->cmdProgram, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(w->statusText().contains(QLatin1String("Complete")), 10000);
            leftOver = w->programmingWindow();
            QVERIFY(leftOver && !leftOver->isVisible());
            QCOMPARE(leftOver->windowTitle(), QStringLiteral("Programming Kelvane"));
        }
        frmKelvaneProgrammer::setBoxText(w->txtLocationInfo, QStringLiteral("Main Street\r\nAnytown"));
        closeBy(closeBox, *w);
        QVERIFY(!w->isVisible());
        QCOMPARE(folder.read("KelvaneProgrammer.ini"), ProgramFolder::settingsBytes(firstRunKeys));
        // Both texts are written back to their files, changed or not.
        QCOMPARE(folder.read("MyLocation.txt"), QByteArray("Main Street\r\nAnytown\r\n"));
        QCOMPARE(folder.read("MyDisclaimer.txt"), QByteArray("Put disclaimer information here\r\n"));
        // Nothing is left that could keep the program running.
        QTRY_VERIFY(!leftOver);
        for (const QWidget *window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));

        // Shut-down runs once, however often the window is closed.
        QVERIFY(QFile::remove(folder.ini()));
        w->close();
        QVERIFY(!QFile::exists(folder.ini()));
    }

    void closeWhileWaiting_data() {
        QTest::addColumn<bool>("programmingRun");
        QTest::addColumn<bool>("saveFails"); // the close is then refused, once
        QTest::newRow("Test Comm") << false << false;
        QTest::newRow("programming run") << true << false;
        QTest::newRow("programming run, save fails") << true << true;
    }

    void closeWhileWaiting() {
        // Closing while an exchange waits for a silent device: shut-down happens at once, the wait ends
        // without its 5 seconds, and the handler that waited unwinds safely, also when the close is
        // refused because a save failed.
        QFETCH(bool, programmingRun);
        QFETCH(bool, saveFails);
        ProgramFolder folder;
        const auto sim = startSim(folder);
        sim->addFault({SimFault::Silence, -1, 0, 0, -1}); // every command, every time
        const auto w = openWindow(folder, {"HardwareType=1", "Bonus1=" + QString(2000, u'5')});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->chkSend[0]->setChecked(true);
        w->txtGameNumber[0]->setText(QStringLiteral("4321"));

        QTimer::singleShot(300, w.get(), [&w, saveFails] {
            const FileSizeLimit full(saveFails ? 1000 : RLIM_INFINITY);
            w->close();
        });
        QElapsedTimer elapsed;
        elapsed.start();
        QTest::mouseClick(programmingRun ? w->cmdProgram : w->cmdTestComm, Qt::LeftButton);
        QVERIFY2(elapsed.elapsed() < 4000, qPrintable(QString::number(elapsed.elapsed())));
        QVERIFY(!QGuiApplication::overrideCursor()); // the wait's busy pointer is gone

        QCOMPARE(w->isVisible(), saveFails);
        // A refused close does not claim that the window is closing.
        QVERIFY(w->statusText().contains(
            saveFails ? "ERROR: Stopped waiting for the device: Exit was pressed\r\n"
                      : "ERROR: Stopped waiting for the device: the window is closing\r\n"));
        QCOMPARE(w->statusText().contains("the window is closing"), !saveFails);
        if (saveFails) {
            // The run has ended as after any failure: its window hidden, the buttons back.
            QVERIFY2(w->statusText().contains(pressAgain + "\r\n"), qPrintable(w->statusText()));
            QVERIFY(!w->programmingWindow()->isVisible() && w->cmdProgram->isEnabled() &&
                    w->cmdExit->isEnabled());
            QTest::mouseClick(w->cmdExit, Qt::LeftButton);
            QVERIFY(!w->isVisible());
        }
        QCOMPARE(storedValue(folder, "GameNumber0"), QStringLiteral("4321"));
        QCOMPARE(storedValue(folder, "HardwareType"), QStringLiteral("1"));
        QVERIFY(!w->statusText().contains(QLatin1String("Timeout")));
        // Nothing more goes to the device once the window has closed.
        QCOMPARE(w->CommandSend(0xAC, QByteArray(), true, 6, 4), qint16(1));
        // A run that unwound before the close leaves no window behind; one still unwinding only a hidden one.
        if (saveFails)
            QVERIFY(!w->programmingWindow());
        else if (programmingRun)
            QVERIFY(w->programmingWindow() && !w->programmingWindow()->isVisible());
    }

    void failedSaveRefusesCloseOnce_data() {
        QTest::addColumn<bool>("folderGone"); // else the disk fills up
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("folder removed after start-up, Exit twice") << true << false;
        QTest::newRow("disk full, close box twice") << false << true;
    }

    // A shut-down write that fails keeps the window open once, with the reasons in view and on
    // standard error; the second close closes.
    void failedSaveRefusesCloseOnce() {
        QFETCH(bool, folderGone);
        QFETCH(bool, closeBox);
        ProgramFolder folder;
        const auto w = openWindow(folder, {"CommPort=0", "CommBaudRate=0", "Bonus1=" + QString(2000, u'5')});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->txtGameNumber[0]->setText(QStringLiteral("4321"));
        w->setBoxText(w->txtLocationInfo, QString(2000, u'x'));
        QTest::keyClicks(w->txtLocationInfo, QStringLiteral("Joe's"));
        const QByteArray settingsBefore = folder.read("KelvaneProgrammer.ini");
        const QByteArray locationBefore = folder.read("MyLocation.txt");
        if (folderGone)
            QVERIFY(QDir(folder.path()).removeRecursively());
        StderrCapture captured;
        {
            // Room for the lines on standard error, not for the files.
            const FileSizeLimit full(folderGone ? RLIM_INFINITY : 1000);
            closeBy(closeBox, *w);
        }
        QVERIFY(w->isVisible());
        const QStringList log = w->statusText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(log.size(), 3);
        QVERIFY2(log[0].startsWith("ERROR: Cannot save the settings to \"" + folder.ini()) &&
                     log[1].startsWith("ERROR: Cannot save \"" + folder.file("MyLocation.txt")),
                 qPrintable(log.join('\n')));
        QCOMPARE(log[2], pressAgain);
        QCOMPARE(captured.text(), log.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        if (!folderGone) {
            QCOMPARE(folder.read("KelvaneProgrammer.ini"), settingsBefore);
            QCOMPARE(folder.read("MyLocation.txt"), locationBefore);
        }

        closeBy(closeBox, *w);
        QVERIFY(!w->isVisible());
        // Once the disk has room again, the second close saved what the first could not.
        if (!folderGone)
            QCOMPARE(storedValue(folder, "GameNumber0"), QStringLiteral("4321"));
    }

    // Keys this copy did not change keep what another copy saved meanwhile; a settings file removed
    // or emptied (as a failed write elsewhere could leave it) while the program runs is written
    // again, whole. Values longer than a line edit holds by default come back whole and are saved whole.
    void settingsAtExit_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("another copy closed first") << "other copy";
        QTest::newRow("file removed while running") << "removed";
        QTest::newRow("file emptied while running") << "emptied";
    }

    void settingsAtExit() {
        QFETCH(QString, meanwhile);
        const bool other = meanwhile == "other copy";
        const QString longValue(40000, u'7');
        const QStringList longKeys = {"Bonus0", "GameNumber2", "DumpMemAddr", "DumpMemCnt"};
        // The Debug frame shows, so that the dump fields are read.
        QStringList settings = firstRunKeys.mid(1) + QStringList{"CommPort=0", "DebugOptions=1"};
        settings.replaceInStrings(QRegularExpression("^(" + longKeys.join('|') + ")=.*"), "\\1=" + longValue);
        ProgramFolder folder;
        const auto w = openWindow(folder, settings);
        for (const QLineEdit *edit :
             {w->txtBonus[0], w->txtGameNumber[2], w->txtDumpMemAddr, w->txtDumpMemCnt})
            QCOMPARE(edit->text(), longValue);
        if (other) {
            w->txtGameNumber[1]->setText(QStringLiteral("5678"));
            const auto copy = openWindow(folder);
            copy->txtGameNumber[0]->setText(QStringLiteral("1234"));
            copy->txtGameNumber[1]->setText(QStringLiteral("8765"));
            QVERIFY(copy->close());
        } else if (meanwhile == "removed") {
            QVERIFY(QFile::remove(folder.ini()));
        } else {
            folder.write("KelvaneProgrammer.ini", "");
        }
        QVERIFY(w->close());
        QCOMPARE(storedValue(folder, "GameNumber0"), QString(other ? "1234" : "1111"));
        QCOMPARE(storedValue(folder, "GameNumber1"), QString(other ? "5678" : "2222")); // changed here
        QCOMPARE(storedValue(folder, "Bonus3"), QStringLiteral("50.00"));
        for (const QString &key : longKeys)
            QCOMPARE(storedValue(folder, key), longValue);
    }

    // Killed at random moments while it shuts down, the program leaves the settings file complete:
    // all old or all new keys.
    void killedDuringShutDown() {
        // A large file (its writing takes a while) whose keys the child changes at shut-down.
        QByteArray before = ProgramFolder::settingsBytes(
            {"CommPort=0", "CommBaudRate=0", "Options=0", "GameNumber0=1111", "Bonus0=1.00", "[Filler]"});
        for (int i = 0; i < 60000; ++i)
            before += "Line" + QByteArray::number(i) + "=some value kept byte for byte\r\n";
        ProgramFolder folder;
        const auto run = [&](int killAfterUs) {
            folder.write("KelvaneProgrammer.ini", before);
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {"--session-end-child", folder.path(), "idle"});
            if (!child.waitForStarted() || !child.waitForReadyRead(20000))
                return qint64(-1);
            QElapsedTimer timer;
            timer.start();
            ::kill(pid_t(child.processId()), SIGTERM); // shut-down begins
            if (killAfterUs >= 0) {
                QThread::usleep(killAfterUs);
                child.kill();
            }
            child.waitForFinished(20000);
            return timer.nsecsElapsed() / 1000;
        };
        const qint64 shutDownUs = run(-1);
        QVERIFY(shutDownUs > 0);
        const QByteArray after = folder.read("KelvaneProgrammer.ini");
        QCOMPARE(storedValue(folder, "GameNumber4"), QStringLiteral("94")); // not in the file before

        int old = 0, complete = 0;
        QRandomGenerator random(1);
        for (int i = 0; i < 40; ++i) {
            run(int(random.bounded(shutDownUs + shutDownUs / 5)));
            const QByteArray found = folder.read("KelvaneProgrammer.ini");
            QVERIFY2(found == before || found == after,
                     qPrintable(QStringLiteral("kill %1: a mix of old and new keys").arg(i)));
            (found == before ? old : complete)++;
        }
        qInfo("shut-down took %lld us; 40 kills left %d old and %d new files", shutDownUs, old, complete);
    }

    void sessionEndSaves_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("mode"); // "program": the program itself, else the child's mode
        QTest::newRow("SIGTERM to the program") << SIGTERM << "program";
        QTest::newRow("SIGTERM") << SIGTERM << "idle";
        QTest::newRow("SIGHUP, a file dialog open") << SIGHUP << "dialog";
        QTest::newRow("SIGINT, a command waiting") << SIGINT << "waiting";
        QTest::newRow("SIGTERM, disk full") << SIGTERM << "full";
        QTest::newRow("SIGTERM twice, stuck") << SIGTERM << "stuck";
    }

    // The end of a session (log-out, a closed terminal, Ctrl+C) closes as the close box does: the
    // changed setting and the edited text are saved and the program ends at once, with 128 + the
    // signal's number. A save that fails only goes to standard error; a second signal ends at once.
    void sessionEndSaves() {
        QFETCH(int, signalNumber);
        QFETCH(QString, mode);
        ProgramFolder folder;
        if (mode != "waiting") // there the child publishes its own device
            folder.deadPort(1);
        const QStringList settings = {"CommPort=1", "CommBaudRate=0", "Bonus1=" + QString(2000, u'5')};
        folder.writeSettings(mode == "waiting"   ? settings + QStringList{"HardwareType=1"}
                             : mode == "program" ? QStringList{"PrinterBaudRate=1"}
                                                 : settings);
        const QByteArray settingsBefore = folder.read("KelvaneProgrammer.ini");
        QProcess child;
        if (mode == "program") {
            // Started bare, it only has what start-up changes to save: the 1200 baud the PIC16F877
            // forces, and the port keys it notes once it is up.
            QVERIFY(QFile::copy(QStringLiteral(KELVANE_PROGRAM), folder.exe()));
            child.start(folder.exe(), {});
            QTRY_VERIFY_WITH_TIMEOUT(storedValue(folder, "CommPort") == "1", 20000);
        } else {
            child.start(QCoreApplication::applicationFilePath(),
                        {"--session-end-child", folder.path(), mode});
            QByteArray said;
            while (!said.contains("ready") && child.waitForReadyRead(20000))
                said += child.readAllStandardOutput();
            QVERIFY2(said.contains("ready"), said.constData());
        }
        QElapsedTimer elapsed;
        elapsed.start();
        ::kill(pid_t(child.processId()), signalNumber);
        if (mode == "stuck") {
            // The second once the first has been taken (two pending signals would be one).
            const auto pending = [&] {
                QFile status(QStringLiteral("/proc/%1/status").arg(child.processId()));
                const QString all = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
                const QString mask = QRegularExpression("ShdPnd:\\s*(\\w+)").match(all).captured(1);
                return ((mask.toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1) != 0;
            };
            QTRY_VERIFY(!pending());
            ::kill(pid_t(child.processId()), signalNumber);
        }
        QVERIFY2(child.waitForFinished(10000), "the program is still running");
        QVERIFY2(elapsed.elapsed() < 4000, qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 128 + signalNumber);
        const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
        QVERIFY2(!errors.contains("Press Exit again"), qPrintable(errors));
        const QString announced = mode == "stuck"
                                      ? QStringLiteral("Kelvane Programmer: SIGTERM again, closing at once")
                                      : "Kelvane Programmer: SIG" + QString(sigabbrev_np(signalNumber)) +
                                            " received, closing; the settings and texts are saved first.\n";
        QVERIFY2(errors.contains(announced), qPrintable(errors));
        if (mode == "full")
            QVERIFY2(errors.contains("ERROR: Cannot save the settings to \"" + folder.ini()) &&
                         errors.contains("ERROR: Cannot save \"" + folder.file("MyLocation.txt")),
                     qPrintable(errors));
        if (mode == "full" || mode == "stuck") {
            QCOMPARE(folder.read("KelvaneProgrammer.ini"), settingsBefore);
        } else if (mode == "program") {
            QCOMPARE(storedValue(folder, "PrinterBaudRate"), QStringLiteral("0"));
        } else {
            QCOMPARE(storedValue(folder, "Options"), QStringLiteral("1"));
            QVERIFY(folder.read("MyLocation.txt").startsWith("Joe'sPut location"));
        }
    }

    // A settings file that cannot be read is said so at start-up and never replaced; shut-down then
    // cannot save the settings, so the first close is refused. "KelvaneProgrammer.v2" keeps its own
    // settings: what "KelvaneProgrammer.ini" holds is not read in their place.
    void unreadableSettingsKept() {
        ProgramFolder folder;
        folder.writeSettings({"Options=137", "CommPort=0"});
        folder.deadPort(1);
        const QString ini = folder.file("KelvaneProgrammer.v2.ini");
        QVERIFY(QDir().mkdir(ini));
        frmKelvaneProgrammer w(folder.file("KelvaneProgrammer.v2"));
        QCOMPARE(w.Options, quint8(0));
        const QString unreadable =
            "ERROR: Cannot read the settings file \"" + ini +
            "\": it is a folder. It is left as it is, and no setting is saved to it.\r\n";
        QVERIFY2(w.statusText().startsWith(unreadable), qPrintable(w.statusText()));
        w.show();
        QVERIFY(!w.close());
        QVERIFY(w.statusText().contains("ERROR: Cannot save the settings to \"" + ini +
                                        "\": it could not be read at start-up (it is a folder)\r\n"
                                        "Press Exit again to close"));
        QVERIFY(w.close());
        QVERIFY(QFileInfo(ini).isDir());
    }
};

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    setvbuf(stdout, nullptr, _IONBF, 0); // the child's "ready" goes out at once
    if (argc == 4 && qstrcmp(argv[1], "--session-end-child") == 0)
        return sessionEndChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestStartup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_startup.moc"
