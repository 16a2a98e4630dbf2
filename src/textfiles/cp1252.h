#pragma once

// Windows-1252, the 8-bit character set of the ticket texts: one byte per character, which is
// what the device receives and prints.

#include <QByteArray>
#include <QString>

#include <optional>

// Every byte decodes; the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// become the control characters of the same number, so any file round-trips.
QString fromCp1252(const QByteArray &bytes);

// One byte per character, or nullopt when a character has no Windows-1252 byte; *unencodable is
// then that character (the first half of a surrogate pair for characters beyond U+FFFF).
std::optional<QByteArray> toCp1252(const QString &text, QChar *unencodable = nullptr);

// Whether character c has a Windows-1252 byte.
bool cp1252Has(QChar c);

// Index of the first character of text that has no Windows-1252 byte, or -1 when every one has.
qsizetype cp1252FirstUnencodable(const QString &text);
