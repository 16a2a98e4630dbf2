#include "link/ocxcomm.h"
#include "shell/codewindows.h"
#include "shell/frmkelvaneprogrammer.h"
#include "textfiles/texthelpers.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

void frmKelvaneProgrammer::CommPortOpen() {
    m_portLost = false;
    if (ocxComm->PortOpen())
        ocxComm->setPortOpen(false);

    const int port = cboCommPort->currentIndex();
    if (port > 0) {
        // Each step is tried even after an earlier one failed; the last error is the one reported.
        CommError error;
        const auto attempt = [&error](const CommError &result) {
            if (result)
                error = result;
        };
        const int previous = ocxComm->CommPort();
        attempt(ocxComm->setCommPort(port));
        attempt(ocxComm->setSettings(
            (cboCommBaudRate->currentIndex() == 1 ? QStringLiteral("9600") : QStringLiteral("1200")) +
            QStringLiteral(",N,8,1")));
        attempt(ocxComm->setPortOpen(true));
        if (error) {
            StatusAppend(QStringLiteral("Error ") + QString::number(error.number) +
                             QStringLiteral(" opening comm port, ") + error.description + crlf,
                         false);
            ocxComm->setCommPort(previous);
            // Showing the previous port reopens it through cboCommPort_Click. Should that fail as
            // well, the list keeps showing it (closed) and nothing is tried again: the next start
            // tries it once more.
            if (!m_restoringPort) {
                m_restoringPort = true;
                cboCommPort->setCurrentIndex(previous);
                m_restoringPort = false;
            }
        }
    }

    // Both keys in one step.
    SettingsWrite({{QStringLiteral("CommPort"), QString::number(cboCommPort->currentIndex())},
                   {QStringLiteral("CommBaudRate"), QString::number(cboCommBaudRate->currentIndex())}});
}

void frmKelvaneProgrammer::cboCommPort_Click() {
    if (FormLoaded)
        CommPortOpen();
}

void frmKelvaneProgrammer::cboCommBaudRate_Click() {
    if (FormLoaded)
        CommPortOpen();
}

void frmKelvaneProgrammer::optHardwareType_Click(int Index) {
    HardwareType = Index;
    const bool enable = Index > 0;
    // A programming run keeps every command button off until its end, which applies this rule.
    if (!ProgramRunning) {
        cmdTestComm->setEnabled(enable);
        // With the PIC16F877 no reply is awaited, so these two would only show stale buffer bytes.
        cmdGetVersionNumber->setEnabled(enable);
        cmdGetDIPSettings->setEnabled(enable);
    }
    framePrinterBaudRate->setEnabled(enable);
    for (QRadioButton *const button : std::as_const(optPrinterBaudRate))
        button->setEnabled(enable);
    lblCommBaudRate->setEnabled(enable);
    cboCommBaudRate->setEnabled(enable);
    if (HardwareType == 0) {
        optPrinterBaudRate[0]->setChecked(true);
        cboCommBaudRate->setCurrentIndex(0);
    }
}

void frmKelvaneProgrammer::onPortLost(const QString &reason) {
    m_portLost = true;
    StatusAppend(
        QStringLiteral("ERROR: Communications port COM%1 lost (%2)").arg(ocxComm->CommPort()).arg(reason) +
            crlf,
        false);
    // An exchange waiting on the port fails at once; the line above is its only report.
    if (ExchangeBusy) {
        ocxTimer->stop();
        endWait();
    }
}

QString frmKelvaneProgrammer::portNotOpenText() const {
    // A port shown in the list but closed was lost or failed to open; "None" closes it on purpose.
    QString text = QStringLiteral("ERROR: Communications port not open");
    if (cboCommPort->currentIndex() > 0)
        text += QStringLiteral(" - choose the port again in the Comm Port list");
    return text + crlf;
}
