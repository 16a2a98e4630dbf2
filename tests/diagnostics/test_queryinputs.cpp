// The dump's inputs and the version query's text, without a device.
#include "diagnostics/queries.h"

#include <QTest>

class TestQueryInputs : public QObject {
    Q_OBJECT
private slots:
    // 1A2, 8000, count 0, 252 and 253, and version 3.10: through the window in test_diagnostics.
    void dumpInput_data() {
        QTest::addColumn<bool>("isAddress"); // else the count
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // -1: refused
        QTest::newRow("address lower case") << true << "ff" << 0xFF;
        QTest::newRow("address highest, leading zeros") << true << "0007fff" << 0x7FFF;
        QTest::newRow("address blanks around") << true << " 10 " << 0x10;
        QTest::newRow("address, leading zeros beyond eight digits") << true << "00000000001A2" << 0x1A2;
        QTest::newRow("address empty") << true << "" << -1;
        QTest::newRow("address 0x prefix") << true << "0x10" << -1;
        QTest::newRow("address fullwidth digit") << true << QString(QChar(0xFF11)) << -1;
        QTest::newRow("address huge") << true << "123456789ABCDEF" << -1;
        QTest::newRow("count, leading zeros") << false << "000000000016" << 16;
        QTest::newRow("count zero, many digits") << false << "0000000000" << 0;
        QTest::newRow("count negative") << false << "-1" << -1;
        QTest::newRow("count empty") << false << "" << -1;
        QTest::newRow("count fraction") << false << "1.5" << -1;
        QTest::newRow("count hex digits") << false << "1A" << -1;
        QTest::newRow("count huge") << false << "99999999999" << -1;
    }
    void dumpInput() {
        QFETCH(bool, isAddress);
        QFETCH(QString, text);
        const auto orRefused = [](auto parsed) { return parsed ? int(*parsed) : -1; };
        QTEST(isAddress ? orRefused(dumpAddressParse(text)) : orRefused(dumpCountParse(text)), "value");
    }

    // The version word is unsigned: a high byte of 80 hex or more is no negative number.
    void version_data() {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0.05") << 5 << 0 << "0.05";
        QTest::newRow("327.67") << 0xFF << 0x7F << "327.67";
        QTest::newRow("327.68") << 0x00 << 0x80 << "327.68";
        QTest::newRow("highest") << 0xFF << 0xFF << "655.35";
    }
    void version() {
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(QString, shown);
        QCOMPARE(versionText(quint8(low), quint8(high)), "\r\n\r\nVersion Number = " + shown + "\r\n");
    }
};

QTEST_APPLESS_MAIN(TestQueryInputs)
#include "test_queryinputs.moc"
