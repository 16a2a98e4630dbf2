#include "programming/encoders.h"
#include "textfiles/cp1252.h"
#include "textfiles/texthelpers.h"

#include <QDate>
#include <QTime>

#include <charconv>
#include <cmath>
#include <string>

quint8 toBcd(int v) {
    return static_cast<quint8>((v / 10) * 16 + v % 10);
}

QByteArray dateTimePayload(const QDateTime &now) {
    const QDate date = now.date();
    const QTime time = now.time();
    // Qt counts Monday as 1 and Sunday as 7; the device's clock counts Sunday as 1.
    const int weekday = date.dayOfWeek() % 7 + 1;
    QByteArray payload(10, '\0');
    payload[0] = char(toBcd(time.second()));
    payload[2] = char(toBcd(time.minute()));
    payload[4] = char(toBcd(time.hour()));
    payload[6] = char(toBcd(weekday));
    payload[7] = char(toBcd(date.day()));
    payload[8] = char(toBcd(date.month()));
    payload[9] = char(toBcd(date.year() % 100));
    return payload;
}

namespace {

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

} // namespace

std::optional<QByteArray> gameNumberBytes(const QString &text) {
    const QString digits = text.right(4).rightJustified(4, QLatin1Char('0'));
    int value[4];
    for (int i = 0; i < 4; ++i) {
        value[i] = hexDigit(digits.at(i));
        if (value[i] < 0)
            return std::nullopt;
    }
    QByteArray bytes;
    bytes.append(char(value[2] * 16 + value[3]));
    bytes.append(char(value[0] * 16 + value[1]));
    return bytes;
}

std::optional<QByteArray> optionsGamePayload(quint8 options, const QStringList &gameNumbers, int *badGame) {
    QByteArray payload;
    payload.append(char(options));
    payload.append(20, '\0');
    for (int i = 0; i < 5; ++i) {
        const std::optional<QByteArray> bytes = gameNumberBytes(gameNumbers.value(i));
        if (!bytes) {
            if (badGame)
                *badGame = i;
            return std::nullopt;
        }
        payload.append(*bytes);
    }
    payload.append(50, '\0');
    return payload;
}

namespace {

// Bytes 0 to 20 of each printer model: the line-end byte, then five control strings, each a
// length byte and three string bytes.
constexpr quint8 printerProfiles[printerModelCount][21] = {
    // Citizen
    {0x0A, 0x01, 0x13, 0x00, 0x00, 0x03, 0x1B, 0x50, 0x00, 0x01, 0x0E,
     0x00, 0x00, 0x01, 0x0F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    // Epson 267
    {0x0A, 0x03, 0x1B, 0x72, 0x01, 0x02, 0x1B, 0x69, 0x00, 0x03, 0x1C,
     0x57, 0x01, 0x03, 0x1C, 0x57, 0x00, 0x03, 0x1B, 0x72, 0x00},
    // Epson 267II
    {0x0A, 0x03, 0x1B, 0x72, 0x01, 0x02, 0x1B, 0x69, 0x00, 0x03, 0x1B,
     0x21, 0x21, 0x03, 0x1B, 0x21, 0x01, 0x03, 0x1B, 0x72, 0x00},
    // Ithaca
    {0x0D, 0x00, 0x00, 0x00, 0x00, 0x01, 0x19, 0x00, 0x00, 0x01, 0x0E,
     0x00, 0x00, 0x01, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    // Citizen 3535
    {0x0A, 0x01, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x0E,
     0x00, 0x00, 0x01, 0x0F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    // Samsung SRP-270
    {0x0A, 0x03, 0x1B, 0x72, 0x01, 0x00, 0x00, 0x00, 0x00, 0x03, 0x1B,
     0x45, 0x01, 0x03, 0x1B, 0x45, 0x00, 0x03, 0x1B, 0x72, 0x00},
    // CBM1000
    {0x0A, 0x00, 0x00, 0x00, 0x00, 0x03, 0x1D, 0x56, 0x01, 0x03, 0x1B,
     0x45, 0x01, 0x03, 0x1B, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00},
};

} // namespace

QByteArray printerProfile(qint32 printerType, qint32 printerBaudRate) {
    QByteArray profile(22, '\0');
    if (printerType >= 0 && printerType < printerModelCount) {
        for (int i = 0; i < 21; ++i)
            profile[i] = char(printerProfiles[printerType][i]);
    }
    profile[21] = char(quint8(printerBaudRate));
    return profile;
}

QString deviceLineEnds(const QString &text) {
    // Every line break the box shows becomes one CR: CR LF, a lone CR, a lone LF and the Unicode
    // line and paragraph separators alike. A lone LF would otherwise reach the device as 0x0A,
    // though the operator saw it as a line break like any other.
    QString prepared;
    prepared.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (isLineBreak(c)) {
            prepared.append(u'\r');
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else {
            prepared.append(c);
        }
    }
    return prepared;
}

std::optional<TextBlocks> textBlocks(const QString &boxText, QString *badChar) {
    const QString prepared = deviceLineEnds(boxText);
    const std::optional<QByteArray> bytes = toCp1252(prepared);
    if (!bytes) {
        if (badChar) {
            // The whole character, both halves of a surrogate pair, so the log can name it.
            *badChar = characterAt(prepared, cp1252FirstUnencodable(prepared));
        }
        return std::nullopt;
    }
    TextBlocks result;
    const int capacity = textBlockSize * textBlockCount;
    result.charactersNotSent = int(qMax<qsizetype>(0, bytes->size() - capacity));
    // Block 1 always goes out, empty text included; block 2 only when the text needs it.
    for (int block = 0; block < textBlockCount; ++block) {
        const qsizetype start = qsizetype(block) * textBlockSize;
        if (block > 0 && bytes->size() <= start)
            break;
        QByteArray payload = bytes->mid(start, textBlockSize);
        payload.append(textBlockSize - payload.size(), '\0');
        result.blocks.append(payload);
    }
    return result;
}

std::optional<qint32> bonusValue(const QString &text, bool scaleBy100, BonusError *error) {
    const auto fail = [error](BonusError reason) -> std::optional<qint32> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (error)
        *error = BonusError::None;

    // A plain decimal, read the same way whatever the regional settings: blanks around it, an
    // optional sign, digits with at most one point and at least one digit.
    const QString trimmed = text.trimmed();
    qsizetype pos = 0;
    bool negative = false;
    if (pos < trimmed.size() &&
        (trimmed.at(pos) == QLatin1Char('-') || trimmed.at(pos) == QLatin1Char('+'))) {
        negative = trimmed.at(pos) == QLatin1Char('-');
        ++pos;
    }
    std::string number;
    int points = 0;
    int digits = 0;
    for (; pos < trimmed.size(); ++pos) {
        const char16_t u = trimmed.at(pos).unicode();
        if (u >= '0' && u <= '9') {
            ++digits;
        } else if (u == '.') {
            ++points;
        } else {
            return fail(BonusError::NotANumber);
        }
        number.push_back(char(u));
    }
    if (digits == 0 || points > 1)
        return fail(BonusError::NotANumber);

    // std::from_chars rounds the decimal correctly to single precision in one step, without the
    // double rounding of a detour through double and without looking at the locale.
    float value = 0.0f;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too large for a float, or so small that it is zero for the device.
        const std::string whole = number.substr(0, number.find('.'));
        if (whole.find_first_not_of('0') != std::string::npos)
            return fail(negative ? BonusError::Negative : BonusError::OutOfRange);
        value = 0.0f;
    } else if (ec != std::errc() || end != number.data() + number.size()) {
        return fail(BonusError::NotANumber);
    }
    if (negative)
        value = -value;

    // The volatile store rounds the product to single precision even where the compiler would
    // keep it wider, so 12.345 x 100 is 1234.5 everywhere and rounds to 1234.
    volatile float scaled = scaleBy100 ? value * 100.0f : value;
    const float rounded = std::nearbyint(static_cast<float>(scaled)); // half to even
    if (rounded < 0.0f)
        return fail(BonusError::Negative);
    if (!(rounded < 2147483648.0f))
        return fail(BonusError::OutOfRange);
    return static_cast<qint32>(rounded);
}

std::optional<QByteArray> bonusPayload(const QStringList &texts, int *badField, BonusError *error) {
    QByteArray payload;
    for (int i = 0; i < 4; ++i) {
        const std::optional<qint32> value = bonusValue(texts.value(i), i != 1, error);
        if (!value) {
            if (badField)
                *badField = i;
            return std::nullopt;
        }
        payload.append(littleEndian32(quint32(*value)));
    }
    return payload;
}

QByteArray littleEndian32(quint32 v) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((v >> (8 * i)) & 0xFF);
    return bytes;
}
