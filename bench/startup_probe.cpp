// A window that reports when it is first exposed: the program's own window (KELVANE_PROGRAM) or a
// minimal window of the same size built here for comparison. Either prints one line
//   exposed_ns=N cpu_us=N rss_kb=N
// with the CLOCK_MONOTONIC time of the first expose, the CPU time used until then and its resident
// memory then, and exits.
// Used by startup_bench; argv[1] is the program path the window's settings and files hang on.

#include <QApplication>
#include <QWindow>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPort>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>

#ifdef KELVANE_PROGRAM
#include "shell/frmkelvaneprogrammer.h"
#endif

namespace {

class ExposeProbe : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Expose && watched->isWindowType() &&
            static_cast<QWindow *>(watched)->isExposed()) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            QFile status(QStringLiteral("/proc/self/status"));
            long rss = -1;
            if (status.open(QIODevice::ReadOnly))
                for (const QByteArray &line : status.readAll().split('\n'))
                    if (line.startsWith("VmRSS:"))
                        rss = line.mid(6).trimmed().split(' ').value(0).toLong();
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            const qint64 cpuUs = qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 +
                                 usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
            std::printf("exposed_ns=%lld cpu_us=%lld rss_kb=%ld\n",
                        qlonglong(now.tv_sec) * 1000000000LL + now.tv_nsec, qlonglong(cpuUs), rss);
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return false;
    }
};

#ifndef KELVANE_PROGRAM
// The window's essentials: a frame of eight captioned check boxes, a list, a button, a text box
// holding two lines and a serial port object.
class MinimalWindow : public QWidget {
public:
    MinimalWindow() {
        setFixedSize(827, 651);
        auto *const frame = new QGroupBox(QStringLiteral("Options"), this);
        frame->setGeometry(8, 8, 185, 161);
        for (int i = 0; i < 8; ++i) {
            auto *const box = new QCheckBox(QStringLiteral("Option %1").arg(i), frame);
            box->setGeometry(8, 16 + 18 * i, 170, 17);
        }
        auto *const list = new QComboBox(this);
        list->addItem(QStringLiteral("None"));
        for (int n = 1; n <= 12; ++n)
            list->addItem(QStringLiteral("COM%1").arg(n));
        list->setGeometry(656, 400, 73, 21);
        auto *const button = new QPushButton(QStringLiteral("Program"), this);
        button->setGeometry(656, 440, 73, 33);
        auto *const text = new QPlainTextEdit(this);
        text->setPlainText(QStringLiteral("Joe's Arcade\nMain Street 1"));
        text->setGeometry(8, 176, 305, 193);
        new QSerialPort(this);
    }
};
#endif

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    ExposeProbe probe;
    app.installEventFilter(&probe);
#ifdef KELVANE_PROGRAM
    if (argc < 2)
        return 2;
    frmKelvaneProgrammer window(QString::fromLocal8Bit(argv[1]));
#else
    MinimalWindow window;
#endif
    window.show();
    return app.exec();
}
