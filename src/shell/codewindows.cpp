#include "shell/codewindows.h"
#include "textfiles/filesafety.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <limits>

namespace {

// Every line the program writes into a profile file ends so, as Windows writes them.
constexpr char profileLineEnd[] = "\r\n";

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

// The bytes a key line holds for value, as profileWithValues writes them.
QByteArray valueBytesFor(const QString &value) {
    const QByteArray bytes = value.toLocal8Bit();
    if (withoutQuotes(withoutBlanks(bytes)) != bytes)
        return '"' + bytes + '"';
    return bytes;
}

// The names and values profileWithValues accepts.
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

namespace {

// One key to write: each key once, where it was first given, with the value given last (as
// writing the same key twice leaves it).
struct WriteEntry {
    QString key;
    QByteArray value;
    qsizetype line = -1; // the key's line in the section, or -1: a new key
};

struct WriteEntries {
    QList<WriteEntry> list;
    QHash<QString, qsizetype> byKey; // case-folded key -> index in list
};

WriteEntries writeEntries(const ProfileValues &values, QStringList *refused) {
    WriteEntries entries;
    for (const auto &[key, value] : values) {
        if (!keyStorable(key, value)) {
            if (refused)
                refused->append(key);
            continue;
        }
        const QString folded = key.toCaseFolded();
        const auto found = entries.byKey.constFind(folded);
        if (found != entries.byKey.cend()) {
            entries.list[*found].value = valueBytesFor(value);
            continue;
        }
        entries.byKey.insert(folded, entries.list.size());
        entries.list.append({key, valueBytesFor(value)});
    }
    return entries;
}

// Where the section is in the file's lines: its header, its last key, and the entries whose key
// already has a line there (line -> entry, and each such entry's line set).
struct SectionPlace {
    qsizetype header = -1;
    qsizetype lastKey = -1;
    QHash<qsizetype, qsizetype> entryAtLine;
};

SectionPlace sectionPlace(const QList<ProfileLine> &lines, const QString &section, WriteEntries &entries) {
    SectionPlace place;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (place.header < 0) {
            if (lines[i].kind == ProfileLine::Section && sameName(lines[i].name, section))
                place.header = i;
            continue;
        }
        if (lines[i].kind == ProfileLine::Section)
            break;
        if (lines[i].kind != ProfileLine::Key)
            continue;
        place.lastKey = i;
        const auto found = entries.byKey.constFind(QString::fromLocal8Bit(lines[i].name).toCaseFolded());
        if (found != entries.byKey.cend() && entries.list[*found].line < 0) {
            entries.list[*found].line = i;
            place.entryAtLine.insert(i, *found);
        }
    }
    return place;
}

// contents with the section's key lines rewritten and newKeys after its last key (or its header).
QByteArray sectionRewritten(const QByteArray &contents, const QList<ProfileLine> &lines,
                            const SectionPlace &place, const WriteEntries &entries,
                            const QByteArray &newKeys) {
    const qsizetype insertAfter = place.lastKey >= 0 ? place.lastKey : place.header;
    QByteArray result;
    result.reserve(contents.size() + newKeys.size() + 64 * entries.list.size());
    qsizetype copiedTo = 0; // the bytes of contents before this are in result
    const auto copyUpTo = [&](qsizetype pos) {
        result += QByteArrayView(contents).sliced(copiedTo, pos - copiedTo);
        copiedTo = pos;
    };
    for (qsizetype i = place.header; i <= insertAfter; ++i) {
        const ProfileLine &line = lines[i];
        const auto entry = place.entryAtLine.constFind(i);
        if (entry != place.entryAtLine.cend()) {
            copyUpTo(line.start);
            result += line.name + '=' + entries.list[*entry].value + profileLineEnd;
            copiedTo = line.next;
        }
        if (i == insertAfter && !newKeys.isEmpty()) {
            copyUpTo(std::max(copiedTo, line.next));
            // The line we follow may be the file's last and lack its line break (a rewritten key
            // line has one).
            if (line.next == line.end && entry == place.entryAtLine.cend())
                result += profileLineEnd;
            result += newKeys;
        }
    }
    copyUpTo(contents.size());
    return result;
}

} // namespace

std::optional<QByteArray> profileWithValues(const QByteArray &contents, const QString &section,
                                            const ProfileValues &values, QStringList *refused) {
    if (!sectionStorable(section))
        return std::nullopt;
    WriteEntries entries = writeEntries(values, refused);
    if (entries.list.isEmpty())
        return contents;

    const QList<ProfileLine> lines = profileLines(contents);
    const SectionPlace place = sectionPlace(lines, section, entries);
    QByteArray newKeys; // in the order given, after the section's last key
    for (const WriteEntry &entry : std::as_const(entries.list)) {
        if (entry.line < 0)
            newKeys += entry.key.toLocal8Bit() + '=' + entry.value + profileLineEnd;
    }
    if (place.header >= 0)
        return sectionRewritten(contents, lines, place, entries, newKeys);
    QByteArray result = contents;
    if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
        result += profileLineEnd;
    return result + '[' + section.toLocal8Bit() + "]\r\n" + newKeys;
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
            QByteArrayView(data + start, pos - start) == name + '=' + valueBytesFor(value) + profileLineEnd)
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
    if (const std::optional<QString> problem = regularFileProblem(info))
        return fail(*problem);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    return bytes;
}

QString settingsFileNameFor(const QString &programFileName) {
    QString name = programFileName;
    if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        name.chop(4);
    return name + QStringLiteral(".ini");
}

QString ProfileStringGet(const QString &SectionName, const QString &KeyName, const QString &DefaultValue,
                         const QString &ProfileFileName) {
    const QHash<QString, QString> values =
        profileSectionValues(profileFileBytes(ProfileFileName).value_or(QByteArray()), SectionName);
    return values.value(KeyName.toCaseFolded(), DefaultValue);
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
