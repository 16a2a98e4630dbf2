// The simulated device's memory image: what programming stores, the running clock, the ticket.
#include "simdevice_p.h"

#include <QTimeZone>

namespace {

char toBcd(int value) {
    return char((value / 10) << 4 | (value % 10));
}

int fromBcd(char byte) {
    const int high = quint8(byte) >> 4;
    const int low = quint8(byte) & 0x0F;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}

void putLe32(QByteArray &memory, int addr, quint32 value) {
    for (int i = 0; i < 4; ++i)
        memory[addr + i] = char(value >> (8 * i));
}

quint32 le32(const QByteArray &memory, int addr) {
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value |= quint32(quint8(memory.at(addr + i))) << (8 * i);
    return value;
}

QByteArray storedText(const QByteArray &memory, int addr) {
    const QByteArray text = memory.mid(addr, textLen);
    const int end = text.indexOf('\0');
    return end < 0 ? text : text.left(end);
}

// Lines of a stored text for the printer: CR, LF or CR LF end a line, anything not printable
// ASCII becomes '?', so the ticket never carries control bytes.
QList<QByteArray> printableLines(const QByteArray &text) {
    QList<QByteArray> lines;
    QByteArray line;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\r' || c == '\n') {
            lines.append(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n')
                ++i;
        } else {
            line.append(c >= 32 && c < 127 ? c : '?');
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

} // namespace

void SimDevice::setAuditCounters(const QList<quint32> &counters) {
    for (int i = 0; i < 4; ++i)
        putLe32(m_memory, addrCounters + 4 * i, counters.value(i));
}

QByteArray SimDevice::memory() const {
    QByteArray image = m_memory;
    image.replace(addrClock, clockLen, clockBytes());
    return image;
}

QString SimDevice::locationText() const {
    return QString::fromLatin1(storedText(m_memory, addrLocation));
}
QString SimDevice::disclaimerText() const {
    return QString::fromLatin1(storedText(m_memory, addrDisclaimer));
}

QByteArray SimDevice::auditTicket() const {
    const QByteArray clock = clockBytes();
    QList<QByteArray> lines;
    lines << "AUDIT TICKET";
    lines << simHex2(clock.at(8)) + '/' + simHex2(clock.at(7)) + '/' + simHex2(clock.at(9)) + ' ' +
                 simHex2(clock.at(4)) + ':' + simHex2(clock.at(2)) + ':' + simHex2(clock.at(0));
    lines << "SERIAL # " + QByteArray::number(d->serial) + "   VERSION " +
                 QByteArray::number(d->version / 100) + '.' +
                 QByteArray::number(d->version % 100).rightJustified(2, '0');
    lines << QByteArray();
    const QList<QByteArray> location = printableLines(storedText(m_memory, addrLocation));
    if (!location.isEmpty())
        lines << location << QByteArray();
    const auto counter = [this](int i) { return le32(m_memory, addrCounters + 4 * i); };
    lines << "GAMES PLAYED    " + QByteArray::number(counter(0)).rightJustified(10);
    lines << "TICKETS PRINTED " + QByteArray::number(counter(1)).rightJustified(10);
    lines << "DOLLARS PAID    " + ('$' + QByteArray::number(counter(2) / 100) + '.' +
                                   QByteArray::number(counter(2) % 100).rightJustified(2, '0'))
                                      .rightJustified(10);
    lines << "BONUSES WON     " + QByteArray::number(counter(3)).rightJustified(10);
    const QList<QByteArray> disclaimer = printableLines(storedText(m_memory, addrDisclaimer));
    if (!disclaimer.isEmpty())
        lines << QByteArray() << disclaimer;
    return lines.join("\r\n") + "\r\n";
}

QByteArray SimDevice::clockBytes() const {
    QByteArray bytes = m_memory.mid(addrClock, clockLen);
    if (!d->clockBase.isValid())
        return bytes; // not valid BCD when programmed: kept as it came, not running
    const QDateTime t = d->clockBase.addMSecs((d->now() - d->clockBaseNs) / 1'000'000);
    const qint64 days = d->clockBase.date().daysTo(t.date());
    bytes[0] = toBcd(t.time().second());
    bytes[2] = toBcd(t.time().minute());
    bytes[4] = toBcd(t.time().hour());
    bytes[6] = char((d->clockWeekday - 1 + days) % 7 + 1);
    bytes[7] = toBcd(t.date().day());
    bytes[8] = toBcd(t.date().month());
    bytes[9] = toBcd(t.date().year() % 100);
    return bytes;
}

void SimDevice::setClock(const QByteArray &payload) {
    m_memory.replace(addrClock, clockLen, payload);
    const int second = fromBcd(payload.at(0));
    const int minute = fromBcd(payload.at(2));
    const int hour = fromBcd(payload.at(4));
    const int weekday = quint8(payload.at(6));
    const int day = fromBcd(payload.at(7));
    const int month = fromBcd(payload.at(8));
    const int year = fromBcd(payload.at(9));
    const QDate date(2000 + year, month, day);
    const QTime time(hour, minute, second);
    const bool valid = year >= 0 && month >= 0 && day >= 0 && date.isValid() && hour >= 0 && minute >= 0 &&
                       second >= 0 && time.isValid() && weekday >= 1 && weekday <= 7;
    d->clockBase = valid ? QDateTime(date, time, QTimeZone::utc()) : QDateTime();
    d->clockBaseNs = d->now();
    d->clockWeekday = weekday;
}

// What the device does with a complete payload.
void SimDevice::store(quint8 command, const QByteArray &payload) {
    switch (command) {
    case 0xA1:
        setClock(payload);
        break;
    case 0xA2:
        m_memory.replace(addrOptions, payload.size(), payload);
        break;
    case 0xA3:
    case 0xA5: {
        // A first block starts a new text: the second block is cleared, so a text that fits
        // one block never runs on into what an older, longer text left behind.
        const int addr = command == 0xA3 ? addrDisclaimer : addrLocation;
        m_memory.replace(addr, textBlockLen, payload);
        m_memory.replace(addr + textBlockLen, textBlockLen, QByteArray(textBlockLen, '\0'));
        break;
    }
    case 0xA4:
        m_memory.replace(addrDisclaimer + textBlockLen, textBlockLen, payload);
        break;
    case 0xA6:
        m_memory.replace(addrLocation + textBlockLen, textBlockLen, payload);
        break;
    case 0xA9:
        m_memory.replace(addrPrinter, payload.size(), payload);
        break;
    case 0xAA:
        m_memory.replace(addrBonus, payload.size(), payload);
        break;
    default:
        break;
    }
}
