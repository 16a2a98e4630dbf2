// The option rules, driven through clicks on the boxes, and the key filter of the bonus fields.

#include "testsupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>

class TestOptionRules : public QObject {
    Q_OBJECT
private slots:
    void init() { folder = std::make_unique<ProgramFolder>(); }
    void cleanup() {
        w.reset();
        folder.reset();
    }
    void cascades_data();
    void cascades();
    void captionsAndBits_data();
    void captionsAndBits();
    void bonusKeyFilter();

private:
    void open(quint8 options);
    QList<int> boxes(bool (QCheckBox::*state)() const, bool wanted) const {
        QList<int> found;
        for (int i = 0; i < w->chkOptions.size(); ++i) {
            if ((w->chkOptions.at(i)->*state)() == wanted)
                found.append(i);
        }
        return found;
    }

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<frmKelvaneProgrammer> w;
};

void TestOptionRules::open(quint8 options) {
    // No device is needed: the rules work on the window alone.
    folder->writeSettings({QStringLiteral("Options=%1").arg(options), QStringLiteral("CommPort=0")});
    w = openWindow(*folder);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
}

void TestOptionRules::cascades_data() {
    QTest::addColumn<int>("options"); // as stored in the settings file
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<QList<int>>("greyed");
    QTest::addColumn<int>("result");
    using B = QList<int>;
    // Start-up applies the rules to the stored byte.
    QTest::newRow("start: tickets win over dollars") << 0xF8 << B{} << B{5} << B{3, 4, 6, 7} << 0x20;
    QTest::newRow("start: details without dollars") << 0xD3 << B{} << B{0, 1} << B{4, 6, 7} << 0x03;
    QTest::newRow("start: hidden Use Bonus kept") << 0x0C << B{} << B{2, 3} << B{} << 0x0C;
    QTest::newRow("Print Tickets clears dollars") << 0x98 << B{5} << B{5} << B{3, 4, 6, 7} << 0x20;
    QTest::newRow("untick Print Dollars") << 0xD8 << B{3} << B{} << B{4, 6, 7} << 0x00;
    QTest::newRow("tick it again: details stay unticked") << 0xD8 << B{3, 3} << B{3} << B{} << 0x08;
    QTest::newRow("untick Print Tickets; greyed box ignores a click")
        << 0x20 << B{5, 4} << B{} << B{4, 6, 7} << 0x00;
    QTest::newRow("details after dollars") << 0x20 << B{5, 3, 4, 6} << B{3, 4, 6} << B{} << 0x58;
    QTest::newRow("clicks undone by the rules")
        << 0x98 << B{0, 1, 5, 5, 3, 7, 0} << B{1, 3, 7} << B{} << 0x8A;
}

void TestOptionRules::cascades() {
    QFETCH(int, options);
    QFETCH(QList<int>, clicks);
    QFETCH(QList<int>, ticked);
    QFETCH(QList<int>, greyed);
    QFETCH(int, result);
    open(quint8(options));
    for (const int box : clicks) {
        QCheckBox *const b = w->chkOptions.at(box);
        const bool enabled = b->isEnabled();
        w->chkSend.at(1)->setChecked(false);
        // On the indicator: the middle of the box may lie beyond a short caption.
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
        // Every click on an enabled box ticks "Options and Game Numbers", even one the rules undo.
        QVERIFY2(w->chkSend.at(1)->isChecked() == enabled, qPrintable(QStringLiteral("box %1").arg(box)));
    }
    QCOMPARE(boxes(&QCheckBox::isChecked, true), ticked);
    QCOMPARE(boxes(&QCheckBox::isEnabled, false), greyed);
    QCOMPARE(int(w->Options), result);
}

void TestOptionRules::captionsAndBits_data() {
    QTest::addColumn<QString>("caption");
    const char *const captions[] = {"Daylight Savings Time", "Print Disclaimer", "Use Bonus",
                                    "Print Dollars",         "Print Nickels",    "Print Tickets",
                                    "Dollar Limit",          "Print Dollar Sign"};
    for (int bit = 0; bit < 8; ++bit)
        QTest::newRow(qPrintable(QString::number(bit))) << QString(captions[bit]);
}

// The box the operator reads a caption on sets the bit the device reads that option from (the
// row's tag).
void TestOptionRules::captionsAndBits() {
    QFETCH(QString, caption);
    const int bit = QString(QTest::currentDataTag()).toInt();
    open(0);
    const auto box = [this](const QString &text) {
        const QList<QCheckBox *> boxes = w->frameOptions->findChildren<QCheckBox *>();
        const auto found =
            std::find_if(boxes.begin(), boxes.end(), [&](auto *b) { return b->text() == text; });
        return found == boxes.end() ? nullptr : *found;
    };
    QVERIFY(box(caption));
    // Nickels, the limit and the sign need Print Dollars.
    const bool needsDollars = bit == 4 || bit == 6 || bit == 7;
    if (needsDollars)
        box(QStringLiteral("Print Dollars"))->click();
    box(caption)->click(); // "Use Bonus" is hidden, yet its bit is still the operator's
    QCOMPARE(int(w->Options), (1 << bit) | (needsDollars ? 0x08 : 0));
}

void TestOptionRules::bonusKeyFilter() {
    open(0);
    w->frameBonus->show(); // hidden in this version; shown so the fields take keys as on screen
    QLineEdit *field = w->txtBonus.at(0);
    field->clear();
    QTest::keyClicks(field, QStringLiteral("1a-, 2.5x.9"));
    QCOMPARE(field->text(), QStringLiteral("12.5.9")); // a second point is not prevented
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(field->text(), QStringLiteral("12.5."));
    field->selectAll();
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_Eacute, QStringLiteral("\u00E9"), Qt::NoModifier);
    QTest::keyClicks(field, QStringLiteral("+7"));
    QCOMPARE(field->text(), QStringLiteral("7"));
    // Code that sets the text (the settings file, a paste) is not filtered.
    field->setText(QStringLiteral("abc"));
    QCOMPARE(field->text(), QStringLiteral("abc"));
}

QTEST_MAIN(TestOptionRules)
#include "tst_optionrules.moc"
