#pragma once

// Shared test fixtures: a temporary program folder (the settings and text files hang on it),
// the window opened on it, the simulated device published there as "COM1", and the two together.

#include "link/ocxcomm.h"
#include "shell/codewindows.h"
#include "shell/frmkelvaneprogrammer.h"
#include "simdevice.h"

#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

struct ProgramFolder {
    QTemporaryDir dir;

    QString path() const { return dir.path(); }
    QString file(const QString &name) const { return QDir(dir.path()).filePath(name); }
    QString exe() const { return file(QStringLiteral("KelvaneProgrammer")); }
    QString ini() const { return file(QStringLiteral("KelvaneProgrammer.ini")); }

    void write(const QString &name, const QByteArray &bytes) const {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    QByteArray read(const QString &name) const {
        if (!QFileInfo(file(name)).isFile())
            return QByteArray(); // a pipe or a device would not end
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Settings lines ("Key=Value") under [Settings], CR LF line ends.
    static QByteArray settingsBytes(const QStringList &lines) {
        return ("[Settings]\r\n" + lines.join(QStringLiteral("\r\n")) + "\r\n").toLocal8Bit();
    }
    void writeSettings(const QStringList &lines) const {
        write(QStringLiteral("KelvaneProgrammer.ini"), settingsBytes(lines));
    }
    // A "COMn" link that leads nowhere, so opening port n fails.
    void deadPort(int n) const {
        QFile::link(file(QStringLiteral("missing-device")), file(QStringLiteral("COM%1").arg(n)));
    }
};

// A simulated device published as COM1 of the folder, started before the window opens.
inline std::unique_ptr<SimDevice> startSim(const ProgramFolder &folder, int port = 1) {
    auto sim = std::make_unique<SimDevice>();
    QString error;
    if (!sim->start(folder.file(QStringLiteral("COM%1").arg(port)), &error))
        qWarning("simulated device did not start: %s", qPrintable(error));
    return sim;
}

// The window on the folder, after writing `settings` if given. Without a device published there, COM1
// leads nowhere: a test never opens the machine's own serial port (nor competes for it with another test).
inline std::unique_ptr<frmKelvaneProgrammer> openWindow(const ProgramFolder &folder,
                                                        const QStringList &settings = {}) {
    if (!settings.isEmpty())
        folder.writeSettings(settings);
    const QFileInfo com1(folder.file(QStringLiteral("COM1")));
    if (!com1.exists() && !com1.isSymLink())
        folder.deadPort(1);
    return std::make_unique<frmKelvaneProgrammer>(folder.exe());
}

// While it lives, the process acts on files as an ordinary user ("nobody"), so that permissions
// hold even for a test run by root. Files it should own are handed over with own().
struct AsOrdinaryUser {
    static constexpr uid_t nobody = 65534;
    const bool root = ::geteuid() == 0;
    static void own(const QString &path) {
        if (::geteuid() == 0)
            QVERIFY(::chown(QFile::encodeName(path).constData(), nobody, nobody) == 0);
    }
    AsOrdinaryUser() {
        // Real and effective ids both, since some permission tests ask for the real one.
        if (root)
            QVERIFY(::setresuid(nobody, nobody, 0) == 0);
    }
    ~AsOrdinaryUser() {
        if (root)
            QVERIFY(::setresuid(0, 0, 0) == 0);
    }
};

// While it lives, no file of this process can grow beyond `bytes`: a disk that fills up mid-write.
struct FileSizeLimit {
    rlimit saved{};
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN); // a failed write instead of the end of the process
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
};

// A box given in twips (15 to a pixel at 96 dpi), as the window's layout gives it.
inline QRect twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

// "0A 1B" as bytes.
inline QByteArray hex(const char *text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// On the indicator: the middle of a check box may lie beyond a short caption.
inline void clickBox(QAbstractButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// A window opened on the simulated device.
struct LinkRig {
    ProgramFolder folder;
    std::unique_ptr<SimDevice> sim;
    std::unique_ptr<frmKelvaneProgrammer> w;

    // Settings where replies are awaited, at 9600 baud, with the Debug frame shown.
    static QStringList awaitingReplies() {
        return {QStringLiteral("HardwareType=1"), QStringLiteral("CommBaudRate=1"),
                QStringLiteral("DebugOptions=1")};
    }

    // Starts the device as COM1 (paced at baud, 0: the line's rate), then the window; the reply
    // timer is shortened after start-up.
    void open(const QStringList &settings = awaitingReplies(), int timerMs = 300, int baud = 0) {
        folder.writeSettings(settings);
        sim = startSim(folder);
        sim->setBaud(baud);
        w = openWindow(folder);
        if (timerMs > 0)
            w->ocxTimer->setInterval(timerMs);
    }

    // Arms a device fault written as for kelvane-sim --fault: "silence:AC", "delay:A1:1:450".
    void fault(const QString &text) {
        SimFault f;
        QVERIFY2(simFaultParse(text, &f), qPrintable(text));
        sim->addFault(f);
    }
    void click(const QString &button) const {
        QTest::mouseClick(w->findChild<QPushButton *>(button), Qt::LeftButton);
    }
    QList<int> commands() const {
        QList<int> codes;
        for (const SimFrame &frame : sim->frames())
            codes.append(frame.command);
        return codes;
    }

    QString log() const { return w->statusText(); }
    int count(const QString &text) const { return log().count(text); }
    QString setting(const QString &key) const {
        return ProfileStringGet(QStringLiteral("Settings"), key, QStringLiteral("<missing>"), folder.ini());
    }
};
