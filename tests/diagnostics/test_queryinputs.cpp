// The dump's inputs and the texts the version and DIP switch queries write, without a device.
#include "diagnostics/queries.h"

#include <QTest>

class TestQueryInputs : public QObject {
    Q_OBJECT
private slots:
    void dumpAddress_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("address"); // -1: refused
        QTest::newRow("1A2") << "1A2" << 0x1A2;
        QTest::newRow("lower case") << "ff" << 0xFF;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("highest") << "7FFF" << 0x7FFF;
        QTest::newRow("leading zeros") << "0007fff" << 0x7FFF;
        QTest::newRow("blanks around") << " 10 " << 0x10;
        QTest::newRow("8000 is outside") << "8000" << -1;
        QTest::newRow("FFFFF") << "FFFFF" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("blank") << "  " << -1;
        QTest::newRow("0x prefix") << "0x10" << -1;
        QTest::newRow("&H prefix") << "&H10" << -1;
        QTest::newRow("sign") << "-1" << -1;
        QTest::newRow("plus") << "+1" << -1;
        QTest::newRow("inner blank") << "1 2" << -1;
        QTest::newRow("not hex") << "G" << -1;
        QTest::newRow("fullwidth digit") << QString(QChar(0xFF11)) << -1;
        QTest::newRow("huge") << "123456789ABCDEF" << -1;
    }
    void dumpAddress() {
        QFETCH(QString, text);
        QFETCH(int, address);
        const auto parsed = dumpAddressParse(text);
        QCOMPARE(parsed.has_value(), address >= 0);
        if (parsed)
            QCOMPARE(int(*parsed), address);
    }

    void dumpCount_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count"); // -1: refused
        QTest::newRow("16") << "16" << 16;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("252 fills the buffer") << "252" << 252;
        QTest::newRow("253") << "253" << -1;
        QTest::newRow("256") << "256" << -1;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("fraction") << "1.5" << -1;
        QTest::newRow("hex digits") << "1A" << -1;
        QTest::newRow("huge") << "99999999999" << -1;
    }
    void dumpCount() {
        QFETCH(QString, text);
        QFETCH(int, count);
        const auto parsed = dumpCountParse(text);
        QCOMPARE(parsed.has_value(), count >= 0);
        if (parsed)
            QCOMPARE(int(*parsed), count);
    }

    void payload() {
        QCOMPARE(dumpPayload(0x1A2, 16), QByteArray::fromHex("a20110"));
        QCOMPARE(dumpPayload(0x7FFF, 0), QByteArray::fromHex("ff7f00"));
        QCOMPARE(dumpPayload(0, 252), QByteArray::fromHex("0000fc"));
    }

    void version_data() {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<QString>("shown");
        QTest::newRow("3.10") << 0x36 << 0x01 << "3.10";
        QTest::newRow("zero") << 0 << 0 << "0.00";
        QTest::newRow("0.05") << 5 << 0 << "0.05";
        QTest::newRow("327.67") << 0xFF << 0x7F << "327.67";
        QTest::newRow("high byte 80 is no negative number") << 0x00 << 0x80 << "327.68";
        QTest::newRow("highest") << 0xFF << 0xFF << "655.35";
    }
    void version() {
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(QString, shown);
        QCOMPARE(versionText(quint8(low), quint8(high)),
                 QStringLiteral("\r\n\r\nVersion Number = ") + shown + QStringLiteral("\r\n"));
    }

    void dipSwitchLines() {
        QCOMPARE(dipSwitchLine(1, 0x0F), QStringLiteral("DIP SW1 = 0F - 00001111\r\n"));
        QCOMPARE(dipSwitchLine(2, 0x00), QStringLiteral("DIP SW2 = 00 - 00000000\r\n"));
        QCOMPARE(dipSwitchLine(3, 0xA5), QStringLiteral("DIP SW3 = A5 - 10100101\r\n"));
        QCOMPARE(dipSwitchLine(4, 0xFF), QStringLiteral("DIP SW4 = FF - 11111111\r\n"));
        QCOMPARE(dipSwitchLine(1, 0x05), QStringLiteral("DIP SW1 = 05 - 00000101\r\n"));
    }
};

QTEST_APPLESS_MAIN(TestQueryInputs)
#include "test_queryinputs.moc"
