#pragma once

// The programmer's end of a line to the simulated device: a QSerialPort (8N1, no flow control
// by default, as the programmer opens it), read through the event loop so the device (in the
// same thread) runs.

#include <QSerialPort>
#include <QTest>

inline QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

struct Line {
    QSerialPort port;
    QByteArray received;

    bool open(const QString &path, qint32 baud = 9600) {
        port.setPortName(path);
        port.setBaudRate(baud);
        return port.open(QIODevice::ReadWrite);
    }
    void write(const QByteArray &bytes) {
        port.write(bytes);
        port.flush();
    }
    // The next n bytes from the device, or fewer when they do not come in time.
    QByteArray read(int n) {
        (void)QTest::qWaitFor([&] { return (received += port.readAll()).size() >= n; }, 3000);
        const QByteArray bytes = received.left(n);
        received.remove(0, bytes.size());
        return bytes;
    }
    QByteArray exchange(const QByteArray &bytes, int replyLen) {
        write(bytes);
        return read(replyLen);
    }
    // Nothing more may come within a short while (only for checks that something stays away).
    bool quiet(int ms = 80) {
        QTest::qWait(ms);
        received += port.readAll();
        return received.isEmpty();
    }
};
