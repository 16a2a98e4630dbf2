// Windows-1252, the default ticket files and the conversion between box texts and file bytes.
#include "textfiles/commondialog.h"
#include "textfiles/cp1252.h"
#include "textfiles/textfiles.h"

#include <QTest>

class TestTextFiles : public QObject {
    Q_OBJECT
private slots:
    void cp1252EveryByteRoundTrips();
    void cp1252Characters_data();
    void cp1252Characters();
    void cp1252Unencodable_data();
    void cp1252Unencodable();
    void defaultFiles();
    void load_data();
    void load();
    void saveThenLoadGivesTheText_data();
    void saveThenLoadGivesTheText();
    void saveRefusesUnencodable();
    void filterForQt();
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

void TestTextFiles::cp1252Characters_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ASCII") << "Put $5.00" << QByteArray("Put $5.00");
    QTest::newRow("euro") << QString::fromUtf8("\xE2\x82\xAC") << QByteArray("\x80");
    QTest::newRow("Latin-1 letter") << QString::fromUtf8("caf\xC3\xA9") << QByteArray("caf\xE9");
    QTest::newRow("quotes and dashes")
        << QString::fromUtf8("\xE2\x80\x9Cx\xE2\x80\x9D \xE2\x80\x94") << QByteArray("\x93x\x94 \x97");
    QTest::newRow("trade mark, Y diaeresis")
        << QString::fromUtf8("\xE2\x84\xA2\xC5\xB8") << QByteArray("\x99\x9F");
    QTest::newRow("y diaeresis") << QString::fromUtf8("\xC3\xBF") << QByteArray("\xFF");
}

void TestTextFiles::cp1252Characters() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(toCp1252(text).value_or("<none>"), bytes);
    QCOMPARE(fromCp1252(bytes), text);
}

void TestTextFiles::cp1252Unencodable_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::newRow("arrow") << QString::fromUtf8("a\xE2\x86\x92"
                                                "b")
                           << 1;
    QTest::newRow("U+0080 (0x80 is the euro)") << QString(QChar(0x80)) << 0;
    QTest::newRow("Cyrillic") << QString::fromUtf8("ok \xD0\x96") << 3;
    QTest::newRow("beyond U+FFFF") << QString::fromUtf8("x\xF0\x9F\x98\x80") << 1;
}

void TestTextFiles::cp1252Unencodable() {
    QFETCH(QString, text);
    QFETCH(int, index);
    QChar bad;
    QVERIFY(!toCp1252(text, &bad).has_value());
    QCOMPARE(bad, text.at(index));
    QCOMPARE(cp1252FirstUnencodable(text), qsizetype(index));
}

void TestTextFiles::defaultFiles() {
    const QList<DefaultTextFile> files = defaultTextFiles();
    QCOMPARE(files.size(), 4);
    QCOMPARE(files[0].name, QString("GreenStandardDisclaimer.txt"));
    QCOMPARE(files[0].contents, QByteArray("In lieu of playing stated credits above\r\n"
                                           "I  request a refund  in that amount.  I\r\n"
                                           "certify  that I have  not won more than\r\n"
                                           "$125.00 in a 24 hour period.\r\n"
                                           "\r\n"
                                           "_______________________________________\r\n"
                                           "\r\n"
                                           "Drivers License No.#___________________\r\n"
                                           "THIS VOUCHER VALID ON THIS DATE ONLY.\r\n"
                                           "\r\n\r\n\r\n\r\n"));
    QCOMPARE(files[1].name, QString("StandardDisclaimer.txt"));
    QCOMPARE(files[1].contents, QByteArray("I certify I am redeeming this ticket\r\n"
                                           "for noncash merchandise,prizes,toys and/\r\n"
                                           "or novelties that have a wholesale\r\n"
                                           "value of 10 times the amount charged\r\n"
                                           "to play the game once or $5.00\r\n"
                                           "whichever is less for each play of the\r\n"
                                           "game.\r\n"
                                           "\r\n"
                                           "THIS TICKET HAS NO CASH VALUE,AND MUST\r\n"
                                           "BE REDEEMED WITHIN 10 DAYS FROM TODAY.\r\n"
                                           "\r\n"
                                           "I______________________________________\r\n"));
    QCOMPARE(files[2].name, QString("MyLocation.txt"));
    QCOMPARE(files[2].contents, QByteArray("Put location information here\r\n"));
    QCOMPARE(files[3].name, QString("MyDisclaimer.txt"));
    QCOMPARE(files[3].contents, QByteArray("Put disclaimer information here\r\n"));
    for (const DefaultTextFile &file : files) {
        for (const QByteArray &line : file.contents.split('\n'))
            QVERIFY2(line.size() <= 41, line.constData()); // 40 characters and the CR
    }
}

void TestTextFiles::load_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QList<DefaultTextFile> files = defaultTextFiles();
    QTest::newRow("default location") << files[2].contents << "Put location information here";
    QTest::newRow("standard disclaimer keeps its signature line")
        << files[1].contents << QString::fromLatin1(files[1].contents.chopped(2));
    QTest::newRow("green disclaimer keeps all four empty lines")
        << files[0].contents << QString::fromLatin1(files[0].contents.chopped(2));
    QTest::newRow("empty file") << QByteArray() << "";
    QTest::newRow("one line break") << QByteArray("\r\n") << "";
    QTest::newRow("two line breaks") << QByteArray("\r\n\r\n") << "\r\n";
    QTest::newRow("no trailing line break") << QByteArray("a\r\nb") << "a\r\nb";
    QTest::newRow("lone LF lines") << QByteArray("a\nb\n") << "a\r\nb";
    QTest::newRow("lone CR lines") << QByteArray("a\rb\r") << "a\r\nb";
    QTest::newRow("mixed breaks") << QByteArray("a\n\rb\r\n") << "a\r\n\r\nb";
    QTest::newRow("Windows-1252 bytes")
        << QByteArray("\x80 caf\xE9\r\n") << QString::fromUtf8("\xE2\x82\xAC caf\xC3\xA9");
}

void TestTextFiles::load() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(ticketTextFromFile(bytes), text);
}

void TestTextFiles::saveThenLoadGivesTheText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("one line") << "Joe's Arcade" << QByteArray("Joe's Arcade\r\n");
    QTest::newRow("ends with a line break") << "a\r\nb\r\n" << QByteArray("a\r\nb\r\n\r\n");
    QTest::newRow("empty") << "" << QByteArray("\r\n");
    QTest::newRow("only line breaks") << "\r\n\r\n" << QByteArray("\r\n\r\n\r\n");
    QTest::newRow("euro and e acute as single bytes") << QString::fromUtf8("\xE2\x82\xAC"
                                                                           "5 caf\xC3\xA9")
                                                      << QByteArray("\x80"
                                                                    "5 caf\xE9\r\n");
    QTest::newRow("undefined byte 0x81 round trips") << QString(QChar(0x81)) << QByteArray("\x81\r\n");
}

void TestTextFiles::saveThenLoadGivesTheText() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const std::optional<QByteArray> saved = ticketFileFromText(text);
    QVERIFY(saved.has_value());
    QCOMPARE(*saved, bytes);
    QCOMPARE(ticketTextFromFile(*saved), text);
}

void TestTextFiles::saveRefusesUnencodable() {
    QString bad;
    QVERIFY(!ticketFileFromText(QString::fromUtf8("left \xE2\x86\x92 right"), &bad));
    QCOMPARE(bad, QString::fromUtf8("\xE2\x86\x92"));
    QCOMPARE(characterForMessage(bad), QString::fromUtf8("\"\xE2\x86\x92\" (U+2192)"));
    QVERIFY(!ticketFileFromText(QString::fromUtf8("\xF0\x9F\x98\x80"), &bad));
    QCOMPARE(characterForMessage(bad), QString::fromUtf8("\"\xF0\x9F\x98\x80\" (U+1F600)"));
    QCOMPARE(characterForMessage(QString(QChar(0x80))), QString("U+0080"));
}

void TestTextFiles::filterForQt() {
    QCOMPARE(CommonDialog::qtFilter("(*.txt)|*.txt|All Files|*.*"),
             QString("(*.txt) (*.txt);;All Files (*)"));
    QCOMPARE(CommonDialog::qtFilter("Texts|*.txt;*.asc"), QString("Texts (*.txt *.asc)"));
}

QTEST_GUILESS_MAIN(TestTextFiles)
#include "test_textfiles.moc"
