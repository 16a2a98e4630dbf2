// The main window's controls, their wiring and the small "Programming Kelvane" window.
#include "testsupport.h"

namespace {

// Group boxes show their caption as the title, the other controls as their text.
QString caption(const QWidget *c) {
    return c->property(qobject_cast<const QGroupBox *>(c) ? "title" : "text").toString();
}

// Every captioned control of both windows with its box as designed (twips): name, array index
// (-1: none), container, caption, left, top, width, height, tooltip.
struct Designed {
    const char *name;
    int index;
    const char *parent;
    const char *caption;
    int left, top, width, height;
    const char *toolTip = "";
};

const Designed designed[] = {
    {"frameOptions", -1, "frmKelvaneProgrammer", "Options", 120, 120, 2775, 2415},
    {"frameGameNumber", -1, "frmKelvaneProgrammer", "Game Number", 3000, 120, 1695, 2415},
    {"framePrinter", -1, "frmKelvaneProgrammer", "Printer", 4800, 120, 2295, 2415},
    {"framePrinterBaudRate", -1, "frmKelvaneProgrammer", "Printer Baud Rate", 7200, 120, 2175, 2415},
    {"frameBonus", -1, "frmKelvaneProgrammer", "Bonus", 9480, 120, 2775, 2415},
    {"frameLocationInfo", -1, "frmKelvaneProgrammer", "Location Information", 120, 2640, 4575, 2895},
    {"frameDisclaimer", -1, "frmKelvaneProgrammer", "Disclaimer", 4800, 2640, 4575, 2895},
    {"frameSend", -1, "frmKelvaneProgrammer", "Program", 9480, 2640, 2775, 2895},
    {"txtStatus", -1, "frmKelvaneProgrammer", "", 120, 5760, 9255, 1815},
    {"lblCommPort", -1, "frmKelvaneProgrammer", "Comm Port", 9840, 5760, 1095, 255},
    {"cboCommPort", -1, "frmKelvaneProgrammer", "", 9840, 6000, 1095, 315},
    {"cboCommBaudRate", -1, "frmKelvaneProgrammer", "", 11160, 6000, 1095, 315},
    {"lblCommBaudRate", -1, "frmKelvaneProgrammer", "Baud Rate", 11160, 5760, 1095, 255},
    {"optHardwareType", 0, "frmKelvaneProgrammer", "PIC16F877 Microcontroller", 9840, 6480, 2415, 255},
    {"optHardwareType", 1, "frmKelvaneProgrammer", "PIC18F4520 Microcontroller", 9840, 6720, 2415, 255},
    {"cmdFileOps", 0, "frmKelvaneProgrammer", "Load Location", 120, 7800, 1215, 495},
    {"cmdFileOps", 1, "frmKelvaneProgrammer", "Save Location", 1440, 7800, 1215, 495,
     "Save the location information to a file"},
    {"cmdFileOps", 2, "frmKelvaneProgrammer", "Load Disclaimer", 3000, 7800, 1215, 495,
     "Load a standard disclaimer from a file"},
    {"cmdFileOps", 3, "frmKelvaneProgrammer", "Save Disclaimer", 4320, 7800, 1215, 495,
     "Save the disclaimer to a file"},
    {"cmdTicket", -1, "frmKelvaneProgrammer", "Audit Ticket", 5880, 7800, 1215, 495, "View an audit ticket"},
    {"cmdClearText", -1, "frmKelvaneProgrammer", "^ Clear Text ^", 7440, 7800, 1215, 495},
    {"cmdTestComm", -1, "frmKelvaneProgrammer", "Test Comm", 9000, 7800, 1215, 495},
    {"cmdExit", -1, "frmKelvaneProgrammer", "Exit", 11040, 7800, 1215, 495, "Exit this program"},
    {"frameDebug", -1, "frmKelvaneProgrammer", "Debug", 120, 8520, 12135, 1095},
    {"chkOptions", 0, "frameOptions", "Daylight Savings Time", 240, 360, 1935, 255,
     "Automatic Daylight Savings Time update"},
    {"chkOptions", 1, "frameOptions", "Print Disclaimer", 240, 600, 1935, 255, "Print disclaimer"},
    {"chkOptions", 2, "frameOptions", "Use Bonus", 240, 840, 1935, 255},
    {"chkOptions", 3, "frameOptions", "Print Dollars", 240, 1080, 1935, 255,
     "Print dollars when checked or points when unchecked"},
    {"chkOptions", 4, "frameOptions", "Print Nickels", 240, 1320, 1935, 255,
     "Print nickel value as well as dollars"},
    {"chkOptions", 5, "frameOptions", "Print Tickets", 240, 1560, 1935, 255,
     "Print $5 tickets (automatically checks Print Dollars)"},
    {"chkOptions", 6, "frameOptions", "Dollar Limit", 240, 1800, 1935, 255,
     "Enforce the dollar limit as set on DIP switch 4 positions 7 and 8"},
    {"chkOptions", 7, "frameOptions", "Print Dollar Sign", 240, 2040, 1935, 255, "Print a dollar sign"},
    {"lblGameNumber", 0, "frameGameNumber", "Game 1", 240, 360, 615, 255},
    {"lblGameNumber", 1, "frameGameNumber", "Game 2", 240, 720, 615, 255},
    {"lblGameNumber", 2, "frameGameNumber", "Game 3", 240, 1080, 615, 255},
    {"lblGameNumber", 3, "frameGameNumber", "Game 4", 240, 1440, 615, 255},
    {"lblGameNumber", 4, "frameGameNumber", "Game 5", 240, 1800, 615, 255},
    {"txtGameNumber", 0, "frameGameNumber", "1111", 960, 360, 495, 285}, // the settings' defaults
    {"txtGameNumber", 1, "frameGameNumber", "2222", 960, 720, 495, 285},
    {"txtGameNumber", 2, "frameGameNumber", "3333", 960, 1080, 495, 285},
    {"txtGameNumber", 3, "frameGameNumber", "4444", 960, 1440, 495, 285},
    {"txtGameNumber", 4, "frameGameNumber", "5555", 960, 1800, 495, 285},
    {"optPrinter", 0, "framePrinter", "Citizen", 240, 360, 1695, 255},
    {"optPrinter", 1, "framePrinter", "Epson 267", 240, 600, 1695, 255},
    {"optPrinter", 2, "framePrinter", "Epson 267II", 240, 840, 1695, 255},
    {"optPrinter", 3, "framePrinter", "Ithaca", 240, 1080, 1695, 255},
    {"optPrinter", 4, "framePrinter", "Citizen 3535", 240, 1320, 1695, 255},
    {"optPrinter", 5, "framePrinter", "Samsung SRP-270", 240, 1560, 1695, 255},
    {"optPrinter", 6, "framePrinter", "CBM1000", 240, 1800, 1695, 255},
    {"optPrinterBaudRate", 0, "framePrinterBaudRate", "1200", 240, 360, 1695, 255},
    {"optPrinterBaudRate", 1, "framePrinterBaudRate", "9600", 240, 600, 1695, 255},
    {"lblBonus", 0, "frameBonus", "Percentage", 240, 360, 975, 255},
    {"lblBonus", 1, "frameBonus", "Odds: 1 in", 240, 720, 975, 255},
    {"lblBonus", 2, "frameBonus", "Refill $", 240, 1080, 975, 255},
    {"lblBonus", 3, "frameBonus", "Minimum $", 240, 1440, 975, 255},
    {"txtBonus", 0, "frameBonus", "1.00", 1320, 360, 735, 285},
    {"txtBonus", 1, "frameBonus", "5000", 1320, 720, 735, 285},
    {"txtBonus", 2, "frameBonus", "50.00", 1320, 1080, 735, 285},
    {"txtBonus", 3, "frameBonus", "50.00", 1320, 1440, 735, 285},
    {"txtLocationInfo", -1, "frameLocationInfo", "", 120, 240, 4335, 2535},
    {"txtDisclaimer", -1, "frameDisclaimer", "", 120, 240, 4335, 2535},
    {"chkSend", 0, "frameSend", "Date and Time", 240, 360, 2295, 255},
    {"chkSend", 1, "frameSend", "Options and Game Numbers", 240, 600, 2295, 255},
    {"chkSend", 2, "frameSend", "Printer Configuration", 240, 840, 2295, 255},
    {"chkSend", 3, "frameSend", "Location Information", 240, 1080, 2295, 255},
    {"chkSend", 4, "frameSend", "Disclaimer", 240, 1320, 2295, 255},
    {"chkSend", 5, "frameSend", "Bonus Parameters", 240, 1560, 2295, 255},
    {"chkSendAll", -1, "frameSend", "All of the above", 240, 1800, 2295, 255},
    {"cmdProgram", -1, "frameSend", "Program", 240, 2160, 1215, 495, "Send information to the Kelvane"},
    {"cmdGetVersionNumber", -1, "frameDebug", "Get Version Number", 240, 360, 1215, 495},
    {"cmdGetDIPSettings", -1, "frameDebug", "Get DIP Settings", 1680, 360, 1215, 495},
    {"cmdDumpMemory", -1, "frameDebug", "Dump Memory", 3120, 360, 1215, 495},
    {"lblDumpMemAddr", -1, "frameDebug", "Address (Hex)", 4560, 360, 1215, 255},
    {"txtDumpMemAddr", -1, "frameDebug", "0", 4560, 600, 1215, 285},
    {"lblDumpMemCnt", -1, "frameDebug", "Count", 6000, 360, 735, 255},
    {"txtDumpMemCnt", -1, "frameDebug", "0", 6000, 570, 735, 285},
    {"Label1", -1, "frmProgramming", "Programming Kelvane", 240, 240, 3375, 495},
};

QWidget *findControl(QWidget *window, const Designed &d) {
    for (QWidget *const c : window->findChildren<QWidget *>(QLatin1String(d.name)))
        if (d.index < 0 || c->property("Index").toInt() == d.index)
            return c;
    return nullptr;
}

// Why a caption does not show whole in its box under the control's font and style (empty: it
// fits). Buttons wrap their caption and keep a pixel clear of their bevel on either side.
QString captionClipped(QWidget *c, const QString &text, const QSize &size) {
    const QFontMetrics fm(c->font());
    QStyle *const style = c->style();
    const QRect box(QPoint(0, 0), size);
    const auto tooWide = [](int need, int room, const char *what = "needs %1 px, has %2") {
        return need > room ? QString::fromLatin1(what).arg(need).arg(room) : QString();
    };
    const auto tooHigh = [&tooWide](int need, int room) { return tooWide(need, room, "%1 px high, has %2"); };
    if (auto *const group = qobject_cast<QGroupBox *>(c)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.rect = box;
        option.text = text;
        option.textAlignment = group->alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect label =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        // The frame's top line as drawn: the first row, right of the title, that is not background.
        QImage image(size, QImage::Format_RGB32);
        group->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        const int x = size.width() - 20;
        int line = 0;
        while (line < size.height() && image.pixel(x, line) == image.pixel(x, 0))
            ++line;
        int top = size.height();
        for (const QWidget *child : group->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            top = qMin(top, child->geometry().top());
        if (line >= top)
            return QStringLiteral("frame line at %1 px, a control at %2 px").arg(line).arg(top);
        return tooWide(label.left() + fm.horizontalAdvance(text) + 8, size.width());
    }
    if (fm.height() > size.height())
        return tooHigh(fm.height(), size.height());
    QStyleOptionButton option;
    option.initFrom(c);
    option.rect = box;
    option.text = text;
    if (qobject_cast<QPushButton *>(c)) {
        const QRect contents = style->subElementRect(QStyle::SE_PushButtonContents, &option, c);
        const QRect text = fm.boundingRect(contents, Qt::AlignCenter | Qt::TextWordWrap, option.text);
        return text.height() > contents.height() ? tooHigh(text.height(), contents.height())
                                                 : tooWide(text.width() + 2, contents.width());
    }
    if (qobject_cast<QCheckBox *>(c) || qobject_cast<QRadioButton *>(c)) {
        const QRect contents = style->subElementRect(
            qobject_cast<QCheckBox *>(c) ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents,
            &option, c);
        return tooWide(fm.horizontalAdvance(text), contents.width());
    }
    if (qobject_cast<QLineEdit *>(c))
        return tooWide(fm.horizontalAdvance(text) + 8, size.width()); // frame and text margins
    return tooWide(fm.horizontalAdvance(text), size.width());
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

    void focusAndTabOrder() {
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
            // Option buttons are in the order too, though only the selected one of a group takes Tab.
            const bool option = qobject_cast<QRadioButton *>(next);
            if ((option || (next->focusPolicy() & Qt::TabFocus)) && !next->focusProxy() && !next->isWindow())
                chain << next->objectName() + next->property("Index").toString();
            next = next->nextInFocusChain();
        } while (next != w->cmdExit && chain.size() <= expected.size());
        QCOMPARE(chain, expected);
    }

    void controls_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(designed)); ++i)
            QTest::newRow(qPrintable(QStringLiteral("%1(%2)").arg(designed[i].name).arg(designed[i].index)))
                << i;
    }

    // Each control sits in its designed place, with its caption and tooltip, and the caption shows
    // whole in that box under the fonts the program picks (on this machine, those setup installs).
    void controls() {
        QFETCH(int, row);
        const Designed &d = designed[row];
        frmProgramming small;
        QWidget *const c = findControl(
            qstrcmp(d.parent, "frmProgramming") == 0 ? static_cast<QWidget *>(&small) : w.get(), d);
        QVERIFY(c);
        QCOMPARE(c->parentWidget()->objectName(), QString(d.parent));
        QCOMPARE(caption(c), QString(d.caption));
        QCOMPARE(c->toolTip(), QString(d.toolTip));
        const QRect box = twips(d.left, d.top, d.width, d.height);
        QCOMPARE(c->geometry(), box);
        const QString clipped = captionClipped(c, caption(c), box.size());
        QVERIFY2(
            clipped.isEmpty(),
            qPrintable(
                QStringLiteral("\"%1\" in %2: %3").arg(caption(c), QFontInfo(c->font()).family(), clipped)));
    }

    void windowListsAndBoxes() {
        // No settings file: the Debug frame is hidden and the window ends at its top edge.
        QCOMPARE(w->size(), QSize(827, 568));
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QCOMPARE(w->windowTitle(), QStringLiteral("Kelvane Programmer, Version: 3.2.01"));
        // The program's icon, built in: a missing or mangled picture would leave a blank one.
        QCOMPARE(w->windowIcon().availableSizes(), (QList<QSize>{{32, 32}, {64, 64}}));
        const QImage icon = w->windowIcon().pixmap(64, 64).toImage();
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);     // rounded corner
        QCOMPARE(qAlpha(icon.pixel(32, 32)), 255); // the K's ground

        // The settings store list positions: "None" is 0, COMn is n (the port tests check each COMn).
        QCOMPARE(w->cboCommPort->count(), 13);
        QCOMPARE(w->cboCommPort->itemText(0), QStringLiteral("None"));
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

    void boxTextLineBreaks_data() {
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

    void boxTextLineBreaks() {
        QFETCH(QString, text);
        frmKelvaneProgrammer::setBoxText(w->txtDisclaimer, text);
        QString raw = w->txtDisclaimer->document()->toRawText(); // blocks end in U+2029 there
        QTEST(raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n')), "shown");
        QTEST(frmKelvaneProgrammer::boxText(w->txtDisclaimer), "read");
    }

    void handlersRunOnlyOnChange() {
        // A change handler ticks its section's send box: the boxes ticked since last asked.
        const auto ticked = [this] {
            QList<int> sections;
            for (int i = 0; i < w->chkSend.size(); ++i) {
                if (w->chkSend[i]->isChecked())
                    sections << i;
                w->chkSend[i]->setChecked(false);
            }
            return sections;
        };
        const auto change = [this] {
            w->txtGameNumber[2]->setText(QStringLiteral("1234"));
            frmKelvaneProgrammer::setBoxText(w->txtLocationInfo, QStringLiteral("Main St\r\n"));
            w->optPrinter[3]->setChecked(true);
        };
        ticked();
        change();
        QCOMPARE(ticked(), (QList<int>{1, 2, 3}));
        QCOMPARE(w->PrinterType, 3);
        change(); // the same again: nothing changes, no handler runs
        QCOMPARE(ticked(), QList<int>());
    }

    // Habits of the platform: Tab enters a group of option buttons on the selected one; the wheel
    // changes a list only while the list has the keyboard focus.
    void keyboardAndWheel() {
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::mouseClick(w->optHardwareType[1], Qt::LeftButton);
        w->optPrinter[2]->setChecked(true);
        w->cmdExit->setFocus();
        QTest::keyClick(w->cmdExit, Qt::Key_Tab); // Citizen and Ithaca come first in the tab order
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->optPrinter[2]));
        w->cmdTestComm->setFocus();
        QTest::keyClick(w->cmdTestComm, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->optHardwareType[1]));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(w->HardwareType, 1);

        // Up towards "None" on the port list: even a list that took the wheel opens no port then.
        const auto turnWheel = [](QComboBox *list, int delta) {
            const QPoint middle = list->rect().center();
            QWheelEvent wheel(middle, list->mapToGlobal(middle), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(list, &wheel);
            return list->currentIndex();
        };
        QCOMPARE(turnWheel(w->cboCommPort, 120), 1);
        QCOMPARE(turnWheel(w->cboCommBaudRate, -120), 0);
        QVERIFY(!w->cboCommBaudRate->hasFocus());
        w->cboCommBaudRate->setFocus();
        turnWheel(w->cboCommBaudRate, -120);
        QCOMPARE(w->cboCommBaudRate->currentIndex(), 1);
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
