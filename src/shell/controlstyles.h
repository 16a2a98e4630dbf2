#pragma once

// The look of the window's controls: the layout's units, the fonts, the frames' and buttons'
// drawing, and the small behaviours every box or option group of the window shares.

#include <QFont>
#include <QList>
#include <QProxyStyle>
#include <QPushButton>
#include <QRect>
#include <QString>

class QIcon;
class QLabel;
class QPlainTextEdit;
class QRadioButton;
class QWidget;

// The layout is drawn in twips; at 96 dots per inch 15 twips make one pixel.
constexpr int twipsPerPixel = 15;

inline QRect twips(int left, int top, int width, int height) {
    return {left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel, height / twipsPerPixel};
}

// The frame line runs through the middle of the title, as the platform draws it, so controls
// placed close under the title (the ticket text boxes) stay clear of it; the title breaks it.
class FrameStyle : public QProxyStyle {
public:
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget) const override;
};

// A command button whose caption wraps onto a second line when it is wider than the button, as
// "Get Version Number" must in a button 81 pixels wide. Enter presses it, as Space does.
class CommandButton : public QPushButton {
public:
    using QPushButton::QPushButton;

    // The wrapped caption keeps a pixel clear of the bevel on either side.
    bool captionFits() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *) override;
};

// A fixed-pitch font for hex dumps and bit strings (Courier New where the system has it).
QFont courierNew();
// The face of the window's captions.
QString dialogFamily();
// The caption font in that face at the designed size.
QFont designedFont(qreal points);
// Makes the window's font as large as the designed size allows with every caption shown whole.
void fitFont(QWidget *window, qreal designedPoints);
QIcon programIcon();
// A multi-line box as the window uses them: no horizontal bar, Tab leaves it, cheap wrapping.
QPlainTextEdit *multiLineBox(QWidget *parent, Qt::ScrollBarPolicy verticalBar, const QFont &font);
// Only the selected button of an option group is a tab stop.
void optionGroupTabStops(const QList<QRadioButton *> &group);
QLabel *label(QWidget *parent, Qt::Alignment horizontal = Qt::AlignLeft);
