// The status log: appending, the 20000 / 2000 trimming rule and clearing (ByteToBinary shows in
// the DIP and comm-test lines of test_diagnostics and test_replydecoding).
#include "testsupport.h"

#include "link/statuslog.h"
#include "textfiles/texthelpers.h"

namespace {

// Log text of exactly n characters made of 10-character lines ending in CR LF.
QString logOfLength(int n) {
    QString text;
    for (int line = 0; text.size() < n; ++line)
        text += QStringLiteral("%1 ABCD\r\n").arg(line % 1000, 3, 10, QLatin1Char('0'));
    text.truncate(n);
    return text;
}

// The box shows the log with '\n' line breaks.
QString shown(QString log) {
    return log.replace("\r\n", "\n").replace('\r', '\n');
}

} // namespace

class TestStatusLog : public QObject {
    Q_OBJECT

    ProgramFolder folder;
    std::unique_ptr<frmKelvaneProgrammer> w;

private slots:
    void init() {
        w = openWindow(folder);
        w->cmdClearText_Click();
    }
    void cleanup() { w.reset(); }

    void append_data() {
        QTest::addColumn<QString>("old");    // the log, written by one append
        QTest::addColumn<QString>("append"); // the next append
        QTest::addColumn<int>("clear");      // 1: its Clear argument set; 2: the Clear Text button first
        QTest::addColumn<int>("kept");       // characters of the old log kept

        const auto row = [](const char *name, const QString &old, const QString &append, int clear,
                            int kept) { QTest::newRow(name) << old << append << clear << kept; };
        row("exactly 20000 not cut", logOfLength(20000), "x", 0, 20000);
        row("20001 cut to 2000", logOfLength(20001), "abc\r\n", 0, 2000);
        row("huge append stays whole", logOfLength(100), logOfLength(30000), 0, 100);
        row("cut inside a line break", logOfLength(20009), "z", 0, 2000);
        row("clear empties, no cut", logOfLength(25000), "Programming...\r\n", 1, 0);
        row("Clear Text button", logOfLength(500), "after\r\n", 2, 0);
        row("CR and LF in two appends", "<0xAB>\r", "\nOK", 0, 7);
    }

    void append() {
        QFETCH(QString, old);
        QFETCH(QString, append);
        QFETCH(int, clear);
        QFETCH(int, kept);

        w->StatusAppend(old, false);
        QCOMPARE(w->statusText(), old); // a single append is never cut
        if (clear == 2)
            QTest::mouseClick(w->cmdClearText, Qt::LeftButton);
        w->StatusAppend(append, clear == 1);
        const QString expected = old.right(kept) + append;
        QCOMPARE(w->statusText(), expected);
        // A line break cut in half (the log now starts with its LF) leaves no empty first line in the box.
        // The box catches up with the log on the next pass of the event loop.
        QTRY_COMPARE(w->txtStatus->toPlainText(), shown(expected).mid(expected.startsWith('\n') ? 1 : 0));
    }

    void caretFollowsEnd() {
        // Even the empty text brings the caret and the view back to the end, to the newest line.
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->StatusAppend(logOfLength(6000), false);
        QScrollBar *const bar = w->txtStatus->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        w->txtStatus->moveCursor(QTextCursor::Start);
        bar->setValue(0);
        w->StatusAppend(QString(), false);
        QTRY_VERIFY(w->txtStatus->textCursor().atEnd());
        QTRY_COMPARE(bar->value(), bar->maximum());
    }

    // One rule names a character in a message: whatever would break, hide in or garble the log
    // line is written by its number in angle brackets, as received bytes are.
    void characterNames_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("quoted"); // a quoted value, else one character of a warning
        QTest::addColumn<QString>("named");
        QTest::newRow("tab and CR quoted") << "1\t2\r" << true << "1<U+0009>2<U+000D>";
        QTest::newRow("line separator quoted") << "a\u2028b" << true << "a<U+2028>b";
        QTest::newRow("right-to-left override quoted") << "a\u202Eb" << true << "a<U+202E>b";
        QTest::newRow("paragraph separator") << "\u2029" << false << "<U+2029>";
        QTest::newRow("printable arrow") << "\u2192" << false << "\"\u2192\" (U+2192)";
    }
    void characterNames() {
        QFETCH(QString, text);
        QFETCH(bool, quoted);
        QTEST(quoted ? messageQuote(text) : messageCharacter(text), "named");
    }
};

QTEST_MAIN(TestStatusLog)
#include "test_statuslog.moc"
