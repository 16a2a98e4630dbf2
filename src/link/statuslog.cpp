// The status log: the program's running output in txtStatus.
#include "link/statuslog.h"
#include "link/ocxcomm.h"
#include "shell/frmkelvaneprogrammer.h"
#include "textfiles/texthelpers.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>

QString ByteToBinary(quint8 Value) {
    QString bits;
    for (int i = 7; i >= 0; --i)
        bits += (Value & (1u << i)) ? QLatin1Char('1') : QLatin1Char('0');
    return bits;
}

namespace {

// The box holds '\n' line breaks; the log holds CR LF. A CR whose LF comes with the next append
// has already broken the line in the box, so that LF is dropped there.
QString toBoxText(const QString &text, bool afterCarriageReturn) {
    QString plain = text;
    if (afterCarriageReturn && plain.startsWith(QLatin1Char('\n')))
        plain.remove(0, 1);
    return boxTextFromProgram(plain);
}

} // namespace

StatusLog::StatusLog(QPlainTextEdit *box) : m_box(box) {
    m_showTimer.setSingleShot(true);
    QObject::connect(&m_showTimer, &QTimer::timeout, m_box, [this] { show(); });
}

void StatusLog::append(const QString &text, bool clear) {
    if (clear)
        this->clear();
    if (m_text.size() > maxLength) {
        const bool cutAfterCarriageReturn = m_text.at(m_text.size() - keptLength - 1) == QLatin1Char('\r');
        m_text = m_text.right(keptLength);
        m_unshown = toBoxText(m_text, cutAfterCarriageReturn);
        m_replace = true;
    }
    const bool afterCarriageReturn = m_text.endsWith(QLatin1Char('\r'));
    m_text += text;
    m_unshown += toBoxText(text, afterCarriageReturn);
    scheduleShow();
}

void StatusLog::clear() {
    m_text.clear();
    m_unshown.clear();
    m_replace = true;
    scheduleShow();
}

void StatusLog::scheduleShow() {
    if (m_showTimer.isActive())
        return;
    const qint64 since = m_sinceShown.isValid() ? m_sinceShown.elapsed() : showIntervalMs;
    m_showTimer.start(int(std::clamp<qint64>(showIntervalMs - since, 0, showIntervalMs)));
}

void StatusLog::show() {
    m_sinceShown.start();
    if (m_replace) {
        m_box->setPlainText(m_unshown);
        m_replace = false;
    } else if (!m_unshown.isEmpty()) {
        // Inserting at the end, rather than setting the whole text, keeps the newest line in view.
        QTextCursor cursor = m_box->textCursor();
        cursor.movePosition(QTextCursor::End);
        m_box->setTextCursor(cursor);
        m_box->insertPlainText(m_unshown);
    }
    m_unshown.clear();
    // Every append, even of nothing, brings the caret and the view back to the newest line.
    m_box->moveCursor(QTextCursor::End);
    m_box->ensureCursorVisible();
    // The caret can be in view with the last line cut at the bottom edge; show the end in full.
    QScrollBar *const bar = m_box->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void frmKelvaneProgrammer::StatusAppend(const QString &Text, bool Clear) {
    if (Clear)
        statusShowReceived();
    statusLog->append(Text, Clear);
}

void frmKelvaneProgrammer::cmdClearText_Click() {
    statusShowReceived();
    statusLog->clear();
}

// What the device sent before a clear is shown before it, and so cleared with the rest, rather
// than held back and shown on the cleared log as if it answered what follows.
void frmKelvaneProgrammer::statusShowReceived() {
    if (ocxComm)
        ocxComm->releaseInput();
}
