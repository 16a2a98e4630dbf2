// The status log: appending, the 20000 / 2000 trimming rule, clearing and ByteToBinary.
#include "testsupport.h"

#include "link/statuslog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {

// Log text of exactly n characters made of 10-character lines ending in CR LF.
QString logOfLength(int n) {
    QString text;
    text.reserve(n + 10);
    for (int line = 0; text.size() < n; ++line)
        text += QStringLiteral("%1 ABCD\r\n").arg(line % 1000, 3, 10, QLatin1Char('0'));
    text.truncate(n);
    return text;
}

// The box shows the log with '\n' line breaks.
QString shown(const QString &log) {
    QString text = log;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
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

    void trimming_data();
    void trimming();
    void clearEmptiesLongLog();
    void clearButton();
    void caretFollowsEnd();
    void lineBreakSplitOverAppends();
    void floodStaysBounded();
    void byteToBinary_data();
    void byteToBinary();
};

void TestStatusLog::trimming_data() {
    QTest::addColumn<int>("before");      // log length before the append
    QTest::addColumn<QString>("append");  // the appended text
    QTest::addColumn<int>("kept");        // characters of the old log kept
    QTest::addColumn<bool>("cutInBreak"); // the cut falls between a CR and its LF

    QTest::newRow("empty") << 0 << "Programming...\r\n" << 0 << false;
    QTest::newRow("exactly 20000 not cut") << 20000 << "x" << 20000 << false;
    QTest::newRow("20001 cut to 2000") << 20001 << "abc\r\n" << 2000 << false;
    QTest::newRow("far beyond") << 45000 << "" << 2000 << false;
    QTest::newRow("2000 untouched") << 2000 << "y" << 2000 << false;
    QTest::newRow("huge append stays whole") << 100 << logOfLength(30000) << 100 << false;
    QTest::newRow("cut inside a line break") << 20009 << "z" << 2000 << true;
}

void TestStatusLog::trimming() {
    QFETCH(int, before);
    QFETCH(QString, append);
    QFETCH(int, kept);
    QFETCH(bool, cutInBreak);

    const QString old = logOfLength(before);
    w->StatusAppend(old, false);
    QCOMPARE(w->statusText(), old); // a single append is never cut
    w->StatusAppend(append, false);
    const QString expected = old.right(kept) + append;
    QCOMPARE(w->statusText().size(), expected.size());
    QCOMPARE(w->statusText(), expected);
    // A line break cut in half leaves no empty first line in the box.
    QCOMPARE(w->txtStatus->toPlainText(), shown(expected).mid(cutInBreak ? 1 : 0));
}

void TestStatusLog::clearEmptiesLongLog() {
    w->StatusAppend(logOfLength(25000), false);
    w->StatusAppend(QStringLiteral("Programming...\r\n"), true);
    QCOMPARE(w->statusText(), QStringLiteral("Programming...\r\n"));
    QCOMPARE(w->txtStatus->toPlainText(), QStringLiteral("Programming...\n"));
}

void TestStatusLog::clearButton() {
    w->StatusAppend(logOfLength(500), false);
    QTest::mouseClick(w->cmdClearText, Qt::LeftButton);
    QCOMPARE(w->statusText(), QString());
    QCOMPARE(w->txtStatus->toPlainText(), QString());
    w->StatusAppend(QStringLiteral("after\r\n"), false);
    QCOMPARE(w->statusText(), QStringLiteral("after\r\n"));
}

void TestStatusLog::caretFollowsEnd() {
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->StatusAppend(logOfLength(6000), false);
    QVERIFY(w->txtStatus->textCursor().atEnd());
    QScrollBar *const bar = w->txtStatus->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum()); // the newest line is in view

    // Even the empty text brings the caret and the view back to the end.
    QTextCursor start = w->txtStatus->textCursor();
    start.movePosition(QTextCursor::Start);
    w->txtStatus->setTextCursor(start);
    bar->setValue(0);
    w->StatusAppend(QString(), false);
    QVERIFY(w->txtStatus->textCursor().atEnd());
    QCOMPARE(bar->value(), bar->maximum());
}

void TestStatusLog::lineBreakSplitOverAppends() {
    // A CR at the end of one append and its LF at the start of the next make one line break.
    w->StatusAppend(QStringLiteral("<0xAB>\r"), false);
    w->StatusAppend(QStringLiteral("\nOK"), false);
    QCOMPARE(w->statusText(), QStringLiteral("<0xAB>\r\nOK"));
    QCOMPARE(w->txtStatus->toPlainText(), QStringLiteral("<0xAB>\nOK"));
}

void TestStatusLog::floodStaysBounded() {
    // Many small appends: the log never holds more than the rule allows, and box and log agree.
    const QString piece = QStringLiteral("<0x55>  \r\n");
    for (int i = 0; i < 6000; ++i) {
        w->StatusAppend(piece, false);
        QVERIFY(w->statusText().size() <= StatusLog::maxLength + piece.size());
    }
    QCOMPARE(w->txtStatus->toPlainText(), shown(w->statusText()));
    QVERIFY(!w->txtStatus->document()->isUndoRedoEnabled());
}

void TestStatusLog::byteToBinary_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("bits");
    QTest::newRow("0") << 0 << "00000000";
    QTest::newRow("255") << 255 << "11111111";
    QTest::newRow("0xA5") << 0xA5 << "10100101";
    QTest::newRow("1") << 1 << "00000001";
    QTest::newRow("0x80") << 0x80 << "10000000";
    QTest::newRow("0x12") << 0x12 << "00010010";
}

void TestStatusLog::byteToBinary() {
    QFETCH(int, value);
    QTEST(ByteToBinary(quint8(value)), "bits");
}

QTEST_MAIN(TestStatusLog)
#include "test_statuslog.moc"
