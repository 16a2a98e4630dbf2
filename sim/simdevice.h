#pragma once

// A simulated Kelvane controller at the master end of a pseudo-terminal. The slave end is
// published as a link (for example "COM1" in the programmer's folder), so the programmer opens
// it exactly as it opens a real port. Used in-process by the tests and as the kelvane-sim
// program by scripts/run and the benchmarks.
//
// The device object lives in one thread and is used from that thread; it is event driven
// (QSocketNotifier and timers), so it runs while the programmer's window waits in its own
// event loop in the same thread.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

enum class SimController {
    PIC18F4520, // answers every command
    PIC16F877,  // answers nothing, but still prints its tickets as free text
};

// A fault the device produces on request. It applies to the next `times` exchanges whose
// command matches (-1: any), in the phase given (0: reply to the command byte, 1: reply to the
// payload).
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

// One complete frame the device received: the command byte and its payload.
struct SimFrame {
    quint8 command = 0;
    QByteArray payload;
    qint64 receivedUs = 0;   // monotonic time the command byte reached the device
    qint64 sinceReplyUs = -1; // from the end of the device's previous reply to this command byte
};

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
    // Line speed used for pacing: 0 follows the speed the programmer set on the line.
    void setBaud(int baud);
    int effectiveBaud() const;

    void addFault(const SimFault &fault);
    void clearFaults();
    // Bytes sent at once, without any exchange (for free-text tests).
    void sendRaw(const QByteArray &bytes);

    QList<SimFrame> frames() const { return m_frames; }
    void clearFrames() { m_frames.clear(); }
    QByteArray memory() const { return m_memory; }
    QString locationText() const;   // stored text up to the first zero byte, CR line ends
    QString disclaimerText() const;

signals:
    void frameReceived(const SimFrame &frame);
    void hungUp();

private:
    void onReadable();
    // The rest is up to the implementation.
    struct Private;
    Private *d = nullptr;
    QList<SimFrame> m_frames;
    QByteArray m_memory;
};
