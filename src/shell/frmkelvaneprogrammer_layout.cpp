// The window's controls, their wiring and the window-level events.
#include "link/ocxcomm.h"
#include "link/statuslog.h"
#include "shell/frmkelvaneprogrammer.h"
#include "shell/frmprogramming.h"
#include "shell/windowfit.h"
#include "textfiles/commondialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QResource>
#include <QShowEvent>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <utility>

namespace {

// The layout is drawn in twips; at 96 dots per inch 15 twips make one pixel.
constexpr int twipsPerPixel = 15;

QRect twips(int left, int top, int width, int height) {
    return {left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel, height / twipsPerPixel};
}

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

// Hex dumps and bit strings only line up in a fixed-pitch font: Courier New, or the face the system
// puts in its place, where that is fixed-pitch; else the first fixed-pitch face of a list of common
// ones the system has; else any it has. Where Courier New is missing (Wine, a bare Linux) the system's
// own stand-in is often a proportional face, and on Windows so is what Qt offers as fixed.
QFont courierNew() {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(8.25);
    if (QFontInfo(font).fixedPitch())
        return font;
    const QStringList installed = QFontDatabase::families();
    QStringList candidates;
    for (const char *family : {"Liberation Mono", "Cousine", "DejaVu Sans Mono", "Consolas", "Lucida Console",
                               "Noto Sans Mono", "Noto Mono", "FreeMono", "Nimbus Mono PS", "Courier"}) {
        if (installed.contains(QLatin1String(family), Qt::CaseInsensitive))
            candidates.append(QLatin1String(family));
    }
    candidates.append(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    for (const QString &family : installed) {
        if (QFontDatabase::isFixedPitch(family))
            candidates.append(family);
    }
    for (const QString &family : std::as_const(candidates)) {
        font.setFamilies({family});
        if (QFontInfo(font).fixedPitch())
            return font;
    }
    return font;
}

// The face of the window's captions: MS Sans Serif, the face the layout was drawn for, where the
// system has it; else a face of similar width that setup installs.
// Looked up once in the list of installed families: asking the font database for a family it
// lacks makes it search the system's aliases every time.
QString dialogFamily() {
    static const QString found = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char *family : {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial"}) {
            if (installed.contains(QLatin1String(family), Qt::CaseInsensitive))
                return QString::fromLatin1(family);
        }
        return QFont().family();
    }();
    return found;
}

// The frame line runs through the middle of the title, as the platform draws it, so controls
// placed close under the title (the ticket text boxes) stay clear of it; the title breaks it.
class FrameStyle : public QProxyStyle {
public:
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget) const override {
        const auto *group = qstyleoption_cast<const QStyleOptionGroupBox *>(option);
        if (control != CC_GroupBox || !group || !(group->subControls & SC_GroupBoxFrame)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        QRegion outside(group->rect);
        if (!group->text.isEmpty())
            outside -= subControlRect(control, group, SC_GroupBoxLabel, widget).adjusted(-2, 0, 2, 0);
        const QRect line = group->rect.adjusted(0, group->fontMetrics.height() / 2, -2, -2);
        painter->save();
        painter->setClipRegion(outside);
        painter->setPen(group->palette.color(QPalette::Light));
        painter->drawRect(line.translated(1, 1));
        painter->setPen(group->palette.color(QPalette::Mid));
        painter->drawRect(line);
        painter->restore();
        QStyleOptionGroupBox rest(*group);
        rest.subControls &= ~SC_GroupBoxFrame;
        QProxyStyle::drawComplexControl(control, &rest, painter, widget);
    }
};

// A command button whose caption wraps onto a second line when it is wider than the button, as
// "Get Version Number" must in a button 81 pixels wide. Enter presses it, as Space does.
class CommandButton : public QPushButton {
public:
    using QPushButton::QPushButton;

    // The wrapped caption keeps a pixel clear of the bevel on either side.
    bool captionFits() const {
        QStyleOptionButton option;
        initStyleOption(&option);
        const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        const QRect shown = fontMetrics().boundingRect(contents, Qt::AlignCenter | Qt::TextWordWrap, text());
        return shown.width() + 2 <= contents.width() && shown.height() <= contents.height();
    }

protected:
    void keyPressEvent(QKeyEvent *event) override {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (!event->isAutoRepeat())
                click();
            return;
        }
        QPushButton::keyPressEvent(event);
    }

    void paintEvent(QPaintEvent *) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        painter.drawItemText(contents, Qt::AlignCenter | Qt::TextWordWrap, palette(), isEnabled(), caption,
                             QPalette::ButtonText);
    }
};

// Whether a control's caption shows whole in its box under its current font.
bool captionFits(const QWidget *control) {
    const QFontMetrics fm(control->font());
    if (const auto *button = dynamic_cast<const CommandButton *>(control))
        return button->captionFits();
    if (qobject_cast<const QCheckBox *>(control) || qobject_cast<const QRadioButton *>(control))
        return control->sizeHint().width() <= control->width();
    if (const auto *group = qobject_cast<const QGroupBox *>(control))
        return fm.horizontalAdvance(group->title()) + 16 <= group->width();
    if (const auto *label = qobject_cast<const QLabel *>(control))
        return fm.horizontalAdvance(label->text()) <= label->width() && fm.height() <= label->height();
    return true;
}

// The font in the face, at the largest size up to the designed one (8.25 pt dialog font, 18 pt
// for "Programming Kelvane") at which every caption of the window shows whole in its box; faces
// wider than the designed one are so made a little smaller instead of cutting captions.
QFont designedFont(qreal points) {
    QFont font(dialogFamily());
    font.setPointSizeF(points);
    return font;
}

// The window is given designedFont() before its controls are made, so they take it as they are
// created; a smaller size is only set (and passed down to every control) when a caption needs it.
void fitFont(QWidget *window, qreal designedPoints) {
    QFont font = designedFont(designedPoints);
    for (int pixels = QFontInfo(font).pixelSize(); pixels >= 6; font.setPixelSize(--pixels)) {
        if (window->font() != font)
            window->setFont(font);
        const QList<QWidget *> controls = window->findChildren<QWidget *>();
        if (std::all_of(controls.begin(), controls.end(), captionFits))
            return;
    }
}

// The icon's pixels are stored raw: no image reader (and its plugin search) at start-up.
QIcon programIcon() {
    QIcon icon;
    for (const int size : {32, 64}) {
        const QByteArray pixels = QResource(QStringLiteral(":/kelvane-%1.rgba").arg(size)).uncompressedData();
        if (pixels.size() == size * size * 4)
            icon.addPixmap(QPixmap::fromImage(QImage(reinterpret_cast<const uchar *>(pixels.constData()),
                                                     size, size, QImage::Format_RGBA8888)));
    }
    return icon;
}

// Whether a document holds a run of more than longRun characters without a blank.
bool hasLongRun(const QTextDocument *document, int longRun) {
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.length() <= longRun)
            continue;
        const QString text = block.text();
        int run = 0;
        for (const QChar c : text) {
            run = c.isSpace() ? 0 : run + 1;
            if (run > longRun)
                return true;
        }
    }
    return false;
}

// Wrapping at word boundaries, Qt looks for the end of the word before it breaks each screen line,
// so a run without blanks (a wrong file loaded, a paste) costs time with the square of its length:
// a minute for a line of 1 MiB, for the load and again for every keystroke. While a box holds
// such a run it breaks lines anywhere, which inside the run is where it broke them anyway. The
// choice is made as the text changes, before the box lays the change out.
void wrapCheaply(QPlainTextEdit *box) {
    constexpr int longRun = 2000; // far beyond a line of the box, cheap to lay out either way
    QObject::connect(box->document(), &QTextDocument::contentsChange, box, [box] {
        const auto wanted = hasLongRun(box->document(), longRun) ? QTextOption::WrapAnywhere
                                                                 : QTextOption::WrapAtWordBoundaryOrAnywhere;
        if (box->wordWrapMode() != wanted)
            box->setWordWrapMode(wanted);
    });
}

QPlainTextEdit *multiLineBox(QWidget *parent, Qt::ScrollBarPolicy verticalBar, const QFont &font) {
    auto *box = new QPlainTextEdit(parent);
    box->setFont(font);
    box->setVerticalScrollBarPolicy(verticalBar);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setTabChangesFocus(true);
    wrapCheaply(box);
    return box;
}

// In a group of option buttons only the selected one is a tab stop (all of them while none is
// selected), so tabbing into the group lands on the selection and Space there changes nothing.
// The arrow keys still move between the buttons, and a click still gives the focus.
void optionGroupTabStops(const QList<QRadioButton *> &group) {
    const auto update = [group] {
        const bool selected = std::any_of(group.begin(), group.end(), [](auto *b) { return b->isChecked(); });
        for (QRadioButton *const button : group)
            button->setFocusPolicy(!selected || button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    };
    for (QRadioButton *const button : group)
        QObject::connect(button, &QAbstractButton::toggled, button, update);
    update();
}

QLabel *label(QWidget *parent, Qt::Alignment horizontal = Qt::AlignLeft) {
    auto *l = new QLabel(parent);
    l->setAlignment(horizontal | Qt::AlignTop);
    return l;
}

} // namespace

frmProgramming::frmProgramming(QWidget *parent) : QWidget(parent, Qt::Window) {
    // A hidden leftover of a programming run must never keep the program running.
    setAttribute(Qt::WA_QuitOnClose, false);
    // It only shows that a run lasts: the keyboard stays with the main window.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(QStringLiteral("frmProgramming"));
    setWindowTitle(QStringLiteral("Programming Kelvane"));
    setFixedSize(3870 / twipsPerPixel, 1320 / twipsPerPixel);
    setFont(designedFont(18));

    Label1 = new QLabel(QStringLiteral("Programming Kelvane"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twips(240, 240, 3375, 495));
    fitFont(this, 18);
}

void frmProgramming::showEvent(QShowEvent *event) {
    // Over the middle of the main window, where the operator looks, and wholly on that screen; left
    // to the window manager, some put it at the screen's edge.
    if (const QWidget *const main = parentWidget(); main && !event->spontaneous()) {
        const QRect over = main->frameGeometry();
        const QSize frame = size().grownBy(WindowFit::frameMargins(this));
        WindowFit::placeInside(
            this,
            over.topLeft() + QPoint((over.width() - frame.width()) / 2, (over.height() - frame.height()) / 2),
            WindowFit::freeArea(main));
    }
    QWidget::showEvent(event);
}

frmKelvaneProgrammer::frmKelvaneProgrammer(const QString &programPath, QWidget *parent) : QWidget(parent) {
    const QFileInfo info(programPath);
    m_programFolder = info.absolutePath();
    m_programFileName = info.fileName();
    createControls();
    // Boxes that show a stored value keep it whole: their default limit would cut it.
    QList<QLineEdit *> storedBoxes = txtBonus;
    storedBoxes << txtGameNumber << txtDumpMemAddr << txtDumpMemCnt;
    for (QLineEdit *const box : std::as_const(storedBoxes))
        box->setMaxLength(std::numeric_limits<int>::max());
    connectHandlers();
    Form_Load();
    m_windowFit->centre();
}

frmKelvaneProgrammer::~frmKelvaneProgrammer() = default;

void frmKelvaneProgrammer::createControls() {
    setObjectName(QStringLiteral("frmKelvaneProgrammer"));
    setWindowTitle(QStringLiteral("Kelvane Programmer"));
    setWindowIcon(programIcon());
    m_windowFit = new WindowFit(this, QSize(12405 / twipsPerPixel, 9765 / twipsPerPixel));
    setFont(designedFont(8.25));

    TabList tabs;
    const QFont fixedPitch = courierNew(); // looked up once for the three boxes

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

    frameDebug = place(new QGroupBox(this), "frameDebug", QStringLiteral("Debug"),
                       twips(120, 8520, 12135, 1095), 68, tabs);

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

    optPrinterBaudRate.append(placeMember(new QRadioButton(framePrinterBaudRate), "optPrinterBaudRate", 0,
                                          QStringLiteral("1200"), twips(240, 360, 1695, 255), 54, tabs));
    optPrinterBaudRate.append(placeMember(new QRadioButton(framePrinterBaudRate), "optPrinterBaudRate", 1,
                                          QStringLiteral("9600"), twips(240, 600, 1695, 255), 55, tabs));

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

    // Ticket texts.
    txtLocationInfo = place(multiLineBox(frameLocationInfo, Qt::ScrollBarAlwaysOff, fixedPitch),
                            "txtLocationInfo", QString(), twips(120, 240, 4335, 2535), 18, tabs);
    txtDisclaimer = place(multiLineBox(frameDisclaimer, Qt::ScrollBarAlwaysOff, fixedPitch), "txtDisclaimer",
                          QString(), twips(120, 240, 4335, 2535), 20, tabs);

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

    // Controls without a place on screen.
    ocxTimer = new QTimer(this);
    ocxTimer->setObjectName(QStringLiteral("ocxTimer"));
    ocxComm = new OcxComm(programFolder(), this);
    ocxComm->setObjectName(QStringLiteral("ocxComm"));
    dlgCommon = new CommonDialog(this);
    dlgCommon->setObjectName(QStringLiteral("dlgCommon"));

    auto *const frameStyle = new FrameStyle;
    frameStyle->setParent(this);
    for (QGroupBox *const frame : findChildren<QGroupBox *>())
        frame->setStyle(frameStyle);
    fitFont(this, 8.25);

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
    cmdExit->setFocus();
}

void frmKelvaneProgrammer::connectHandlers() {
    // Setting a value in code runs the same handler as the operator's action, and only on a change.
    for (int i = 0; i < chkOptions.size(); ++i)
        connect(chkOptions[i], &QCheckBox::toggled, this, [this, i] { chkOptions_Click(i); });
    connect(chkSendAll, &QCheckBox::toggled, this, [this] { chkSendAll_Click(); });

    const auto onSelected = [this](QRadioButton *button, auto handler) {
        connect(button, &QRadioButton::toggled, this, [handler](bool checked) {
            if (checked)
                handler();
        });
    };
    for (int i = 0; i < optPrinter.size(); ++i)
        onSelected(optPrinter[i], [this, i] { optPrinter_Click(i); });
    for (int i = 0; i < optPrinterBaudRate.size(); ++i)
        onSelected(optPrinterBaudRate[i], [this, i] { optPrinterBaudRate_Click(i); });
    for (int i = 0; i < optHardwareType.size(); ++i)
        onSelected(optHardwareType[i], [this, i] { optHardwareType_Click(i); });

    connect(cboCommPort, &QComboBox::currentIndexChanged, this, [this] {
        // activated() follows at once when the operator made the change; the flag tells it so.
        m_portIndexChanged = true;
        QTimer::singleShot(0, this, [this] { m_portIndexChanged = false; });
        cboCommPort_Click();
    });
    connect(cboCommBaudRate, &QComboBox::currentIndexChanged, this, [this] { cboCommBaudRate_Click(); });
    // A wheel turned over a list merely passed on the way must not change the port or the speed:
    // the lists take the wheel only with the keyboard focus, and the wheel does not give it.
    for (QComboBox *const list : {cboCommPort, cboCommBaudRate}) {
        list->setFocusPolicy(Qt::StrongFocus);
        list->installEventFilter(this);
    }
    for (const QList<QRadioButton *> *group : {&optPrinter, &optPrinterBaudRate, &optHardwareType})
        optionGroupTabStops(*group);
    // Picking the port that is already shown changes no index, yet must open it when it is closed
    // (it was lost, or it failed to open at start-up).
    connect(cboCommPort, &QComboBox::activated, this, [this](int index) {
        if (!std::exchange(m_portIndexChanged, false) && FormLoaded && index > 0 && !ocxComm->PortOpen())
            CommPortOpen();
    });

    for (int i = 0; i < txtBonus.size(); ++i) {
        connect(txtBonus[i], &QLineEdit::textChanged, this, [this, i] { txtBonus_Change(i); });
        txtBonus[i]->installEventFilter(this);
    }
    for (int i = 0; i < txtGameNumber.size(); ++i)
        connect(txtGameNumber[i], &QLineEdit::textChanged, this, [this, i] { txtGameNumber_Change(i); });

    // A QPlainTextEdit signals textChanged also when its text is set to what it already holds.
    connect(txtLocationInfo, &QPlainTextEdit::textChanged, this, [this] {
        TextEntered(txtLocationInfo);
        const QString text = boxText(txtLocationInfo);
        if (text == m_lastLocationText)
            return;
        m_lastLocationText = text;
        txtLocationInfo_Change();
    });
    connect(txtDisclaimer, &QPlainTextEdit::textChanged, this, [this] {
        TextEntered(txtDisclaimer);
        const QString text = boxText(txtDisclaimer);
        if (text == m_lastDisclaimerText)
            return;
        m_lastDisclaimerText = text;
        txtDisclaimer_Change();
    });

    for (int i = 0; i < cmdFileOps.size(); ++i)
        connect(cmdFileOps[i], &QPushButton::clicked, this, [this, i] { cmdFileOps_Click(i); });
    connect(cmdTicket, &QPushButton::clicked, this, [this] { cmdTicket_Click(); });
    connect(cmdClearText, &QPushButton::clicked, this, [this] { cmdClearText_Click(); });
    connect(cmdTestComm, &QPushButton::clicked, this, [this] { cmdTestComm_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(cmdProgram, &QPushButton::clicked, this, [this] { cmdProgram_Click(); });
    connect(cmdGetVersionNumber, &QPushButton::clicked, this, [this] { cmdGetVersionNumber_Click(); });
    connect(cmdGetDIPSettings, &QPushButton::clicked, this, [this] { cmdGetDIPSettings_Click(); });
    connect(cmdDumpMemory, &QPushButton::clicked, this, [this] { cmdDumpMemory_Click(); });

    connect(ocxTimer, &QTimer::timeout, this, [this] { ocxTimer_Timer(); });
    connect(ocxComm, &OcxComm::OnComm, this, [this] { ocxComm_OnComm(); });
    connect(ocxComm, &OcxComm::portLost, this, [this](const QString &reason) { onPortLost(reason); });
}

QString frmKelvaneProgrammer::boxText(const QPlainTextEdit *box) {
    // The raw text keeps non-breaking spaces, which toPlainText() would turn into plain ones.
    QString text = box->document()->toRawText();
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

void frmKelvaneProgrammer::setBoxText(QPlainTextEdit *box, const QString &text) {
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box->setPlainText(plain);
}

QString frmKelvaneProgrammer::statusText() const {
    return statusLog->text();
}

void frmKelvaneProgrammer::closeEvent(QCloseEvent *event) {
    // Exit, the close box and the system all end here; the settings are written once.
    // A close while an exchange waits ends the wait first, even when the close is then refused.
    endWait();
    if (!m_unloaded) {
        qint16 Cancel = 0;
        Form_Unload(Cancel);
        if (Cancel) {
            event->ignore();
            return;
        }
        m_unloaded = true;
    }
    event->accept();
}

namespace {

// The character code a key press stands for, or 0 for keys that type nothing (arrows, Delete).
int keyAscii(const QKeyEvent &key) {
    switch (key.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 0; // moves the focus, types nothing
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    default:
        break;
    }
    const QString text = key.text();
    return text.isEmpty() ? 0 : text.at(0).unicode();
}

} // namespace

bool frmKelvaneProgrammer::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Wheel && (watched == cboCommPort || watched == cboCommBaudRate) &&
        !static_cast<QWidget *>(watched)->hasFocus()) {
        event->ignore();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const qsizetype index = txtBonus.indexOf(qobject_cast<QLineEdit *>(watched));
        if (index >= 0) {
            const int typed = keyAscii(*static_cast<QKeyEvent *>(event));
            if (typed != 0) {
                int KeyAscii = typed;
                txtBonus_KeyPress(int(index), KeyAscii);
                if (KeyAscii == 0)
                    return true; // the handler discarded the key
                if (KeyAscii != typed && KeyAscii >= 32) {
                    txtBonus[index]->insert(QString(QChar(KeyAscii)));
                    return true;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
