#include "link/replyreception.h"

#include "link/commands.h"
#include "link/ocxcomm.h"
#include "link/statuslog.h"
#include "shell/frmkelvaneprogrammer.h"

#include <QTimer>

#include <algorithm>
#include <iterator>

QString freeText(quint8 b) {
    if (b == 10 || b == 13)
        return crlf;
    if (b < 32 || b >= 127)
        return hexForm(b);
    return QString(QChar(b));
}

QString commTestText(const quint8 (&ReplyBuffer)[256]) {
    if (!std::equal(std::cbegin(Commands::commTestMarkers), std::cend(Commands::commTestMarkers),
                    ReplyBuffer + 4))
        return QStringLiteral("ERROR: Data doesn't match what was expected") + crlf;
    // The serial number is a full unsigned 16-bit word: 0 to 65535.
    const quint16 serial = quint16(ReplyBuffer[10] + 256 * ReplyBuffer[11]);
    return QStringLiteral("Status   = ") + ByteToBinary(ReplyBuffer[8]) + crlf +
           QStringLiteral("Options  = ") + ByteToBinary(ReplyBuffer[9]) + crlf +
           QStringLiteral("Serial # = ") + QString::number(serial) + crlf + crlf;
}

QString replyCompletionText(const quint8 (&ReplyBuffer)[256], bool PayloadPhase, qint32 CommandCode) {
    if (PayloadPhase)
        return QStringLiteral(" OK") + crlf;
    if (ReplyBuffer[0] == CommandCode && CommandCode == Commands::CommTest.code)
        return crlf + crlf + commTestText(ReplyBuffer);
    if (ReplyBuffer[0] == CommandCode && CommandCode == Commands::AuditTicket.code)
        return crlf;
    return QStringLiteral("  ");
}

QString replyBytesReceive(quint8 (&ReplyBuffer)[256], qint16 &ReplyIndex, qint16 &ReplyExpected,
                          bool PayloadPhase, qint32 CommandCode, const QByteArray &bytes, bool *completed,
                          bool TimedOut) {
    QString text;
    if (completed)
        *completed = false;
    for (const char c : bytes) {
        const quint8 b = quint8(c);
        if (ReplyExpected > 0) {
            // Reply lengths stay within the buffer; a stray index must still not write past it.
            if (ReplyIndex >= 0 && ReplyIndex < 256)
                ReplyBuffer[ReplyIndex] = b;
            ++ReplyIndex;
            --ReplyExpected;
            text += hexForm(b);
            if (ReplyExpected == 0) {
                if (completed)
                    *completed = true;
                text += TimedOut ? QStringLiteral("  ")
                                 : replyCompletionText(ReplyBuffer, PayloadPhase, CommandCode);
            }
        } else {
            text += freeText(b);
        }
    }
    return text;
}

void frmKelvaneProgrammer::ocxComm_OnComm() {
    if (ocxComm->CommEvent() != OcxComm::comEvReceive)
        return;
    // Every byte taken is walked, including any that arrived after the count was read.
    const QByteArray bytes = ocxComm->Input();
    bool completed = false;
    const QString text = replyBytesReceive(ReplyBuffer, ReplyIndex, ReplyExpected, PayloadPhase, CommandCode,
                                           bytes, &completed, TimedOut);
    if (completed) {
        ocxTimer->stop();
        ReplyDone = true;
    }
    StatusAppend(text, false);
    if (completed)
        endWait();
    // Text nobody waits for is only shown: let it gather while the log shows the last batch.
    else if (!ExchangeBusy && ReplyExpected <= 0)
        ocxComm->holdInput(StatusLog::showIntervalMs);
}
