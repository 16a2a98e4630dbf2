#pragma once

// Small text helpers every room shares: the CR LF line break of the program's texts, line-break
// conversion, characters named in log messages, whole characters (surrogate pairs) and the hex
// form of a byte.

#include <QChar>
#include <QString>

// The line break of the status log, the ticket files and the text boxes as the program reads them.
inline const QString crlf = QStringLiteral("\r\n");

// Whether c breaks a line in a text box: CR, LF and the Unicode line and paragraph separators.
bool isLineBreak(QChar c);

// Every line break (CR LF, a lone CR, a lone LF, U+2028, U+2029) as CR LF.
QString withCrLfBreaks(const QString &text);

// A text box's raw text (LF or separators between lines) as the program holds it: CR LF breaks.
QString programTextFromBox(const QString &rawBoxText);
// The program's text (CR LF, lone CR or LF) as a text box takes it: LF breaks.
QString boxTextFromProgram(const QString &text);

// The whole character at i, both halves of a surrogate pair when one starts there.
QString characterAt(const QString &text, qsizetype i);
// The index where the character ending at i starts: i - 1 when i is the low half of a pair.
qsizetype characterStart(const QString &text, qsizetype i);

// A character by its Unicode number: "U+0009", "U+1F600".
QString codePointName(char32_t code);
// Whether a message names a character by its number rather than showing it: control and format
// characters, line and paragraph separators, and code points that are no character, any of which
// would break a log line, hide in it or garble it.
bool shownByNumber(char32_t code);
// Text quoted in a message, each character shownByNumber written as "<U+0009>", in angle brackets
// as received bytes are shown ("<0x09>"), so a tab or a line break from a box cannot break or hide
// the line.
QString messageQuote(const QString &text);
// One character (a surrogate pair counting as one) named in a message: "<U+0009>" for a character
// shownByNumber, otherwise the character quoted and its number: "\"→\" (U+2192)".
QString messageCharacter(const QString &character);

// A byte as two upper-case hexadecimal digits: "0A", "AB".
QString hexDigits(quint8 b);
// "<0xAB>": a byte in hex form, as the log shows received bytes.
QString hexForm(quint8 b);
