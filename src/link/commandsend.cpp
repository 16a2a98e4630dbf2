#include "link/busycursor.h"
#include "link/commands.h"
#include "link/ocxcomm.h"
#include "shell/frmkelvaneprogrammer.h"
#include "textfiles/texthelpers.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

// One exchange at a time: a second one would reset the state the first is waiting on.
bool frmKelvaneProgrammer::exchangeRefused() {
    if (ExchangeBusy)
        StatusAppend(QStringLiteral("ERROR: Another command is still waiting for the device") + crlf, false);
    return ExchangeBusy;
}

qint16 frmKelvaneProgrammer::CommandSend(qint32 Command, const QByteArray &Payload, bool WaitReply,
                                         qint16 ReplyLen, qint16 PayloadReplyLen) {
    if (m_unloaded)
        return 1;
    if (exchangeRefused())
        return 1;
    if (ReplyLen < 0 || ReplyLen > replyBufferSize || PayloadReplyLen > replyBufferSize ||
        (!Payload.isEmpty() && WaitReply && PayloadReplyLen < Commands::payloadReplyLen)) {
        StatusAppend(QStringLiteral("ERROR: Reply length out of range") + crlf, false);
        return 1;
    }

    ExchangeBusy = true;
    // What the device sent before this command is taken now, under the state it arrived in, and
    // no new hold begins (ExchangeBusy), so the reply is not kept waiting.
    ocxComm->releaseInput();
    CommandCode = Command;
    phaseStart(ReplyLen, false);
    PhaseEnd end = exchangePhase(QByteArray(1, char(quint8(Command))), WaitReply, 0);

    if (!Payload.isEmpty() && end == PhaseEnd::Passed) {
        phaseStart(PayloadReplyLen, true);
        // The payload's reply ends in the echoed command code.
        end = exchangePhase(Payload, WaitReply, PayloadReplyLen - Commands::payloadReplyLen);
    }
    if (end == PhaseEnd::Gone)
        return 1;
    ExchangeBusy = false;
    return end == PhaseEnd::Passed ? 0 : 1;
}

void frmKelvaneProgrammer::phaseStart(qint16 replyLen, bool payloadPhase) {
    ReplyIndex = 0;
    ReplyExpected = HardwareType > 0 ? replyLen : 0;
    TimedOut = false;
    ReplyDone = false;
    PayloadPhase = payloadPhase;
}

// One phase: writes its bytes, then awaits the reply and checks the command code at checkedIndex.
// Gone: the window was destroyed meanwhile and must not be touched.
frmKelvaneProgrammer::PhaseEnd frmKelvaneProgrammer::exchangePhase(const QByteArray &bytes, bool WaitReply,
                                                                   int checkedIndex) {
    if (!phaseWrite(bytes))
        return PhaseEnd::Failed;
    if (!WaitReply || HardwareType <= 0)
        return PhaseEnd::Passed;
    const PhaseEnd end = replyWait();
    if (end != PhaseEnd::Passed)
        return end;
    return replyCheckFailed(checkedIndex) ? PhaseEnd::Failed : PhaseEnd::Passed;
}

// Writes one phase's bytes; false (with the reason logged) when the port has closed meanwhile.
bool frmKelvaneProgrammer::phaseWrite(const QByteArray &bytes) {
    if (!ocxComm->PortOpen()) {
        StatusAppend(portNotOpenText(), false);
        return false;
    }
    ocxComm->Output(bytes);
    return true;
}

// Waits in a nested event loop until the reply is complete or the timer fires. Failed: the port
// was lost (already reported) or the window is closing; Gone: the window was destroyed.
frmKelvaneProgrammer::PhaseEnd frmKelvaneProgrammer::replyWait() {
    const QPointer<frmKelvaneProgrammer> self(this);
    // A coarse timer may fire 5% early; the device is promised its full time.
    ocxTimer->setTimerType(Qt::PreciseTimer);
    ocxTimer->start();
    if (!ReplyDone && !m_portLost && !m_unloaded) {
        const BusyCursor busy;
        QEventLoop loop;
        connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
        m_waitLoop = &loop;
        loop.exec();
        if (!self)
            return PhaseEnd::Gone;
        m_waitLoop = nullptr;
    }
    if (!ReplyDone || m_portLost || m_unloaded) {
        ocxTimer->stop();
        return PhaseEnd::Failed;
    }
    return PhaseEnd::Passed;
}

bool frmKelvaneProgrammer::replyCheckFailed(int checkedIndex) {
    if (!TimedOut && ReplyBuffer[checkedIndex] == CommandCode)
        return false;
    StatusAppend(QStringLiteral("ERROR: ") +
                     (TimedOut ? QStringLiteral("Timeout") : QStringLiteral("Command")) + crlf,
                 false);
    return true;
}

void frmKelvaneProgrammer::ocxTimer_Timer() {
    ocxTimer->stop();
    TimedOut = true;
    ReplyDone = true;
    endWait();
}

void frmKelvaneProgrammer::endWait() {
    if (m_waitLoop)
        m_waitLoop->quit();
}
