// Programming runs against the simulated device: which frames reach it, in which order, what the
// log says, and what the device holds afterwards.

#include "link/ocxcomm.h"
#include "programming/encoders.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

#include <ctime>

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// On the indicator: the middle of the control may lie beyond a short caption.
void clickBox(QAbstractButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

const int all = 6; // "All of the above" in the tables' lists of boxes

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
    void init() { folder = std::make_unique<ProgramFolder>(); }
    void cleanup() {
        w.reset();
        sim.reset();
        folder.reset();
    }
    void fullRun();
    void stopsAndFaults_data();
    void stopsAndFaults();
    void pic16f877RunWaitsForItsBytes();
    void heldEnterRunsOnce();

private:
    // Paced fast by default: most tests are about content, not timing; 0 follows the line.
    void open(const QStringList &settings = {"HardwareType=1", "CommBaudRate=1"}, int pace = 115200) {
        folder->writeSettings(settings);
        sim = startSim(*folder);
        sim->setBaud(pace);
        w = openWindow(*folder);
        w->ocxTimer->setInterval(300);
    }
    void program() { QTest::mouseClick(w->cmdProgram, Qt::LeftButton); }
    QString log() const { return w->statusText(); }
    QList<int> commands() const {
        QList<int> codes;
        for (const SimFrame &frame : sim->frames())
            codes.append(frame.command);
        return codes;
    }
    // Whatever happened, a run ends with every box unticked and available, and the command buttons
    // back: those only the PIC18F4520 answers follow the hardware type.
    bool idleAgain() const {
        bool idle = !w->chkSendAll->isChecked();
        for (const QCheckBox *box : std::as_const(w->chkSend))
            idle = idle && !box->isChecked() && box->isEnabled();
        for (const QPushButton *button : w->findChildren<QPushButton *>()) {
            const bool answering = button == w->cmdTestComm || button == w->cmdGetVersionNumber ||
                                   button == w->cmdGetDIPSettings;
            idle = idle && button->isEnabled() == (!answering || w->HardwareType >= 1);
        }
        return idle;
    }
    // True when box is the only section ticked; unticks it for the next edit.
    bool onlyTicked(int box) const {
        bool only = true;
        for (int i = 0; i < w->chkSend.size(); ++i) {
            only = only && w->chkSend.at(i)->isChecked() == (i == box);
            w->chkSend.at(i)->setChecked(false);
        }
        return only;
    }

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<SimDevice> sim;
    std::unique_ptr<frmKelvaneProgrammer> w;
};

void TestProgramRun::fullRun() {
    open();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->StatusAppend(QStringLiteral("earlier text\r\n"), false);
    program(); // nothing ticked: nothing sent, and the run starts on an empty log
    QCOMPARE(log(), QStringLiteral("Programming...\r\nComplete\r\n"));
    QVERIFY(sim->frames().isEmpty());
    const frmProgramming *shownWindow = w->programmingWindow();
    QVERIFY(shownWindow && shownWindow->isWindow() && !shownWindow->isVisible());

    // Every section set through the window as the operator does it; each edit ticks its section.
    for (const int i : {0, 1, 3})
        clickBox(w->chkOptions.at(i));
    QVERIFY(onlyTicked(1));
    const QStringList games = {"1234", "abcd", "7", "ABCDE", ""};
    for (int i = 0; i < 5; ++i) {
        w->txtGameNumber.at(i)->clear();
        QTest::keyClicks(w->txtGameNumber.at(i), games.at(i));
    }
    QVERIFY(onlyTicked(1));
    clickBox(w->optPrinter.at(3)); // Ithaca
    QVERIFY(onlyTicked(2));
    clickBox(w->optPrinterBaudRate.at(1));
    QVERIFY(onlyTicked(2));
    w->setBoxText(w->txtLocationInfo, "Kelvane Arcade\r\n" + QString(290, 'L')); // two blocks
    QVERIFY(onlyTicked(3));
    w->setBoxText(w->txtDisclaimer, QString::fromUtf8("Prizes \u20AC5\r\nno cash value"));
    QVERIFY(onlyTicked(4));
    const QStringList bonus = {"12.345", "99999999", "1.15", "0"};
    for (int i = 0; i < 4; ++i)
        w->txtBonus.at(i)->setText(bonus.at(i));
    QVERIFY(onlyTicked(5));
    clickBox(w->chkSendAll);
    for (const QCheckBox *box : std::as_const(w->chkSend))
        QVERIFY(box->isChecked() && !box->isEnabled());

    // While the device takes each frame the command buttons are blocked and the small window shows;
    // the focus rests on the window itself, never on a list or an option button an arrow key would
    // change.
    bool blocked = true;
    const QMetaObject::Connection watch = connect(sim.get(), &SimDevice::frameReceived, w.get(), [&] {
        for (const QPushButton *button : w->findChildren<QPushButton *>())
            blocked = blocked && !button->isEnabled();
        blocked = blocked && shownWindow->isVisible() && w->focusWidget() == w.get();
    });
    const QDateTime before = QDateTime::currentDateTime();
    w->cmdProgram->setFocus();
    QTest::keyClick(w->cmdProgram, Qt::Key_Space); // started from the keyboard
    QCOMPARE(w->focusWidget(), w->cmdProgram);     // and back there afterwards
    const QDateTime after = QDateTime::currentDateTime();
    disconnect(watch);
    // In index order, the hidden bonus section last.
    QCOMPARE(commands(), (QList<int>{0xA1, 0xA2, 0xA9, 0xA5, 0xA6, 0xA3, 0xAA}));
    QCOMPARE(log().count(QStringLiteral(" OK\r\n")), 7);
    QVERIFY(log().endsWith(QStringLiteral(" OK\r\nComplete\r\n")));
    QVERIFY(blocked);
    QCOMPARE(w->programmingWindow(), shownWindow);
    QVERIFY(!shownWindow->isVisible());
    QVERIFY(idleAgain());

    // The device holds what the window shows; its clock one of the instants the run lasted.
    const QByteArray clock = sim->frames().at(0).payload;
    bool clockMatches = false;
    for (QDateTime t = before.addMSecs(-before.time().msec()); t <= after; t = t.addSecs(1))
        clockMatches = clockMatches || clock == dateTimePayload(t);
    QVERIFY2(clockMatches, clock.toHex(' ').constData());
    const QByteArray memory = sim->memory();
    QCOMPARE(memory.mid(SimDevice::addrOptions, 81).toHex(' '),
             (hex("0B") + QByteArray(20, '\0') + hex("34 12 CD AB 07 00 DE BC 00 00") + QByteArray(50, '\0'))
                 .toHex(' '));
    QCOMPARE(memory.mid(SimDevice::addrPrinter, 22).toHex(' '),
             hex("0D 00 00 00 00 01 19 00 00 01 0E 00 00 01 14 00 00 00 00 00 00 01").toHex(' '));
    QCOMPARE(memory.mid(SimDevice::addrBonus, 16).toHex(' '),
             hex("D2 04 00 00 00 E1 F5 05 73 00 00 00 00 00 00 00").toHex(' '));
    QCOMPARE(sim->locationText(), "Kelvane Arcade\r" + QString(290, 'L'));
    QCOMPARE(memory.mid(SimDevice::addrDisclaimer, 256),
             (QByteArray("Prizes \x80") + "5\rno cash value").leftJustified(256, '\0'));
}

void TestProgramRun::stopsAndFaults_data() {
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
    row("text block 1 fails: no block 2", {3, 5}, "location", QString(300, 'x'), "wrong-echo:A5:1", {0xA5},
        "ERROR: Command");
    row("text beyond 512 warned, run goes on", {4, 5}, "disclaimer", QString("abcdefghij").repeated(60), "",
        {0xA3, 0xA4, 0xAA},
        "WARNING: Disclaimer is too long for the device: the last 88 characters were not sent");
    row("one character beyond 512", {4, 5}, "disclaimer", QString(513, 'x'), "", {0xA3, 0xA4, 0xAA},
        "WARNING: Disclaimer is too long for the device: the last character was not sent");
    row("bad game number", {1, 2}, "game 2", "12G4", "", {},
        "ERROR: Game 3 \"12G4\" is not a hexadecimal game number");
    row("control character named by its number", {1}, "game 0", "1\t2\r", "", {},
        "ERROR: Game 1 \"1<U+0009>2<U+000D>\" is not a hexadecimal game number");
    row("empty bonus field", {0, 5}, "bonus 0", "", "", {0xA1}, "ERROR: Percentage \"\" is not a number");
    row("negative odds", {0, 5}, "bonus 1", "-5000", "", {0xA1}, "ERROR: Odds: 1 in \"-5000\" is negative");
    row("bonus too large", {0, 5}, "bonus 3", "30000000", "", {0xA1},
        "ERROR: Minimum $ \"30000000\" is too large");
}

void TestProgramRun::stopsAndFaults() {
    QFETCH(QList<int>, boxes);
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(QString, fault);
    QFETCH(QList<int>, sent);
    QFETCH(QString, line);
    if (edit == QLatin1String("closed port"))
        open({QStringLiteral("HardwareType=0"), QStringLiteral("CommPort=0")});
    else
        open();
    if (edit == QLatin1String("lost port")) {
        sim->stop();
        QTRY_VERIFY(!w->ocxComm->PortOpen());
    }
    if (!fault.isEmpty()) {
        SimFault f;
        QVERIFY(simFaultParse(fault, &f));
        sim->addFault(f);
    }
    const QString control = edit.section(' ', 0, 0);
    const int index = edit.section(' ', 1).toInt();
    if (control == QLatin1String("game"))
        w->txtGameNumber.at(index)->setText(text);
    else if (control == QLatin1String("bonus"))
        w->txtBonus.at(index)->setText(text);
    else if (control == QLatin1String("location"))
        w->setBoxText(w->txtLocationInfo, text);
    else if (control == QLatin1String("disclaimer"))
        w->setBoxText(w->txtDisclaimer, text);
    for (const int box : boxes)
        (box == all ? w->chkSendAll : w->chkSend.at(box))->setChecked(true);
    program();
    QCOMPARE(commands(), sent);
    QVERIFY2(log().contains(line + "\r\n"), qPrintable(log()));
    const bool error = line.contains(QStringLiteral("ERROR: "));
    QCOMPARE(log().count(QStringLiteral("ERROR: ")), error ? 1 : 0);
    QVERIFY2(log().endsWith(error ? line + "\r\nComplete\r\n" : " OK\r\nComplete\r\n"), qPrintable(log()));
    QVERIFY(idleAgain());
}

// The PIC16F877 answers nothing: the run lasts until its bytes have left at 1200 baud, and the
// hardware type switched meanwhile does not bring the command buttons back before its end.
void TestProgramRun::pic16f877RunWaitsForItsBytes() {
    open({QStringLiteral("HardwareType=0")}, 0);
    sim->setController(SimController::PIC16F877);
    for (const int box : {0, 2})
        w->chkSend.at(box)->setChecked(true);
    const QList<QPushButton *> answering = {w->cmdTestComm, w->cmdGetVersionNumber, w->cmdGetDIPSettings};
    bool stillRunning = false;
    bool buttonsOff = true;
    connect(
        sim.get(), &SimDevice::frameReceived, w.get(),
        [&] {
            stillRunning = w->programmingWindow()->isVisible() && !log().contains("Complete");
            QTest::mouseClick(w->optHardwareType[1], Qt::LeftButton);
            for (const QPushButton *button : answering)
                buttonsOff = buttonsOff && !button->isEnabled();
        },
        Qt::SingleShotConnection);
    QElapsedTimer clock;
    clock.start();
    program();
    // 34 bytes at 1200 baud (10 bits each) take 283 ms; the device has them all when the run ends.
    QVERIFY2(clock.elapsed() >= 283, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(commands(), (QList<int>{0xA1, 0xA9}));
    QVERIFY(stillRunning && buttonsOff);
    QCOMPARE(w->HardwareType, 1);
    QVERIFY(idleAgain());
    QCOMPARE(log(), QStringLiteral("Programming...\r\nComplete\r\n"));
}

// Enter held down on Program: the first press runs the program once. The keyboard's repeats, sent
// to wherever the focus is while the run waits and after it has come back to Program, press
// nothing and type nothing.
void TestProgramRun::heldEnterRunsOnce() {
    open();
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->setBoxText(w->txtLocationInfo, QStringLiteral("Main St\r\n"));
    w->chkSend.at(0)->setChecked(true);
    sim->addFault([] {
        SimFault f;
        simFaultParse(QStringLiteral("delay:A1:1:200"), &f);
        return f;
    }());
    QSignalSpy presses(w->cmdProgram, &QPushButton::clicked);
    int repeats = 0;
    QTimer keyboard;
    keyboard.setInterval(10);
    connect(&keyboard, &QTimer::timeout, w.get(), [&] {
        // To the window's focus, as a window manager that keeps the window active sends them.
        QWidget *const focus = w->focusWidget() ? w->focusWidget() : w.get();
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent key(type, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
            QApplication::sendEvent(focus, &key);
        }
        ++repeats;
    });
    keyboard.start();
    w->cmdProgram->setFocus();
    QTest::keyPress(w->cmdProgram, Qt::Key_Return); // returns when the run has ended
    const int duringRun = repeats;
    QTRY_VERIFY(repeats > duringRun + 20);
    keyboard.stop();
    QTest::keyRelease(w->cmdProgram, Qt::Key_Return);
    QVERIFY2(duringRun > 5, qPrintable(QString::number(duringRun)));
    QCOMPARE(w->focusWidget(), static_cast<QWidget *>(w->cmdProgram));
    QCOMPARE(presses.size(), 1);
    QCOMPARE(commands(), (QList<int>{0xA1, 0xA5})); // the date, and the location the text ticked
    QCOMPARE(w->boxText(w->txtLocationInfo), QStringLiteral("Main St\r\n"));
    QCOMPARE(log().count(QStringLiteral("Programming...")), 1);
}

QTEST_MAIN(TestProgramRun)
#include "tst_programrun.moc"
