// The small window shown while a programming run lasts.
#include "shell/frmprogramming.h"
#include "shell/controlstyles.h"
#include "shell/windowfit.h"

#include <QLabel>
#include <QShowEvent>

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
