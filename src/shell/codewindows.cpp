#include "shell/codewindows.h"

#include <QFile>
#include <QList>
#include <QSaveFile>

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

QByteArray withoutBlanks(const QByteArray &bytes) {
    qsizetype from = 0;
    qsizetype to = bytes.size();
    while (from < to && isBlank(bytes.at(from)))
        ++from;
    while (to > from && isBlank(bytes.at(to - 1)))
        --to;
    return bytes.mid(from, to - from);
}

QList<ProfileLine> profileLines(const QByteArray &bytes) {
    QList<ProfileLine> lines;
    qsizetype pos = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0; // a UTF-8 mark left by an editor
    while (pos < bytes.size()) {
        ProfileLine line;
        line.start = pos;
        while (pos < bytes.size() && bytes.at(pos) != '\r' && bytes.at(pos) != '\n')
            ++pos;
        line.end = pos;
        if (pos < bytes.size() && bytes.at(pos) == '\r')
            ++pos;
        if (pos < bytes.size() && bytes.at(pos) == '\n')
            ++pos;
        line.next = pos;

        const QByteArray text = withoutBlanks(bytes.mid(line.start, line.end - line.start));
        if (text.startsWith('[')) {
            const qsizetype close = text.indexOf(']');
            line.kind = ProfileLine::Section;
            line.name = withoutBlanks(text.mid(1, close < 0 ? -1 : close - 1));
        } else if (!text.startsWith(';')) {
            const qsizetype equals = text.indexOf('=');
            if (equals > 0) {
                line.kind = ProfileLine::Key;
                line.name = withoutBlanks(text.left(equals));
                line.value = withoutBlanks(text.mid(equals + 1));
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

// The file's bytes: empty when it does not exist, nullopt when it exists but cannot be read.
std::optional<QByteArray> fileBytes(const QString &fileName) {
    QFile file(fileName);
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
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

QString ProfileStringGet(const QString &SectionName, const QString &KeyName, const QString &DefaultValue,
                         const QString &ProfileFileName) {
    QFile file(ProfileFileName);
    if (!file.open(QIODevice::ReadOnly))
        return DefaultValue;
    return profileValue(file.readAll(), SectionName, KeyName).value_or(DefaultValue);
}

qint64 ProfileIntGet(const QString &SectionName, const QString &KeyName, qint64 DefaultValue,
                     const QString &ProfileFileName) {
    QFile file(ProfileFileName);
    if (!file.open(QIODevice::ReadOnly))
        return DefaultValue;
    const std::optional<QString> value = profileValue(file.readAll(), SectionName, KeyName);
    if (!value)
        return DefaultValue;
    return profileLeadingNumber(*value).value_or(DefaultValue);
}

bool ProfileStringWrite(const QString &SectionName, const QString &KeyName, const QString &Value,
                        const QString &ProfileFileName) {
    // A file that exists but cannot be read must not be replaced by one holding only this key.
    const std::optional<QByteArray> before = fileBytes(ProfileFileName);
    if (!before)
        return false;
    const std::optional<QByteArray> after = profileWithValue(*before, SectionName, KeyName, Value);
    if (!after)
        return false;
    if (*after == *before && QFile::exists(ProfileFileName))
        return true;
    // Unbuffered, so that a short write (disk full) shows in write()'s count: a buffered
    // QSaveFile can commit a cut-off file without noticing.
    QSaveFile file(ProfileFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(*after) != after->size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
