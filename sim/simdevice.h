#pragma once

// A simulated Kelvane controller at the master end of a pseudo-terminal. The slave end is
// published as a link (for example "COM1" in the programmer's folder), so the programmer opens
// it exactly as it opens a real port. Used in-process by the tests and as the kelvane-sim
// program by scripts/run and the benchmarks.
//
// The device object lives in one thread and is used from that thread; it is event driven
// (QSocketNotifier and timers), so it runs while the programmer's window waits in its own
// event loop in the same thread.
//
// What the device sends is paced at the line's speed (10 bits a byte), and what it receives is
// taken as arriving at that speed: a frame is acted on when its last byte has arrived.
// A payload that stops arriving for payloadTimeoutMs is abandoned, so a programmer that gave up
// on an exchange does not leave the device reading its next command as payload.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;
struct SimFaultEffect;

enum class SimController {
    PIC18F4520, // answers every command
    PIC16F877,  // answers nothing, but still prints its tickets as free text
};

// A fault the device produces on request. It applies to the next `times` exchanges whose
// command matches (-1: any), in the phase given (0: reply to the command byte, 1: reply to the
// payload). Faults that match the same reply all apply (a delay and a split combine).
// After a phase 0 fault that the programmer must reject (silence, wrong echo, a short reply,
// stray bytes) the device drops the exchange and does not wait for its payload.
struct SimFault {
    enum Kind {
        Silence,    // no reply at all
        WrongEcho,  // the checked byte is the command code + 1
        ShortReply, // only `count` bytes of the reply
        Delay,      // the reply starts `count` milliseconds late
        Split,      // the reply goes out in pieces of `count` bytes, 50 ms apart
        StrayBytes, // `count` bytes 0x55 are sent before the reply
        HangUp,     // the device hangs up (the pseudo-terminal closes) instead of replying
    };
    Kind kind = Silence;
    int command = -1;
    int phase = 0;
    int count = 0;
    int times = 1; // -1: every matching exchange
};

// "KIND[:COMMAND[:PHASE[:COUNT[:TIMES]]]]" as given to kelvane-sim --fault. KIND is silence,
// wrong-echo, short, delay, split, stray or hangup; COMMAND is hex (A1, 0xA1) or "any".
bool simFaultParse(const QString &text, SimFault *fault, QString *error = nullptr);

// One complete frame the device received: the command byte and its payload.
struct SimFrame {
    quint8 command = 0;
    QByteArray payload;
    qint64 receivedUs = 0;    // monotonic time the command byte reached the device
    qint64 sinceReplyUs = -1; // from the end of the device's previous reply to this command byte
    // From the end of the reply to the command byte to the first payload byte (-1: no payload).
    qint64 payloadSinceReplyUs = -1;
};

// One line for kelvane-sim --frames:
// "frame received_us=N since_reply_us=N payload_since_reply_us=N command=A1 payload=59 00 ..."
// (received_us is CLOCK_MONOTONIC in microseconds, comparable across processes).
QString simFrameLine(const SimFrame &frame);

class SimDevice : public QObject {
    Q_OBJECT
public:
    // Memory map of the 32 KB image (addresses the memory dump reads).
    static constexpr int memorySize = 0x8000;
    static constexpr int addrClock = 0x0000;      // 10 bytes, as last programmed, then kept running
    static constexpr int addrOptions = 0x0010;    // 81 bytes: options byte, game numbers
    static constexpr int addrPrinter = 0x0070;    // 22 bytes printer profile
    static constexpr int addrBonus = 0x0090;      // 16 bytes bonus parameters
    static constexpr int addrCounters = 0x00A0;   // audit counters, 4 x 32-bit
    static constexpr int addrLocation = 0x0100;   // 512 bytes location text
    static constexpr int addrDisclaimer = 0x0300; // 512 bytes disclaimer text

    static constexpr int payloadTimeoutMs = 1000;

    explicit SimDevice(QObject *parent = nullptr);
    ~SimDevice() override;

    // Creates the pseudo-terminal and points linkPath at its slave (replacing an old link).
    bool start(const QString &linkPath, QString *error = nullptr);
    void stop(); // closes the pseudo-terminal; the programmer then sees its port vanish
    bool isRunning() const;
    QString linkPath() const;
    QString slavePath() const;

    void setController(SimController controller);
    SimController controller() const;
    void setVersion(quint16 versionTimes100);     // default 310 (3.10)
    void setDipSwitches(const QByteArray &banks); // 4 bytes, default 0F 00 A5 FF
    void setSerialNumber(quint16 serial);         // default 1234
    void setStatusByte(quint8 status);            // default 0x12
    // Games played, tickets printed, cents paid out, bonuses won (default 1523, 312, 14650, 3).
    void setAuditCounters(const QList<quint32> &counters);
    // Line speed used for pacing: 0 follows the speed the programmer set on the line.
    void setBaud(int baud);
    int effectiveBaud() const;

    void addFault(const SimFault &fault);
    void clearFaults();
    // Bytes sent at once, without any exchange (for free-text tests), paced like any reply.
    void sendRaw(const QByteArray &bytes);

    QList<SimFrame> frames() const { return m_frames; }
    void clearFrames() { m_frames.clear(); }
    QByteArray memory() const;    // the image, with the clock brought up to date
    QString locationText() const; // stored text up to the first zero byte, CR line ends
    QString disclaimerText() const;
    // The text the device prints after its reply to an audit ticket command, as of now.
    QByteArray auditTicket() const;

signals:
    void frameReceived(const SimFrame &frame);
    void hungUp();

private:
    // The line (simpty.cpp).
    bool linkFree(const QString &linkPath, QString *error) const;
    bool openMaster(std::vector<int> &skipped, QByteArray *name, QString *error);
    bool openSlave(const QByteArray &name, QString *error);
    bool ptyFailed(const QString &what, QString *error);
    bool publishLink(const QString &target);
    void hangUpLine();
    void closePty();
    // Faults (simfaults.cpp).
    SimFaultEffect applyFaults(quint8 command, int phase, QByteArray &reply);
    // Pacing (simpacing.cpp).
    void onReadable();
    void processArrived();
    int enqueue(const QByteArray &bytes, qint64 delayNs, int piece, bool isReply);
    void flushDue();
    qint64 byteNs() const;
    // The protocol (simprotocol.cpp).
    void receive(char byte, qint64 arrivalNs, qint64 readNs);
    void onPayloadTimeout();
    void record(const SimFrame &frame, bool hungUpNow);
    QByteArray commandReply(quint8 command) const;
    QByteArray payloadReply(quint8 command, const QByteArray &payload) const;
    int respond(quint8 command, int phase, QByteArray reply);
    // The memory image (simmemory.cpp).
    void store(quint8 command, const QByteArray &payload);
    QByteArray clockBytes() const;
    void setClock(const QByteArray &payload);

    struct Private;
    std::unique_ptr<Private> d;
    QList<SimFrame> m_frames;
    QByteArray m_memory;
};
