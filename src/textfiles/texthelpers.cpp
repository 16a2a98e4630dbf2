#include "textfiles/texthelpers.h"

#include <QList>

bool isLineBreak(QChar c) {
    return c == u'\r' || c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

QString withCrLfBreaks(const QString &text) {
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!isLineBreak(c)) {
            out += c;
            continue;
        }
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        out += crlf;
    }
    return out;
}

QString programTextFromBox(const QString &rawBoxText) {
    QString text = rawBoxText;
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text.replace(QLatin1Char('\n'), crlf);
}

QString boxTextFromProgram(const QString &text) {
    QString plain = text;
    plain.replace(crlf, QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return plain;
}

QString characterAt(const QString &text, qsizetype i) {
    const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
    return text.mid(i, pair ? 2 : 1);
}

qsizetype characterStart(const QString &text, qsizetype i) {
    const bool pair = text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate();
    return pair ? i - 1 : i;
}

QString codePointName(char32_t code) {
    return QStringLiteral("U+%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
}

bool shownByNumber(char32_t code) {
    switch (QChar::category(code)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return code > QChar::LastValidCodePoint;
    }
}

static QString numberMark(char32_t code) {
    return QLatin1Char('<') + codePointName(code) + QLatin1Char('>');
}

QString messageQuote(const QString &text) {
    QString quoted;
    for (const char32_t c : text.toUcs4())
        quoted += shownByNumber(c) ? numberMark(c) : QString::fromUcs4(&c, 1);
    return quoted;
}

QString messageCharacter(const QString &character) {
    const QList<uint> codes = character.toUcs4();
    const char32_t code = codes.isEmpty() ? 0 : codes.first();
    if (shownByNumber(code))
        return numberMark(code);
    return QStringLiteral("\"%1\" (%2)").arg(character, codePointName(code));
}

QString hexDigits(quint8 b) {
    return QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

QString hexForm(quint8 b) {
    return QStringLiteral("<0x%1>").arg(hexDigits(b));
}
