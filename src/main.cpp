#include "shell/frmkelvaneprogrammer.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    frmKelvaneProgrammer window;
    window.show();
    return app.exec();
}
