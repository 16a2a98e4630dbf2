#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

class QPlainTextEdit;

// Bit string of a byte, most significant bit first: 165 -> "10100101".
QString ByteToBinary(quint8 Value);

// The status log's text as the program sees it (CR LF line breaks), mirrored into the box.
// Before each append a log longer than 20000 characters is cut to its last 2000.
//
// The text changes at once; the box catches up on the next pass of the event loop, and at most
// every showIntervalMs while text streams in, so a device that talks without pause (a byte at a
// time, as some USB adapters deliver them) does not lay out and paint the box for every byte.
class StatusLog {
public:
    static constexpr int maxLength = 20000;
    static constexpr int keptLength = 2000;
    static constexpr int showIntervalMs = 80;

    explicit StatusLog(QPlainTextEdit *box);
    void append(const QString &text, bool clear);
    void clear();
    const QString &text() const { return m_text; }

private:
    void scheduleShow();
    void show();

    QPlainTextEdit *m_box;
    QString m_text;
    QString m_unshown;      // box text not in the box yet
    bool m_replace = false; // after a cut or clear: the box is replaced by m_unshown, not extended
    QTimer m_showTimer;
    QElapsedTimer m_sinceShown;
};
