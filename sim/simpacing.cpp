// The simulated device's timing: bytes travel at the line's speed, 10 bits a byte, both ways.
#include "simdevice_p.h"

#include <termios.h>
#include <unistd.h>

namespace {

constexpr qint64 nsPerSecond = 1000 * 1000 * 1000;
constexpr int bitsPerByte = 10;         // start bit, 8 data bits, stop bit
constexpr qint64 nsPerMs = 1000 * 1000; // timers count whole milliseconds, rounded up

int baudFromSpeed(speed_t speed) {
    switch (speed) {
    case B300:
        return 300;
    case B600:
        return 600;
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
}

} // namespace

void SimDevice::setBaud(int baud) {
    d->baud = qMax(0, baud);
}

int SimDevice::effectiveBaud() const {
    if (d->baud > 0)
        return d->baud;
    termios tio{};
    if (d->slave >= 0 && ::tcgetattr(d->slave, &tio) == 0) {
        if (const int baud = baudFromSpeed(::cfgetospeed(&tio)))
            return baud;
    }
    return 9600;
}

qint64 SimDevice::byteNs() const {
    return bitsPerByte * nsPerSecond / effectiveBaud();
}

void SimDevice::sendRaw(const QByteArray &bytes) {
    enqueue(bytes, 0, 0, 0);
}

void SimDevice::onReadable() {
    char buffer[4096];
    const qint64 readNs = d->now();
    const qint64 byteTime = byteNs();
    for (;;) {
        const ssize_t n = ::read(d->master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            d->lastArrivalNs = qMax(readNs, d->lastArrivalNs) + byteTime;
            d->rx.append({buffer[i], d->lastArrivalNs, readNs});
        }
    }
    processArrived();
}

void SimDevice::processArrived() {
    while (isRunning() && !d->rx.isEmpty() && d->rx.first().arrivalNs <= d->now()) {
        const Private::InByte in = d->rx.takeFirst();
        receive(in.byte, in.arrivalNs, in.readNs);
    }
    if (isRunning() && !d->rx.isEmpty())
        d->rxTimer.start(int((d->rx.first().arrivalNs - d->now() + nsPerMs - 1) / nsPerMs));
}

int SimDevice::enqueue(const QByteArray &bytes, qint64 delayNs, int piece, bool isReply) {
    if (!isRunning() || bytes.isEmpty())
        return 0;
    const qint64 byteTime = byteNs();
    const int replyId = isReply ? d->nextReplyId++ : 0;
    // A byte reaches the other end when its stop bit has gone out, one byte time after it starts.
    qint64 due = qMax(d->now() + delayNs, d->lastDueNs) + byteTime;
    for (int i = 0; i < bytes.size(); ++i) {
        if (piece > 0 && i > 0 && i % piece == 0)
            due += splitGapNs;
        d->tx.append({bytes.at(i), due, i == bytes.size() - 1 ? replyId : 0});
        d->lastDueNs = due;
        due += byteTime;
    }
    flushDue();
    return replyId;
}

void SimDevice::flushDue() {
    if (!isRunning() || d->writeNotifier->isEnabled())
        return;
    const qint64 now = d->now();
    QByteArray due;
    while (due.size() < d->tx.size() && d->tx.at(due.size()).dueNs <= now)
        due.append(d->tx.at(due.size()).byte);
    qint64 written = 0;
    if (!due.isEmpty()) {
        written = ::write(d->master, due.constData(), size_t(due.size()));
        if (written < 0)
            written = 0;
        const qint64 writeNs = d->now();
        for (qint64 i = 0; i < written; ++i) {
            if (const int id = d->tx.takeFirst().replyId) {
                d->lastReplyEndId = id;
                d->lastReplyEndNs = writeNs;
            }
        }
    }
    if (written < due.size()) {
        // Nobody is reading the line and its buffer is full: go on once it drains.
        d->writeNotifier->setEnabled(true);
        return;
    }
    if (!d->tx.isEmpty())
        d->txTimer.start(int((d->tx.first().dueNs - now + nsPerMs - 1) / nsPerMs));
}
