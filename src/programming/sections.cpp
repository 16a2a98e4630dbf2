// The section procedures of a programming run: each reads the window, builds its payload with the
// encoders and hands it to CommandSend. A payload that cannot be built is reported here and
// nothing is sent, so the run stops at this section.

#include "link/statuslog.h"
#include "programming/encoders.h"
#include "shell/frmkelvaneprogrammer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

const QString crlf = QStringLiteral("\r\n");

QString bonusErrorText(BonusError error) {
    switch (error) {
    case BonusError::Negative:
        return QStringLiteral("is negative");
    case BonusError::OutOfRange:
        return QStringLiteral("is too large");
    case BonusError::NotANumber:
    case BonusError::None:
        break;
    }
    return QStringLiteral("is not a number");
}

} // namespace

qint16 frmKelvaneProgrammer::DateTimeSend() {
    // One reading of the clock, so the fields cannot straddle a change of second, day or year.
    const QByteArray payload = dateTimePayload(QDateTime::currentDateTime());
    return CommandSend(0xA1, payload, true, 4, 4);
}

qint16 frmKelvaneProgrammer::OptionsGameSend() {
    QStringList games;
    for (const QLineEdit *box : std::as_const(txtGameNumber))
        games.append(box->text());
    int badGame = -1;
    const std::optional<QByteArray> payload = optionsGamePayload(Options, games, &badGame);
    if (!payload) {
        StatusAppend(QStringLiteral("ERROR: %1 \"%2\" is not a hexadecimal game number")
                             .arg(lblGameNumber.at(badGame)->text(), messageQuote(games.at(badGame))) +
                         crlf,
                     false);
        return 1;
    }
    return CommandSend(0xA2, *payload, true, 4, 4);
}

qint16 frmKelvaneProgrammer::PrinterConfigSend() {
    return CommandSend(0xA9, printerProfile(PrinterType, PrinterBaudRate), true, 4, 4);
}

qint16 frmKelvaneProgrammer::TextSend(qint16 TextKind) {
    if (TextKind != 1 && TextKind != 2)
        return 1;
    const bool location = TextKind == 1;
    const QString name = location ? QStringLiteral("Location Information") : QStringLiteral("Disclaimer");
    const qint32 firstCommand = location ? 0xA5 : 0xA3;

    QString badChar;
    const std::optional<TextBlocks> text =
        textBlocks(boxText(location ? txtLocationInfo : txtDisclaimer), &badChar);
    if (!text) {
        StatusAppend(QStringLiteral("ERROR: %1: the character %2 has no Windows-1252 code")
                             .arg(name, messageCharacter(badChar)) +
                         crlf,
                     false);
        return 1;
    }

    // A failed block fails the section; the next block is not sent after it.
    for (int block = 0; block < text->blocks.size(); ++block) {
        if (CommandSend(firstCommand + block, text->blocks.at(block), true, 4, 4) != 0)
            return 1;
    }
    if (text->charactersNotSent > 0) {
        const QString lost = text->charactersNotSent == 1
                                 ? QStringLiteral("the last character was")
                                 : QStringLiteral("the last %1 characters were").arg(text->charactersNotSent);
        StatusAppend(QStringLiteral("WARNING: %1 is too long for the device: %2 not sent").arg(name, lost) +
                         crlf,
                     false);
    }
    return 0;
}

qint16 frmKelvaneProgrammer::BonusSend() {
    QStringList texts;
    for (const QLineEdit *box : std::as_const(txtBonus))
        texts.append(box->text());
    int badField = -1;
    BonusError error = BonusError::None;
    const std::optional<QByteArray> payload = bonusPayload(texts, &badField, &error);
    if (!payload) {
        StatusAppend(QStringLiteral("ERROR: %1 \"%2\" %3")
                             .arg(lblBonus.at(badField)->text(), messageQuote(texts.at(badField)),
                                  bonusErrorText(error)) +
                         crlf,
                     false);
        return 1;
    }
    return CommandSend(0xAA, *payload, true, 4, 4);
}
