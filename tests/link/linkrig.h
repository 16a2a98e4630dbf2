#pragma once

// A window opened on the simulated device, for the link and diagnostics tests.

#include "link/ocxcomm.h"
#include "shell/codewindows.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

struct LinkRig {
    ProgramFolder folder;
    std::unique_ptr<SimDevice> sim;
    std::unique_ptr<frmKelvaneProgrammer> w;

    // Settings where replies are awaited, at 9600 baud, with the Debug frame shown.
    static QStringList awaitingReplies() {
        return {QStringLiteral("HardwareType=1"), QStringLiteral("CommBaudRate=1"),
                QStringLiteral("DebugOptions=1")};
    }

    // Starts the device as COM1, then the window; the reply timer is shortened after start-up.
    void open(const QStringList &settings = awaitingReplies(), int timerMs = 300) {
        folder.writeSettings(settings);
        sim = startSim(folder);
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

    QString log() const { return w->statusText(); }
    int count(const QString &text) const { return log().count(text); }
    QString setting(const QString &key) const {
        return ProfileStringGet(QStringLiteral("Settings"), key, QStringLiteral("<missing>"), folder.ini());
    }
};
