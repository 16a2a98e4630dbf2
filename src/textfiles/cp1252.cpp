#include "textfiles/cp1252.h"

namespace {

// Characters of the bytes 0x80 to 0x9F; the undefined ones keep their own number.
constexpr char16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98
};

// The byte of character c, or -1 when it has none.
int cp1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i) {
        if (HighControls[i] == c)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

QString fromCp1252(const QByteArray &bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char b : bytes) {
        const auto u = static_cast<quint8>(b);
        *out++ = QChar(u >= 0x80 && u < 0xA0 ? HighControls[u - 0x80] : char16_t(u));
    }
    return text;
}

bool cp1252Has(QChar c) {
    return cp1252Byte(c.unicode()) >= 0;
}

qsizetype cp1252FirstUnencodable(const QString &text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (cp1252Byte(text.at(i).unicode()) < 0)
            return i;
    }
    return -1;
}

std::optional<QByteArray> toCp1252(const QString &text, QChar *unencodable) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = cp1252Byte(text.at(i).unicode());
        if (b < 0) {
            if (unencodable)
                *unencodable = text.at(i);
            return std::nullopt;
        }
        bytes[i] = static_cast<char>(b);
    }
    return bytes;
}
