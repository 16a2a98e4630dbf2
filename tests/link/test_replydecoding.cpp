// What the receive handler makes of the bytes it takes: hex forms, free text, completion texts
// and the comm-test decoding, checked without a port.
#include "link/replyreception.h"

#include <QTest>

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (const int v : values)
        result.append(char(v));
    return result;
}

// An exchange state as CommandSend leaves it before a phase.
struct Exchange {
    quint8 buffer[256] = {};
    qint16 index = 0;
    qint16 expected = 0;
    bool payloadPhase = false;

    QString receive(const QByteArray &data, bool *completed = nullptr) {
        bool done = false;
        const QString text = replyBytesReceive(buffer, index, expected, payloadPhase, data, &done);
        if (completed)
            *completed = done;
        return text;
    }
};

const QByteArray commTestReply = bytes({0xAB, 1, 2, 3, 0x00, 0x55, 0xAA, 0xFF, 0x12, 0x81, 0xD2, 0x04});

} // namespace

class TestReplyDecoding : public QObject {
    Q_OBJECT
private slots:
    void hexFormOfByte_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0x00 << "<0x00>";
        QTest::newRow("line feed keeps its leading zero") << 0x0A << "<0x0A>";
        QTest::newRow("upper-case digits") << 0xAB << "<0xAB>";
        QTest::newRow("all ones") << 0xFF << "<0xFF>";
    }
    void hexFormOfByte() {
        QFETCH(int, value);
        QFETCH(QString, text);
        QCOMPARE(hexForm(quint8(value)), text);
    }

    void freeTextOfBytes_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("text");
        QTest::newRow("CR LF gives two line breaks") << QByteArray("OK\r\n") << "OK\r\n\r\n";
        QTest::newRow("bell in hex") << bytes({7}) << "<0x07>";
        QTest::newRow("space and tilde are printable") << QByteArray(" ~") << " ~";
        QTest::newRow("DEL and above in hex") << bytes({127, 0xE9}) << "<0x7F><0xE9>";
        QTest::newRow("unit separator in hex") << bytes({31}) << "<0x1F>";
    }
    void freeTextOfBytes() {
        QFETCH(QByteArray, data);
        QFETCH(QString, text);
        Exchange exchange; // nothing awaited
        QCOMPARE(exchange.receive(data), text);
        QCOMPARE(exchange.index, qint16(0));
    }

    void completionTexts_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("payloadPhase");
        QTest::addColumn<QString>("text");
        QTest::newRow("command reply") << bytes({0xA1, 0, 0, 0}) << false << "<0xA1><0x00><0x00><0x00>  ";
        QTest::newRow("payload reply") << bytes({0xA1, 0, 0, 0}) << true << "<0xA1><0x00><0x00><0x00> OK\r\n";
        QTest::newRow("audit ticket") << bytes({0xA0, 1, 2, 3}) << false << "<0xA0><0x01><0x02><0x03>\r\n";
        QTest::newRow("dump data starting with A0")
            << bytes({0xA0, 0x11, 0xAE, 0, 0, 0}) << true << "<0xA0><0x11><0xAE><0x00><0x00><0x00>\r\n";
    }
    void completionTexts() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, payloadPhase);
        QFETCH(QString, text);
        Exchange exchange;
        exchange.expected = qint16(reply.size());
        exchange.payloadPhase = payloadPhase;
        bool completed = false;
        QCOMPARE(exchange.receive(reply, &completed), text);
        QVERIFY(completed);
        QCOMPARE(exchange.expected, qint16(0));
        QCOMPARE(exchange.index, qint16(reply.size()));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(exchange.buffer), reply.size()), reply);
    }

    void commTestDecoded() {
        Exchange exchange;
        exchange.expected = 12;
        const QString text = exchange.receive(commTestReply);
        QCOMPARE(text,
                 QStringLiteral("<0xAB><0x01><0x02><0x03><0x00><0x55><0xAA><0xFF><0x12><0x81><0xD2><0x04>"
                                "\r\n\r\n"
                                "Status   = 00010010\r\n"
                                "Options  = 10000001\r\n"
                                "Serial # = 1234\r\n\r\n"));
    }

    void commTestMarkerMismatch() {
        Exchange exchange;
        exchange.expected = 12;
        QByteArray reply = commTestReply;
        reply[6] = char(0xAB);
        const QString text = exchange.receive(reply);
        QVERIFY(
            text.endsWith(QStringLiteral("<0x04>\r\n\r\nERROR: Data doesn't match what was expected\r\n")));
        QVERIFY(!text.contains(QStringLiteral("Status")));
    }

    // The serial number is a full unsigned word: a high byte of 128 or more is no negative number.
    void commTestSerialNumberUnsigned_data() {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<QString>("serial");
        QTest::newRow("zero") << 0 << 0 << "0";
        QTest::newRow("32767") << 0xFF << 0x7F << "32767";
        QTest::newRow("32768") << 0x00 << 0x80 << "32768";
        QTest::newRow("65535") << 0xFF << 0xFF << "65535";
    }
    void commTestSerialNumberUnsigned() {
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(QString, serial);
        quint8 buffer[256] = {0xAB, 0, 0, 0, 0x00, 0x55, 0xAA, 0xFF, 0, 0, quint8(low), quint8(high)};
        QVERIFY(commTestText(buffer).contains(QStringLiteral("Serial # = ") + serial +
                                              QStringLiteral("\r\n\r\n")));
    }

    // A memory-dump answer whose first byte is AB is decoded as a comm-test answer.
    void dumpStartingWithCommTestCode() {
        Exchange exchange;
        exchange.expected = 12;
        exchange.payloadPhase = true;
        const QString text = exchange.receive(commTestReply);
        QVERIFY(text.contains(QStringLiteral("Serial # = 1234")));
        QVERIFY(!text.contains(QStringLiteral(" OK")));
    }

    void twoRepliesInOneNotification() {
        Exchange exchange;
        exchange.expected = 4;
        bool completed = false;
        const QString text = exchange.receive(bytes({0xAC, 0, 0, 0, 0xAC, 'A', 13, 10}), &completed);
        QVERIFY(completed);
        QCOMPARE(text, QStringLiteral("<0xAC><0x00><0x00><0x00>  <0xAC>A\r\n\r\n"));
        QCOMPARE(exchange.index, qint16(4));
        QCOMPARE(exchange.buffer[4], quint8(0)); // the rest was not stored
    }

    void replySplitOverNotifications() {
        Exchange exchange;
        exchange.expected = 6;
        bool completed = true;
        QCOMPARE(exchange.receive(bytes({0xAC, 1}), &completed), QStringLiteral("<0xAC><0x01>"));
        QVERIFY(!completed);
        QCOMPARE(exchange.receive(bytes({2, 3, 0x36, 0x01}), &completed),
                 QStringLiteral("<0x02><0x03><0x36><0x01>  "));
        QVERIFY(completed);
        QCOMPARE(exchange.buffer[4], quint8(0x36));
        QCOMPARE(exchange.buffer[5], quint8(0x01));
    }

    void emptyNotificationAddsNothing() {
        Exchange exchange;
        exchange.expected = 4;
        bool completed = true;
        QCOMPARE(exchange.receive(QByteArray(), &completed), QString());
        QVERIFY(!completed);
        QCOMPARE(exchange.expected, qint16(4));
    }

    // A short reply leaves earlier bytes above it in the buffer; a new reply overwrites from 0.
    void bufferNotClearedBetweenReplies() {
        Exchange exchange;
        exchange.expected = 8;
        exchange.receive(bytes({0xAD, 0, 0, 0, 0x0F, 0x00, 0xA5, 0xFF}));
        exchange.index = 0;
        exchange.expected = 4;
        exchange.receive(bytes({0xA1, 0, 0, 0}));
        QCOMPARE(exchange.buffer[0], quint8(0xA1));
        QCOMPARE(exchange.buffer[6], quint8(0xA5));
    }

    // Reply lengths are kept within the buffer; an index past it must still not write there.
    void indexPastBufferIsNotStored() {
        struct {
            quint8 buffer[256] = {};
            quint8 guard[4] = {0x5A, 0x5A, 0x5A, 0x5A};
        } memory;
        qint16 index = 256;
        qint16 expected = 2;
        bool completed = false;
        const QString text =
            replyBytesReceive(memory.buffer, index, expected, true, bytes({1, 2}), &completed);
        QVERIFY(completed);
        QVERIFY(text.startsWith(QStringLiteral("<0x01><0x02>")));
        QCOMPARE(memory.guard[0], quint8(0x5A));
        QCOMPARE(memory.guard[1], quint8(0x5A));
    }
};

QTEST_APPLESS_MAIN(TestReplyDecoding)
#include "test_replydecoding.moc"
