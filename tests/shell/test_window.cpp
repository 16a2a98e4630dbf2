// The main window's controls, their wiring and the small "Programming Kelvane" window.
#include "testsupport.h"

#include "link/statuslog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QTimer>

namespace {

QWidget *control(QWidget *window, const QString &name, int index) {
    const auto found = window->findChildren<QWidget *>(name);
    for (QWidget *w : found) {
        const QVariant i = w->property("Index");
        if (index < 0 ? !i.isValid() : i.isValid() && i.toInt() == index)
            return w;
    }
    return nullptr;
}

QString caption(const QWidget *w) {
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    return QString();
}

QRect twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

} // namespace

class TestWindow : public QObject {
    Q_OBJECT

    ProgramFolder folder;
    std::unique_ptr<frmKelvaneProgrammer> w;

private slots:
    void initTestCase() {
        w = openWindow(folder);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    void cleanupTestCase() { w.reset(); }

    void initialFocus();
    void controls_data();
    void controls();
    void arraysInIndexOrder();
    void lists();
    void tabOrder();
    void clientSizeAndTitle();
    void boxesAndFonts();
    void programmingWindow();
    void invisibleControls();

    void boxTextLineBreaks_data();
    void boxTextLineBreaks();
    void valueChangesRunHandlersOnce();
    void bonusKeysFiltered();
    void clearTextButton();
};

void TestWindow::initialFocus() {
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->cmdExit));
}

void TestWindow::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index"); // -1: not an array member
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QRect>("geometry");

    const auto row = [](const char *name, int index, const char *parent, const char *caption, const char *tip,
                        QRect rect) {
        QTest::addRow("%s(%d)", name, index) << name << index << parent << caption << tip << rect;
    };
    const char *win = "frmKelvaneProgrammer";
    row("frameOptions", -1, win, "Options", "", twips(120, 120, 2775, 2415));
    row("frameGameNumber", -1, win, "Game Number", "", twips(3000, 120, 1695, 2415));
    row("framePrinter", -1, win, "Printer", "", twips(4800, 120, 2295, 2415));
    row("framePrinterBaudRate", -1, win, "Printer Baud Rate", "", twips(7200, 120, 2175, 2415));
    row("frameBonus", -1, win, "Bonus", "", twips(9480, 120, 2775, 2415));
    row("frameLocationInfo", -1, win, "Location Information", "", twips(120, 2640, 4575, 2895));
    row("frameDisclaimer", -1, win, "Disclaimer", "", twips(4800, 2640, 4575, 2895));
    row("frameSend", -1, win, "Program", "", twips(9480, 2640, 2775, 2895));
    row("frameDebug", -1, win, "Debug", "", twips(120, 8520, 12135, 1095));
    row("txtStatus", -1, win, "", "", twips(120, 5760, 9255, 1815));
    row("lblCommPort", -1, win, "Comm Port", "", twips(9840, 5760, 1095, 255));
    row("cboCommBaudRate", -1, win, "", "", twips(11160, 6000, 1095, 315));
    row("optHardwareType", 1, win, "PIC18F4520 Microcontroller", "", twips(9840, 6720, 2415, 255));
    row("cmdFileOps", 0, win, "Load Location", "", twips(120, 7800, 1215, 495));
    row("cmdFileOps", 2, win, "Load Disclaimer", "Load a standard disclaimer from a file",
        twips(3000, 7800, 1215, 495));
    row("cmdTicket", -1, win, "Audit Ticket", "View an audit ticket", twips(5880, 7800, 1215, 495));
    row("cmdClearText", -1, win, "^ Clear Text ^", "", twips(7440, 7800, 1215, 495));
    row("cmdExit", -1, win, "Exit", "Exit this program", twips(11040, 7800, 1215, 495));
    row("chkOptions", 2, "frameOptions", "Use Bonus", "", twips(240, 840, 1935, 255));
    row("chkOptions", 6, "frameOptions", "Dollar Limit",
        "Enforce the dollar limit as set on DIP switch 4 positions 7 and 8", twips(240, 1800, 1935, 255));
    row("lblGameNumber", 4, "frameGameNumber", "Game 5", "", twips(240, 1800, 615, 255));
    row("txtGameNumber", 1, "frameGameNumber", "2222", "", twips(960, 720, 495, 285)); // after start-up
    row("optPrinter", 5, "framePrinter", "Samsung SRP-270", "", twips(240, 1560, 1695, 255));
    row("optPrinterBaudRate", 1, "framePrinterBaudRate", "9600", "", twips(240, 600, 1695, 255));
    row("lblBonus", 1, "frameBonus", "Odds: 1 in", "", twips(240, 720, 975, 255));
    row("txtBonus", 3, "frameBonus", "50.00", "", twips(1320, 1440, 735, 285));
    row("txtDisclaimer", -1, "frameDisclaimer", "", "", twips(120, 240, 4335, 2535));
    row("chkSend", 5, "frameSend", "Bonus Parameters", "", twips(240, 1560, 2295, 255));
    row("chkSendAll", -1, "frameSend", "All of the above", "", twips(240, 1800, 2295, 255));
    row("cmdProgram", -1, "frameSend", "Program", "Send information to the Kelvane",
        twips(240, 2160, 1215, 495));
    row("cmdGetDIPSettings", -1, "frameDebug", "Get DIP Settings", "", twips(1680, 360, 1215, 495));
    row("lblDumpMemAddr", -1, "frameDebug", "Address (Hex)", "", twips(4560, 360, 1215, 255));
    row("txtDumpMemCnt", -1, "frameDebug", "0", "", twips(6000, 570, 735, 285));
}

void TestWindow::controls() {
    QFETCH(QString, name);
    QFETCH(int, index);
    QWidget *const c = control(w.get(), name, index);
    QVERIFY2(c, qPrintable(name));
    QTEST(c->parentWidget()->objectName(), "parent");
    QTEST(caption(c), "caption");
    QTEST(c->toolTip(), "toolTip");
    QTEST(c->geometry(), "geometry");
}

void TestWindow::arraysInIndexOrder() {
    // Each list holds its members by index, with the captions of their rows.
    const QStringList options = {"Daylight Savings Time", "Print Disclaimer", "Use Bonus",
                                 "Print Dollars",         "Print Nickels",    "Print Tickets",
                                 "Dollar Limit",          "Print Dollar Sign"};
    QCOMPARE(w->chkOptions.size(), options.size());
    for (int i = 0; i < options.size(); ++i) {
        QCOMPARE(w->chkOptions[i]->text(), options[i]);
        QCOMPARE(w->chkOptions[i]->property("Index").toInt(), i);
    }
    const QStringList printers = {"Citizen",      "Epson 267",       "Epson 267II", "Ithaca",
                                  "Citizen 3535", "Samsung SRP-270", "CBM1000"};
    QCOMPARE(w->optPrinter.size(), printers.size());
    for (int i = 0; i < printers.size(); ++i)
        QCOMPARE(w->optPrinter[i]->text(), printers[i]);
    const QStringList sections = {
        "Date and Time", "Options and Game Numbers", "Printer Configuration", "Location Information",
        "Disclaimer",    "Bonus Parameters"};
    QCOMPARE(w->chkSend.size(), sections.size());
    for (int i = 0; i < sections.size(); ++i)
        QCOMPARE(w->chkSend[i]->text(), sections[i]);
    const QStringList fileOps = {"Load Location", "Save Location", "Load Disclaimer", "Save Disclaimer"};
    QCOMPARE(w->cmdFileOps.size(), fileOps.size());
    for (int i = 0; i < fileOps.size(); ++i)
        QCOMPARE(w->cmdFileOps[i]->text(), fileOps[i]);
    QCOMPARE(w->txtGameNumber.size(), 5);
    QCOMPARE(w->lblGameNumber[0]->text(), QStringLiteral("Game 1"));
    QCOMPARE(w->txtBonus.size(), 4);
    QCOMPARE(w->lblBonus[3]->text(), QStringLiteral("Minimum $"));
    QCOMPARE(w->optHardwareType.size(), 2);
    QCOMPARE(w->optPrinterBaudRate.size(), 2);

    // The three groups of option buttons are independent of each other.
    QCOMPARE(w->optHardwareType[0]->parentWidget(), static_cast<QWidget *>(w.get()));
    QCOMPARE(w->optPrinter[0]->parentWidget(), static_cast<QWidget *>(w->framePrinter));
    QCOMPARE(w->optPrinterBaudRate[0]->parentWidget(), static_cast<QWidget *>(w->framePrinterBaudRate));
}

void TestWindow::lists() {
    QStringList ports;
    for (int i = 0; i < w->cboCommPort->count(); ++i)
        ports << w->cboCommPort->itemText(i);
    QCOMPARE(ports, QStringList({"None", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8",
                                 "COM9", "COM10", "COM11", "COM12"}));
    QCOMPARE(w->cboCommBaudRate->count(), 2);
    QCOMPARE(w->cboCommBaudRate->itemText(0), QStringLiteral("1200"));
    QCOMPARE(w->cboCommBaudRate->itemText(1), QStringLiteral("9600"));
    QVERIFY(!w->cboCommPort->isEditable());
    QVERIFY(!w->cboCommBaudRate->isEditable());
}

void TestWindow::tabOrder() {
    // The focusable controls in tab-index order, starting with Exit (tab index 0).
    const QStringList expected = {"cmdExit",
                                  "optPrinter0",
                                  "optPrinter3",
                                  "optPrinter2",
                                  "optPrinter1",
                                  "txtGameNumber1",
                                  "txtGameNumber2",
                                  "txtGameNumber3",
                                  "txtGameNumber4",
                                  "txtGameNumber0",
                                  "txtLocationInfo",
                                  "txtDisclaimer",
                                  "chkSend0",
                                  "chkSend2",
                                  "chkSend1",
                                  "chkSend3",
                                  "chkSend4",
                                  "chkSendAll",
                                  "chkOptions2",
                                  "chkOptions0",
                                  "chkOptions1",
                                  "chkOptions3",
                                  "chkOptions4",
                                  "chkOptions5",
                                  "chkOptions6",
                                  "chkOptions7",
                                  "cmdTicket",
                                  "cmdFileOps2",
                                  "cmdFileOps1",
                                  "cmdFileOps3",
                                  "cmdFileOps0",
                                  "optPrinter4",
                                  "chkSend5",
                                  "txtBonus0",
                                  "txtBonus1",
                                  "txtBonus2",
                                  "txtBonus3",
                                  "optPrinterBaudRate0",
                                  "optPrinterBaudRate1",
                                  "cboCommPort",
                                  "txtStatus",
                                  "cmdClearText",
                                  "cmdProgram",
                                  "optPrinter5",
                                  "optPrinter6",
                                  "cboCommBaudRate",
                                  "cmdTestComm",
                                  "optHardwareType0",
                                  "optHardwareType1",
                                  "txtDumpMemCnt",
                                  "txtDumpMemAddr",
                                  "cmdDumpMemory",
                                  "cmdGetDIPSettings",
                                  "cmdGetVersionNumber"};

    QStringList chain;
    QWidget *next = w->cmdExit;
    do {
        if ((next->focusPolicy() & Qt::TabFocus) && !next->focusProxy() && next->isWindow() == false) {
            const QVariant index = next->property("Index");
            chain << next->objectName() + (index.isValid() ? QString::number(index.toInt()) : QString());
        }
        next = next->nextInFocusChain();
    } while (next != w->cmdExit && chain.size() <= expected.size());
    QCOMPARE(chain, expected);
}

void TestWindow::clientSizeAndTitle() {
    // No settings file: the Debug frame is hidden and the window ends at its top edge.
    QCOMPARE(w->size(), QSize(827, 568));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QCOMPARE(w->windowTitle(), QStringLiteral("Kelvane Programmer, Version: 3.2.01"));
}

void TestWindow::boxesAndFonts() {
    for (QPlainTextEdit *box : {w->txtStatus, w->txtLocationInfo, w->txtDisclaimer}) {
        const QFontInfo font(box->font());
        QVERIFY2(font.fixedPitch(), qPrintable(box->objectName() + " " + font.family()));
        QCOMPARE(box->font().pointSizeF(), 8.25);
        QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    }
    QVERIFY(w->txtStatus->isReadOnly());
    QCOMPARE(w->txtStatus->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(w->txtStatus->palette().color(QPalette::Base), w->txtStatus->palette().color(QPalette::Button));
    QVERIFY(!w->txtLocationInfo->isReadOnly());
    QCOMPARE(w->txtLocationInfo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(w->txtDisclaimer->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(w->lblCommPort->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(w->lblCommBaudRate->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

void TestWindow::programmingWindow() {
    frmProgramming p(w.get());
    QVERIFY(p.isWindow());
    QVERIFY(!p.testAttribute(Qt::WA_QuitOnClose));
    QCOMPARE(p.windowTitle(), QStringLiteral("Programming Kelvane"));
    QCOMPARE(p.size(), QSize(258, 88));
    QVERIFY(p.Label1);
    QCOMPARE(p.Label1->objectName(), QStringLiteral("Label1"));
    QCOMPARE(p.Label1->text(), QStringLiteral("Programming Kelvane"));
    QCOMPARE(p.Label1->geometry(), QRect(16, 16, 225, 33));
    QCOMPARE(p.Label1->font().pointSize(), 18);
}

void TestWindow::invisibleControls() {
    QVERIFY(w->ocxTimer);
    QCOMPARE(w->ocxTimer->parent(), static_cast<QObject *>(w.get()));
    QVERIFY(!w->ocxTimer->isActive());
    QVERIFY(!w->ocxTimer->isSingleShot());
    QCOMPARE(w->ocxTimer->interval(), 5000);
    QVERIFY(w->ocxComm);
    QVERIFY(w->dlgCommon);
    QVERIFY(w->FormLoaded);
}

void TestWindow::boxTextLineBreaks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("read");
    QTest::newRow("crlf") << "a\r\nb\r\n"
                          << "a\nb\n"
                          << "a\r\nb\r\n";
    QTest::newRow("lone cr") << "a\rb"
                             << "a\nb"
                             << "a\r\nb";
    QTest::newRow("lone lf") << "a\nb"
                             << "a\nb"
                             << "a\r\nb";
    QTest::newRow("mixed") << "1\r\n2\r3\n\r\n"
                           << "1\n2\n3\n\n"
                           << "1\r\n2\r\n3\r\n\r\n";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    const QString nbsp = QString::fromUtf8("1\u00a02\t3");
    QTest::newRow("no-break space kept") << nbsp << nbsp << nbsp;
}

void TestWindow::boxTextLineBreaks() {
    QFETCH(QString, text);
    frmKelvaneProgrammer::setBoxText(w->txtDisclaimer, text);
    QString raw = w->txtDisclaimer->document()->toRawText(); // blocks end in U+2029 there
    QTEST(raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n')), "shown");
    QTEST(frmKelvaneProgrammer::boxText(w->txtDisclaimer), "read");
}

void TestWindow::valueChangesRunHandlersOnce() {
    // The tick handlers show whether a change handler ran.
    const auto untickAll = [this] {
        for (QCheckBox *box : std::as_const(w->chkSend))
            box->setChecked(false);
    };

    untickAll();
    w->txtGameNumber[2]->setText(QStringLiteral("1234"));
    QVERIFY(w->chkSend[1]->isChecked());
    untickAll();
    w->txtGameNumber[2]->setText(QStringLiteral("1234")); // same text: no change, no handler
    QVERIFY(!w->chkSend[1]->isChecked());

    untickAll();
    frmKelvaneProgrammer::setBoxText(w->txtLocationInfo, QStringLiteral("Main St\r\n"));
    QVERIFY(w->chkSend[3]->isChecked());
    untickAll();
    frmKelvaneProgrammer::setBoxText(w->txtLocationInfo, QStringLiteral("Main St\r\n"));
    QVERIFY(!w->chkSend[3]->isChecked());
    QTest::keyClicks(w->txtLocationInfo, QStringLiteral("x"));
    QVERIFY(w->chkSend[3]->isChecked());

    untickAll();
    w->optPrinter[3]->setChecked(true);
    QCOMPARE(w->PrinterType, 3);
    QVERIFY(w->chkSend[2]->isChecked());
    untickAll();
    w->optPrinter[3]->setChecked(true); // already selected
    QVERIFY(!w->chkSend[2]->isChecked());
    w->optPrinter[0]->setChecked(true);
    QCOMPARE(w->PrinterType, 0); // only the newly selected button reports

    untickAll();
    QTest::mouseClick(w->chkOptions[0], Qt::LeftButton);
    QVERIFY(w->chkOptions[0]->isChecked());
    QCOMPARE(w->Options & 1, 1);
    QVERIFY(w->chkSend[1]->isChecked());
    w->chkOptions[0]->setChecked(false);
    QCOMPARE(w->Options & 1, 0);
    untickAll();
}

void TestWindow::bonusKeysFiltered() {
    QLineEdit *const box = w->txtBonus[1];
    box->setFocus();
    box->clear();
    QTest::keyClicks(box, QStringLiteral("1a2-,. 3.x"));
    QCOMPARE(box->text(), QStringLiteral("12.3."));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("12.3"));
    QTest::keyClick(box, Qt::Key_Left); // keys that type nothing still work
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->text(), QStringLiteral("12."));
    box->setText(QStringLiteral("5000"));
}

void TestWindow::clearTextButton() {
    w->StatusAppend(QStringLiteral("line\r\n"), false);
    QVERIFY(!w->statusText().isEmpty());
    QTest::mouseClick(w->cmdClearText, Qt::LeftButton);
    QCOMPARE(w->statusText(), QString());
    QCOMPARE(w->txtStatus->toPlainText(), QString());
}

QTEST_MAIN(TestWindow)
#include "test_window.moc"
