// The payload encoders of the programming sections, byte for byte.

#include "programming/encoders.h"
#include "textfiles/cp1252.h"

#include <QLocale>
#include <QStringDecoder>
#include <QTest>

#include <clocale>

// Blanks between the bytes are skipped.
const auto hex = [](const char *text) { return QByteArray::fromHex(text); };

class TestEncoders : public QObject {
    Q_OBJECT
private slots:
    void dateTime_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QByteArray>("payload"); // as hex text, to show which byte differs
        const auto row = [](const char *name, QDate date, QTime time, const char *bytes) {
            QTest::newRow(name) << QDateTime(date, time) << hex(bytes).toHex(' ');
        };
        row("Thursday", QDate(2009, 12, 31), QTime(23, 59, 59), "59 00 59 00 23 00 05 31 12 09");
        row("Sunday", QDate(2012, 1, 1), QTime(0, 0, 0), "00 00 00 00 00 00 01 01 01 12");
        row("one BCD byte per value", QDate(2021, 8, 7), QTime(7, 5, 9), "09 00 05 00 07 00 07 07 08 21");
        row("year 2000", QDate(2000, 2, 29), QTime(12, 30, 45), "45 00 30 00 12 00 03 29 02 00");
        row("year 2100", QDate(2100, 10, 19), QTime(19, 48, 10), "10 00 48 00 19 00 03 19 10 00");
    }

    void dateTime() {
        QFETCH(QDateTime, when);
        QTEST(dateTimePayload(when).toHex(' '), "payload");
    }

    void gameNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes"); // empty: not a game number
        // "1234", "7", "ABCDE" and "" as packed BCD: in the device's memory after test_programrun's full run.
        QTest::newRow("mixed case") << "aB0f" << hex("0F AB");
        QTest::newRow("junk before the last four") << "x-!1234" << hex("34 12");
        QTest::newRow("letter after F") << "12G4" << QByteArray();
        QTest::newRow("blank") << " 123" << QByteArray();
        QTest::newRow("non-ASCII digits") << QString::fromUtf8("\u0661\u0662") << QByteArray();
    }

    void gameNumber() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(gameNumberBytes(text).value_or(QByteArray()).toHex(' '), bytes.toHex(' '));
    }

    void printerRows_data() {
        QTest::addColumn<int>("printerType");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QByteArray>("profile"); // as hex text
        // The profile table as the device documentation gives it: byte 0, then five strings.
        const auto row = [](const char *name, int type, int baud, const char *bytes) {
            QTest::newRow(name) << type << baud << hex(bytes).toHex(' ');
        };
        row("Citizen", 0, 0, "0A 01 13 00 00 03 1B 50 00 01 0E 00 00 01 0F 00 00 00 00 00 00 00");
        row("Epson 267", 1, 1, "0A 03 1B 72 01 02 1B 69 00 03 1C 57 01 03 1C 57 00 03 1B 72 00 01");
        row("Epson 267II", 2, 1, "0A 03 1B 72 01 02 1B 69 00 03 1B 21 21 03 1B 21 01 03 1B 72 00 01");
        row("Ithaca", 3, 0, "0D 00 00 00 00 01 19 00 00 01 0E 00 00 01 14 00 00 00 00 00 00 00");
        row("Citizen 3535", 4, 0, "0A 01 12 00 00 00 00 00 00 01 0E 00 00 01 0F 00 00 00 00 00 00 00");
        row("Samsung SRP-270", 5, 1, "0A 03 1B 72 01 00 00 00 00 03 1B 45 01 03 1B 45 00 03 1B 72 00 01");
        row("CBM1000", 6, 0, "0A 00 00 00 00 03 1D 56 01 03 1B 45 01 03 1B 45 00 00 00 00 00 00");
        QTest::newRow("unknown model") << 7 << 1 << (hex("00").repeated(21) + hex("01")).toHex(' ');
        QTest::newRow("negative model") << -1 << 0 << QByteArray(22, '\0').toHex(' ');
    }

    void printerRows() {
        QFETCH(int, printerType);
        QFETCH(int, baud);
        QTEST(printerProfile(printerType, baud).toHex(' '), "profile");
    }

    void codePage() {
        // Every byte Windows-1252 defines means the same character as in Qt's own codec (ICU), both
        // ways; the five undefined bytes come back as the control character of the same number.
        QStringDecoder qtDecoder("windows-1252");
        QVERIFY(qtDecoder.isValid());
        for (int b = 0; b < 256; ++b) {
            const QByteArray byte(1, char(b));
            const QString mine = fromCp1252(byte);
            const bool undefined = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
            const QString expected = undefined ? QString(QChar(b)) : QString(qtDecoder.decode(byte));
            QVERIFY2(mine == expected, qPrintable(QStringLiteral("byte %1").arg(b, 2, 16)));
            QCOMPARE(toCp1252(mine).value_or(QByteArray()), byte);
        }
    }

    void textBlocks_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("prepared"); // the bytes the blocks carry, before padding
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("notSent");
        QTest::addColumn<QString>("badChar"); // non-empty: the text cannot be sent
        const QByteArray a = QByteArray("abcdefghijklmnopqrstuvwxyz").repeated(24); // so blocks differ
        const auto first = [&a](int n) { return QString::fromLatin1(a.left(n)); };
        QTest::newRow("0") << QString() << QByteArray() << 1 << 0 << "";
        QTest::newRow("256") << first(256) << a.left(256) << 1 << 0 << "";
        QTest::newRow("257") << first(257) << a.left(257) << 2 << 0 << "";
        QTest::newRow("512") << first(512) << a.left(512) << 2 << 0 << "";
        QTest::newRow("600") << first(600) << a.left(512) << 2 << 88 << "";
        QTest::newRow("CR LF to CR") << "AB\r\nCD" << hex("41 42 0D 43 44") << 1 << 0 << "";
        QTest::newRow("CR CR LF, CR at the end") << "\r\r\nA\r" << QByteArray("\r\rA\r") << 1 << 0 << "";
        // Every line break the box can show goes out as one CR, whatever it was typed or loaded as.
        QTest::newRow("lone LF, LF CR") << "A\nB\n\r" << QByteArray("A\rB\r\r") << 1 << 0 << "";
        QTest::newRow("line and paragraph separators")
            << QString::fromUtf8("A\u2028B\u2029") << QByteArray("A\rB\r") << 1 << 0 << "";
        QTest::newRow("CR LF costs one byte") << first(255) + "\r\n" << a.left(255) + '\r' << 1 << 0 << "";
        QTest::newRow("Windows-1252") << QString::fromUtf8("5 \u20AC caf\u00E9 \u2014 \u0160")
                                      << hex("35 20 80 20 63 61 66 E9 20 97 20 8A") << 1 << 0 << "";
        QTest::newRow("no code") << QString::fromUtf8("left \u2192 right") << QByteArray() << 0 << 0
                                 << QString::fromUtf8("\u2192");
        QTest::newRow("no code, surrogate pair") << QString::fromUtf8("smile \U0001F600") << QByteArray() << 0
                                                 << 0 << QString::fromUtf8("\U0001F600");
    }

    void textBlocks() {
        QFETCH(QString, text);
        QFETCH(QByteArray, prepared);
        QFETCH(int, blocks);
        QFETCH(QString, badChar);
        QString bad;
        const std::optional<TextBlocks> result = ::textBlocks(text, &bad);
        QCOMPARE(bad, badChar);
        QCOMPARE(result.has_value(), badChar.isEmpty());
        if (!result)
            return;
        QCOMPARE(result->blocks.size(), blocks);
        QTEST(result->charactersNotSent, "notSent");
        for (int b = 0; b < blocks; ++b)
            QCOMPARE(result->blocks.at(b), prepared.mid(b * 256, 256).leftJustified(256, '\0'));
    }

    void bonusValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("scaled");
        QTest::addColumn<int>("error");
        QTest::addColumn<qint32>("value");
        const int ok = int(BonusError::None);
        const int nan = int(BonusError::NotANumber);
        QTest::newRow("1.00") << "1.00" << true << ok << 100;
        QTest::newRow("odds 5000") << "5000" << false << ok << 5000;
        QTest::newRow("50.00") << "50.00" << true << ok << 5000;
        QTest::newRow("12.345 half to even") << "12.345" << true << ok << 1234;
        QTest::newRow("odds 2.5") << "2.5" << false << ok << 2;
        QTest::newRow("odds 1.5") << "1.5" << false << ok << 2;
        QTest::newRow("odds 0.5") << "0.5" << false << ok << 0;
        QTest::newRow("1.15") << "1.15" << true << ok << 115;
        QTest::newRow("odds 99999999") << "99999999" << false << ok << 100000000;
        QTest::newRow("point first, blanks, sign") << " +.5 " << true << ok << 50;
        QTest::newRow("tiny") << "0." + QString(50, '0') + "1" << true << ok << 0;
        QTest::newRow("just fits after scaling") << "21474830" << true << ok << 2147483008;
        QTest::newRow("two points") << "1.2.3" << true << nan << 0;
        QTest::newRow("comma") << "1,5" << true << nan << 0;
        QTest::newRow("exponent") << "1e3" << false << nan << 0;
        QTest::newRow("point alone") << "." << true << nan << 0;
        QTest::newRow("non-ASCII digits") << QString::fromUtf8("\u0661\u0662") << false << nan << 0;
        QTest::newRow("2^31 odds") << "2147483647" << false << int(BonusError::OutOfRange) << 0;
        QTest::newRow("too large after scaling") << "21474840" << true << int(BonusError::OutOfRange) << 0;
        QTest::newRow("beyond float") << QString(60, '9') << false << int(BonusError::OutOfRange) << 0;
    }

    void bonusValue() {
        QFETCH(QString, text);
        QFETCH(bool, scaled);
        QFETCH(int, error);
        QFETCH(qint32, value);
        // Read the same in a comma-decimal region: "1.00" stays one, "1,5" stays no number.
        const std::string previous = std::setlocale(LC_ALL, nullptr);
        for (const char *region : {"C", "de_DE.UTF-8"}) {
            std::setlocale(LC_ALL, region);
            QLocale::setDefault(QLocale(QString::fromLatin1(region)));
            BonusError reason = BonusError::Negative;
            const std::optional<qint32> result = ::bonusValue(text, scaled, &reason);
            QCOMPARE(int(reason), error);
            QCOMPARE(result.value_or(-1), error == int(BonusError::None) ? value : -1);
        }
        std::setlocale(LC_ALL, previous.c_str());
        QLocale::setDefault(QLocale::system());
    }
};

QTEST_GUILESS_MAIN(TestEncoders)
#include "test_encoders.moc"
