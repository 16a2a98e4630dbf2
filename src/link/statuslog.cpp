// The status log: the program's running output in txtStatus.
#include "link/statuslog.h"
#include "shell/frmkelvaneprogrammer.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

QString ByteToBinary(quint8 Value) {
    QString bits;
    for (int i = 7; i >= 0; --i)
        bits += (Value & (1u << i)) ? QLatin1Char('1') : QLatin1Char('0');
    return bits;
}

QString codePointName(char32_t code) {
    return QStringLiteral("U+%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
}

QString messageQuote(const QString &text) {
    QString quoted;
    for (const char32_t c : text.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            quoted += codePointName(c);
        else
            quoted += QString::fromUcs4(&c, 1);
    }
    return quoted;
}

namespace {

// The box holds '\n' line breaks; the log holds CR LF. A CR whose LF comes with the next append
// has already broken the line in the box, so that LF is dropped there.
QString toBoxText(const QString &text, bool afterCarriageReturn) {
    QString plain = text;
    if (afterCarriageReturn && plain.startsWith(QLatin1Char('\n')))
        plain.remove(0, 1);
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return plain;
}

} // namespace

void StatusLog::append(const QString &text, bool clear) {
    if (clear)
        this->clear();
    if (m_text.size() > maxLength) {
        const bool cutAfterCarriageReturn = m_text.at(m_text.size() - keptLength - 1) == QLatin1Char('\r');
        m_text = m_text.right(keptLength);
        m_box->setPlainText(toBoxText(m_text, cutAfterCarriageReturn));
    }
    const bool afterCarriageReturn = m_text.endsWith(QLatin1Char('\r'));
    m_text += text;

    // Inserting at the end, rather than setting the whole text, keeps the newest line in view.
    QTextCursor cursor = m_box->textCursor();
    cursor.movePosition(QTextCursor::End);
    m_box->setTextCursor(cursor);
    m_box->insertPlainText(toBoxText(text, afterCarriageReturn));
    m_box->ensureCursorVisible();
    // The caret can be in view with the last line cut at the bottom edge; show the end in full.
    QScrollBar *const bar = m_box->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void StatusLog::clear() {
    m_text.clear();
    m_box->clear();
}

void frmKelvaneProgrammer::StatusAppend(const QString &Text, bool Clear) {
    statusLog->append(Text, Clear);
}

void frmKelvaneProgrammer::cmdClearText_Click() {
    statusLog->clear();
}
