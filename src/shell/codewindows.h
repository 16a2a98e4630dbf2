#pragma once

// The profile (INI) file functions the program keeps its settings with. One portable
// implementation: section and key names match without regard to case, the spelling in the file
// is kept when a key is written again, lines not written are kept byte for byte, and the file is
// replaced atomically.

#include <QString>

// The value of KeyName in SectionName of the file, or DefaultValue when the file, the section or
// the key is missing. An existing key with an empty value gives "".
QString ProfileStringGet(const QString &SectionName, const QString &KeyName, const QString &DefaultValue,
                         const QString &ProfileFileName);

// The leading whole number of the value ("12abc" is 12), or DefaultValue when the value is
// missing or empty.
qint64 ProfileIntGet(const QString &SectionName, const QString &KeyName, qint64 DefaultValue,
                     const QString &ProfileFileName);

// Sets KeyName in SectionName to Value, creating the file, the section or the key as needed.
// Returns false when the file could not be written (nothing is changed then).
bool ProfileStringWrite(const QString &SectionName, const QString &KeyName, const QString &Value,
                        const QString &ProfileFileName);
