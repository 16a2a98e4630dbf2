// The section procedures of a programming run: each reads the window, builds its payload with the
// encoders and hands it to CommandSend. A payload that cannot be built is reported here and
// nothing is sent, so the run stops at this section.

#include "link/commands.h"
#include "programming/encoders.h"
#include "shell/frmkelvaneprogrammer.h"
#include "textfiles/texthelpers.h"
#include "textfiles/tickettexts.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <iterator>

namespace {

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
    return CommandSend(Commands::DateTime.code, payload, true, Commands::DateTime.ReplyLen,
                       Commands::DateTime.PayloadReplyLen);
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
    return CommandSend(Commands::OptionsGame.code, *payload, true, Commands::OptionsGame.ReplyLen,
                       Commands::OptionsGame.PayloadReplyLen);
}

qint16 frmKelvaneProgrammer::PrinterConfigSend() {
    return CommandSend(Commands::PrinterConfig.code, printerProfile(PrinterType, PrinterBaudRate), true,
                       Commands::PrinterConfig.ReplyLen, Commands::PrinterConfig.PayloadReplyLen);
}

qint16 frmKelvaneProgrammer::TextSend(qint16 TextKind) {
    if (TextKind != textKind(TicketText::Location) && TextKind != textKind(TicketText::Disclaimer))
        return 1;
    const bool location = TextKind == textKind(TicketText::Location);
    const QString name = location ? QStringLiteral("Location Information") : QStringLiteral("Disclaimer");
    // The device keeps each text in two blocks, each with its own command.
    static constexpr DeviceCommand locationBlocks[] = {Commands::LocationText, Commands::LocationText2};
    static constexpr DeviceCommand disclaimerBlocks[] = {Commands::DisclaimerText, Commands::DisclaimerText2};
    static_assert(std::size(locationBlocks) == textBlockCount &&
                  std::size(disclaimerBlocks) == textBlockCount);
    const DeviceCommand *const blockCommands = location ? locationBlocks : disclaimerBlocks;

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
        const DeviceCommand &command = blockCommands[block];
        if (CommandSend(command.code, text->blocks.at(block), true, command.ReplyLen,
                        command.PayloadReplyLen) != 0)
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
    return CommandSend(Commands::Bonus.code, *payload, true, Commands::Bonus.ReplyLen,
                       Commands::Bonus.PayloadReplyLen);
}
