// The main window's controls, their wiring and the small "Programming Kelvane" window.
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>

namespace {

// Group boxes show their caption as the title, the other controls as their text.
QString caption(const QWidget *c) {
    return c->property(qobject_cast<const QGroupBox *>(c) ? "title" : "text").toString();
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

    void focusAndTabOrder();
    void controls_data();
    void controls();
    void windowListsAndBoxes();
    void boxTextLineBreaks_data();
    void boxTextLineBreaks();
    void handlersRunOnlyOnChange();
};

void TestWindow::focusAndTabOrder() {
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->cmdExit));

    // The focusable controls in tab-index order, starting with Exit (tab index 0); array members are
    // named with their index.
    const QStringList expected =
        QStringLiteral(
            "cmdExit optPrinter0 optPrinter3 optPrinter2 optPrinter1 txtGameNumber1 txtGameNumber2 "
            "txtGameNumber3 txtGameNumber4 txtGameNumber0 txtLocationInfo txtDisclaimer chkSend0 "
            "chkSend2 chkSend1 chkSend3 chkSend4 chkSendAll chkOptions2 chkOptions0 chkOptions1 "
            "chkOptions3 chkOptions4 chkOptions5 chkOptions6 chkOptions7 cmdTicket cmdFileOps2 "
            "cmdFileOps1 cmdFileOps3 cmdFileOps0 optPrinter4 chkSend5 txtBonus0 txtBonus1 txtBonus2 "
            "txtBonus3 optPrinterBaudRate0 optPrinterBaudRate1 cboCommPort txtStatus cmdClearText "
            "cmdProgram optPrinter5 optPrinter6 cboCommBaudRate cmdTestComm optHardwareType0 "
            "optHardwareType1 txtDumpMemCnt txtDumpMemAddr cmdDumpMemory cmdGetDIPSettings "
            "cmdGetVersionNumber")
            .split(QLatin1Char(' '));
    QStringList chain;
    QWidget *next = w->cmdExit;
    do {
        if ((next->focusPolicy() & Qt::TabFocus) && !next->focusProxy() && !next->isWindow())
            chain << next->objectName() + next->property("Index").toString();
        next = next->nextInFocusChain();
    } while (next != w->cmdExit && chain.size() <= expected.size());
    QCOMPARE(chain, expected);
}

void TestWindow::controls_data() {
    QTest::addColumn<QWidget *>("control");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QRect>("geometry");

    // A few controls of each kind; the tab-order test already finds every focusable one.
    const auto row = [](const char *name, QWidget *c, const char *parent, const char *caption,
                        const char *tip,
                        QRect r) { QTest::newRow(name) << c << parent << caption << tip << r; };
    const char *win = "frmKelvaneProgrammer";
    row("frameOptions", w->frameOptions, win, "Options", "", twips(120, 120, 2775, 2415));
    row("lblCommPort", w->lblCommPort, win, "Comm Port", "", twips(9840, 5760, 1095, 255));
    row("cboCommBaudRate", w->cboCommBaudRate, win, "", "", twips(11160, 6000, 1095, 315));
    row("optHardwareType(1)", w->optHardwareType[1], win, "PIC18F4520 Microcontroller", "",
        twips(9840, 6720, 2415, 255));
    row("cmdFileOps(2)", w->cmdFileOps[2], win, "Load Disclaimer", "Load a standard disclaimer from a file",
        twips(3000, 7800, 1215, 495));
    row("cmdExit", w->cmdExit, win, "Exit", "Exit this program", twips(11040, 7800, 1215, 495));
    row("chkOptions(6)", w->chkOptions[6], "frameOptions", "Dollar Limit",
        "Enforce the dollar limit as set on DIP switch 4 positions 7 and 8", twips(240, 1800, 1935, 255));
    row("txtGameNumber(1)", w->txtGameNumber[1], "frameGameNumber", "2222", "", twips(960, 720, 495, 285));
    row("chkSend(5)", w->chkSend[5], "frameSend", "Bonus Parameters", "", twips(240, 1560, 2295, 255));
    row("txtDumpMemCnt", w->txtDumpMemCnt, "frameDebug", "0", "", twips(6000, 570, 735, 285));
}

void TestWindow::controls() {
    QFETCH(QWidget *, control);
    QTEST(control->parentWidget()->objectName(), "parent");
    QTEST(caption(control), "caption");
    QTEST(control->toolTip(), "toolTip");
    QTEST(control->geometry(), "geometry");
}

void TestWindow::windowListsAndBoxes() {
    // No settings file: the Debug frame is hidden and the window ends at its top edge.
    QCOMPARE(w->size(), QSize(827, 568));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QCOMPARE(w->windowTitle(), QStringLiteral("Kelvane Programmer, Version: 3.2.01"));
    // The program's icon, built in: a missing or mangled picture would leave a blank one.
    QCOMPARE(w->windowIcon().availableSizes(), (QList<QSize>{{32, 32}, {64, 64}}));
    const QImage icon = w->windowIcon().pixmap(64, 64).toImage();
    QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);     // rounded corner
    QCOMPARE(qAlpha(icon.pixel(32, 32)), 255); // the K's ground
    // The three groups of option buttons are independent of each other.
    QCOMPARE(w->optHardwareType[0]->parentWidget(), static_cast<QWidget *>(w.get()));
    QCOMPARE(w->optPrinter[0]->parentWidget(), static_cast<QWidget *>(w->framePrinter));

    // The settings store list positions: "None" is 0, COMn is n.
    QCOMPARE(w->cboCommPort->count(), 13);
    for (int n = 0; n < 13; ++n)
        QCOMPARE(w->cboCommPort->itemText(n), n ? QStringLiteral("COM%1").arg(n) : QStringLiteral("None"));
    QCOMPARE(w->cboCommBaudRate->count(), 2);
    QCOMPARE(w->cboCommBaudRate->currentText(), QStringLiteral("1200"));
    QCOMPARE(w->cboCommBaudRate->itemText(1), QStringLiteral("9600"));
    QVERIFY(!w->cboCommPort->isEditable() && !w->cboCommBaudRate->isEditable());

    // Hex dumps, bit strings and ticket layouts only line up in a fixed-pitch font.
    for (QPlainTextEdit *box : {w->txtStatus, w->txtLocationInfo, w->txtDisclaimer}) {
        QVERIFY2(QFontInfo(box->font()).fixedPitch(), qPrintable(box->objectName()));
        QCOMPARE(box->isReadOnly(), box == w->txtStatus);
    }
}

void TestWindow::boxTextLineBreaks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown"); // in the widget
    QTest::addColumn<QString>("read");  // by the program
    const auto row = [](const char *name, const char *text, const char *shown, const char *read) {
        QTest::newRow(name) << QString(text) << QString(shown) << QString(read);
    };
    row("crlf", "a\r\nb\r\n", "a\nb\n", "a\r\nb\r\n");
    row("lone cr", "a\rb", "a\nb", "a\r\nb");
    row("mixed", "1\r\n2\r3\n\r\n", "1\n2\n3\n\n", "1\r\n2\r\n3\r\n\r\n");
    row("no-break space kept", "1\u00a02\t3", "1\u00a02\t3", "1\u00a02\t3");
}

void TestWindow::boxTextLineBreaks() {
    QFETCH(QString, text);
    frmKelvaneProgrammer::setBoxText(w->txtDisclaimer, text);
    QString raw = w->txtDisclaimer->document()->toRawText(); // blocks end in U+2029 there
    QTEST(raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n')), "shown");
    QTEST(frmKelvaneProgrammer::boxText(w->txtDisclaimer), "read");
}

void TestWindow::handlersRunOnlyOnChange() {
    // A change handler ticks its section's send box; unticking it again shows whether it ran.
    const auto ran = [this](int section) {
        const bool ticked = w->chkSend[section]->isChecked();
        w->chkSend[section]->setChecked(false);
        return ticked;
    };
    for (QCheckBox *box : std::as_const(w->chkSend))
        box->setChecked(false);

    w->txtGameNumber[2]->setText(QStringLiteral("1234"));
    QVERIFY(ran(1));
    w->txtGameNumber[2]->setText(QStringLiteral("1234")); // same text: no change, no handler
    QVERIFY(!ran(1));
    frmKelvaneProgrammer::setBoxText(w->txtLocationInfo, QStringLiteral("Main St\r\n"));
    QVERIFY(ran(3));
    frmKelvaneProgrammer::setBoxText(w->txtLocationInfo, QStringLiteral("Main St\r\n"));
    QVERIFY(!ran(3));
    w->optPrinter[3]->setChecked(true);
    QVERIFY(ran(2));
    QCOMPARE(w->PrinterType, 3);
    w->optPrinter[3]->setChecked(true); // already selected
    QVERIFY(!ran(2));
}

QTEST_MAIN(TestWindow)
#include "test_window.moc"
