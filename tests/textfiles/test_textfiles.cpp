// Windows-1252, the default ticket files and the conversion between box texts and file bytes.
#include "textfiles/cp1252.h"
#include "textfiles/textfiles.h"

#include <QTest>

class TestTextFiles : public QObject {
    Q_OBJECT
private slots:
    void cp1252EveryByteRoundTrips();
    void loadAndSave_data();
    void loadAndSave();
    void saveRefusesUnencodable_data();
    void saveRefusesUnencodable();
};

void TestTextFiles::cp1252EveryByteRoundTrips() {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const QString text = fromCp1252(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(toCp1252(text).value_or("<none>"), all);
    // The five bytes Windows-1252 leaves open keep their number.
    for (const int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        QCOMPARE(text.at(b).unicode(), char16_t(b));
}

// Files as saved, and files written by hand or by older programs: the one line break that ends
// the file is dropped, every other line is kept. Files with CR LF breaks only are saved again as
// they were.
void TestTextFiles::loadAndSave_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QList<DefaultTextFile> files = defaultTextFiles();
    QTest::newRow("default location: its line") << files[2].contents << "Put location information here";
    QTest::newRow("standard disclaimer keeps its signature line")
        << files[1].contents << QString::fromLatin1(files[1].contents.chopped(2));
    QTest::newRow("green disclaimer keeps all four empty lines")
        << files[0].contents << QString::fromLatin1(files[0].contents.chopped(2));
    QTest::newRow("one line break: empty") << QByteArray("\r\n") << "";
    QTest::newRow("text ending in a line break") << QByteArray("a\r\nb\r\n\r\n") << "a\r\nb\r\n";
    QTest::newRow("empty file") << QByteArray() << "";
    QTest::newRow("no trailing line break") << QByteArray("a\r\nb") << "a\r\nb";
    QTest::newRow("lone LF lines") << QByteArray("a\nb\n") << "a\r\nb";
    QTest::newRow("lone CR lines") << QByteArray("a\rb\r") << "a\r\nb";
    QTest::newRow("mixed breaks") << QByteArray("a\n\rb\r\n") << "a\r\n\r\nb";
    // Windows-1252: one byte a character, also where it differs from Latin-1.
    QTest::newRow("euro, e acute, y diaeresis")
        << QByteArray("\x80 5 caf\xE9 \xFF\r\n") << QString::fromUtf8("\xE2\x82\xAC 5 caf\xC3\xA9 \xC3\xBF");
    QTest::newRow("quotes, dash, trade mark, Y diaeresis")
        << QByteArray("\x93x\x94 \x97\x99\x9F\r\n")
        << QString::fromUtf8("\xE2\x80\x9Cx\xE2\x80\x9D \xE2\x80\x94\xE2\x84\xA2\xC5\xB8");
    QTest::newRow("undefined byte 0x81") << QByteArray("\x81\r\n") << QString(QChar(0x81));
}

void TestTextFiles::loadAndSave() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(ticketTextFromFile(bytes), text);
    const qsizetype crlf = bytes.count("\r\n");
    if (bytes.endsWith("\r\n") && bytes.count('\r') == crlf && bytes.count('\n') == crlf)
        QCOMPARE(ticketFileFromText(text).value_or("<none>"), bytes);
}

void TestTextFiles::saveRefusesUnencodable_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    const auto row = [](const char *name, const char *text, const char *shown) {
        QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(shown);
    };
    row("arrow", "left \xE2\x86\x92 right", "\"\xE2\x86\x92\" (U+2192)");
    row("Cyrillic after a euro", "\xE2\x82\xAC \xD0\x96", "\"\xD0\x96\" (U+0416)");
    row("beyond U+FFFF, both halves", "x\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\" (U+1F600)");
    row("U+0080 (0x80 is the euro), a control shown by number", "\xC2\x80", "U+0080");
}

void TestTextFiles::saveRefusesUnencodable() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QString bad;
    QVERIFY(!ticketFileFromText(text, &bad).has_value());
    QCOMPARE(characterForMessage(bad), shown);
}

QTEST_GUILESS_MAIN(TestTextFiles)
#include "test_textfiles.moc"
