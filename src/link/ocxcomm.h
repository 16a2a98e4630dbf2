#pragma once

// The serial control: a small layer over QSerialPort offering the members the program uses
// (port number, settings string, open state, output, input and the receive notification).

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QSerialPort;
class QTimer;

// An error of the serial control: number 0 means none.
struct CommError {
    int number = 0;
    QString description;
    explicit operator bool() const { return number != 0; }
};

// The serial control's error numbers. Each has its own plain description (commErrorText).
enum CommErrorNumber {
    commErrNone = 0,
    commErrPortOpen = 8000,        // the port number cannot change while the port is open
    commErrPortNotFound = 8001,    // no such device
    commErrInvalidPort = 8002,     // port number outside 1..16
    commErrInvalidSettings = 8003, // settings string not of the form "9600,N,8,1"
    commErrPermission = 8004,      // no right to open the device
    commErrInUse = 8005,           // another program holds the device
    commErrAlreadyOpen = 8006,     // opened twice
    commErrUnsupported = 8007,     // the device refuses the line settings (not a serial port)
    commErrResource = 8008,        // the device went away
    commErrRead = 8009,
    commErrWrite = 8010,
    commErrTimeout = 8011,
    commErrNotOpen = 8012,
    commErrUnknown = 8013,
};

QString commErrorText(int number);

// Device name for port number n (1..12). On Windows "COMn"; elsewhere an entry "COMn" in the
// program's folder when one exists (a link to /dev/ttyUSB0 or to a pseudo-terminal), else
// /dev/ttyS(n-1).
QString commPortDeviceName(int n, const QString &programFolder);

// The line settings of a settings string such as "9600,N,8,1".
struct CommSettings {
    int baud = 9600;
    char parity = 'N'; // N, E, O, M or S
    int dataBits = 8;  // 5..8
    int stopBits = 1;  // 1 or 2
};
// False for anything that is not "baud,parity,data bits,stop bits" with values a port accepts.
bool commSettingsParse(const QString &settings, CommSettings *result);

class OcxComm : public QObject {
    Q_OBJECT
public:
    static constexpr int comEvReceive = 2; // CommEvent value: data received

    explicit OcxComm(const QString &programFolder, QObject *parent = nullptr);
    ~OcxComm() override;

    int CommPort() const { return m_commPort; }
    CommError setCommPort(int n); // fails while the port is open, or for n outside 1..16
    QString Settings() const { return m_settings; }
    CommError setSettings(const QString &settings); // "9600,N,8,1"
    bool PortOpen() const;
    CommError setPortOpen(bool open);
    void Output(const QByteArray &bytes); // writes nothing when closed (callers check first)
    // Bytes written but not yet on the far end of the line: Qt's buffer, the driver's queue, and
    // what the line still takes at its speed (the UART's own buffer is not counted by the driver).
    int OutBufferCount() const;
    QByteArray Input(); // every waiting byte, removed from the buffer
    int CommEvent() const { return m_commEvent; }

    QString deviceName() const; // the device the current port number maps to

    // Bytes that are only shown (no reply awaited) may wait: for `ms` no notification is raised
    // and the port stops waking the program, so a device that talks without pause, even a byte at
    // a time, is taken in batches. The hold ends by itself, or at once with releaseInput(), which
    // raises the notification for whatever waits, so it is shown before what the caller does next
    // (a new exchange, a clear of the log).
    void holdInput(int ms);
    void releaseInput();

signals:
    void OnComm();                        // at least one byte waits (CommEvent 2)
    void portLost(const QString &reason); // the open port failed and has been closed

private:
    void handleError(int error);
    void endHold();
    void closeLostPort(int opening, const QString &reason);
    CommError applySettings();
    CommError portError(int number) const; // the error with a description naming the port

    QString m_programFolder;
    QSerialPort *m_port = nullptr;
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_commEvent = 0;
    bool m_losing = false; // a lost port is being closed; further errors are its echo
    int m_opening = 0;     // counts openings, so a late close never hits a newer opening
    QElapsedTimer m_clock;
    qint64 m_lineFreeNs = 0; // on m_clock: when the bytes written so far have all left the line
    QTimer *m_holdTimer = nullptr;
    bool m_holding = false;
};
