// The option rules, driven through clicks on the boxes, and the key filter of the bonus fields.

#include "testsupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>

class TestOptionRules : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void printTicketsClearsDollars();
    void printDollarsGatesDetails();
    void untickPrintTickets();
    void everyClickTicksOptionsSection();
    void startUpAppliesRules_data();
    void startUpAppliesRules();
    void bonusKeyFilter();

private:
    void open(quint8 options);
    // On the indicator: the middle of the box may lie beyond a short caption.
    void click(int box) {
        QTest::mouseClick(w->chkOptions.at(box), Qt::LeftButton, {},
                          QPoint(6, w->chkOptions.at(box)->height() / 2));
    }
    QList<int> ticked() const;
    QList<int> greyed() const;

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<frmKelvaneProgrammer> w;
};

void TestOptionRules::init() {
    folder = std::make_unique<ProgramFolder>();
}

void TestOptionRules::cleanup() {
    w.reset();
    folder.reset();
}

void TestOptionRules::open(quint8 options) {
    // No device is needed: the rules work on the window alone.
    folder->writeSettings({QStringLiteral("Options=%1").arg(options), QStringLiteral("CommPort=0")});
    w = openWindow(*folder);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
}

QList<int> TestOptionRules::ticked() const {
    QList<int> boxes;
    for (int i = 0; i < w->chkOptions.size(); ++i) {
        if (w->chkOptions.at(i)->isChecked())
            boxes.append(i);
    }
    return boxes;
}

QList<int> TestOptionRules::greyed() const {
    QList<int> boxes;
    for (int i = 0; i < w->chkOptions.size(); ++i) {
        if (!w->chkOptions.at(i)->isEnabled())
            boxes.append(i);
    }
    return boxes;
}

void TestOptionRules::printTicketsClearsDollars() {
    open(0x98); // Print Dollars, Print Nickels, Print Dollar Sign
    QCOMPARE(ticked(), (QList<int>{3, 4, 7}));
    QCOMPARE(int(w->Options), 0x98);
    click(5);
    QCOMPARE(ticked(), QList<int>{5});
    QCOMPARE(greyed(), (QList<int>{3, 4, 6, 7}));
    QCOMPARE(int(w->Options), 0x20);
}

void TestOptionRules::printDollarsGatesDetails() {
    open(0xD8); // Print Dollars with all three details
    QCOMPARE(ticked(), (QList<int>{3, 4, 6, 7}));
    click(3);
    QCOMPARE(ticked(), QList<int>{});
    QCOMPARE(greyed(), (QList<int>{4, 6, 7}));
    QCOMPARE(int(w->Options), 0x00);
    click(3);
    QCOMPARE(ticked(), QList<int>{3});
    QCOMPARE(greyed(), QList<int>{});
    QCOMPARE(int(w->Options), 0x08);
}

void TestOptionRules::untickPrintTickets() {
    open(0x20);
    QCOMPARE(greyed(), (QList<int>{3, 4, 6, 7}));
    click(5);
    QCOMPARE(ticked(), QList<int>{});
    QCOMPARE(greyed(), (QList<int>{4, 6, 7}));
    click(4); // greyed: the click does nothing
    QCOMPARE(ticked(), QList<int>{});
    click(3);
    click(4);
    click(6);
    QCOMPARE(ticked(), (QList<int>{3, 4, 6}));
    QCOMPARE(int(w->Options), 0x58);
}

void TestOptionRules::everyClickTicksOptionsSection() {
    open(0x98);
    for (const int box : {0, 1, 5, 5, 3, 7, 0}) {
        w->chkSend.at(1)->setChecked(false);
        click(box);
        QVERIFY2(w->chkSend.at(1)->isChecked(), qPrintable(QStringLiteral("box %1").arg(box)));
    }
    QCOMPARE(ticked(), (QList<int>{1, 3, 7}));
    QCOMPARE(int(w->Options), 0x8A);
}

void TestOptionRules::startUpAppliesRules_data() {
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("result");
    QTest::addColumn<QList<int>>("boxes");
    QTest::newRow("tickets win over dollars") << 0xF8 << 0x20 << QList<int>{5};
    QTest::newRow("details without dollars") << 0xD3 << 0x03 << QList<int>{0, 1};
    QTest::newRow("hidden Use Bonus kept") << 0x0C << 0x0C << QList<int>{2, 3};
    QTest::newRow("consistent set kept") << 0xDB << 0xDB << QList<int>{0, 1, 3, 4, 6, 7};
}

void TestOptionRules::startUpAppliesRules() {
    QFETCH(int, options);
    QFETCH(int, result);
    QFETCH(QList<int>, boxes);
    open(quint8(options));
    QCOMPARE(int(w->Options), result);
    QCOMPARE(ticked(), boxes);
    // The table holds: no greyed box is ticked.
    for (const int i : greyed())
        QVERIFY(!w->chkOptions.at(i)->isChecked());
    QCOMPARE(w->chkOptions.at(3)->isEnabled(), !w->chkOptions.at(5)->isChecked());
    for (const int i : {4, 6, 7})
        QCOMPARE(w->chkOptions.at(i)->isEnabled(), w->chkOptions.at(3)->isChecked());
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
