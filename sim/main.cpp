// kelvane-sim: a simulated Kelvane controller on a pseudo-terminal, published as COMn in a folder
// so the programmer (and the benchmarks) can open it like a serial port.

#include "simdevice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalFds[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalFds[0], &byte, 1);
}

const char *const description = R"(A simulated Kelvane controller at the master end of a pseudo-terminal.
It publishes the terminal's slave as FOLDER/COM1 (default: the current folder), answers the
programmer's commands like the device's firmware, and runs until SIGINT or SIGTERM, when it
removes the link and exits 0.

Commands (reply to the command byte; payload; reply to the payload):
  A0 audit ticket 4, then the ticket as text    A1 date/time 4; 10; 4
  A2 options and game numbers 4; 81; 4          A3/A4 disclaimer blocks 4; 256; 4
  A5/A6 location blocks 4; 256; 4               A9 printer 4; 22; 4
  AA bonus 4; 16; 4                             AB comm test 12
  AC version 6                                  AD DIP switches 8
  AE memory dump 4; addr lo, addr hi, count; count + 4
Unknown command bytes are ignored. A PIC16F877 answers nothing but still prints its ticket.
A payload that stops arriving for a second is abandoned.
What it sends is paced at the line speed (10 bits a byte): the speed the programmer set on the
line unless --baud is given.

Faults (--fault KIND[:COMMAND[:PHASE[:COUNT[:TIMES]]]], repeatable):
  KIND     silence, wrong-echo, short (COUNT bytes only), delay (COUNT ms),
           split (pieces of COUNT bytes, 50 ms apart), stray (COUNT bytes 0x55 first),
           hangup (the terminal closes; the device comes back on a new one a second later)
  COMMAND  hex code such as A1, or "any" (default)
  PHASE    0 the reply to the command byte (default), 1 the reply to the payload
  TIMES    how many matching exchanges (default 1, -1 every one)
  Example: --fault delay:AC:0:300:-1

--frames prints one line per frame received:
  frame received_us=N since_reply_us=N payload_since_reply_us=N command=A1 payload=59 00 ...
received_us is CLOCK_MONOTONIC in microseconds; since_reply_us runs from the device's write of the
last byte of its previous reply to the read of this command byte (-1: none).)";

// What the command line asks beyond the device's own settings.
struct Run {
    QString link;
    bool quiet = false;
    bool frames = false;
};

// The help text and the options.
void declareOptions(QCommandLineParser &parser) {
    parser.setApplicationDescription(QString::fromLatin1(description));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("Folder to publish COMn in."),
                                 QStringLiteral("[FOLDER]"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Publish COM<N> (default 1)."),
                                        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption linkOption(QStringLiteral("link"),
                                        QStringLiteral("Publish the port at PATH instead of FOLDER/COMn."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption controllerOption(QStringLiteral("controller"),
                                              QStringLiteral("16f877 or 18f4520 (default)."),
                                              QStringLiteral("TYPE"), QStringLiteral("18f4520"));
    const QCommandLineOption baudOption(QStringLiteral("baud"),
                                        QStringLiteral("Pace at N baud (default 0: the line's speed)."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption versionOption(QStringLiteral("version"),
                                           QStringLiteral("Version number reported (default 3.10)."),
                                           QStringLiteral("X.YY"), QStringLiteral("3.10"));
    const QCommandLineOption dipOption(
        QStringLiteral("dip"), QStringLiteral("The four DIP banks as 8 hex digits (default 0F00A5FF)."),
        QStringLiteral("HEX8"), QStringLiteral("0F00A5FF"));
    const QCommandLineOption serialOption(QStringLiteral("serial"),
                                          QStringLiteral("Serial number 0..65535 (default 1234)."),
                                          QStringLiteral("N"), QStringLiteral("1234"));
    const QCommandLineOption faultOption(
        QStringLiteral("fault"), QStringLiteral("Produce a fault (see above)."), QStringLiteral("FAULT"));
    const QCommandLineOption framesOption(QStringLiteral("frames"),
                                          QStringLiteral("Print each frame received to stdout."));
    const QCommandLineOption quietOption(QStringLiteral("quiet"), QStringLiteral("Print no messages."));
    parser.addOptions({portOption, linkOption, controllerOption, baudOption, versionOption, dipOption,
                       serialOption, faultOption, framesOption, quietOption});
}

// Gives the device the settings of the command line; the usage error, or empty when all are good.
QString configure(const QCommandLineParser &parser, SimDevice *sim, Run *run) {
    const QString controller = parser.value(QStringLiteral("controller")).toLower();
    if (controller == QLatin1String("16f877"))
        sim->setController(SimController::PIC16F877);
    else if (controller != QLatin1String("18f4520"))
        return QStringLiteral("--controller must be 16f877 or 18f4520");
    bool ok = false;
    const int port = parser.value(QStringLiteral("port")).toInt(&ok);
    if (!ok || port < 1)
        return QStringLiteral("--port must be a number from 1");
    const int baud = parser.value(QStringLiteral("baud")).toInt(&ok);
    if (!ok || baud < 0)
        return QStringLiteral("--baud must be 0 or a positive number");
    sim->setBaud(baud);
    const double version = parser.value(QStringLiteral("version")).toDouble(&ok);
    if (!ok || version < 0 || version > 655.35)
        return QStringLiteral("--version must be a number such as 3.10");
    sim->setVersion(quint16(qRound(version * 100)));
    const QString dip = parser.value(QStringLiteral("dip"));
    const QByteArray banks = QByteArray::fromHex(dip.toLatin1());
    if (dip.size() != 8 || banks.size() != 4 ||
        banks.toHex().compare(dip.toLatin1(), Qt::CaseInsensitive) != 0)
        return QStringLiteral("--dip must be 8 hex digits");
    sim->setDipSwitches(banks);
    const uint serial = parser.value(QStringLiteral("serial")).toUInt(&ok);
    if (!ok || serial > 0xFFFF)
        return QStringLiteral("--serial must be 0..65535");
    sim->setSerialNumber(quint16(serial));
    for (const QString &text : parser.values(QStringLiteral("fault"))) {
        SimFault fault;
        QString why;
        if (!simFaultParse(text, &fault, &why))
            return QStringLiteral("--fault: ") + why;
        sim->addFault(fault);
    }
    if (parser.positionalArguments().size() > 1)
        return QStringLiteral("only one FOLDER may be given");
    const QString folder = parser.positionalArguments().value(0, QStringLiteral("."));
    run->link = parser.isSet(QStringLiteral("link"))
                    ? parser.value(QStringLiteral("link"))
                    : QDir(folder).absoluteFilePath(QStringLiteral("COM%1").arg(port));
    run->quiet = parser.isSet(QStringLiteral("quiet"));
    run->frames = parser.isSet(QStringLiteral("frames"));
    return QString();
}

// Signals arrive through a socket pair, so the event loop ends and the link is removed.
std::unique_ptr<QSocketNotifier> catchSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalFds) != 0)
        return nullptr;
    auto signalNotifier = std::make_unique<QSocketNotifier>(signalFds[1], QSocketNotifier::Read);
    QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, QCoreApplication::instance(),
                     &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return signalNotifier;
}

// Prints what the device does as the options ask, and publishes it again after a hang-up.
void follow(SimDevice *sim, const Run &run, QTextStream *out, QTextStream *err) {
    QCoreApplication *const app = QCoreApplication::instance();
    const QString link = run.link;
    const bool quiet = run.quiet;
    const bool frames = run.frames;
    // The program keeps no history of frames: each is printed (when asked) and forgotten.
    QObject::connect(sim, &SimDevice::frameReceived, app, [=](const SimFrame &frame) {
        if (frames)
            *out << simFrameLine(frame) << Qt::endl;
        sim->clearFrames();
    });
    QObject::connect(sim, &SimDevice::hungUp, app, [=] {
        if (!quiet)
            *out << "kelvane-sim: hung up; back in a second" << Qt::endl;
        QTimer::singleShot(1000, sim, [=] {
            QString why;
            if (!sim->start(link, &why))
                *err << "kelvane-sim: cannot publish " << link << " again: " << why << Qt::endl;
            else if (!quiet)
                *out << "kelvane-sim: published again at " << link << " -> " << sim->slavePath() << Qt::endl;
        });
    });
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvane-sim"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    declareOptions(parser);
    parser.process(app);

    const auto usageError = [&err](const QString &text) {
        err << "kelvane-sim: " << text << Qt::endl;
        return 2;
    };
    SimDevice sim;
    Run run;
    if (const QString why = configure(parser, &sim, &run); !why.isEmpty())
        return usageError(why);
    const std::unique_ptr<QSocketNotifier> signalNotifier = catchSignals();
    if (!signalNotifier)
        return usageError(QStringLiteral("cannot create the signal socket pair"));

    QString error;
    if (!sim.start(run.link, &error)) {
        err << "kelvane-sim: cannot publish " << run.link << ": " << error << Qt::endl;
        return 1;
    }
    if (!run.quiet)
        out << "kelvane-sim: " << (sim.controller() == SimController::PIC16F877 ? "PIC16F877" : "PIC18F4520")
            << " published at " << run.link << " -> " << sim.slavePath() << Qt::endl;
    follow(&sim, run, &out, &err);

    app.exec();
    sim.stop();
    if (!run.quiet)
        out << "kelvane-sim: stopped" << Qt::endl;
    return 0;
}
