#include "textfiles/textfiles.h"

#include "textfiles/cp1252.h"
#include "textfiles/texthelpers.h"

#include <QStringDecoder>
#include <QStringList>

#include <algorithm>

namespace {

QByteArray crlfLines(const QList<QByteArray> &lines) {
    QByteArray bytes;
    for (const QByteArray &line : lines)
        bytes += line + crlf.toLatin1();
    return bytes;
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

TicketEncoding ticketEncodingOf(const QByteArray &bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return TicketEncoding::Utf8WithMark;
    const bool ascii = std::all_of(bytes.cbegin(), bytes.cend(), [](char b) { return quint8(b) < 0x80; });
    if (ascii)
        return TicketEncoding::Cp1252; // the same bytes either way
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder(bytes);
    return decoder.hasError() ? TicketEncoding::Cp1252 : TicketEncoding::Utf8;
}

QString cp1252Filtered(const QString &text, QStringList *replaced) {
    if (cp1252FirstUnencodable(text) < 0)
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (cp1252Has(c)) {
            out += c;
            continue;
        }
        const QString character = characterAt(text, i);
        i += character.size() - 1;
        out += u'?';
        if (replaced && !replaced->contains(character))
            replaced->append(character);
    }
    return out;
}

QString ticketTextFromFile(const QByteArray &bytes, TicketEncoding *encoding, QStringList *replaced) {
    const TicketEncoding found = ticketEncodingOf(bytes);
    if (encoding)
        *encoding = found;
    QString text;
    if (found == TicketEncoding::Cp1252) {
        text = fromCp1252(bytes);
    } else {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = decoder(found == TicketEncoding::Utf8WithMark ? bytes.sliced(3) : bytes);
    }
    // Line breaks first: a line separator is a break, not a character to replace.
    text = cp1252Filtered(withCrLfBreaks(text), replaced);

    // The pieces between line breaks; the piece after the last break is no line when it is empty,
    // and then a last line that is empty is the break a save adds.
    QStringList lines = text.split(crlf);
    if (lines.last().isEmpty())
        lines.removeLast();
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QString box;
    box.reserve(text.size() + lines.size());
    for (const QString &line : std::as_const(lines))
        box += line + crlf;
    return box;
}

QByteArray ticketFileFromText(const QString &text, TicketEncoding encoding, QStringList *replaced) {
    const QString fileText = cp1252Filtered(withCrLfBreaks(text) + crlf, replaced);
    switch (encoding) {
    case TicketEncoding::Utf8WithMark:
        return "\xEF\xBB\xBF" + fileText.toUtf8();
    case TicketEncoding::Utf8:
        return fileText.toUtf8();
    case TicketEncoding::Cp1252:
        break;
    }
    return toCp1252(fileText).value_or(QByteArray());
}

QString unencodableWarning(const QStringList &replaced) {
    QStringList shown;
    for (const QString &character : replaced)
        shown.append(messageCharacter(character));
    return QStringLiteral("WARNING: %1 %2 no Windows-1252 byte and became \"?\"\r\n")
        .arg(shown.join(QStringLiteral(", ")),
             replaced.size() == 1 ? QStringLiteral("has") : QStringLiteral("have"));
}
