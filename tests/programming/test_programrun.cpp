// Programming runs against the simulated device: which frames reach it, in which order, what the
// log says, and what the device holds afterwards.

#include "programming/encoders.h"
#include "testsupport.h"

#include <ctime>

namespace {

const int all = 6; // "All of the above" in the tables' lists of boxes

// Content, not timing, is what most tests look at: the device is paced fast.
const int fast = 115200;
const QStringList pic18 = {"HardwareType=1", "CommBaudRate=1"};

// The buttons whose commands only the PIC18F4520 answers.
QList<QPushButton *> answering(const frmKelvaneProgrammer &w) {
    return {w.cmdTestComm, w.cmdGetVersionNumber, w.cmdGetDIPSettings};
}

// Whatever happened, a run ends with every box unticked and available, and the command buttons
// back: those only the PIC18F4520 answers follow the hardware type.
bool idleAgain(const frmKelvaneProgrammer &w) {
    bool idle = !w.chkSendAll->isChecked();
    for (const QCheckBox *box : std::as_const(w.chkSend))
        idle = idle && !box->isChecked() && box->isEnabled();
    for (QPushButton *button : w.findChildren<QPushButton *>())
        idle = idle && button->isEnabled() == (!answering(w).contains(button) || w.HardwareType >= 1);
    return idle;
}

// True when box is the only section ticked; unticks it for the next edit.
bool onlyTicked(const frmKelvaneProgrammer &w, int box) {
    bool only = true;
    for (int i = 0; i < w.chkSend.size(); ++i) {
        only = only && w.chkSend.at(i)->isChecked() == (i == box);
        w.chkSend.at(i)->setChecked(false);
    }
    return only;
}

} // namespace

class TestProgramRun : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // The device's clock is set to local time: a zone half an hour off UTC shows any mix-up.
        qputenv("TZ", "KLV+03:30");
        tzset();
        QCOMPARE(QDateTime::currentDateTime().offsetFromUtc(), -(3 * 3600 + 1800));
    }

    void fullRun() {
        LinkRig rig;
        rig.open(pic18, 300, fast);
        rig.w->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.w.get()));
        rig.w->StatusAppend(QStringLiteral("earlier text\r\n"), false);
        rig.click("cmdProgram"); // nothing ticked: nothing sent, and the run starts on an empty log
        QCOMPARE(rig.log(), QStringLiteral("Programming...\r\nComplete\r\n"));
        QVERIFY(rig.sim->frames().isEmpty());
        const frmProgramming *shownWindow = rig.w->programmingWindow();
        QVERIFY(shownWindow && shownWindow->isWindow() && !shownWindow->isVisible());

        // Every section set through the window as the operator does it; each edit ticks its section.
        for (const int i : {0, 1, 3})
            clickBox(rig.w->chkOptions.at(i));
        QVERIFY(onlyTicked(*rig.w, 1));
        const QStringList games = {"1234", "abcd", "7", "ABCDE", ""};
        for (int i = 0; i < 5; ++i) {
            rig.w->txtGameNumber.at(i)->clear();
            QTest::keyClicks(rig.w->txtGameNumber.at(i), games.at(i));
        }
        QVERIFY(onlyTicked(*rig.w, 1));
        clickBox(rig.w->optPrinter.at(3)); // Ithaca
        QVERIFY(onlyTicked(*rig.w, 2));
        clickBox(rig.w->optPrinterBaudRate.at(1));
        QVERIFY(onlyTicked(*rig.w, 2));
        rig.w->setBoxText(rig.w->txtLocationInfo, "Kelvane Arcade\r\n" + QString(290, 'L')); // two blocks
        QVERIFY(onlyTicked(*rig.w, 3));
        rig.w->setBoxText(rig.w->txtDisclaimer, QString::fromUtf8("Prizes \u20AC5\r\nno cash value"));
        QVERIFY(onlyTicked(*rig.w, 4));
        const QStringList bonus = {"12.345", "99999999", "1.15", "0"};
        for (int i = 0; i < 4; ++i)
            rig.w->txtBonus.at(i)->setText(bonus.at(i));
        QVERIFY(onlyTicked(*rig.w, 5));
        clickBox(rig.w->chkSendAll);
        for (const QCheckBox *box : std::as_const(rig.w->chkSend))
            QVERIFY(box->isChecked() && !box->isEnabled());

        // While the device takes each frame the command buttons are blocked and the small window shows;
        // the focus rests on the window, never on a list or option button an arrow key would change.
        bool blocked = true;
        const QMetaObject::Connection watch =
            connect(rig.sim.get(), &SimDevice::frameReceived, rig.w.get(), [&] {
                for (const QPushButton *button : rig.w->findChildren<QPushButton *>())
                    blocked = blocked && !button->isEnabled();
                blocked = blocked && shownWindow->isVisible() && rig.w->focusWidget() == rig.w.get();
            });
        const QDateTime before = QDateTime::currentDateTime();
        rig.w->cmdProgram->setFocus();
        QTest::keyClick(rig.w->cmdProgram, Qt::Key_Space); // started from the keyboard
        QCOMPARE(rig.w->focusWidget(), rig.w->cmdProgram); // and back there afterwards
        const QDateTime after = QDateTime::currentDateTime();
        disconnect(watch);
        // In index order, the hidden bonus section last.
        QCOMPARE(rig.commands(), (QList<int>{0xA1, 0xA2, 0xA9, 0xA5, 0xA6, 0xA3, 0xAA}));
        QCOMPARE(rig.log().count(QStringLiteral(" OK\r\n")), 7);
        QVERIFY(rig.log().endsWith(QStringLiteral(" OK\r\nComplete\r\n")));
        QVERIFY(blocked);
        QCOMPARE(rig.w->programmingWindow(), shownWindow);
        QVERIFY(!shownWindow->isVisible());
        QVERIFY(idleAgain(*rig.w));

        // The device holds what the window shows; its clock one of the instants the run lasted.
        const QByteArray clock = rig.sim->frames().at(0).payload;
        bool clockMatches = false;
        for (QDateTime t = before.addMSecs(-before.time().msec()); t <= after; t = t.addSecs(1))
            clockMatches = clockMatches || clock == dateTimePayload(t);
        QVERIFY2(clockMatches, clock.toHex(' ').constData());
        const QByteArray memory = rig.sim->memory();
        const auto holds = [&memory](int address, const QByteArray &bytes) {
            QCOMPARE(memory.mid(address, bytes.size()).toHex(' '), bytes.toHex(' '));
        };
        holds(SimDevice::addrOptions,
              hex("0B") + QByteArray(20, '\0') + hex("34 12 CD AB 07 00 DE BC 00 00") + QByteArray(50, '\0'));
        holds(SimDevice::addrPrinter,
              hex("0D 00 00 00 00 01 19 00 00 01 0E 00 00 01 14 00 00 00 00 00 00 01"));
        holds(SimDevice::addrBonus, hex("D2 04 00 00 00 E1 F5 05 73 00 00 00 00 00 00 00"));
        QCOMPARE(rig.sim->locationText(), "Kelvane Arcade\r" + QString(290, 'L'));
        QCOMPARE(memory.mid(SimDevice::addrDisclaimer, 256),
                 (QByteArray("Prizes \x80") + "5\rno cash value").leftJustified(256, '\0'));
    }

    void stopsAndFaults_data() {
        QTest::addColumn<QList<int>>("boxes");
        QTest::addColumn<QString>("edit"); // "closed port", or the control to set: "game 2", "bonus 0", ...
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fault"); // as kelvane-sim --fault takes it
        QTest::addColumn<QList<int>>("sent");
        QTest::addColumn<QString>("line"); // the warning, or the error that ends the log before "Complete"
        const auto row = [](const char *name, QList<int> boxes, const QString &edit, const QString &text,
                            const QString &fault, QList<int> sent, const QString &line) {
            QTest::newRow(name) << boxes << edit << text << fault << sent << line;
        };
        row("port closed", {all}, "closed port", "", "", {},
            "Programming...\r\n\r\nERROR: Communications port not open");
        row("port lost", {all}, "lost port", "", "", {},
            "Programming...\r\n\r\nERROR: Communications port not open - choose the port again in the Comm "
            "Port list");
        row("section 2 fails", {0, 2, 4}, "", "", "wrong-echo:A9:1", {0xA1, 0xA9}, "ERROR: Command");
        row("text block 1 fails: no block 2", {3, 5}, "location", QString(300, 'x'), "wrong-echo:A5:1",
            {0xA5}, "ERROR: Command");
        row("text beyond 512 warned, run goes on", {4, 5}, "disclaimer", QString("abcdefghij").repeated(60),
            "", {0xA3, 0xA4, 0xAA},
            "WARNING: Disclaimer is too long for the device: the last 88 characters were not sent");
        row("one character beyond 512", {4, 5}, "disclaimer", QString(513, 'x'), "", {0xA3, 0xA4, 0xAA},
            "WARNING: Disclaimer is too long for the device: the last character was not sent");
        row("bad game number", {1, 2}, "game 2", "12G4", "", {},
            "ERROR: Game 3 \"12G4\" is not a hexadecimal game number");
        row("control character named by its number", {1}, "game 0", "1\t2\r", "", {},
            "ERROR: Game 1 \"1<U+0009>2<U+000D>\" is not a hexadecimal game number");
        row("empty bonus field", {0, 5}, "bonus 0", "", "", {0xA1}, "ERROR: Percentage \"\" is not a number");
        row("negative odds", {0, 5}, "bonus 1", "-5000", "", {0xA1},
            "ERROR: Odds: 1 in \"-5000\" is negative");
        row("bonus too large", {0, 5}, "bonus 3", "30000000", "", {0xA1},
            "ERROR: Minimum $ \"30000000\" is too large");
    }

    void stopsAndFaults() {
        QFETCH(QList<int>, boxes);
        QFETCH(QString, edit);
        QFETCH(QString, text);
        QFETCH(QString, fault);
        QFETCH(QString, line);
        LinkRig rig;
        rig.open(edit == QLatin1String("closed port") ? QStringList{"HardwareType=0", "CommPort=0"} : pic18,
                 300, fast);
        if (edit == QLatin1String("lost port")) {
            rig.sim->stop();
            QTRY_VERIFY(!rig.w->ocxComm->PortOpen());
        }
        if (!fault.isEmpty())
            rig.fault(fault);
        const QString control = edit.section(' ', 0, 0);
        const int index = edit.section(' ', 1).toInt();
        if (control == "game" || control == "bonus")
            (control == "game" ? rig.w->txtGameNumber : rig.w->txtBonus)[index]->setText(text);
        else if (control == "location" || control == "disclaimer")
            rig.w->setBoxText(control == "location" ? rig.w->txtLocationInfo : rig.w->txtDisclaimer, text);
        for (const int box : boxes)
            (box == all ? rig.w->chkSendAll : rig.w->chkSend.at(box))->setChecked(true);
        rig.click("cmdProgram");
        QTEST(rig.commands(), "sent");
        QVERIFY2(rig.log().contains(line + "\r\n"), qPrintable(rig.log()));
        const bool error = line.contains(QStringLiteral("ERROR: "));
        QCOMPARE(rig.log().count(QStringLiteral("ERROR: ")), error ? 1 : 0);
        QVERIFY2(rig.log().endsWith(error ? line + "\r\nComplete\r\n" : " OK\r\nComplete\r\n"),
                 qPrintable(rig.log()));
        QVERIFY(idleAgain(*rig.w));
    }

    // The PIC16F877 answers nothing: the run lasts until its bytes have left at 1200 baud, and the
    // hardware type switched meanwhile does not bring the command buttons back before its end.
    void pic16f877RunWaitsForItsBytes() {
        LinkRig rig;
        rig.open({QStringLiteral("HardwareType=0")});
        rig.sim->setController(SimController::PIC16F877);
        for (const int box : {0, 2})
            rig.w->chkSend.at(box)->setChecked(true);
        bool stillRunning = false;
        bool buttonsOff = true;
        connect(
            rig.sim.get(), &SimDevice::frameReceived, rig.w.get(),
            [&] {
                stillRunning = rig.w->programmingWindow()->isVisible() && !rig.log().contains("Complete");
                QTest::mouseClick(rig.w->optHardwareType[1], Qt::LeftButton);
                for (const QPushButton *button : answering(*rig.w))
                    buttonsOff = buttonsOff && !button->isEnabled();
            },
            Qt::SingleShotConnection);
        QElapsedTimer clock;
        clock.start();
        rig.click("cmdProgram");
        // 34 bytes at 1200 baud (10 bits each) take 283 ms; the device has them all when the run ends.
        QVERIFY2(clock.elapsed() >= 283, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(rig.commands(), (QList<int>{0xA1, 0xA9}));
        QVERIFY(stillRunning && buttonsOff);
        QCOMPARE(rig.w->HardwareType, 1);
        QVERIFY(idleAgain(*rig.w));
        QCOMPARE(rig.log(), QStringLiteral("Programming...\r\nComplete\r\n"));
    }

    // Enter held down on Program runs the program once: the keyboard's repeats, sent to wherever the
    // focus is while the run waits and after it is back on Program, press and type nothing.
    void heldEnterRunsOnce() {
        LinkRig rig;
        rig.open(pic18, 300, fast);
        rig.w->show();
        QVERIFY(QTest::qWaitForWindowActive(rig.w.get()));
        rig.w->setBoxText(rig.w->txtLocationInfo, QStringLiteral("Main St\r\n"));
        rig.w->chkSend.at(0)->setChecked(true);
        rig.fault(QStringLiteral("delay:A1:1:200"));
        QSignalSpy presses(rig.w->cmdProgram, &QPushButton::clicked);
        int repeats = 0;
        QTimer keyboard;
        connect(&keyboard, &QTimer::timeout, rig.w.get(), [&] {
            // To the window's focus, as a window manager that keeps the window active sends them.
            QWidget *const focus = rig.w->focusWidget() ? rig.w->focusWidget() : rig.w.get();
            for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                QKeyEvent key(type, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
                QApplication::sendEvent(focus, &key);
            }
            ++repeats;
        });
        keyboard.start(10);
        rig.w->cmdProgram->setFocus();
        QTest::keyPress(rig.w->cmdProgram, Qt::Key_Return); // returns when the run has ended
        const int duringRun = repeats;
        QTRY_VERIFY(repeats > duringRun + 20);
        keyboard.stop();
        QTest::keyRelease(rig.w->cmdProgram, Qt::Key_Return);
        QVERIFY2(duringRun > 5, qPrintable(QString::number(duringRun)));
        QCOMPARE(rig.w->focusWidget(), static_cast<QWidget *>(rig.w->cmdProgram));
        QCOMPARE(presses.size(), 1);
        QCOMPARE(rig.commands(), (QList<int>{0xA1, 0xA5})); // the date, and the location the text ticked
        QCOMPARE(rig.w->boxText(rig.w->txtLocationInfo), QStringLiteral("Main St\r\n"));
        QCOMPARE(rig.log().count(QStringLiteral("Programming...")), 1);
    }
};

QTEST_MAIN(TestProgramRun)
#include "test_programrun.moc"
