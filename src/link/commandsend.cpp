#include "link/busycursor.h"
#include "link/ocxcomm.h"
#include "shell/frmkelvaneprogrammer.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

static const QString crlf = QStringLiteral("\r\n");

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
    if (ReplyLen < 0 || ReplyLen > 256 || PayloadReplyLen > 256 ||
        (!Payload.isEmpty() && WaitReply && PayloadReplyLen < 4)) {
        StatusAppend(QStringLiteral("ERROR: Reply length out of range") + crlf, false);
        return 1;
    }

    const QPointer<frmKelvaneProgrammer> self(this);
    enum class WaitEnd { Done, Aborted, Gone };
    // Waits in a nested event loop until the reply is complete or the timer fires. Aborted: the
    // port was lost (already reported) or the window is closing; Gone: the window was destroyed.
    const auto replyWait = [this, &self]() {
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
                return WaitEnd::Gone;
            m_waitLoop = nullptr;
        }
        if (!ReplyDone || m_portLost || m_unloaded) {
            ocxTimer->stop();
            return WaitEnd::Aborted;
        }
        return WaitEnd::Done;
    };
    // Writes one phase's bytes; false (with the reason logged) when the port has closed meanwhile.
    const auto write = [this](const QByteArray &bytes) {
        if (!ocxComm->PortOpen()) {
            StatusAppend(portNotOpenText(), false);
            return false;
        }
        ocxComm->Output(bytes);
        return true;
    };
    const auto checkFailed = [this](int checkedIndex) {
        if (!TimedOut && ReplyBuffer[checkedIndex] == CommandCode)
            return false;
        StatusAppend(QStringLiteral("ERROR: ") +
                         (TimedOut ? QStringLiteral("Timeout") : QStringLiteral("Command")) + crlf,
                     false);
        return true;
    };
    enum class PhaseEnd { Passed, Failed, Gone };
    // One phase: writes its bytes, then awaits the reply and checks the command code at
    // checkedIndex. Gone: the window was destroyed meanwhile and must not be touched.
    const auto phase = [&](const QByteArray &bytes, int checkedIndex) {
        if (!write(bytes))
            return PhaseEnd::Failed;
        if (!WaitReply || HardwareType <= 0)
            return PhaseEnd::Passed;
        const WaitEnd end = replyWait();
        if (end == WaitEnd::Gone)
            return PhaseEnd::Gone;
        if (end == WaitEnd::Aborted || checkFailed(checkedIndex))
            return PhaseEnd::Failed;
        return PhaseEnd::Passed;
    };

    ExchangeBusy = true;
    // What the device sent before this command is taken now, under the state it arrived in, and
    // no new hold begins (ExchangeBusy), so the reply is not kept waiting.
    ocxComm->releaseInput();
    ReplyIndex = 0;
    ReplyExpected = HardwareType > 0 ? ReplyLen : 0;
    TimedOut = false;
    CommandCode = Command;
    ReplyDone = false;
    PayloadPhase = false;
    PhaseEnd end = phase(QByteArray(1, char(quint8(Command))), 0);

    if (!Payload.isEmpty() && end == PhaseEnd::Passed) {
        ReplyIndex = 0;
        ReplyExpected = HardwareType > 0 ? PayloadReplyLen : 0;
        TimedOut = false;
        ReplyDone = false;
        PayloadPhase = true;
        end = phase(Payload, PayloadReplyLen - 4);
    }
    if (end == PhaseEnd::Gone)
        return 1;
    ExchangeBusy = false;
    return end == PhaseEnd::Passed ? 0 : 1;
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
