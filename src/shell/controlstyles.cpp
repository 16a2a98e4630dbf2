// The look of the window's controls, shared by the main window and the programming window.
#include "shell/controlstyles.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QResource>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <utility>

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

void FrameStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                    QPainter *painter, const QWidget *widget) const {
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

bool CommandButton::captionFits() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const QRect shown = fontMetrics().boundingRect(contents, Qt::AlignCenter | Qt::TextWordWrap, text());
    return shown.width() + 2 <= contents.width() && shown.height() <= contents.height();
}

void CommandButton::keyPressEvent(QKeyEvent *event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void CommandButton::paintEvent(QPaintEvent *) {
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

namespace {

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

} // namespace

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

namespace {

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

} // namespace

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

QLabel *label(QWidget *parent, Qt::Alignment horizontal) {
    auto *l = new QLabel(parent);
    l->setAlignment(horizontal | Qt::AlignTop);
    return l;
}
