// The simulated device's protocol: which frames it takes and what it answers to each.
#include "simdevice_p.h"

SimCommandShape simCommandShape(quint8 code) {
    switch (code) {
    case 0xA0:
        return {4, 0};
    case 0xA1:
        return {4, clockLen};
    case 0xA2:
        return {4, 81};
    case 0xA3:
    case 0xA4:
    case 0xA5:
    case 0xA6:
        return {4, textBlockLen};
    case 0xA9:
        return {4, 22};
    case 0xAA:
        return {4, 16};
    case 0xAB:
        return {12, 0};
    case 0xAC:
        return {6, 0};
    case 0xAD:
        return {8, 0};
    case 0xAE:
        return {4, 3};
    default:
        return {};
    }
}

QByteArray simHex2(char byte) {
    return QByteArray(1, byte).toHex().toUpper();
}

QString simFrameLine(const SimFrame &frame) {
    return QStringLiteral(
               "frame received_us=%1 since_reply_us=%2 payload_since_reply_us=%3 command=%4 payload=%5")
        .arg(frame.receivedUs)
        .arg(frame.sinceReplyUs)
        .arg(frame.payloadSinceReplyUs)
        .arg(QString::fromLatin1(simHex2(char(frame.command))))
        .arg(QString::fromLatin1(frame.payload.toHex(' ').toUpper()));
}

QByteArray SimDevice::commandReply(quint8 command) const {
    QByteArray reply(simCommandShape(command).replyLen, '\0');
    reply[0] = char(command);
    switch (command) {
    case 0xAB:
        reply.replace(4, 4, QByteArray::fromHex("0055AAFF"));
        reply[8] = char(d->status);
        reply[9] = m_memory.at(addrOptions);
        reply[10] = char(d->serial & 0xFF);
        reply[11] = char(d->serial >> 8);
        break;
    case 0xAC:
        reply[4] = char(d->version & 0xFF);
        reply[5] = char(d->version >> 8);
        break;
    case 0xAD:
        reply.replace(4, 4, d->dip);
        break;
    default:
        break;
    }
    return reply;
}

QByteArray SimDevice::payloadReply(quint8 command, const QByteArray &payload) const {
    QByteArray reply;
    if (command == 0xAE) {
        const QByteArray image = memory();
        const int addr = quint8(payload.at(0)) | quint8(payload.at(1)) << 8;
        for (int i = 0; i < quint8(payload.at(2)); ++i)
            reply.append(image.at((addr + i) & (memorySize - 1)));
    }
    QByteArray trailer(4, '\0');
    trailer[0] = char(command);
    return reply + trailer;
}

void SimDevice::receive(char byte, qint64 arrivalNs, qint64 readNs) {
    if (d->awaitingPayload) {
        if (d->frame.payload.isEmpty() && d->firstReplyId && d->lastReplyEndId == d->firstReplyId)
            d->frame.payloadSinceReplyUs = (readNs - d->lastReplyEndNs) / 1000;
        d->frame.payload.append(byte);
        if (d->frame.payload.size() < d->payloadLen) {
            d->payloadTimer.start(payloadTimeoutMs);
            return;
        }
        d->awaitingPayload = false;
        d->payloadTimer.stop();
        const SimFrame frame = d->frame;
        store(frame.command, frame.payload);
        const bool hungUp = respond(frame.command, 1, payloadReply(frame.command, frame.payload)) < 0;
        record(frame, hungUp);
        return;
    }

    SimFrame frame;
    frame.command = quint8(byte);
    frame.receivedUs = (d->monotonicBaseNs + arrivalNs) / 1000;
    if (d->lastReplyEndNs >= 0)
        frame.sinceReplyUs = (readNs - d->lastReplyEndNs) / 1000;
    const SimCommandShape shape = simCommandShape(frame.command);
    if (shape.replyLen == 0) {
        record(frame, false); // unknown command: ignored
        return;
    }
    const int result = respond(frame.command, 0, commandReply(frame.command));
    if (shape.payloadLen > 0 && result > 0) {
        d->frame = frame;
        d->payloadLen = shape.payloadLen;
        d->firstReplyId = result - 1;
        d->awaitingPayload = true;
        const qint64 replyLeftMs = qMax<qint64>(0, (d->lastDueNs - d->now()) / 1'000'000);
        d->payloadTimer.start(int(payloadTimeoutMs + replyLeftMs));
        return;
    }
    record(frame, result < 0);
}

void SimDevice::onPayloadTimeout() {
    if (!d->awaitingPayload)
        return;
    if (!d->rx.isEmpty()) { // bytes still on their way in
        d->payloadTimer.start(payloadTimeoutMs);
        return;
    }
    d->awaitingPayload = false;
    record(d->frame, false); // abandoned, with what payload came
}

void SimDevice::record(const SimFrame &frame, bool hungUpNow) {
    m_frames.append(frame);
    emit frameReceived(frame);
    if (hungUpNow)
        emit hungUp();
}

// Sends the reply of one phase with whatever faults apply. Returns -1 when the device hung up,
// 0 when the programmer must reject the reply (the exchange is dropped), else 1 + the reply's id
// (1 alone when nothing went out).
int SimDevice::respond(quint8 command, int phase, QByteArray reply) {
    const bool answers = d->controller == SimController::PIC18F4520;
    if (!answers)
        reply.clear();
    const int fullLen = reply.size();
    const SimFaultEffect effect = applyFaults(command, phase, reply);
    if (effect.hangUp) {
        hangUpLine();
        return -1; // the caller reports the hang-up once the frame is recorded
    }
    if (effect.silent)
        return 0;
    int replyId = 0;
    if (!(effect.stray + reply).isEmpty())
        replyId = enqueue(effect.stray + reply, effect.delayNs, effect.piece, true);
    // The ticket follows its reply as free text; the PIC16F877 prints it without a reply.
    if (command == 0xA0 && phase == 0)
        enqueue(auditTicket(), reply.isEmpty() ? effect.delayNs : 0, 0, false);
    if (effect.rejected && answers && fullLen > 0)
        return 0;
    return 1 + replyId;
}
