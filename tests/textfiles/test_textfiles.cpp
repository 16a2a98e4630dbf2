// Windows-1252 and the conversion between box texts and file bytes.
#include "textfiles/textfiles.h"

#include <QTest>

class TestTextFiles : public QObject {
    Q_OBJECT
private slots:
    // Files as saved, and files written by hand, by older programs or by modern editors: every line
    // counts, a last empty line (the break a save adds) is dropped. Files with CR LF breaks that end
    // in a line break are saved again as they were, in the encoding they were read in.
    void loadAndSave_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QStringList>("replaced");
        const auto row = [](const char *name, const QByteArray &bytes, const QString &text,
                            TicketEncoding encoding = TicketEncoding::Cp1252,
                            const QStringList &replaced = {}) {
            QTest::newRow(name) << bytes << text << int(encoding) << replaced;
        };
        row("one line break: empty", "\r\n", "");
        row("empty file", "", "");
        row("text ending in a line break", "a\r\nb\r\n\r\n", "a\r\nb\r\n");
        row("no trailing line break", "a\r\nb", "a\r\nb\r\n");
        row("lone LF lines", "a\nb\n", "a\r\nb\r\n");
        row("lone LF, empty lines kept but the last", "a\n\n\n", "a\r\n\r\n");
        row("lone CR lines", "a\rb\r", "a\r\nb\r\n");
        row("mixed breaks", "a\n\rb\r\n", "a\r\n\r\nb\r\n");
        // Windows-1252: one byte a character, also where it differs from Latin-1.
        row("euro, e acute, y diaeresis", "\x80 5 caf\xE9 \xFF\r\n",
            QString::fromUtf8("\xE2\x82\xAC 5 caf\xC3\xA9 \xC3\xBF\r\n"));
        row("quotes, dash, trade mark, Y diaeresis", "\x93x\x94 \x97\x99\x9F\r\n",
            QString::fromUtf8("\xE2\x80\x9Cx\xE2\x80\x9D \xE2\x80\x94\xE2\x84\xA2\xC5\xB8\r\n"));
        row("undefined byte 0x81", "\x81\r\n", QString(QChar(0x81)) + "\r\n");
        row("invalid UTF-8 stays Windows-1252", "caf\xC3\r\n", QString::fromUtf8("caf\xC3\x83\r\n"));
        // UTF-8 as modern editors save it: with its mark, or valid with a multi-byte sequence.
        const QByteArray mark = "\xEF\xBB\xBF";
        row("UTF-8", "Caf\xC3\xA9\r\n", QString::fromUtf8("Caf\xC3\xA9\r\n"), TicketEncoding::Utf8);
        row("UTF-8 with its mark", mark + "Caf\xC3\xA9\r\n", QString::fromUtf8("Caf\xC3\xA9\r\n"),
            TicketEncoding::Utf8WithMark);
        row("UTF-8 mark, ASCII only", mark + "abc\r\n", "abc\r\n", TicketEncoding::Utf8WithMark);
        row("UTF-8 euro and arrow: the arrow becomes ?", "\xE2\x82\xAC\xE2\x86\x92\xE2\x86\x92\r\n",
            QString::fromUtf8("\xE2\x82\xAC??\r\n"), TicketEncoding::Utf8,
            {QString::fromUtf8("\xE2\x86\x92")});
        row("UTF-8 line and paragraph separators break lines, as in the box",
            QByteArray("a\xE2\x80\xA8") + "b\xE2\x80\xA9" + "c", "a\r\nb\r\nc\r\n", TicketEncoding::Utf8);
    }

    void loadAndSave() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QStringList, replaced);
        TicketEncoding found = TicketEncoding::Cp1252;
        QStringList seen;
        QCOMPARE(ticketTextFromFile(bytes, &found, &seen), text);
        QTEST(int(found), "encoding");
        QCOMPARE(seen, replaced);
        // Saving and loading again gives the same text.
        QCOMPARE(ticketTextFromFile(ticketFileFromText(text, found)), text);
        const qsizetype crlf = bytes.count("\r\n");
        if (bytes.endsWith("\r\n") && bytes.count('\r') == crlf && bytes.count('\n') == crlf &&
            replaced.isEmpty())
            // The text without its last line break (an empty text has none to drop).
            QCOMPARE(ticketFileFromText(text.left(text.size() - (bytes.endsWith("\r\n\r\n") ? 0 : 2)), found),
                     bytes);
    }

    void saveReplacesUnencodable_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("warning");
        const auto row = [](const char *name, const char *text, const QByteArray &bytes, const char *shown) {
            QTest::newRow(name) << QString::fromUtf8(text) << bytes << QString::fromUtf8(shown);
        };
        row("arrow", "left \xE2\x86\x92 right", "left ? right\r\n",
            "WARNING: \"\xE2\x86\x92\" (U+2192) has no Windows-1252 byte and became \"?\"\r\n");
        row("Cyrillic after a euro, twice", "\xE2\x82\xAC \xD0\x96\xD0\x96", "\x80 ??\r\n",
            "WARNING: \"\xD0\x96\" (U+0416) has no Windows-1252 byte and became \"?\"\r\n");
        row("beyond U+FFFF, both halves one ?", "x\xF0\x9F\x98\x80", "x?\r\n",
            "WARNING: \"\xF0\x9F\x98\x80\" (U+1F600) has no Windows-1252 byte and became \"?\"\r\n");
        row("U+0080 (0x80 is the euro), a control shown by number; two kinds", "\xC2\x80\xE2\x86\x92",
            "??\r\n",
            "WARNING: <U+0080>, \"\xE2\x86\x92\" (U+2192) have no Windows-1252 byte and became \"?\"\r\n");
    }

    void saveReplacesUnencodable() {
        QFETCH(QString, text);
        QStringList replaced;
        QTEST(ticketFileFromText(text, TicketEncoding::Cp1252, &replaced), "bytes");
        QTEST(unencodableWarning(replaced), "warning");
    }
};

QTEST_GUILESS_MAIN(TestTextFiles)
#include "test_textfiles.moc"
