#include "textfiles/textfiles.h"

#include "textfiles/cp1252.h"

#include <QStringList>

namespace {

QByteArray crlfLines(const QList<QByteArray> &lines) {
    QByteArray bytes;
    for (const QByteArray &line : lines)
        bytes += line + "\r\n";
    return bytes;
}

// Every line break (CR LF, lone CR, lone LF) as CR LF.
QString withCrLfBreaks(const QString &text) {
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            out += QLatin1String("\r\n");
        } else if (c == u'\n') {
            out += QLatin1String("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

QList<DefaultTextFile> defaultTextFiles() {
    return {
        {QStringLiteral("GreenStandardDisclaimer.txt"),
         crlfLines({"In lieu of playing stated credits above", "I  request a refund  in that amount.  I",
                    "certify  that I have  not won more than", "$125.00 in a 24 hour period.", "",
                    QByteArray(39, '_'), "", "Drivers License No.#___________________",
                    "THIS VOUCHER VALID ON THIS DATE ONLY.", "", "", "", ""})},
        {QStringLiteral("StandardDisclaimer.txt"),
         crlfLines({"I certify I am redeeming this ticket", "for noncash merchandise,prizes,toys and/",
                    "or novelties that have a wholesale", "value of 10 times the amount charged",
                    "to play the game once or $5.00", "whichever is less for each play of the", "game.", "",
                    "THIS TICKET HAS NO CASH VALUE,AND MUST", "BE REDEEMED WITHIN 10 DAYS FROM TODAY.", "",
                    "I" + QByteArray(38, '_')})},
        {QStringLiteral("MyLocation.txt"), crlfLines({"Put location information here"})},
        {QStringLiteral("MyDisclaimer.txt"), crlfLines({"Put disclaimer information here"})},
    };
}

QString ticketTextFromFile(const QByteArray &bytes) {
    QByteArray body = bytes;
    if (body.endsWith("\r\n"))
        body.chop(2);
    else if (body.endsWith('\r') || body.endsWith('\n'))
        body.chop(1);
    return withCrLfBreaks(fromCp1252(body));
}

std::optional<QByteArray> ticketFileFromText(const QString &text, QString *unencodable) {
    const QString fileText = withCrLfBreaks(text) + QLatin1String("\r\n");
    const qsizetype bad = cp1252FirstUnencodable(fileText);
    if (bad >= 0) {
        if (unencodable) {
            const bool pair = fileText.at(bad).isHighSurrogate() && bad + 1 < fileText.size() &&
                              fileText.at(bad + 1).isLowSurrogate();
            *unencodable = fileText.mid(bad, pair ? 2 : 1);
        }
        return std::nullopt;
    }
    return toCp1252(fileText);
}

QString characterForMessage(const QString &character) {
    const QList<uint> codes = character.toUcs4();
    const uint code = codes.isEmpty() ? 0 : codes.first();
    const QString number = QStringLiteral("U+%1").arg(code, 4, 16, QLatin1Char('0')).toUpper();
    // Control characters would garble the log line; the number alone names them.
    if (code < 0x20 || (code >= 0x7F && code < 0xA0) || !QChar::isPrint(code))
        return number;
    return QStringLiteral("\"%1\" (%2)").arg(character, number);
}
