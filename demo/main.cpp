// kelvane-demo: a short demonstration of the programmer's window for a machine without a display.
// It opens the real window for the program at PROGRAM (so it uses the settings, texts and COMn
// links in that folder), clicks through it as an operator would: "All of the above", Program,
// then Test Comm, prints the status log after each, saves a picture of the window and closes it,
// which saves the settings and texts as closing the program does.

#include "shell/frmkelvaneprogrammer.h"

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

QTextStream out(stdout);

void printLog(const frmKelvaneProgrammer &window) {
    out << "---- status log ----\n"
        << window.statusText().replace(QLatin1String("\r\n"), QLatin1String("\n"))
        << "\n--------------------\n"
        << Qt::flush;
}

// The step's handler runs its whole exchange inside the click, so the click returns once it is done.
void click(QAbstractButton *button, const char *what) {
    out << "Clicking " << what << Qt::endl;
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: kelvane-demo PROGRAM SCREENSHOT.png\n");
        return 2;
    }
    // A device that never lets a step end must not leave the demonstration hanging.
    QTimer::singleShot(120000, [] {
        std::fprintf(stderr, "kelvane-demo: the demonstration did not end within 120 s\n");
        ::_exit(1);
    });

    frmKelvaneProgrammer window(args[1]);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, 10000)) {
        std::fprintf(stderr, "kelvane-demo: the window was never shown\n");
        return 1;
    }
    out << "Window open: " << window.windowTitle() << Qt::endl;
    if (!window.statusText().isEmpty())
        printLog(window);

    // Test Comm is offered only for the PIC18F4520, the simulated device's default.
    if (!window.optHardwareType[1]->isChecked())
        click(window.optHardwareType[1], "\"PIC18F4520 Microcontroller\"");
    click(window.chkSendAll, "\"All of the above\"");
    click(window.cmdProgram, "Program");
    printLog(window);
    click(window.cmdTestComm, "Test Comm");
    printLog(window);

    // The log's box catches up with the log within a moment; the picture shows it in full.
    QString shown = window.statusText();
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!QTest::qWaitFor([&] { return window.txtStatus->toPlainText() == shown; }, 2000))
        out << "(the log box had not caught up when the picture was taken)" << Qt::endl;
    const QString picture = args[2];
    if (!window.grab().save(picture, "PNG")) {
        std::fprintf(stderr, "kelvane-demo: cannot save %s\n", qPrintable(picture));
        return 1;
    }
    out << "Picture of the window saved as " << picture << Qt::endl;
    window.close();
    out << "Window closed; settings and texts saved beside " << args[1] << Qt::endl;
    return 0;
}
