// What the receive handler makes of the bytes it takes: hex forms, free text, completion texts
// and the comm-test decoding, checked without a port.
#include "link/replyreception.h"

#include <QTest>

class TestReplyDecoding : public QObject {
    Q_OBJECT
private slots:
    void receive_data() {
        QTest::addColumn<int>("command");  // the command sent
        QTest::addColumn<int>("expected"); // reply bytes awaited; 0: none
        QTest::addColumn<bool>("payloadPhase");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, int command, int expected, bool payloadPhase, const char *hex,
                            const QString &text) {
            QTest::newRow(name) << command << expected << payloadPhase << QByteArray::fromHex(hex) << text;
        };
        const QString commTestHex = QStringLiteral("<0xAB><0x01><0x02><0x03><0x00><0x55><0xAA><0xFF>"
                                                   "<0x12><0x81><0xD2><0x04>");
        const QString decoded =
            QStringLiteral("\r\n\r\nStatus   = 00010010\r\nOptions  = 10000001\r\nSerial # = 1234\r\n\r\n");
        row("free text: CR LF gives two line breaks", 0xAC, 0, false, "4F4B0D0A", "OK\r\n\r\n");
        row("free text: bell, edges of printable", 0xAC, 0, false, "071F207E7FE9",
            "<0x07><0x1F> ~<0x7F><0xE9>");
        row("command reply", 0xA1, 4, false, "A10A0000", "<0xA1><0x0A><0x00><0x00>  ");
        row("payload reply", 0xA1, 4, true, "A1000000", "<0xA1><0x00><0x00><0x00> OK\r\n");
        row("audit ticket", 0xA0, 4, false, "A0010203", "<0xA0><0x01><0x02><0x03>\r\n");
        row("audit ticket payload phase", 0xA0, 4, true, "A0010203", "<0xA0><0x01><0x02><0x03> OK\r\n");
        row("comm test", 0xAB, 12, false, "AB010203 0055AAFF 1281D204", commTestHex + decoded);
        row("comm test marker mismatch", 0xAB, 12, false, "AB010203 0055ABFF 1281D204",
            QString(commTestHex).replace(QStringLiteral("<0xAA>"), QStringLiteral("<0xAB>")) +
                "\r\n\r\nERROR: Data doesn't match what was expected\r\n");
        // A data byte never passes for a comm-test or ticket reply: the ending follows what was asked.
        row("dump data starting with AB", 0xAE, 12, true, "AB010203 0055AAFF 1281D204",
            commTestHex + " OK\r\n");
        row("dump data starting with A0", 0xAE, 6, true, "A011AE000000",
            "<0xA0><0x11><0xAE><0x00><0x00><0x00> OK\r\n");
        row("AB answering another command", 0xAD, 8, false, "AB0000000055AAFF",
            "<0xAB><0x00><0x00><0x00><0x00><0x55><0xAA><0xFF>  ");
        row("A0 answering another command", 0xAC, 6, false, "A00000000136",
            "<0xA0><0x00><0x00><0x00><0x01><0x36>  ");
        row("comm test without its echo", 0xAB, 12, false, "AC010203 0055AAFF 1281D204",
            QString(commTestHex).replace(QStringLiteral("<0xAB>"), QStringLiteral("<0xAC>")) + "  ");
        row("two replies in one notification", 0xAC, 4, false, "AC000000AC410D0A",
            "<0xAC><0x00><0x00><0x00>  <0xAC>A\r\n\r\n");
        row("reply split over notifications", 0xAC, 6, false, "AC01", "<0xAC><0x01>");
        row("empty notification", 0xAC, 4, false, "", "");
    }
    void receive() {
        QFETCH(int, command);
        QFETCH(int, expected);
        QFETCH(bool, payloadPhase);
        QFETCH(QByteArray, data);
        // Bytes of an earlier reply stay in the buffer where the new one does not reach.
        quint8 buffer[256] = {};
        buffer[200] = 0x77;
        qint16 index = 0;
        qint16 left = qint16(expected);
        bool completed = false;
        QTEST(replyBytesReceive(buffer, index, left, payloadPhase, command, data, &completed), "text");
        // Only the awaited bytes are stored.
        const int stored = qMin(expected, int(data.size()));
        QCOMPARE(completed, expected > 0 && stored == expected);
        QCOMPARE(index, qint16(stored));
        QCOMPARE(left, qint16(expected - stored));
        QByteArray after = data.left(stored).leftJustified(256, '\0');
        after[200] = char(0x77);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), 256), after);
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
        const QString text = replyBytesReceive(memory.buffer, index, expected, true, 0xAE,
                                               QByteArray::fromHex("0102"), &completed);
        QVERIFY(completed);
        QVERIFY(text.startsWith(QStringLiteral("<0x01><0x02>")));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(memory.guard), 4), QByteArray(4, 0x5A));
    }
};

QTEST_APPLESS_MAIN(TestReplyDecoding)
#include "test_replydecoding.moc"
