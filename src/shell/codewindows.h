#pragma once

// The profile (INI) file functions the program keeps its settings with. One portable
// implementation: section and key names match without regard to case, the spelling in the file
// is kept when a key is written again, lines not written are kept byte for byte, and the file is
// replaced atomically.
//
// Reading: blanks (spaces, tabs) around names and values are ignored, one matching pair of
// surrounding double or single quotes is removed from a value, lines whose first non-blank
// character is ";" are comments, and the first of duplicate sections or keys wins. Names and
// values are decoded with the system's 8-bit encoding.

#include <QByteArray>
#include <QString>

#include <optional>

// The value of KeyName in SectionName of the file, or DefaultValue when the file, the section or
// the key is missing. An existing key with an empty value gives "".
QString ProfileStringGet(const QString &SectionName, const QString &KeyName, const QString &DefaultValue,
                         const QString &ProfileFileName);

// The leading whole number of the value ("12abc" is 12), or DefaultValue when the value is
// missing or empty or starts with no digit at all ("abc").
qint64 ProfileIntGet(const QString &SectionName, const QString &KeyName, qint64 DefaultValue,
                     const QString &ProfileFileName);

// Sets KeyName in SectionName to Value, creating the file, the section or the key as needed.
// Returns false when the file could not be written (nothing is changed then).
bool ProfileStringWrite(const QString &SectionName, const QString &KeyName, const QString &Value,
                        const QString &ProfileFileName);

// --- The same on a file's bytes ---------------------------------------------------------------

// The value stored for key in section, or nullopt when the section or key is missing.
std::optional<QString> profileValue(const QByteArray &contents, const QString &section, const QString &key);

// The file's bytes with key in section set to value: an existing key's line is rewritten (its
// name spelled as before), a new key follows the last key of its section, a new section goes at
// the end; every other line is kept byte for byte, lines written end in CR LF. A value that
// reading would change (surrounding blanks or quotes) is written in double quotes so it reads back
// as given. nullopt when the names or the value cannot be stored in a profile line (empty names,
// line breaks, "=" or a leading ";" or "[" in a key, "]" in a section).
std::optional<QByteArray> profileWithValue(const QByteArray &contents, const QString &section,
                                           const QString &key, const QString &value);

// Optional blanks, an optional sign and the leading decimal digits of value; nullopt when there
// are no digits. Numbers beyond 64 bits are held at the nearest limit.
std::optional<qint64> profileLeadingNumber(const QString &value);
