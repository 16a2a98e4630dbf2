#include "shell/frmkelvaneprogrammer.h"
#include "shell/sessionend.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    // Before the window: a log-out during start-up still ends in a saving close.
    SessionEnd::catchSignals();
    frmKelvaneProgrammer window;
    const SessionEnd sessionEnd(&window);
    window.show();
    return app.exec();
}
