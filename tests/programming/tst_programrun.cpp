// Programming runs against the simulated device: which frames reach it, in which order, what the
// log says, and what the device holds afterwards.

#include "programming/encoders.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Clicks a check box or option button on its indicator: the middle of the control may lie beyond a
// short caption, where a click does not count.
void clickBox(QAbstractButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

int countOf(const QString &log, const QString &what) {
    return int(log.count(what));
}

} // namespace

class TestProgramRun : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void noBoxTicked();
    void portClosed();
    void allOfTheAbove();
    void memoryHoldsWhatTheWindowShows();
    void stopsAtFailingSection_data();
    void stopsAtFailingSection();
    void buttonsDuringRun_data();
    void buttonsDuringRun();
    void editDuringRunIsSent();
    void dataChangesTickSections();

    void textBlockOneFails();
    void textTooLongIsWarned();
    void textCharacterWithoutCode();
    void badGameNumber();
    void badBonus_data();
    void badBonus();

private:
    void open(QStringList settings = {});
    void program();
    QList<int> commands() const;
    QString log() const { return w->statusText(); }

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<SimDevice> sim;
    std::unique_ptr<frmKelvaneProgrammer> w;
};

void TestProgramRun::init() {
    folder = std::make_unique<ProgramFolder>();
}

void TestProgramRun::cleanup() {
    w.reset();
    sim.reset();
    folder.reset();
}

void TestProgramRun::open(QStringList settings) {
    if (settings.isEmpty())
        settings = {QStringLiteral("HardwareType=1"), QStringLiteral("CommBaudRate=1")};
    folder->writeSettings(settings);
    sim = startSim(*folder);
    sim->setBaud(115200); // pace fast: these tests are about content, not timing
    w = openWindow(*folder);
    w->ocxTimer->setInterval(300);
    QVERIFY(!w->chkSend.at(0)->isChecked());
}

void TestProgramRun::program() {
    QTest::mouseClick(w->cmdProgram, Qt::LeftButton);
}

QList<int> TestProgramRun::commands() const {
    QList<int> codes;
    for (const SimFrame &frame : sim->frames())
        codes.append(frame.command);
    return codes;
}

void TestProgramRun::noBoxTicked() {
    open();
    program();
    QCOMPARE(log(), QStringLiteral("Programming...\r\nComplete\r\n"));
    QVERIFY(sim->frames().isEmpty());
}

void TestProgramRun::portClosed() {
    open({QStringLiteral("HardwareType=1"), QStringLiteral("CommPort=0")});
    w->chkSendAll->setChecked(true);
    program();
    QCOMPARE(log(),
             QStringLiteral("Programming...\r\n\r\nERROR: Communications port not open\r\nComplete\r\n"));
    QVERIFY(sim->frames().isEmpty());
    for (const QCheckBox *box : std::as_const(w->chkSend)) {
        QVERIFY(!box->isChecked());
        QVERIFY(box->isEnabled());
    }
    QVERIFY(!w->chkSendAll->isChecked());
}

void TestProgramRun::allOfTheAbove() {
    open();
    w->setBoxText(w->txtLocationInfo, QString(300, 'L')); // two blocks
    w->setBoxText(w->txtDisclaimer, QStringLiteral("short"));
    w->chkSendAll->setChecked(true);
    for (const QCheckBox *box : std::as_const(w->chkSend))
        QVERIFY(box->isChecked() && !box->isEnabled());
    program();
    QCOMPARE(commands(), (QList<int>{0xA1, 0xA2, 0xA9, 0xA5, 0xA6, 0xA3, 0xAA}));
    QVERIFY(log().startsWith(QStringLiteral("Programming...\r\n")));
    QVERIFY(log().endsWith(QStringLiteral(" OK\r\nComplete\r\n")));
    QCOMPARE(countOf(log(), QStringLiteral(" OK\r\n")), 7);
    QVERIFY(!log().contains(QStringLiteral("ERROR")));
    for (const QCheckBox *box : std::as_const(w->chkSend)) {
        QVERIFY(!box->isChecked());
        QVERIFY(box->isEnabled());
    }
    QVERIFY(!w->chkSendAll->isChecked());
}

void TestProgramRun::memoryHoldsWhatTheWindowShows() {
    open();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    for (const int i : {0, 1, 3})
        clickBox(w->chkOptions.at(i));
    const QStringList games = {"1234", "abcd", "7", "ABCDE", ""};
    for (int i = 0; i < 5; ++i) {
        w->txtGameNumber.at(i)->clear();
        QTest::keyClicks(w->txtGameNumber.at(i), games.at(i));
    }
    clickBox(w->optPrinter.at(3)); // Ithaca
    clickBox(w->optPrinterBaudRate.at(1));
    w->setBoxText(w->txtLocationInfo, QStringLiteral("Kelvane Arcade\r\nMain St. 5"));
    w->setBoxText(w->txtDisclaimer, QString::fromUtf8("Prizes \u20AC5\r\nno cash value"));
    const QStringList bonus = {"12.345", "99999999", "1.15", "0"};
    for (int i = 0; i < 4; ++i)
        w->txtBonus.at(i)->setText(bonus.at(i));

    clickBox(w->chkSendAll);
    const QDateTime before = QDateTime::currentDateTime();
    program();
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(commands(), (QList<int>{0xA1, 0xA2, 0xA9, 0xA5, 0xA3, 0xAA}));

    // The clock: one of the instants the run lasted.
    const QByteArray clock = sim->frames().at(0).payload;
    bool clockMatches = false;
    for (QDateTime t = before.addMSecs(-before.time().msec()); t <= after; t = t.addSecs(1))
        clockMatches = clockMatches || clock == dateTimePayload(t);
    QVERIFY2(clockMatches, clock.toHex(' ').constData());

    const QByteArray memory = sim->memory();
    const QByteArray options = memory.mid(SimDevice::addrOptions, 81);
    QCOMPARE(options.toHex(' '),
             (hex("0B") + QByteArray(20, '\0') + hex("34 12 CD AB 07 00 DE BC 00 00") + QByteArray(50, '\0'))
                 .toHex(' '));
    QCOMPARE(memory.mid(SimDevice::addrPrinter, 22).toHex(' '),
             hex("0D 00 00 00 00 01 19 00 00 01 0E 00 00 01 14 00 00 00 00 00 00 01").toHex(' '));
    QCOMPARE(memory.mid(SimDevice::addrBonus, 16).toHex(' '),
             hex("D2 04 00 00 00 E1 F5 05 73 00 00 00 00 00 00 00").toHex(' '));
    QCOMPARE(sim->locationText(), QStringLiteral("Kelvane Arcade\rMain St. 5"));
    QCOMPARE(memory.mid(SimDevice::addrDisclaimer, 256), QByteArray("Prizes \x80"
                                                                    "5\rno cash value")
                                                             .leftJustified(256, '\0'));
}

void TestProgramRun::stopsAtFailingSection_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("error");
    QTest::newRow("wrong echo") << int(SimFault::WrongEcho) << "ERROR: Command\r\n";
    QTest::newRow("silence") << int(SimFault::Silence) << "ERROR: Timeout\r\n";
}

void TestProgramRun::stopsAtFailingSection() {
    QFETCH(int, kind);
    QFETCH(QString, error);
    open();
    SimFault fault;
    fault.kind = SimFault::Kind(kind);
    fault.command = 0xA9;
    fault.phase = 1;
    sim->addFault(fault);
    for (const int i : {0, 2, 4})
        w->chkSend.at(i)->setChecked(true);
    program();
    QCOMPARE(commands(), (QList<int>{0xA1, 0xA9}));
    QCOMPARE(countOf(log(), QStringLiteral("ERROR: ")), 1);
    QVERIFY(log().endsWith(error + QStringLiteral("Complete\r\n")));
    for (const QCheckBox *box : std::as_const(w->chkSend))
        QVERIFY(!box->isChecked());
}

void TestProgramRun::buttonsDuringRun_data() {
    QTest::addColumn<int>("hardwareType");
    QTest::newRow("PIC18F4520") << 1;
    QTest::newRow("PIC16F877") << 0;
}

void TestProgramRun::buttonsDuringRun() {
    QFETCH(int, hardwareType);
    open({QStringLiteral("HardwareType=%1").arg(hardwareType), QStringLiteral("DebugOptions=1")});
    if (hardwareType == 0)
        sim->setController(SimController::PIC16F877);
    const QList<QPushButton *> buttons = w->findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 12);

    int framesSeen = 0;
    bool allDisabled = true;
    bool shown = true;
    const QMetaObject::Connection watch = connect(sim.get(), &SimDevice::frameReceived, w.get(), [&] {
        ++framesSeen;
        for (const QPushButton *button : buttons)
            allDisabled = allDisabled && !button->isEnabled();
        shown = shown && w->programmingWindow() && w->programmingWindow()->isVisible();
    });
    w->chkSend.at(2)->setChecked(true);
    program();
    // With the PIC16F877 nothing is awaited, so no event runs during the run to look from.
    if (hardwareType >= 1) {
        QCOMPARE(framesSeen, 1);
        QVERIFY(allDisabled);
        QVERIFY(shown);
    }

    QVERIFY(w->programmingWindow());
    QVERIFY(!w->programmingWindow()->isVisible());
    QVERIFY(w->programmingWindow()->isWindow());
    const bool answering = hardwareType >= 1;
    for (const QPushButton *button : buttons) {
        const bool onlyAnswering =
            button == w->cmdTestComm || button == w->cmdGetVersionNumber || button == w->cmdGetDIPSettings;
        QCOMPARE(button->isEnabled(), onlyAnswering ? answering : true);
    }

    // A second run reuses the same window.
    const frmProgramming *first = w->programmingWindow();
    program();
    QCOMPARE(w->programmingWindow(), first);
    disconnect(watch);
}

void TestProgramRun::editDuringRunIsSent() {
    open();
    // The operator types a game number while the date and time wait for their answer.
    connect(sim.get(), &SimDevice::frameReceived, w.get(), [this](const SimFrame &frame) {
        if (frame.command == 0xA1) {
            w->txtGameNumber.at(0)->clear();
            QTest::keyClicks(w->txtGameNumber.at(0), QStringLiteral("BEEF"));
        }
    });
    w->chkSend.at(0)->setChecked(true);
    program();
    QCOMPARE(commands(), (QList<int>{0xA1, 0xA2}));
    QCOMPARE(sim->frames().at(1).payload.mid(21, 2), hex("EF BE"));
    QVERIFY(!w->chkSend.at(1)->isChecked());
}

void TestProgramRun::dataChangesTickSections() {
    open();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    const auto ticked = [this] {
        QList<int> boxes;
        for (int i = 0; i < w->chkSend.size(); ++i) {
            if (w->chkSend.at(i)->isChecked())
                boxes.append(i);
            w->chkSend.at(i)->setChecked(false);
        }
        return boxes;
    };
    QTest::keyClicks(w->txtGameNumber.at(4), QStringLiteral("1"));
    QCOMPARE(ticked(), QList<int>{1});
    const int other = w->PrinterType == 5 ? 6 : 5;
    clickBox(w->optPrinter.at(other));
    QCOMPARE(w->PrinterType, other);
    QCOMPARE(ticked(), QList<int>{2});
    const int baud = w->PrinterBaudRate == 0 ? 1 : 0;
    clickBox(w->optPrinterBaudRate.at(baud));
    QCOMPARE(w->PrinterBaudRate, baud);
    QCOMPARE(ticked(), QList<int>{2});
    QTest::keyClicks(w->txtLocationInfo, QStringLiteral("x"));
    QCOMPARE(ticked(), QList<int>{3});
    QTest::keyClicks(w->txtDisclaimer, QStringLiteral("x"));
    QCOMPARE(ticked(), QList<int>{4});
    w->txtBonus.at(3)->setText(QStringLiteral("7"));
    QCOMPARE(ticked(), QList<int>{5});
}

void TestProgramRun::textBlockOneFails() {
    open();
    SimFault fault;
    fault.kind = SimFault::WrongEcho;
    fault.command = 0xA5;
    fault.phase = 1;
    sim->addFault(fault);
    w->setBoxText(w->txtLocationInfo, QString(300, 'x'));
    w->chkSend.at(3)->setChecked(true);
    w->chkSend.at(5)->setChecked(true);
    program();
    QCOMPARE(commands(), QList<int>{0xA5});
    QCOMPARE(countOf(log(), QStringLiteral("ERROR: ")), 1);
    QVERIFY(log().endsWith(QStringLiteral("ERROR: Command\r\nComplete\r\n")));
}

void TestProgramRun::textTooLongIsWarned() {
    open();
    QString text;
    for (int i = 0; i < 600; ++i)
        text.append(QChar('a' + i % 26));
    w->setBoxText(w->txtDisclaimer, text);
    w->chkSend.at(4)->setChecked(true);
    w->chkSend.at(5)->setChecked(true);
    program();
    QCOMPARE(commands(), (QList<int>{0xA3, 0xA4, 0xAA}));
    QCOMPARE(sim->frames().at(1).payload, text.mid(256, 256).toLatin1());
    QCOMPARE(sim->disclaimerText(), text.left(512));
    const QStringList lines = log().split(QStringLiteral("\r\n"));
    QStringList warnings;
    for (const QString &line : lines) {
        if (line.startsWith(QStringLiteral("WARNING: ")))
            warnings.append(line);
    }
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings.first().contains(QStringLiteral(" 88 ")), qPrintable(warnings.first()));
    QVERIFY(!log().contains(QStringLiteral("ERROR")));
}

void TestProgramRun::textCharacterWithoutCode() {
    open();
    w->setBoxText(w->txtDisclaimer, QString::fromUtf8("left \u2192 right"));
    w->chkSend.at(2)->setChecked(true);
    w->chkSend.at(4)->setChecked(true);
    w->chkSend.at(5)->setChecked(true);
    program();
    QCOMPARE(commands(), QList<int>{0xA9});
    QCOMPARE(countOf(log(), QStringLiteral("ERROR: ")), 1);
    const QString error = log().section(QStringLiteral("ERROR: "), 1);
    QVERIFY2(error.contains(QString::fromUtf8("\u2192")) && error.contains(QStringLiteral("U+2192")),
             qPrintable(error));
    QVERIFY(error.endsWith(QStringLiteral("\r\nComplete\r\n")));
}

void TestProgramRun::badGameNumber() {
    open();
    w->txtGameNumber.at(2)->setText(QStringLiteral("12G4"));
    w->chkSend.at(1)->setChecked(true);
    w->chkSend.at(2)->setChecked(true);
    program();
    QVERIFY(sim->frames().isEmpty());
    QCOMPARE(countOf(log(), QStringLiteral("ERROR: ")), 1);
    const QString error = log().section(QStringLiteral("ERROR: "), 1);
    QVERIFY2(error.contains(QStringLiteral("Game 3")), qPrintable(error));
    QVERIFY(error.endsWith(QStringLiteral("\r\nComplete\r\n")));
}

void TestProgramRun::badBonus_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("label");
    QTest::newRow("empty percentage") << 0 << ""
                                      << "Percentage";
    QTest::newRow("comma decimal") << 2 << "50,00"
                                   << "Refill $";
    QTest::newRow("negative odds") << 1 << "-5000"
                                   << "Odds: 1 in";
    QTest::newRow("too large") << 3 << "30000000"
                               << "Minimum $";
}

void TestProgramRun::badBonus() {
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, label);
    open();
    w->txtBonus.at(field)->setText(text);
    w->chkSend.at(0)->setChecked(true);
    w->chkSend.at(5)->setChecked(true);
    program();
    QCOMPARE(commands(), QList<int>{0xA1});
    QCOMPARE(countOf(log(), QStringLiteral("ERROR: ")), 1);
    const QString error = log().section(QStringLiteral("ERROR: "), 1);
    QVERIFY2(error.startsWith(label), qPrintable(error));
    QVERIFY(error.endsWith(QStringLiteral("\r\nComplete\r\n")));
}

QTEST_MAIN(TestProgramRun)
#include "tst_programrun.moc"
