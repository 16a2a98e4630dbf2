#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

class QPlainTextEdit;

// Bit string of a byte, most significant bit first: 165 -> "10100101".
QString ByteToBinary(quint8 Value);

// A character by its Unicode number: "U+0009", "U+1F600".
QString codePointName(char32_t code);
// Whether a message names a character by its number rather than showing it: control and format
// characters, line and paragraph separators, and code points that are no character, any of which
// would break a log line, hide in it or garble it.
bool shownByNumber(char32_t code);
// Text quoted in a message, each character shownByNumber written as "<U+0009>", in angle brackets
// as received bytes are shown ("<0x09>"), so a tab or a line break from a box cannot break or hide
// the line.
QString messageQuote(const QString &text);
// One character (a surrogate pair counting as one) named in a message: "<U+0009>" for a character
// shownByNumber, otherwise the character quoted and its number: "\"→\" (U+2192)".
QString messageCharacter(const QString &character);

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
