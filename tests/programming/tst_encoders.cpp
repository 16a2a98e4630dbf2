// The payload encoders of the programming sections, byte for byte.

#include "programming/encoders.h"

#include <QLocale>
#include <QTest>

#include <clocale>

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

} // namespace

class TestEncoders : public QObject {
    Q_OBJECT
private slots:
    void dateTime_data();
    void dateTime();

    void gameNumber_data();
    void gameNumber();
    void optionsGameLayout();
    void optionsGameBadGame();

    void printerRows_data();
    void printerRows();
    void printerTableShape();

    void lineEnds_data();
    void lineEnds();
    void textBlockSizes_data();
    void textBlockSizes();
    void textWindows1252();

    void bonusValue_data();
    void bonusValue();
    void bonusIgnoresRegionalSettings();
    void bonusPayloadDefaults();
    void bonusPayloadNamesBadField();
};

void TestEncoders::dateTime_data() {
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("Thursday 2009-12-31 23:59:59")
        << QDateTime(QDate(2009, 12, 31), QTime(23, 59, 59)) << hex("59 00 59 00 23 00 05 31 12 09");
    QTest::newRow("Sunday 2012-01-01 00:00:00")
        << QDateTime(QDate(2012, 1, 1), QTime(0, 0, 0)) << hex("00 00 00 00 00 00 01 01 01 12");
    QTest::newRow("one BCD byte per value")
        << QDateTime(QDate(2021, 8, 7), QTime(7, 5, 9)) << hex("09 00 05 00 07 00 07 07 08 21");
    QTest::newRow("year 2000") << QDateTime(QDate(2000, 2, 29), QTime(12, 30, 45))
                               << hex("45 00 30 00 12 00 03 29 02 00");
    QTest::newRow("year 2100") << QDateTime(QDate(2100, 10, 19), QTime(19, 48, 10))
                               << hex("10 00 48 00 19 00 03 19 10 00");
}

void TestEncoders::dateTime() {
    QFETCH(QDateTime, when);
    QFETCH(QByteArray, payload);
    QCOMPARE(dateTimePayload(when).toHex(' '), payload.toHex(' '));
}

void TestEncoders::gameNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << "" << true << hex("00 00");
    QTest::newRow("1234 as packed BCD") << "1234" << true << hex("34 12");
    QTest::newRow("two digits") << "12" << true << hex("12 00");
    QTest::newRow("one digit") << "7" << true << hex("07 00");
    QTest::newRow("lower case") << "abcd" << true << hex("CD AB");
    QTest::newRow("mixed case") << "aB0f" << true << hex("0F AB");
    QTest::newRow("last four of five") << "ABCDE" << true << hex("DE BC");
    QTest::newRow("junk before the last four") << "x-!1234" << true << hex("34 12");
    QTest::newRow("letter after F") << "12G4" << false << QByteArray();
    QTest::newRow("blank") << " 123" << false << QByteArray();
    QTest::newRow("sign") << "-12" << false << QByteArray();
    QTest::newRow("non-ASCII digits") << QString::fromUtf8("\u0661\u0662") << false << QByteArray();
}

void TestEncoders::gameNumber() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QByteArray, bytes);
    const std::optional<QByteArray> encoded = gameNumberBytes(text);
    QCOMPARE(encoded.has_value(), valid);
    if (valid)
        QCOMPARE(encoded->toHex(' '), bytes.toHex(' '));
}

void TestEncoders::optionsGameLayout() {
    const std::optional<QByteArray> payload = optionsGamePayload(0x0B, {"1234", "", "abcd", "7", "ABCDE"});
    QVERIFY(payload);
    QCOMPARE(payload->size(), 81);
    QCOMPARE(quint8(payload->at(0)), quint8(0x0B));
    QCOMPARE(payload->mid(1, 20), QByteArray(20, '\0'));
    QCOMPARE(payload->mid(21, 10).toHex(' '), hex("34 12 00 00 CD AB 07 00 DE BC").toHex(' '));
    QCOMPARE(payload->mid(31), QByteArray(50, '\0'));

    const std::optional<QByteArray> empty = optionsGamePayload(0xFF, {"", "", "", "", ""});
    QVERIFY(empty);
    QCOMPARE(empty->size(), 81);
    QCOMPARE(empty->mid(21, 10), QByteArray(10, '\0'));
}

void TestEncoders::optionsGameBadGame() {
    int badGame = -1;
    QVERIFY(!optionsGamePayload(0, {"1111", "2222", "33 3", "zzzz", "5555"}, &badGame));
    QCOMPARE(badGame, 2); // the first one that fails
}

void TestEncoders::printerRows_data() {
    QTest::addColumn<int>("printerType");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QByteArray>("profile");
    QTest::newRow("Ithaca at 1200")
        << 3 << 0 << hex("0D 00 00 00 00 01 19 00 00 01 0E 00 00 01 14 00 00 00 00 00 00 00");
    QTest::newRow("Epson 267II at 9600")
        << 2 << 1 << hex("0A 03 1B 72 01 02 1B 69 00 03 1B 21 21 03 1B 21 01 03 1B 72 00 01");
    QTest::newRow("Citizen keeps ESC P 0")
        << 0 << 1 << hex("0A 01 13 00 00 03 1B 50 00 01 0E 00 00 01 0F 00 00 00 00 00 00 01");
    QTest::newRow("unknown model")
        << 7 << 1 << hex("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01");
    QTest::newRow("negative model") << -1 << 0 << QByteArray(22, '\0');
}

void TestEncoders::printerRows() {
    QFETCH(int, printerType);
    QFETCH(int, baud);
    QFETCH(QByteArray, profile);
    QCOMPARE(printerProfile(printerType, baud).toHex(' '), profile.toHex(' '));
}

void TestEncoders::printerTableShape() {
    // Every row: a line-end byte, then five strings of length 0 to 3 whose unused bytes are zero.
    for (int type = 0; type < printerModelCount; ++type) {
        const QByteArray profile = printerProfile(type, 1);
        QCOMPARE(profile.size(), 22);
        QVERIFY(profile.at(0) == '\n' || profile.at(0) == '\r');
        for (int s = 0; s < 5; ++s) {
            const int length = quint8(profile.at(1 + 4 * s));
            QVERIFY2(length <= 3, qPrintable(QStringLiteral("model %1 string %2").arg(type).arg(s + 1)));
            for (int k = length; k < 3; ++k)
                QCOMPARE(profile.at(2 + 4 * s + k), '\0');
            if (length > 0)
                QVERIFY(profile.at(2 + 4 * s) != '\0');
        }
        QCOMPARE(profile.at(21), '\1');
    }
    // No two models share a profile.
    for (int a = 0; a < printerModelCount; ++a)
        for (int b = a + 1; b < printerModelCount; ++b)
            QVERIFY(printerProfile(a, 0) != printerProfile(b, 0));
}

void TestEncoders::lineEnds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("prepared");
    QTest::newRow("CR LF to CR") << "AB\r\nCD"
                                 << "AB\rCD";
    QTest::newRow("CR at the end") << "AB\r"
                                   << "AB\r";
    QTest::newRow("lone LF stays") << "A\nB"
                                   << "A\nB";
    QTest::newRow("CR CR LF") << "\r\r\n"
                              << "\r\r";
    QTest::newRow("empty lines") << "\r\n\r\n"
                                 << "\r\r";
    QTest::newRow("LF CR") << "\n\r"
                           << "\n\r";
}

void TestEncoders::lineEnds() {
    QFETCH(QString, text);
    QFETCH(QString, prepared);
    QCOMPARE(deviceLineEnds(text), prepared);
}

void TestEncoders::textBlockSizes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("notSent");
    QTest::newRow("0") << QString() << 1 << 0;
    QTest::newRow("256") << QString(256, 'a') << 1 << 0;
    QTest::newRow("257") << QString(257, 'a') << 2 << 0;
    QTest::newRow("512") << QString(512, 'a') << 2 << 0;
    QTest::newRow("600") << QString(600, 'a') << 2 << 88;
    // Each CR LF of the box costs one byte.
    QTest::newRow("255 and CR LF") << QString(255, 'a') + "\r\n" << 1 << 0;
    QTest::newRow("510 and two CR LF") << QString(255, 'a') + "\r\n" + QString(255, 'b') + "\r\n" << 2 << 0;
}

void TestEncoders::textBlockSizes() {
    QFETCH(QString, text);
    QFETCH(int, blocks);
    QFETCH(int, notSent);
    const std::optional<TextBlocks> result = textBlocks(text);
    QVERIFY(result);
    QCOMPARE(result->blocks.size(), blocks);
    QCOMPARE(result->charactersNotSent, notSent);
    const QByteArray prepared = deviceLineEnds(text).toLatin1();
    for (int b = 0; b < blocks; ++b) {
        const QByteArray expected = prepared.mid(b * 256, 256).leftJustified(256, '\0');
        QCOMPARE(result->blocks.at(b), expected);
    }
}

void TestEncoders::textWindows1252() {
    const std::optional<TextBlocks> ab = textBlocks(QStringLiteral("AB\r\nCD"));
    QVERIFY(ab);
    QCOMPARE(ab->blocks.at(0), hex("41 42 0D 43 44") + QByteArray(251, '\0'));

    const std::optional<TextBlocks> euro = textBlocks(QString::fromUtf8("5 \u20AC caf\u00E9 \u2014 \u0160"));
    QVERIFY(euro);
    QCOMPARE(euro->blocks.at(0).left(12), hex("35 20 80 20 63 61 66 E9 20 97 20 8A"));

    QString bad;
    QVERIFY(!textBlocks(QString::fromUtf8("left \u2192 right"), &bad));
    QCOMPARE(bad, QString::fromUtf8("\u2192"));
    QVERIFY(!textBlocks(QString::fromUtf8("smile \U0001F600"), &bad));
    QCOMPARE(bad, QString::fromUtf8("\U0001F600"));
}

void TestEncoders::bonusValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("scaled");
    QTest::addColumn<int>("error");
    QTest::addColumn<qint32>("value");
    const int ok = int(BonusError::None);
    const int nan = int(BonusError::NotANumber);
    const int neg = int(BonusError::Negative);
    const int big = int(BonusError::OutOfRange);
    QTest::newRow("1.00") << "1.00" << true << ok << 100;
    QTest::newRow("odds 5000") << "5000" << false << ok << 5000;
    QTest::newRow("50.00") << "50.00" << true << ok << 5000;
    QTest::newRow("12.345 half to even") << "12.345" << true << ok << 1234;
    QTest::newRow("odds 2.5") << "2.5" << false << ok << 2;
    QTest::newRow("odds 1.5") << "1.5" << false << ok << 2;
    QTest::newRow("odds 0.5") << "0.5" << false << ok << 0;
    QTest::newRow("1.15") << "1.15" << true << ok << 115;
    QTest::newRow("odds 99999999") << "99999999" << false << ok << 100000000;
    QTest::newRow("point first") << ".5" << true << ok << 50;
    QTest::newRow("point last") << "5." << true << ok << 500;
    QTest::newRow("blanks around") << " 2.50 " << true << ok << 250;
    QTest::newRow("plus sign") << "+3" << false << ok << 3;
    QTest::newRow("tiny") << "0.000000000000000000000000000000000000000000000001" << true << ok << 0;
    QTest::newRow("largest float below 2^31") << "2147483520" << false << ok << 2147483520;
    QTest::newRow("just fits after scaling") << "21474830" << true << ok << 2147483008;
    QTest::newRow("empty") << "" << true << nan << 0;
    QTest::newRow("letters") << "abc" << true << nan << 0;
    QTest::newRow("two points") << "1.2.3" << true << nan << 0;
    QTest::newRow("comma") << "1,5" << true << nan << 0;
    QTest::newRow("exponent") << "1e3" << false << nan << 0;
    QTest::newRow("point alone") << "." << true << nan << 0;
    QTest::newRow("sign alone") << "-" << true << nan << 0;
    QTest::newRow("inner blank") << "1 000" << false << nan << 0;
    QTest::newRow("non-ASCII digits") << QString::fromUtf8("\u0661\u0662") << false << nan << 0;
    QTest::newRow("negative") << "-1" << false << neg << 0;
    QTest::newRow("negative scaled") << "-0.5" << true << neg << 0;
    QTest::newRow("2^31 odds") << "2147483647" << false << big << 0;
    QTest::newRow("too large after scaling") << "21474840" << true << big << 0;
    QTest::newRow("beyond float") << QString(60, '9') << false << big << 0;
}

void TestEncoders::bonusValue() {
    QFETCH(QString, text);
    QFETCH(bool, scaled);
    QFETCH(int, error);
    QFETCH(qint32, value);
    BonusError reason = BonusError::Negative;
    const std::optional<qint32> result = ::bonusValue(text, scaled, &reason);
    QCOMPARE(int(reason), error);
    QCOMPARE(result.has_value(), error == int(BonusError::None));
    if (result)
        QCOMPARE(*result, value);
}

void TestEncoders::bonusIgnoresRegionalSettings() {
    // A comma-decimal region must neither change how "1.15" reads nor let "1,15" through.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string previousC = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const std::optional<qint32> point = ::bonusValue(QStringLiteral("1.15"), true);
    const std::optional<qint32> comma = ::bonusValue(QStringLiteral("1,15"), true);
    std::setlocale(LC_ALL, previousC.c_str());
    QLocale::setDefault(previous);
    QCOMPARE(point, std::optional<qint32>(115));
    QVERIFY(!comma);
}

void TestEncoders::bonusPayloadDefaults() {
    const std::optional<QByteArray> payload = bonusPayload({"1.00", "5000", "50.00", "50.00"});
    QVERIFY(payload);
    QCOMPARE(payload->toHex(' '), hex("64 00 00 00 88 13 00 00 88 13 00 00 88 13 00 00").toHex(' '));
    QCOMPARE(bonusPayload({"12.345", "99999999", "1.15", "0"})->toHex(' '),
             hex("D2 04 00 00 00 E1 F5 05 73 00 00 00 00 00 00 00").toHex(' '));
}

void TestEncoders::bonusPayloadNamesBadField() {
    int badField = -1;
    BonusError error = BonusError::None;
    QVERIFY(!bonusPayload({"1.00", "5000", "", "-3"}, &badField, &error));
    QCOMPARE(badField, 2);
    QCOMPARE(error, BonusError::NotANumber);
    QVERIFY(!bonusPayload({"1.00", "-5000", "50", "50"}, &badField, &error));
    QCOMPARE(badField, 1);
    QCOMPARE(error, BonusError::Negative);
}

QTEST_GUILESS_MAIN(TestEncoders)
#include "tst_encoders.moc"
