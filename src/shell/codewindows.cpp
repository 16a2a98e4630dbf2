#include "shell/codewindows.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

#include <algorithm>
#include <limits>

namespace {

// One line of a profile file, as offsets into the file's bytes, so that lines nobody writes are
// copied exactly as they were.
struct ProfileLine {
    enum Kind { Other, Section, Key };
    qsizetype start = 0; // first byte of the line
    qsizetype end = 0;   // end of its text, before the line break
    qsizetype next = 0;  // first byte of the next line
    Kind kind = Other;
    QByteArray name;  // section or key name, blanks removed
    QByteArray value; // a key's value, blanks removed
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView withoutBlanks(QByteArrayView bytes) {
    qsizetype from = 0;
    qsizetype to = bytes.size();
    while (from < to && isBlank(bytes.at(from)))
        ++from;
    while (to > from && isBlank(bytes.at(to - 1)))
        --to;
    return bytes.sliced(from, to - from);
}

QByteArray withoutBlanks(const QByteArray &bytes) {
    return withoutBlanks(QByteArrayView(bytes)).toByteArray();
}

QList<ProfileLine> profileLines(const QByteArray &bytes) {
    QList<ProfileLine> lines;
    qsizetype pos = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0; // a UTF-8 mark left by an editor
    const char *const data = bytes.constData();
    while (pos < bytes.size()) {
        ProfileLine line;
        line.start = pos;
        while (pos < bytes.size() && data[pos] != '\r' && data[pos] != '\n')
            ++pos;
        line.end = pos;
        if (pos < bytes.size() && data[pos] == '\r')
            ++pos;
        if (pos < bytes.size() && data[pos] == '\n')
            ++pos;
        line.next = pos;

        // Views, not copies: a large file is parsed without a copy of every line.
        const QByteArrayView text = withoutBlanks(QByteArrayView(data + line.start, line.end - line.start));
        if (text.startsWith('[')) {
            const qsizetype close = text.indexOf(']');
            line.kind = ProfileLine::Section;
            line.name = withoutBlanks(text.sliced(1, close < 0 ? text.size() - 1 : close - 1)).toByteArray();
        } else if (!text.startsWith(';')) {
            const qsizetype equals = text.indexOf('=');
            if (equals > 0) {
                line.kind = ProfileLine::Key;
                line.name = withoutBlanks(text.first(equals)).toByteArray();
                line.value = withoutBlanks(text.sliced(equals + 1)).toByteArray();
            }
        }
        lines.append(line);
    }
    return lines;
}

bool sameName(const QByteArray &inFile, const QString &wanted) {
    return QString::fromLocal8Bit(inFile).compare(wanted, Qt::CaseInsensitive) == 0;
}

// Where a key is, or would go, in a file.
struct KeyPlace {
    qsizetype section = -1; // line of the section's header
    qsizetype key = -1;     // line of the key
    qsizetype lastKey = -1; // line of the section's last key
};

KeyPlace findKey(const QList<ProfileLine> &lines, const QString &section, const QString &key) {
    KeyPlace place;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == ProfileLine::Section && sameName(lines[i].name, section)) {
            place.section = i;
            break;
        }
    }
    if (place.section < 0)
        return place;
    for (qsizetype i = place.section + 1; i < lines.size() && lines[i].kind != ProfileLine::Section; ++i) {
        if (lines[i].kind != ProfileLine::Key)
            continue;
        place.lastKey = i;
        if (place.key < 0 && sameName(lines[i].name, key))
            place.key = i;
    }
    return place;
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

QByteArray withoutQuotes(const QByteArray &value) {
    if (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

bool hasLineBreak(const QString &text) {
    return text.contains(u'\r') || text.contains(u'\n');
}

// The bytes a key line holds for value, as profileWithValue writes them.
QByteArray valueBytesFor(const QString &value) {
    const QByteArray bytes = value.toLocal8Bit();
    if (withoutQuotes(withoutBlanks(bytes)) != bytes)
        return '"' + bytes + '"';
    return bytes;
}

// The names and values profileWithValue accepts.
bool sectionStorable(const QString &section) {
    const QString trimmed = section.trimmed();
    return !trimmed.isEmpty() && trimmed == section && !hasLineBreak(section) && !section.contains(u']');
}

bool keyStorable(const QString &key, const QString &value) {
    const QString trimmed = key.trimmed();
    return !trimmed.isEmpty() && trimmed == key && !hasLineBreak(key) && !key.contains(u'=') &&
           !key.startsWith(u';') && !key.startsWith(u'[') && !hasLineBreak(value);
}

} // namespace

std::optional<QString> profileValue(const QByteArray &contents, const QString &section, const QString &key) {
    const QList<ProfileLine> lines = profileLines(contents);
    const KeyPlace place = findKey(lines, section, key);
    if (place.key < 0)
        return std::nullopt;
    return QString::fromLocal8Bit(withoutQuotes(lines[place.key].value));
}

std::optional<QByteArray> profileWithValue(const QByteArray &contents, const QString &section,
                                           const QString &key, const QString &value) {
    const QString trimmedSection = section.trimmed();
    const QString trimmedKey = key.trimmed();
    if (trimmedSection.isEmpty() || trimmedSection != section || hasLineBreak(section) ||
        section.contains(u']') || trimmedKey.isEmpty() || trimmedKey != key || hasLineBreak(key) ||
        key.contains(u'=') || key.startsWith(u';') || key.startsWith(u'[') || hasLineBreak(value))
        return std::nullopt;

    QByteArray valueBytes = value.toLocal8Bit();
    if (withoutQuotes(withoutBlanks(valueBytes)) != valueBytes)
        valueBytes = '"' + valueBytes + '"';

    const QList<ProfileLine> lines = profileLines(contents);
    const KeyPlace place = findKey(lines, section, key);
    if (place.key >= 0) {
        const ProfileLine &line = lines[place.key];
        return contents.left(line.start) + line.name + '=' + valueBytes + "\r\n" + contents.mid(line.next);
    }
    const QByteArray keyLine = key.toLocal8Bit() + '=' + valueBytes + "\r\n";
    if (place.section >= 0) {
        const ProfileLine &after = lines[place.lastKey >= 0 ? place.lastKey : place.section];
        // The line we follow may be the file's last and lack its line break.
        const QByteArray lineBreak = after.next == after.end ? "\r\n" : "";
        return contents.left(after.next) + lineBreak + keyLine + contents.mid(after.next);
    }
    QByteArray result = contents;
    if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
        result += "\r\n";
    return result + '[' + section.toLocal8Bit() + "]\r\n" + keyLine;
}

std::optional<qint64> profileLeadingNumber(const QString &value) {
    qsizetype i = 0;
    while (i < value.size() && (value.at(i) == u' ' || value.at(i) == u'\t'))
        ++i;
    bool negative = false;
    if (i < value.size() && (value.at(i) == u'+' || value.at(i) == u'-'))
        negative = value.at(i++) == u'-';
    const qsizetype firstDigit = i;
    quint64 magnitude = 0;
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    for (; i < value.size() && value.at(i) >= u'0' && value.at(i) <= u'9'; ++i) {
        const quint64 digit = value.at(i).unicode() - u'0';
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    if (i == firstDigit)
        return std::nullopt;
    if (negative)
        return magnitude == limit ? std::numeric_limits<qint64>::min() : -qint64(magnitude);
    return qint64(magnitude);
}

std::optional<QByteArray> profileWithValues(const QByteArray &contents, const QString &section,
                                            const ProfileValues &values, QStringList *refused) {
    if (!sectionStorable(section))
        return std::nullopt;
    // Each key once, where it was first given, with the value given last (as writing the same key
    // twice leaves it).
    struct Entry {
        QString key;
        QByteArray value;
        qsizetype line = -1; // the key's line in the section, or -1: a new key
    };
    QList<Entry> entries;
    QHash<QString, qsizetype> entryOf; // case-folded key -> index in entries
    for (const auto &[key, value] : values) {
        if (!keyStorable(key, value)) {
            if (refused)
                refused->append(key);
            continue;
        }
        const QString folded = key.toCaseFolded();
        const auto found = entryOf.constFind(folded);
        if (found != entryOf.cend()) {
            entries[*found].value = valueBytesFor(value);
            continue;
        }
        entryOf.insert(folded, entries.size());
        entries.append({key, valueBytesFor(value)});
    }
    if (entries.isEmpty())
        return contents;

    const QList<ProfileLine> lines = profileLines(contents);
    qsizetype sectionLine = -1;
    qsizetype lastKey = -1;
    QHash<qsizetype, qsizetype> entryAtLine; // line -> entry written there
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (sectionLine < 0) {
            if (lines[i].kind == ProfileLine::Section && sameName(lines[i].name, section))
                sectionLine = i;
            continue;
        }
        if (lines[i].kind == ProfileLine::Section)
            break;
        if (lines[i].kind != ProfileLine::Key)
            continue;
        lastKey = i;
        const auto found = entryOf.constFind(QString::fromLocal8Bit(lines[i].name).toCaseFolded());
        if (found != entryOf.cend() && entries[*found].line < 0) {
            entries[*found].line = i;
            entryAtLine.insert(i, *found);
        }
    }
    QByteArray newKeys; // in the order given, after the section's last key
    for (const Entry &entry : std::as_const(entries)) {
        if (entry.line < 0)
            newKeys += entry.key.toLocal8Bit() + '=' + entry.value + "\r\n";
    }

    if (sectionLine < 0) {
        QByteArray result = contents;
        if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
            result += "\r\n";
        return result + '[' + section.toLocal8Bit() + "]\r\n" + newKeys;
    }
    const qsizetype insertAfter = lastKey >= 0 ? lastKey : sectionLine;
    QByteArray result;
    result.reserve(contents.size() + newKeys.size() + 64 * entries.size());
    qsizetype copiedTo = 0; // the bytes of contents before this are in result
    const auto copyUpTo = [&](qsizetype pos) {
        result += QByteArrayView(contents).sliced(copiedTo, pos - copiedTo);
        copiedTo = pos;
    };
    for (qsizetype i = sectionLine; i <= insertAfter; ++i) {
        const ProfileLine &line = lines[i];
        const auto entry = entryAtLine.constFind(i);
        if (entry != entryAtLine.cend()) {
            copyUpTo(line.start);
            result += line.name + '=' + entries[*entry].value + "\r\n";
            copiedTo = line.next;
        }
        if (i == insertAfter && !newKeys.isEmpty()) {
            copyUpTo(std::max(copiedTo, line.next));
            // The line we follow may be the file's last and lack its line break (a rewritten key
            // line has one).
            if (line.next == line.end && entry == entryAtLine.cend())
                result += "\r\n";
            result += newKeys;
        }
    }
    copyUpTo(contents.size());
    return result;
}

QHash<QString, QString> profileSectionValues(const QByteArray &contents, const QString &section,
                                             QHash<QString, QString> *settled) {
    // One pass that stops where the section ends, with no copy of the lines it passes over: a
    // large file is read at start-up without delay.
    QHash<QString, QString> values;
    const char *const data = contents.constData();
    qsizetype pos = contents.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    bool inSection = false;
    while (pos < contents.size()) {
        const qsizetype start = pos;
        const char *const lineEnd = static_cast<const char *>(
            std::find_if(data + pos, data + contents.size(), [](char c) { return c == '\r' || c == '\n'; }));
        pos = lineEnd - data;
        const QByteArrayView text = withoutBlanks(QByteArrayView(data + start, pos - start));
        if (pos < contents.size() && data[pos] == '\r')
            ++pos;
        if (pos < contents.size() && data[pos] == '\n')
            ++pos;
        if (text.startsWith('[')) {
            if (inSection)
                break; // only the first section of that name counts
            const qsizetype close = text.indexOf(']');
            inSection =
                sameName(withoutBlanks(text.sliced(1, close < 0 ? text.size() - 1 : close - 1)).toByteArray(),
                         section);
            continue;
        }
        const qsizetype equals = text.indexOf('=');
        if (!inSection || text.startsWith(';') || equals <= 0)
            continue;
        const QByteArray name = withoutBlanks(text.first(equals)).toByteArray();
        const QString folded = QString::fromLocal8Bit(name).toCaseFolded();
        if (values.contains(folded))
            continue; // the first of duplicate keys wins
        const QString value =
            QString::fromLocal8Bit(withoutQuotes(withoutBlanks(text.sliced(equals + 1)).toByteArray()));
        values.insert(folded, value);
        // Settled: the line is exactly what writing this value would leave.
        if (settled &&
            QByteArrayView(data + start, pos - start) == name + '=' + valueBytesFor(value) + "\r\n")
            settled->insert(folded, value);
    }
    return values;
}

std::optional<QByteArray> profileFileBytes(const QString &fileName, QString *error) {
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    const QFileInfo info(fileName);
    if (!info.exists() && !info.isSymLink())
        return QByteArray();
    // A device or a pipe would never end (or never start) being read.
    if (!info.isFile())
        return fail(info.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("not a regular file"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    return bytes;
}

namespace {

// The file a write lands in: links followed to their end, as QSaveFile follows them.
QString writeTarget(const QString &fileName) {
    QFileInfo info(fileName);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? fileName : info.filePath();
}

// Writes bytes over the file where it stands, without emptying it first: should any step fail,
// the old bytes go back into the blocks the file already holds, so a full disk cannot stop that.
bool writeInPlace(const QString &fileName, const QByteArray &bytes, QString *error) {
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) // read-write does not truncate
        return fail(file.errorString());
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    const auto put = [&file](const QByteArray &contents) {
        return file.seek(0) && file.write(contents) == contents.size() && file.resize(contents.size());
    };
    if (put(bytes))
        return true;
    const QString reason = file.error() != QFileDevice::NoError
                               ? file.errorString()
                               : QStringLiteral("the file could not be written in full (disk full)");
    if (!put(old))
        return fail(reason + QStringLiteral("; its old contents could not be put back"));
    return fail(reason);
}

} // namespace

bool fileReplace(const QString &fileName, const QByteArray &bytes, QString *error) {
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    // The folder that matters is the link target's: that is where the new file has to be made.
    const QString target = writeTarget(fileName);
    const QFileInfo info(target);
    const bool inPlacePossible = info.isFile() && info.isWritable();
    // Unbuffered, so that a short write (disk full) shows in write()'s count: a buffered
    // QSaveFile can commit a cut-off file without noticing. Its own in-place fallback empties the
    // file first; ours keeps the old bytes to put back.
    QSaveFile file(target);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return inPlacePossible ? writeInPlace(target, bytes, error) : fail(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("the file could not be written in full (disk full)");
        file.cancelWriting();
        return fail(reason);
    }
    if (file.commit())
        return true;
    // A folder may take new files yet refuse the rename over this one (a sticky folder, a file of
    // another user).
    return inPlacePossible ? writeInPlace(target, bytes, error) : fail(file.errorString());
}

QString settingsFileNameFor(const QString &programFileName) {
    QString name = programFileName;
    if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        name.chop(4);
    return name + QStringLiteral(".ini");
}

QString ProfileStringGet(const QString &SectionName, const QString &KeyName, const QString &DefaultValue,
                         const QString &ProfileFileName) {
    return profileValue(profileFileBytes(ProfileFileName).value_or(QByteArray()), SectionName, KeyName)
        .value_or(DefaultValue);
}

qint64 ProfileIntGet(const QString &SectionName, const QString &KeyName, qint64 DefaultValue,
                     const QString &ProfileFileName) {
    const std::optional<QString> value =
        profileValue(profileFileBytes(ProfileFileName).value_or(QByteArray()), SectionName, KeyName);
    if (!value)
        return DefaultValue;
    return profileLeadingNumber(*value).value_or(DefaultValue);
}

bool ProfileStringWrite(const QString &SectionName, const QString &KeyName, const QString &Value,
                        const QString &ProfileFileName) {
    QStringList refused;
    return ProfileStringsWrite(SectionName, {{KeyName, Value}}, ProfileFileName, nullptr, &refused) &&
           refused.isEmpty();
}

bool ProfileStringsWrite(const QString &SectionName, const ProfileValues &Values,
                         const QString &ProfileFileName, QString *error, QStringList *refused) {
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    // A file that exists but cannot be read must not be replaced by one holding only these keys.
    QString readError;
    const std::optional<QByteArray> before = profileFileBytes(ProfileFileName, &readError);
    if (!before)
        return fail(readError);
    const std::optional<QByteArray> after = profileWithValues(*before, SectionName, Values, refused);
    if (!after)
        return fail(QStringLiteral("the section name cannot be stored"));
    const bool exists = QFileInfo(ProfileFileName).isFile();
    if (*after == *before && exists)
        return true;
    return fileReplace(ProfileFileName, *after, error);
}
