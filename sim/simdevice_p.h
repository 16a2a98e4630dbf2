#pragma once

// What the simulated device's parts share: the device's state, the command table and the
// layout of its memory.

#include "simdevice.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <limits>

constexpr qint64 splitGapNs = 50'000'000;
constexpr int clockLen = 10;
constexpr int textBlockLen = 256;
constexpr int textLen = 2 * textBlockLen;

// Reply length to the command byte (0: unknown command) and payload length (0: none).
struct SimCommandShape {
    int replyLen = 0;
    int payloadLen = 0;
};

SimCommandShape simCommandShape(quint8 code);
QByteArray simHex2(char byte); // a byte as two upper-case hex digits

// What the faults that match one reply do to it.
struct SimFaultEffect {
    bool hangUp = false;
    bool silent = false;
    bool rejected = false;
    qint64 delayNs = 0;
    int piece = 0;
    QByteArray stray;
};

struct SimDevice::Private {
    struct OutByte {
        char byte;
        qint64 dueNs;
        int replyId; // non-zero on the last byte of a reply
    };
    struct InByte {
        char byte;
        qint64 arrivalNs;
        qint64 readNs;
    };

    SimController controller = SimController::PIC18F4520;
    quint16 version = 310;
    QByteArray dip = QByteArray::fromHex("0F00A5FF");
    quint16 serial = 1234;
    quint8 status = 0x12;
    int baud = 0;
    QList<SimFault> faults;

    int master = -1;
    int slave = -1; // held open so the master never sees a hang-up while the programmer's port is closed
    QString link;
    QString slavePath;
    QString publishedTarget; // what the link was last pointed at by this device; empty once removed
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr;
    QTimer rxTimer;
    QTimer txTimer;
    QTimer payloadTimer;

    QElapsedTimer elapsed;
    qint64 monotonicBaseNs = 0; // the monotonic clock when `elapsed` started

    QList<InByte> rx; // read, waiting for their arrival time
    qint64 lastArrivalNs = 0;
    QList<OutByte> tx; // waiting for their due time
    qint64 lastDueNs = std::numeric_limits<qint64>::min() / 2;
    int nextReplyId = 1;
    int lastReplyEndId = 0;
    qint64 lastReplyEndNs = -1;

    bool awaitingPayload = false;
    SimFrame frame;
    int payloadLen = 0;
    int firstReplyId = 0;

    QDateTime clockBase; // the device clock at clockBaseNs; invalid when the clock is stopped
    qint64 clockBaseNs = 0;
    int clockWeekday = 1;

    qint64 now() const { return elapsed.nsecsElapsed(); }
};
