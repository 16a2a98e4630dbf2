#pragma once

// The serial control: a small layer over QSerialPort offering the members the program uses
// (port number, settings string, open state, output, input and the receive notification).

#include <QByteArray>
#include <QObject>
#include <QString>

class QSerialPort;

// An error of the serial control: number 0 means none.
struct CommError {
    int number = 0;
    QString description;
    explicit operator bool() const { return number != 0; }
};

// Device name for port number n (1..12). On Windows "COMn"; elsewhere an entry "COMn" in the
// program's folder when one exists (a link to /dev/ttyUSB0 or to a pseudo-terminal), else
// /dev/ttyS(n-1).
QString commPortDeviceName(int n, const QString &programFolder);

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
    int InBufferCount() const;
    QByteArray Input(); // every waiting byte, removed from the buffer
    int CommEvent() const { return m_commEvent; }

    QString deviceName() const; // the device the current port number maps to

signals:
    void OnComm();                          // at least one byte waits (CommEvent 2)
    void portLost(const QString &reason);   // the open port failed and has been closed

private:
    void handleError(int error);

    QString m_programFolder;
    QSerialPort *m_port = nullptr;
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_commEvent = 0;
};
