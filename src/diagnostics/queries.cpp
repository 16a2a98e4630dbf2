#include "diagnostics/queries.h"

#include "link/commands.h"
#include "link/statuslog.h"
#include "shell/frmkelvaneprogrammer.h"
#include "textfiles/texthelpers.h"

#include <QLineEdit>

// Whole number in the given base, digits only (QString::toUInt alone would take "0x", signs and
// inner blanks).
static std::optional<uint> digitsParse(const QString &text, int base) {
    QString digits = text.trimmed();
    // Leading zeros do not count against the length: "0000001A2" is the address 1A2.
    while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        digits.remove(0, 1);
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    for (const QChar c : digits) {
        const bool ok =
            base == 16 ? (c.isDigit() || QStringLiteral("abcdefABCDEF").contains(c)) : c.isDigit();
        if (!ok || c.unicode() > 127)
            return std::nullopt;
    }
    bool ok = false;
    const uint value = digits.toUInt(&ok, base);
    return ok ? std::optional<uint>(value) : std::nullopt;
}

std::optional<quint16> dumpAddressParse(const QString &text) {
    const auto value = digitsParse(text, 16);
    if (!value || *value > 0x7FFF)
        return std::nullopt;
    return quint16(*value);
}

std::optional<quint8> dumpCountParse(const QString &text) {
    const auto value = digitsParse(text, 10);
    if (!value || *value > 252)
        return std::nullopt;
    return quint8(*value);
}

QByteArray dumpPayload(quint16 address, quint8 count) {
    QByteArray payload;
    payload.append(char(address % 256));
    payload.append(char(address / 256));
    payload.append(char(count));
    return payload;
}

QString versionText(quint8 low, quint8 high) {
    const uint v = uint(high) * 256 + low;
    return crlf + crlf +
           QStringLiteral("Version Number = %1.%2").arg(v / 100).arg(v % 100, 2, 10, QLatin1Char('0')) + crlf;
}

QString dipSwitchLine(int bank, quint8 value) {
    return QStringLiteral("DIP SW%1 = %2 - ").arg(bank).arg(hexDigits(value)) + ByteToBinary(value) + crlf;
}

void frmKelvaneProgrammer::cmdGetVersionNumber_Click() {
    // A click while another command waits must leave that command's log alone; CommandSend
    // refuses the second exchange with a line of its own.
    if (!ExchangeBusy)
        cmdClearText_Click();
    if (CommandSend(Commands::VersionNumber.code, QByteArray(), true, Commands::VersionNumber.ReplyLen,
                    Commands::VersionNumber.PayloadReplyLen) != 0)
        return;
    StatusAppend(versionText(ReplyBuffer[4], ReplyBuffer[5]), false);
}

void frmKelvaneProgrammer::cmdGetDIPSettings_Click() {
    if (!ExchangeBusy)
        cmdClearText_Click();
    if (CommandSend(Commands::DipSettings.code, QByteArray(), true, Commands::DipSettings.ReplyLen,
                    Commands::DipSettings.PayloadReplyLen) != 0)
        return;
    StatusAppend(crlf + crlf, false);
    for (int i = 0; i < 4; ++i)
        StatusAppend(dipSwitchLine(i + 1, ReplyBuffer[i + 4]), false);
}

void frmKelvaneProgrammer::cmdDumpMemory_Click() {
    const auto address = dumpAddressParse(txtDumpMemAddr->text());
    const auto count = dumpCountParse(txtDumpMemCnt->text());
    if (!ExchangeBusy)
        cmdClearText_Click();
    // Input the device cannot take is not sent at all.
    if (!address) {
        StatusAppend(QStringLiteral("ERROR: Address must be hexadecimal, 0 to 7FFF") + crlf, false);
        return;
    }
    if (!count) {
        StatusAppend(QStringLiteral("ERROR: Count must be a whole number, 0 to 252") + crlf, false);
        return;
    }
    if (CommandSend(Commands::MemoryDump.code, dumpPayload(*address, *count), true,
                    Commands::MemoryDump.ReplyLen, Commands::memoryDumpReplyLen(*count)) != 0)
        return;
    StatusAppend(crlf + crlf, false);
}

void frmKelvaneProgrammer::cmdTestComm_Click() {
    if (!ExchangeBusy)
        cmdClearText_Click();
    CommandSend(Commands::CommTest.code, QByteArray(), true, Commands::CommTest.ReplyLen,
                Commands::CommTest.PayloadReplyLen);
}

void frmKelvaneProgrammer::cmdTicket_Click() {
    if (!ExchangeBusy)
        cmdClearText_Click();
    CommandSend(Commands::AuditTicket.code, QByteArray(), true, Commands::AuditTicket.ReplyLen,
                Commands::AuditTicket.PayloadReplyLen);
}
