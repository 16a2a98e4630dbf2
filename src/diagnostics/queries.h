#pragma once

// The diagnostic queries' inputs and outputs: reading the memory dump's address and count, and
// the lines written for the version number and the DIP switch banks.

#include <QByteArray>
#include <QString>

#include <optional>

// The dump's start address: hexadecimal digits in either case, no prefix, 0 to 7FFF.
// Blanks around the digits and any number of leading zeros are allowed; anything else gives no
// value.
std::optional<quint16> dumpAddressParse(const QString &text);

// The dump's byte count: decimal digits, 0 to 252 (the answer, count + 4 bytes, must fit the
// 256-byte reply buffer). Blanks around the digits and leading zeros are allowed; anything else
// gives no value.
std::optional<quint8> dumpCountParse(const QString &text);

// The three payload bytes: address low byte, address high byte, count.
QByteArray dumpPayload(quint16 address, quint8 count);

// "Version Number = 3.10" with its line breaks, from reply bytes 4 (low) and 5 (high). The word
// is unsigned, so versions run from 0.00 to 655.35.
QString versionText(quint8 low, quint8 high);

// "DIP SW1 = 0F - 00001111" and a line break, for bank 1 to 4.
QString dipSwitchLine(int bank, quint8 value);
