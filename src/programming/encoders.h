#pragma once

// Payload encoders of the programming sections. Pure functions: the section procedures of the
// window read the controls and hand the values in; the tests call them directly.

#include <QByteArray>
#include <QChar>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One value as one packed BCD byte (tens in the high nibble); v is 0 to 99.
quint8 toBcd(int v);

// The ten clock bytes of command 0xA1: seconds, 0, minutes, 0, hours, 0, weekday (Sunday 1),
// day, month, year modulo 100, all packed BCD.
QByteArray dateTimePayload(const QDateTime &now);

// A game number as its two bytes, least significant first: the last four characters of the text,
// zero-padded in front, read as hexadecimal in either case. Nothing when one of those
// characters is not a hexadecimal digit.
std::optional<QByteArray> gameNumberBytes(const QString &text);

// The 81 bytes of command 0xA2. Nothing when a game number cannot be encoded; *badGame then
// holds its index (0 to 4).
std::optional<QByteArray> optionsGamePayload(quint8 options, const QStringList &gameNumbers,
                                             int *badGame = nullptr);

// The 22 bytes of command 0xA9: the printer model's profile (zeros for an unknown model) and the
// printer baud code.
QByteArray printerProfile(qint32 printerType, qint32 printerBaudRate);
constexpr int printerModelCount = 7;

// Line ends of a ticket text as the device wants them: each line break (CR LF, CR, LF, U+2028,
// U+2029) becomes a single CR.
QString deviceLineEnds(const QString &text);

constexpr int textBlockSize = 256;
constexpr int textBlockCount = 2;

struct TextBlocks {
    QList<QByteArray> blocks;  // one or two blocks of 256 bytes, zero-padded
    int charactersNotSent = 0; // characters beyond the two blocks the device holds
};

// A ticket text (CR LF line breaks, as the text box gives it) as the blocks to send: line ends
// made single CRs, one Windows-1252 byte per character. Nothing when a character has no
// Windows-1252 byte; *badChar then holds it.
std::optional<TextBlocks> textBlocks(const QString &boxText, QString *badChar = nullptr);

enum class BonusError {
    None,
    NotANumber, // not a plain decimal with at most one point
    Negative,
    OutOfRange, // beyond a 32-bit signed integer after scaling
};

// One bonus field as the device's integer: the decimal text converted to single precision,
// multiplied by 100 in single precision when scaled, rounded half to even.
std::optional<qint32> bonusValue(const QString &text, bool scaleBy100, BonusError *error = nullptr);

// The 16 bytes of command 0xAA from the four bonus texts (field 1, the odds, is not scaled).
// Nothing when a field cannot be encoded; *badField and *error then say which and why.
std::optional<QByteArray> bonusPayload(const QStringList &texts, int *badField = nullptr,
                                       BonusError *error = nullptr);

// Byte order helper: v as four bytes, least significant first.
QByteArray littleEndian32(quint32 v);
