// The option rules, driven through clicks on the boxes, and the key filter of the bonus fields.

#include "testsupport.h"

namespace {

// No device is needed: the rules work on the window alone.
std::unique_ptr<frmKelvaneProgrammer> open(const ProgramFolder &folder, quint8 options) {
    folder.writeSettings({QStringLiteral("Options=%1").arg(options), QStringLiteral("CommPort=0")});
    auto w = openWindow(folder);
    w->show();
    return QTest::qWaitForWindowExposed(w.get()) ? std::move(w) : nullptr;
}

QList<int> boxes(const frmKelvaneProgrammer &w, bool (QCheckBox::*state)() const, bool wanted) {
    QList<int> found;
    for (int i = 0; i < w.chkOptions.size(); ++i)
        if ((w.chkOptions.at(i)->*state)() == wanted)
            found.append(i);
    return found;
}

} // namespace

class TestOptionRules : public QObject {
    Q_OBJECT
private slots:
    void cascades_data() {
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
        // Each bit alone, from the box showing that caption in the designed table of test_window.
        for (int bit : {0, 1, 2})
            QTest::addRow("bit %d", bit) << 0 << B{bit} << B{bit} << B{4, 6, 7} << (1 << bit);
        QTest::newRow("bit 3") << 0 << B{3} << B{3} << B{} << 0x08;
        QTest::newRow("bit 5") << 0 << B{5} << B{5} << B{3, 4, 6, 7} << 0x20;
        for (int bit : {4, 6, 7})
            QTest::addRow("bit %d after Print Dollars", bit)
                << 0 << B{3, bit} << B{3, bit} << B{} << (8 | 1 << bit);
    }

    void cascades() {
        QFETCH(int, options);
        QFETCH(QList<int>, clicks);
        ProgramFolder folder;
        const auto w = open(folder, quint8(options));
        QVERIFY(w);
        for (const int box : clicks) {
            QCheckBox *const b = w->chkOptions.at(box);
            const bool enabled = b->isEnabled();
            w->chkSend.at(1)->setChecked(false);
            // "Use Bonus" is hidden, yet its bit is still the operator's.
            b->isVisible() ? clickBox(b) : b->click();
            // Every click on an enabled box ticks "Options and Game Numbers", even one the rules undo.
            QVERIFY2(w->chkSend.at(1)->isChecked() == enabled, qPrintable(QStringLiteral("box %1").arg(box)));
        }
        QTEST(boxes(*w, &QCheckBox::isChecked, true), "ticked");
        QTEST(boxes(*w, &QCheckBox::isEnabled, false), "greyed");
        QTEST(int(w->Options), "result");
    }

    void bonusKeyFilter() {
        ProgramFolder folder;
        const auto w = open(folder, 0);
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
};

QTEST_MAIN(TestOptionRules)
#include "test_optionrules.moc"
