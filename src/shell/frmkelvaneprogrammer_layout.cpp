// The window's controls: their places, captions, tab order and looks, frame by frame.
#include "link/ocxcomm.h"
#include "link/statuslog.h"
#include "shell/controlstyles.h"
#include "shell/frmkelvaneprogrammer.h"
#include "shell/windowfit.h"
#include "textfiles/commondialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// Controls with their tab index, collected while the window is built and chained at the end.
using TabList = QList<QPair<int, QWidget *>>;

void setCaption(QGroupBox *w, const QString &text) {
    w->setTitle(text);
}
void setCaption(QAbstractButton *w, const QString &text) {
    w->setText(text);
}
void setCaption(QLabel *w, const QString &text) {
    w->setText(text);
}
void setCaption(QLineEdit *w, const QString &text) {
    w->setText(text);
}
void setCaption(QWidget *, const QString &) {}

template <typename W>
W *place(W *w, const char *name, const QString &caption, const QRect &rect, int tabIndex, TabList &tabs,
         const QString &toolTip = QString()) {
    w->setObjectName(QLatin1String(name));
    setCaption(w, caption);
    w->setGeometry(rect);
    if (!toolTip.isEmpty())
        w->setToolTip(toolTip);
    tabs.append({tabIndex, w});
    return w;
}

// Members of a control array share the array's name; the index tells them apart.
template <typename W>
W *placeMember(W *w, const char *name, int index, const QString &caption, const QRect &rect, int tabIndex,
               TabList &tabs, const QString &toolTip = QString()) {
    place(w, name, caption, rect, tabIndex, tabs, toolTip);
    w->setProperty("Index", index);
    return w;
}

} // namespace

void frmKelvaneProgrammer::createControls() {
    setObjectName(QStringLiteral("frmKelvaneProgrammer"));
    setWindowTitle(QStringLiteral("Kelvane Programmer"));
    setWindowIcon(programIcon());
    m_windowFit = new WindowFit(this, QSize(12405 / twipsPerPixel, 9765 / twipsPerPixel));
    setFont(designedFont(8.25));

    TabList tabs;
    const QFont fixedPitch = courierNew(); // looked up once for the three boxes

    // The window's own controls first (frames, the link, the bottom row), then each frame's.
    createFrames(tabs);
    createLinkControls(tabs, fixedPitch);
    createBottomRow(tabs);
    frameDebug = place(new QGroupBox(this), "frameDebug", QStringLiteral("Debug"),
                       twips(120, 8520, 12135, 1095), 68, tabs);

    createOptionsFrame(tabs);
    createGameNumberFrame(tabs);
    createPrinterFrame(tabs);
    createPrinterBaudRateFrame(tabs);
    createBonusFrame(tabs);
    createTextFrames(tabs, fixedPitch);
    createSendFrame(tabs);
    createDebugFrame(tabs);
    createHiddenControls();

    auto *const frameStyle = new FrameStyle;
    frameStyle->setParent(this);
    for (QGroupBox *const frame : findChildren<QGroupBox *>())
        frame->setStyle(frameStyle);
    fitFont(this, 8.25);

    chainTabs(tabs);
    cmdExit->setFocus();
}

void frmKelvaneProgrammer::createFrames(TabList &tabs) {
    // Frames, top row left to right, then the second row.
    frameOptions = place(new QGroupBox(this), "frameOptions", QStringLiteral("Options"),
                         twips(120, 120, 2775, 2415), 28, tabs);
    frameGameNumber = place(new QGroupBox(this), "frameGameNumber", QStringLiteral("Game Number"),
                            twips(3000, 120, 1695, 2415), 6, tabs);
    framePrinter = place(new QGroupBox(this), "framePrinter", QStringLiteral("Printer"),
                         twips(4800, 120, 2295, 2415), 1, tabs);
    framePrinterBaudRate = place(new QGroupBox(this), "framePrinterBaudRate",
                                 QStringLiteral("Printer Baud Rate"), twips(7200, 120, 2175, 2415), 53, tabs);
    frameBonus = place(new QGroupBox(this), "frameBonus", QStringLiteral("Bonus"),
                       twips(9480, 120, 2775, 2415), 44, tabs);
    frameLocationInfo = place(new QGroupBox(this), "frameLocationInfo",
                              QStringLiteral("Location Information"), twips(120, 2640, 4575, 2895), 17, tabs);
    frameDisclaimer = place(new QGroupBox(this), "frameDisclaimer", QStringLiteral("Disclaimer"),
                            twips(4800, 2640, 4575, 2895), 19, tabs);
    frameSend = place(new QGroupBox(this), "frameSend", QStringLiteral("Program"),
                      twips(9480, 2640, 2775, 2895), 21, tabs);
}

void frmKelvaneProgrammer::createLinkControls(TabList &tabs, const QFont &fixedPitch) {
    // Status log and the link choices.
    txtStatus = place(multiLineBox(this, Qt::ScrollBarAlwaysOn, fixedPitch), "txtStatus", QString(),
                      twips(120, 5760, 9255, 1815), 58, tabs);
    txtStatus->setReadOnly(true);
    txtStatus->setUndoRedoEnabled(false); // the log only grows; an undo history would grow with it
    QPalette statusPalette = txtStatus->palette();
    statusPalette.setColor(QPalette::Base, statusPalette.color(QPalette::Button));
    txtStatus->setPalette(statusPalette);
    statusLog = std::make_unique<StatusLog>(txtStatus);

    lblCommPort = place(label(this, Qt::AlignHCenter), "lblCommPort", QStringLiteral("Comm Port"),
                        twips(9840, 5760, 1095, 255), 57, tabs);
    cboCommPort =
        place(new QComboBox(this), "cboCommPort", QString(), twips(9840, 6000, 1095, 315), 56, tabs);
    cboCommPort->addItem(QStringLiteral("None"));
    for (int n = 1; n <= 12; ++n)
        cboCommPort->addItem(QStringLiteral("COM%1").arg(n));
    cboCommPort->setCurrentIndex(-1); // nothing chosen until start-up restores the port
    lblCommBaudRate = place(label(this, Qt::AlignHCenter), "lblCommBaudRate", QStringLiteral("Baud Rate"),
                            twips(11160, 5760, 1095, 255), 64, tabs);
    cboCommBaudRate =
        place(new QComboBox(this), "cboCommBaudRate", QString(), twips(11160, 6000, 1095, 315), 63, tabs);
    cboCommBaudRate->addItems({QStringLiteral("1200"), QStringLiteral("9600")});
    cboCommBaudRate->setCurrentIndex(-1);

    optHardwareType.append(placeMember(new QRadioButton(this), "optHardwareType", 0,
                                       QStringLiteral("PIC16F877 Microcontroller"),
                                       twips(9840, 6480, 2415, 255), 66, tabs));
    optHardwareType.append(placeMember(new QRadioButton(this), "optHardwareType", 1,
                                       QStringLiteral("PIC18F4520 Microcontroller"),
                                       twips(9840, 6720, 2415, 255), 67, tabs));
    // Qt's automatic exclusivity also counts the radio buttons inside the frames, which would leave
    // both of these checked; an explicit group keeps the pair exclusive on its own.
    auto *const hardwareGroup = new QButtonGroup(this);
    for (QRadioButton *const button : std::as_const(optHardwareType))
        hardwareGroup->addButton(button);
}

void frmKelvaneProgrammer::createBottomRow(TabList &tabs) {
    // Bottom row of buttons.
    struct FileOp {
        const char *caption;
        const char *toolTip;
        int left;
        int tabIndex;
    };
    const FileOp fileOps[] = {{"Load Location", "", 120, 41},
                              {"Save Location", "Save the location information to a file", 1440, 39},
                              {"Load Disclaimer", "Load a standard disclaimer from a file", 3000, 38},
                              {"Save Disclaimer", "Save the disclaimer to a file", 4320, 40}};
    for (const FileOp &op : fileOps)
        cmdFileOps.append(placeMember(new CommandButton(this), "cmdFileOps", int(cmdFileOps.size()),
                                      QLatin1String(op.caption), twips(op.left, 7800, 1215, 495), op.tabIndex,
                                      tabs, QLatin1String(op.toolTip)));
    cmdTicket = place(new CommandButton(this), "cmdTicket", QStringLiteral("Audit Ticket"),
                      twips(5880, 7800, 1215, 495), 37, tabs, QStringLiteral("View an audit ticket"));
    cmdClearText = place(new CommandButton(this), "cmdClearText", QStringLiteral("^ Clear Text ^"),
                         twips(7440, 7800, 1215, 495), 59, tabs);
    cmdTestComm = place(new CommandButton(this), "cmdTestComm", QStringLiteral("Test Comm"),
                        twips(9000, 7800, 1215, 495), 65, tabs);
    cmdExit = place(new CommandButton(this), "cmdExit", QStringLiteral("Exit"), twips(11040, 7800, 1215, 495),
                    0, tabs, QStringLiteral("Exit this program"));
}

void frmKelvaneProgrammer::createOptionsFrame(TabList &tabs) {
    // Options: the index is the bit number in Options.
    struct Option {
        const char *caption;
        const char *toolTip;
        int tabIndex;
    };
    const Option options[] = {
        {"Daylight Savings Time", "Automatic Daylight Savings Time update", 30},
        {"Print Disclaimer", "Print disclaimer", 31},
        {"Use Bonus", "", 29},
        {"Print Dollars", "Print dollars when checked or points when unchecked", 32},
        {"Print Nickels", "Print nickel value as well as dollars", 33},
        {"Print Tickets", "Print $5 tickets (automatically checks Print Dollars)", 34},
        {"Dollar Limit", "Enforce the dollar limit as set on DIP switch 4 positions 7 and 8", 35},
        {"Print Dollar Sign", "Print a dollar sign", 36},
    };
    for (const Option &o : options) {
        const int i = int(chkOptions.size());
        chkOptions.append(placeMember(new QCheckBox(frameOptions), "chkOptions", i, QLatin1String(o.caption),
                                      twips(240, 360 + 240 * i, 1935, 255), o.tabIndex, tabs,
                                      QLatin1String(o.toolTip)));
    }
}

void frmKelvaneProgrammer::createGameNumberFrame(TabList &tabs) {
    // Game numbers: label and box per game.
    const int gameLabelTab[] = {7, 8, 9, 10, 11};
    const int gameBoxTab[] = {16, 12, 13, 14, 15};
    for (int i = 0; i < 5; ++i) {
        const int top = 360 + 360 * i;
        lblGameNumber.append(placeMember(label(frameGameNumber), "lblGameNumber", i,
                                         QStringLiteral("Game %1").arg(i + 1), twips(240, top, 615, 255),
                                         gameLabelTab[i], tabs));
        txtGameNumber.append(placeMember(new QLineEdit(frameGameNumber), "txtGameNumber", i, QString(),
                                         twips(960, top, 495, 285), gameBoxTab[i], tabs));
    }
}

void frmKelvaneProgrammer::createPrinterFrame(TabList &tabs) {
    // Printers: the index is the printer model sent to the device.
    struct Printer {
        const char *caption;
        int tabIndex;
    };
    const Printer printers[] = {{"Citizen", 2}, {"Epson 267", 5},     {"Epson 267II", 4},
                                {"Ithaca", 3},  {"Citizen 3535", 42}, {"Samsung SRP-270", 61},
                                {"CBM1000", 62}};
    for (const Printer &p : printers) {
        const int i = int(optPrinter.size());
        optPrinter.append(placeMember(new QRadioButton(framePrinter), "optPrinter", i,
                                      QLatin1String(p.caption), twips(240, 360 + 240 * i, 1695, 255),
                                      p.tabIndex, tabs));
    }
}

void frmKelvaneProgrammer::createPrinterBaudRateFrame(TabList &tabs) {
    optPrinterBaudRate.append(placeMember(new QRadioButton(framePrinterBaudRate), "optPrinterBaudRate", 0,
                                          QStringLiteral("1200"), twips(240, 360, 1695, 255), 54, tabs));
    optPrinterBaudRate.append(placeMember(new QRadioButton(framePrinterBaudRate), "optPrinterBaudRate", 1,
                                          QStringLiteral("9600"), twips(240, 600, 1695, 255), 55, tabs));
}

void frmKelvaneProgrammer::createBonusFrame(TabList &tabs) {
    // Bonus parameters.
    struct Bonus {
        const char *caption;
        const char *text;
        int labelTab;
        int boxTab;
    };
    const Bonus bonuses[] = {{"Percentage", "1.00", 49, 45},
                             {"Odds: 1 in", "5000", 50, 46},
                             {"Refill $", "50.00", 51, 47},
                             {"Minimum $", "50.00", 52, 48}};
    for (const Bonus &b : bonuses) {
        const int i = int(txtBonus.size());
        const int top = 360 + 360 * i;
        lblBonus.append(placeMember(label(frameBonus), "lblBonus", i, QLatin1String(b.caption),
                                    twips(240, top, 975, 255), b.labelTab, tabs));
        txtBonus.append(placeMember(new QLineEdit(frameBonus), "txtBonus", i, QLatin1String(b.text),
                                    twips(1320, top, 735, 285), b.boxTab, tabs));
    }
}

void frmKelvaneProgrammer::createTextFrames(TabList &tabs, const QFont &fixedPitch) {
    // Ticket texts.
    txtLocationInfo = place(multiLineBox(frameLocationInfo, Qt::ScrollBarAlwaysOff, fixedPitch),
                            "txtLocationInfo", QString(), twips(120, 240, 4335, 2535), 18, tabs);
    txtDisclaimer = place(multiLineBox(frameDisclaimer, Qt::ScrollBarAlwaysOff, fixedPitch), "txtDisclaimer",
                          QString(), twips(120, 240, 4335, 2535), 20, tabs);
}

void frmKelvaneProgrammer::createSendFrame(TabList &tabs) {
    // Sections of a programming run: the index is the section's place in the run.
    const char *const sections[] = {
        "Date and Time", "Options and Game Numbers", "Printer Configuration", "Location Information",
        "Disclaimer",    "Bonus Parameters"};
    const int sectionTab[] = {22, 24, 23, 25, 26, 43};
    for (int i = 0; i < 6; ++i)
        chkSend.append(placeMember(new QCheckBox(frameSend), "chkSend", i, QLatin1String(sections[i]),
                                   twips(240, 360 + 240 * i, 2295, 255), sectionTab[i], tabs));
    chkSendAll = place(new QCheckBox(frameSend), "chkSendAll", QStringLiteral("All of the above"),
                       twips(240, 1800, 2295, 255), 27, tabs);
    cmdProgram =
        place(new CommandButton(frameSend), "cmdProgram", QStringLiteral("Program"),
              twips(240, 2160, 1215, 495), 60, tabs, QStringLiteral("Send information to the Kelvane"));
}

void frmKelvaneProgrammer::createDebugFrame(TabList &tabs) {
    // Diagnostics.
    cmdGetVersionNumber = place(new CommandButton(frameDebug), "cmdGetVersionNumber",
                                QStringLiteral("Get Version Number"), twips(240, 360, 1215, 495), 73, tabs);
    cmdGetDIPSettings = place(new CommandButton(frameDebug), "cmdGetDIPSettings",
                              QStringLiteral("Get DIP Settings"), twips(1680, 360, 1215, 495), 72, tabs);
    cmdDumpMemory = place(new CommandButton(frameDebug), "cmdDumpMemory", QStringLiteral("Dump Memory"),
                          twips(3120, 360, 1215, 495), 71, tabs);
    lblDumpMemAddr = place(label(frameDebug), "lblDumpMemAddr", QStringLiteral("Address (Hex)"),
                           twips(4560, 360, 1215, 255), 75, tabs);
    txtDumpMemAddr = place(new QLineEdit(frameDebug), "txtDumpMemAddr", QStringLiteral("0"),
                           twips(4560, 600, 1215, 285), 70, tabs);
    lblDumpMemCnt = place(label(frameDebug), "lblDumpMemCnt", QStringLiteral("Count"),
                          twips(6000, 360, 735, 255), 74, tabs);
    txtDumpMemCnt = place(new QLineEdit(frameDebug), "txtDumpMemCnt", QStringLiteral("0"),
                          twips(6000, 570, 735, 285), 69, tabs);
}

void frmKelvaneProgrammer::createHiddenControls() {
    // Controls without a place on screen.
    ocxTimer = new QTimer(this);
    ocxTimer->setObjectName(QStringLiteral("ocxTimer"));
    ocxComm = new OcxComm(programFolder(), this);
    ocxComm->setObjectName(QStringLiteral("ocxComm"));
    dlgCommon = new CommonDialog(this);
    dlgCommon->setObjectName(QStringLiteral("dlgCommon"));
}

void frmKelvaneProgrammer::chainTabs(TabList &tabs) {
    // Keyboard order: by tab index, over the controls that can take the focus.
    std::stable_sort(tabs.begin(), tabs.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QWidget *previous = nullptr;
    for (const auto &entry : std::as_const(tabs)) {
        QWidget *const w = entry.second;
        if (!(w->focusPolicy() & Qt::TabFocus))
            continue;
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
}
