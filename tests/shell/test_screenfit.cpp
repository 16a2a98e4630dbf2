// The main window on small and scaled screens (screens/small-and-scaled.json), opened there or
// dragged there by the operator.
#include "testsupport.h"

namespace {

QScreen *screenNamed(const QString &name) {
    for (QScreen *const s : QGuiApplication::screens())
        if (s->name() == name)
            return s;
    return nullptr;
}

// How far the window's scroll bars have moved its controls.
QPoint scrolledBy(frmKelvaneProgrammer *w) {
    return twips(120, 120, 0, 0).topLeft() - w->frameOptions->pos();
}

} // namespace

class TestScreenFit : public QObject {
    Q_OBJECT
private slots:
    void fitsTheScreen_data() {
        QTest::addColumn<QString>("opensOn");
        QTest::addColumn<QString>("draggedTo"); // empty: it stays where it opened
        QTest::addColumn<bool>("debug");
        QTest::addColumn<bool>("fits");
        const QString scaled = "1366x768 at 150%", plain = "1366x768 at 100%", small = "800x600 at 100%";
        QTest::newRow("150 %") << scaled << QString() << false << false;
        QTest::newRow("150 %, Debug frame") << scaled << QString() << true << false;
        QTest::newRow("100 %") << plain << QString() << false << true;
        QTest::newRow("100 %, Debug frame") << plain << QString() << true << true;
        QTest::newRow("dragged to 800 x 600") << plain << small << false << false;
        QTest::newRow("dragged back from 800 x 600") << small << plain << false << true;
    }

    // Wholly inside the screen's free area, title bar included: at the designed size where that fits,
    // else smaller with scroll bars that bring every control, Exit included, within reach.
    void fitsTheScreen() {
        QFETCH(QString, opensOn);
        QFETCH(QString, draggedTo);
        QFETCH(bool, debug);
        QFETCH(bool, fits);
        ProgramFolder folder;
        const auto w = openWindow(folder, debug ? QStringList{"DebugOptions=1"} : QStringList());
        QScrollBar *const across = w->findChild<QScrollBar *>("windowHorizontalBar");
        QScrollBar *const down = w->findChild<QScrollBar *>("windowVerticalBar");
        const auto view = [&] { // the part of the window the scroll bars leave
            return QRect(0, 0, w->width() - (down->isVisible() ? down->width() : 0),
                         w->height() - (across->isVisible() ? across->height() : 0));
        };
        w->move(screenNamed(opensOn)->availableGeometry().topLeft()); // it then opens on that screen
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QScreen *const target = screenNamed(draggedTo.isEmpty() ? opensOn : draggedTo);
        QVERIFY(target);
        const QRect area = target->availableGeometry();
        if (!draggedTo.isEmpty()) {
            // Scrolled a little first: the controls come back to their places where the window fits.
            QTRY_VERIFY(w->windowHandle()->screen() != target);
            across->setValue(10);
            w->move(area.topLeft() + QPoint(40, 30));
        }
        QTRY_COMPARE(w->windowHandle()->screen(), target);
        QTRY_VERIFY2(area.contains(w->frameGeometry()), QTest::toString(w->frameGeometry()));
        const QSize designed(827, debug ? 651 : 568);
        if (fits) {
            QTRY_COMPARE(w->size(), designed);
            QVERIFY(!across->isVisible() && !down->isVisible());
        } else {
            QVERIFY(w->width() < designed.width() || w->height() < designed.height());
            QVERIFY(across->isVisible() || down->isVisible());
        }

        // It shows its top left corner at first; Tab brings the control it reaches into view.
        QCOMPARE(scrolledBy(w.get()), QPoint());
        QTest::keyClick(w->cmdExit, Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->cmdExit));
        QVERIFY(view().contains(w->cmdExit->geometry()));

        // "Programming Kelvane" opens over the middle of the window (the port is closed: the run
        // ends at once, leaving it hidden where it was).
        QTest::mouseClick(w->cmdProgram, Qt::LeftButton);
        QVERIFY(w->programmingWindow());
        const QPoint offCentre =
            w->programmingWindow()->frameGeometry().center() - w->frameGeometry().center();
        QVERIFY2(offCentre.manhattanLength() <= 2, QTest::toString(offCentre));

        // Scrolled to the end with the bars' arrows, as the operator would click them.
        for (QScrollBar *const bar : {across, down}) {
            const QPoint nearEnd = bar->orientation() == Qt::Horizontal
                                       ? QPoint(bar->width() - bar->height() / 2, bar->height() / 2)
                                       : QPoint(bar->width() / 2, bar->height() - bar->width() / 2);
            for (int i = 0; bar->isVisible() && bar->value() < bar->maximum() && i < 40; ++i)
                QTest::mouseClick(bar, Qt::LeftButton, {}, nearEnd);
            QCOMPARE(bar->value(), bar->maximum());
        }
        // The controls keep their designed places among themselves, and Exit shows whole.
        QCOMPARE(w->cmdExit->geometry().translated(scrolledBy(w.get())), twips(11040, 7800, 1215, 495));
        QVERIFY(view().contains(w->cmdExit->geometry()));
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, w->cmdExit->geometry().center());
        QTRY_VERIFY(!w->isVisible());
        QVERIFY(folder.read(QStringLiteral("KelvaneProgrammer.ini")).contains("GameNumber0=1111"));
    }
};

QTEST_MAIN(TestScreenFit)
#include "test_screenfit.moc"
