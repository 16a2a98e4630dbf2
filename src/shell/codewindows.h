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
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

using ProfileValues = QList<std::pair<QString, QString>>; // key, value; written in this order

// The value of KeyName in SectionName of the file, or DefaultValue when the file, the section or
// the key is missing. An existing key with an empty value gives "".
QString ProfileStringGet(const QString &SectionName, const QString &KeyName, const QString &DefaultValue,
                         const QString &ProfileFileName);

// Sets every key of Values in SectionName with one atomic replace of the file: a kill leaves the
// old or the new file, never a mix. A file that exists but cannot be read is never replaced.
// Where the file cannot be replaced but may be written, it is rewritten in place (see fileReplace in
// textfiles/filesafety.h). False, with the reason in *error, when nothing was written; keys that cannot be
// stored in a profile line are left out and named in *refused.
bool ProfileStringsWrite(const QString &SectionName, const ProfileValues &Values,
                         const QString &ProfileFileName, QString *error = nullptr,
                         QStringList *refused = nullptr);

// The bytes of a profile file read once: empty when it does not exist, nullopt (reason in *error)
// when it is not a regular file or cannot be read.
std::optional<QByteArray> profileFileBytes(const QString &fileName, QString *error = nullptr);

// The settings file's name for the executable's file name: the whole name with ".ini" added, a
// trailing ".exe" (any case) removed first ("KelvaneProgrammer.v2" -> "KelvaneProgrammer.v2.ini").
QString settingsFileNameFor(const QString &programFileName);

// --- The same on a file's bytes ---------------------------------------------------------------

// The file's bytes with each key of values in section set to its value, in one pass over the file:
// an existing key's line is rewritten (its name spelled as before), new keys follow the last key
// of their section, a new section goes at the end; every other line is kept byte for byte, lines
// written end in CR LF. A value that reading would change (surrounding blanks or quotes) is written
// in double quotes so it reads back as given. nullopt when the section name cannot be stored in a
// profile line (empty, a line break or "]"); keys that cannot be (empty, line breaks, "=" or a
// leading ";" or "["), or whose value holds a line break, are skipped and named in *refused. A key
// given twice is written once, where first given, with the value given last.
std::optional<QByteArray> profileWithValues(const QByteArray &contents, const QString &section,
                                            const ProfileValues &values, QStringList *refused = nullptr);

// Every key of section in one pass: case-folded name -> value (one pair of surrounding quotes
// removed). *settled gets the keys whose line holds the value exactly as profileWithValues would
// write it, so that
// writing that value again changes nothing.
QHash<QString, QString> profileSectionValues(const QByteArray &contents, const QString &section,
                                             QHash<QString, QString> *settled = nullptr);

// Optional blanks, an optional sign and the leading decimal digits of value; nullopt when there
// are no digits. Numbers beyond 64 bits are held at the nearest limit.
std::optional<qint64> profileLeadingNumber(const QString &value);
