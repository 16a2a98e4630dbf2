// The programming run: the ticked sections in their fixed order, stopping at the first failure,
// and the handlers that tick a section when its data changes.

#include "link/busycursor.h"
#include "link/ocxcomm.h"
#include "programming/sections.h"
#include "shell/frmkelvaneprogrammer.h"
#include "shell/frmprogramming.h"
#include "textfiles/texthelpers.h"
#include "textfiles/tickettexts.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

void frmKelvaneProgrammer::cmdProgram_Click() {
    // Started while a diagnostic waits, the run would clear that command's log and send nothing.
    if (exchangeRefused())
        return;
    // Disabling the focused button would pass the focus on to the next control in the tab order,
    // a list or an option button where one arrow key changes the port or the printer. The focus
    // rests on the window itself while the run lasts and goes back afterwards.
    const QPointer<QWidget> focused = focusWidget();
    const bool parked = qobject_cast<QPushButton *>(focused) != nullptr;
    if (parked)
        setFocus(Qt::OtherFocusReason);
    ProgramRunning = true;
    CmndButtonEnable(false);
    StatusAppend(QStringLiteral("Programming...") + crlf, true);
    if (!m_frmProgramming)
        m_frmProgramming = new frmProgramming(this);
    m_frmProgramming->show();

    // The window may be destroyed while a section waits for the device; nothing is left to do.
    const QPointer<frmKelvaneProgrammer> self(this);
    ProgramSectionsSend();
    if (!self)
        return;

    for (QCheckBox *box : std::as_const(chkSend))
        box->setChecked(false);
    chkSendAll->setChecked(false); // its handler enables the six boxes again
    if (m_frmProgramming)
        m_frmProgramming->hide();
    ProgramRunning = false;
    CmndButtonEnable(true);
    // Back where it was, unless the operator has put it somewhere else meanwhile.
    if (parked && focused && focusWidget() == this && focused->isEnabled())
        focused->setFocus(Qt::OtherFocusReason);
    StatusAppend(QStringLiteral("Complete") + crlf, false);
}

void frmKelvaneProgrammer::ProgramSectionsSend() {
    if (!ocxComm->PortOpen()) {
        StatusAppend(crlf + portNotOpenText(), false);
        return;
    }
    const QPointer<frmKelvaneProgrammer> self(this);
    // Each box is read when the run reaches it: a box ticked while an earlier section waits for
    // the device is still sent.
    qint16 SectionFailed = 0;
    for (int i = 0; i < chkSend.size() && SectionFailed == 0; ++i) {
        if (!chkSend.at(i)->isChecked())
            continue;
        SectionFailed = SectionSend(i);
        if (!self)
            return;
    }
    // The PIC16F877 answers nothing, so the sections return as soon as their bytes are queued;
    // the run lasts until they have left, lest the cable be pulled too early.
    outputDrain();
}

qint16 frmKelvaneProgrammer::SectionSend(int section) {
    switch (section) {
    case Section::DateTime:
        return DateTimeSend();
    case Section::OptionsGame:
        return OptionsGameSend();
    case Section::PrinterConfig:
        return PrinterConfigSend();
    case Section::Location:
        return TextSend(textKind(TicketText::Location));
    case Section::Disclaimer:
        return TextSend(textKind(TicketText::Disclaimer));
    case Section::Bonus:
        return BonusSend();
    }
    return 0;
}

void frmKelvaneProgrammer::outputDrain() {
    if (ocxComm->OutBufferCount() == 0)
        return;
    // The serial driver's queue is looked at every few tens of milliseconds, without busy waiting.
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        if (m_unloaded || !ocxComm->PortOpen() || ocxComm->OutBufferCount() == 0)
            loop.quit();
    });
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    poll.start(20);
    m_waitLoop = &loop;
    const QPointer<frmKelvaneProgrammer> self(this);
    const BusyCursor busy;
    loop.exec();
    if (self)
        m_waitLoop = nullptr;
}

void frmKelvaneProgrammer::CmndButtonEnable(bool fEna) {
    // Only this window's own buttons: a file dialog open meanwhile keeps its buttons.
    const QList<QPushButton *> buttons = findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->window() == this)
            button->setEnabled(fEna);
    }
    // The commands only the PIC18F4520 answers stay disabled with the PIC16F877.
    const bool answering = fEna && HardwareType >= 1;
    for (QPushButton *button : {cmdTestComm, cmdGetVersionNumber, cmdGetDIPSettings}) {
        if (button)
            button->setEnabled(answering);
    }
}

void frmKelvaneProgrammer::chkSendAll_Click() {
    const bool all = chkSendAll->isChecked();
    for (QCheckBox *box : std::as_const(chkSend)) {
        box->setEnabled(!all);
        box->setChecked(all);
    }
}

void frmKelvaneProgrammer::optPrinter_Click(int Index) {
    PrinterType = Index;
    chkSend.at(Section::PrinterConfig)->setChecked(true);
}

void frmKelvaneProgrammer::optPrinterBaudRate_Click(int Index) {
    PrinterBaudRate = Index;
    chkSend.at(Section::PrinterConfig)->setChecked(true);
}

void frmKelvaneProgrammer::txtBonus_Change(int) {
    chkSend.at(Section::Bonus)->setChecked(true);
}

void frmKelvaneProgrammer::txtGameNumber_Change(int) {
    chkSend.at(Section::OptionsGame)->setChecked(true);
}

void frmKelvaneProgrammer::txtLocationInfo_Change() {
    chkSend.at(Section::Location)->setChecked(true);
}

void frmKelvaneProgrammer::txtDisclaimer_Change() {
    chkSend.at(Section::Disclaimer)->setChecked(true);
}
