// The window's ticket text files: default files at start-up, loading and saving the texts, and
// the file dialogs behind the four file buttons.
#include "shell/codewindows.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

namespace {

enum FileAction { LoadLocation = 0, SaveLocation = 1, LoadDisclaimer = 2, SaveDisclaimer = 3 };

QStringList errorLines(const frmKelvaneProgrammer &w) {
    return w.statusText().split(QLatin1String("\r\n")).filter(QRegularExpression("^ERROR: "));
}

// What the next file dialog showed (empty title: no dialog came).
struct DialogSeen {
    QString title;
    QStringList filters;
    QString initialFile;
};

// Answers the next modal file dialog by typing fileName into it and accepting (an empty name
// cancels).
void answerFileDialog(const QString &fileName, DialogSeen *seen, int tries = 200) {
    QTimer::singleShot(10, qApp, [fileName, seen, tries] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (tries > 0)
                answerFileDialog(fileName, seen, tries - 1); // not shown yet
            return;
        }
        auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        seen->title = dialog->windowTitle();
        seen->filters = dialog->nameFilters();
        seen->initialFile = dialog->directory().filePath(nameEdit ? nameEdit->text() : QString());
        if (fileName.isEmpty() || !nameEdit)
            return dialog->reject();
        // As the operator types: into the focused name field, over the initial name.
        QApplication::setActiveWindow(dialog);
        nameEdit->setFocus();
        nameEdit->selectAll();
        QTest::keyClicks(nameEdit, fileName);
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog checks the name, as its button would
    });
}

} // namespace

class TestFileOps : public QObject {
    Q_OBJECT
private slots:
    void defaultFilesAtStart();
    void fileErrors_data();
    void fileErrors();
    void saveLocationThroughDialog();
    void loadDisclaimerThroughDialog();
};

void TestFileOps::defaultFilesAtStart() {
    const auto crlfLines = [](const QByteArrayList &lines) { return lines.join("\r\n") + "\r\n"; };
    const QByteArray green =
        crlfLines({"In lieu of playing stated credits above", "I  request a refund  in that amount.  I",
                   "certify  that I have  not won more than", "$125.00 in a 24 hour period.", "",
                   "_______________________________________", "", "Drivers License No.#___________________",
                   "THIS VOUCHER VALID ON THIS DATE ONLY.", "", "", "", ""});
    const QByteArray standard =
        crlfLines({"I certify I am redeeming this ticket", "for noncash merchandise,prizes,toys and/",
                   "or novelties that have a wholesale", "value of 10 times the amount charged",
                   "to play the game once or $5.00", "whichever is less for each play of the", "game.", "",
                   "THIS TICKET HAS NO CASH VALUE,AND MUST", "BE REDEEMED WITHIN 10 DAYS FROM TODAY.", "",
                   "I______________________________________"});
    ProgramFolder folder;
    const auto first = openWindow(folder);
    QCOMPARE(folder.read("GreenStandardDisclaimer.txt"), green);
    QCOMPARE(folder.read("StandardDisclaimer.txt"), standard);
    QCOMPARE(folder.read("MyLocation.txt"), QByteArray("Put location information here\r\n"));
    QCOMPARE(folder.read("MyDisclaimer.txt"), QByteArray("Put disclaimer information here\r\n"));
    QCOMPARE(first->boxText(first->txtLocationInfo), QString("Put location information here"));
    QVERIFY(errorLines(*first).isEmpty());

    // The next start recreates only what is missing; the operator's files, even emptied, stay.
    QVERIFY(QFile::remove(folder.file("GreenStandardDisclaimer.txt")));
    folder.write("MyLocation.txt", "");
    folder.write("MyDisclaimer.txt", "edited");
    const auto second = openWindow(folder);
    QCOMPARE(folder.read("GreenStandardDisclaimer.txt"), green);
    QCOMPARE(folder.read("MyLocation.txt"), QByteArray());
    QCOMPARE(folder.read("MyDisclaimer.txt"), QByteArray("edited"));
    QCOMPARE(second->boxText(second->txtLocationInfo), QString());
    QVERIFY(errorLines(*second).isEmpty());
}

void TestFileOps::fileErrors_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char *name, int action, const QString &file, const QString &text,
                        const QString &reason = QString()) {
        QTest::newRow(name) << action << file << text << reason;
    };
    const QString kept = "kept\r\ntext";
    row("load a missing file", LoadLocation, "missing.txt", kept);
    row("load a folder", LoadDisclaimer, "folder.txt", kept);
    row("save into a missing folder", SaveLocation, "nowhere/loc.txt", kept);
    row("save over a folder", SaveDisclaimer, "folder.txt", kept);
    row("save when the disk fills up", SaveLocation, "MyLocation.txt", QString(200, u'x'));
    row("save a character Windows-1252 lacks", SaveDisclaimer, "MyDisclaimer.txt",
        QString::fromUtf8("Exit \xE2\x86\x92 left"), QString::fromUtf8("\"\xE2\x86\x92\" (U+2192)"));
}

// The status log gets one line naming the file; the box and the file stay as they were.
void TestFileOps::fileErrors() {
    QFETCH(int, action);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, reason);
    ProgramFolder folder;
    QVERIFY(QDir(folder.path()).mkdir("folder.txt"));
    const auto w = openWindow(folder);
    QPlainTextEdit *box = action < LoadDisclaimer ? w->txtLocationInfo : w->txtDisclaimer;
    w->setBoxText(box, text);
    const QByteArray before = folder.read(name);
    const QString path = QDir::toNativeSeparators(folder.file(name));
    {
        const FileSizeLimit full(100);
        w->FileLoadSave(action, path);
    }
    QCOMPARE(w->boxText(box), text);
    const QStringList errors = errorLines(*w);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(path) && errors[0].contains(reason), qPrintable(errors[0]));
    QCOMPARE(folder.read(name), before);
    QVERIFY(QFileInfo(folder.file("folder.txt")).isDir());
    QVERIFY(!QFile::exists(folder.file("nowhere")));
}

void TestFileOps::saveLocationThroughDialog() {
    ProgramFolder folder;
    const auto w = openWindow(folder);
    const QByteArray settingsBefore = folder.read("KelvaneProgrammer.ini");
    // A text that cannot be saved does not make the chosen file the text's file: shut-down keeps
    // saving to the file that holds the text.
    w->setBoxText(w->txtLocationInfo, QString::fromUtf8("Exit \xE2\x86\x92 left"));
    DialogSeen refused;
    answerFileDialog("arrow.txt", &refused);
    QTest::mouseClick(w->cmdFileOps[SaveLocation], Qt::LeftButton);
    QVERIFY(!refused.title.isEmpty());
    QVERIFY(!QFile::exists(folder.file("arrow.txt")));
    QCOMPARE(w->LocationFileName, QDir::toNativeSeparators(folder.file("MyLocation.txt")));
    QCOMPARE(folder.read("KelvaneProgrammer.ini"), settingsBefore);

    const QString text = QString::fromUtf8("Joe's Arcade\r\n\xE2\x82\xAC"
                                           "1 Main St.\r\n");
    w->setBoxText(w->txtLocationInfo, text);
    DialogSeen seen;
    answerFileDialog("joes.txt", &seen);
    QTest::mouseClick(w->cmdFileOps[SaveLocation], Qt::LeftButton);
    QCOMPARE(seen.title, QString("Save Location Text"));
    QCOMPARE(seen.filters, QStringList({"(*.txt) (*.txt)", "All Files (*)"}));
    QCOMPARE(seen.initialFile, folder.file("MyLocation.txt"));
    const QString chosen = QDir::toNativeSeparators(folder.file("joes.txt"));
    QCOMPARE(folder.read("joes.txt"), QByteArray("Joe's Arcade\r\n\x80"
                                                 "1 Main St.\r\n\r\n"));
    QCOMPARE(w->LocationFileName, chosen);
    QCOMPARE(ProfileStringGet("Settings", "LocationFileName", "<none>", folder.ini()), chosen);
    QCOMPARE(w->boxText(w->txtLocationInfo), text); // a save leaves the box as it is

    // Shut-down now saves to the new file, and the next start loads it.
    w->setBoxText(w->txtLocationInfo, "Joe's Arcade");
    w->close();
    QCOMPARE(folder.read("joes.txt"), QByteArray("Joe's Arcade\r\n"));
    const auto again = openWindow(folder);
    QCOMPARE(again->LocationFileName, chosen);
    QCOMPARE(again->boxText(again->txtLocationInfo), QString("Joe's Arcade"));
}

void TestFileOps::loadDisclaimerThroughDialog() {
    ProgramFolder folder;
    const auto w = openWindow(folder);
    const QByteArray settingsBefore = folder.read("KelvaneProgrammer.ini");
    DialogSeen cancelled;
    answerFileDialog(QString(), &cancelled);
    QTest::mouseClick(w->cmdFileOps[LoadDisclaimer], Qt::LeftButton);
    QCOMPARE(cancelled.title, QString("Open Disclaimer Text"));
    QCOMPARE(cancelled.initialFile, folder.file("MyDisclaimer.txt"));
    QCOMPARE(w->boxText(w->txtDisclaimer), QString("Put disclaimer information here"));
    QCOMPARE(w->DisclaimerFileName, QDir::toNativeSeparators(folder.file("MyDisclaimer.txt")));
    QCOMPARE(folder.read("KelvaneProgrammer.ini"), settingsBefore);

    DialogSeen seen;
    answerFileDialog("StandardDisclaimer.txt", &seen);
    QTest::mouseClick(w->cmdFileOps[LoadDisclaimer], Qt::LeftButton);
    const QString chosen = QDir::toNativeSeparators(folder.file("StandardDisclaimer.txt"));
    QCOMPARE(w->DisclaimerFileName, chosen);
    QCOMPARE(ProfileStringGet("Settings", "DisclaimerFileName", "<none>", folder.ini()), chosen);
    QVERIFY(w->boxText(w->txtDisclaimer)
                .endsWith("\r\n\r\nI______________________________________")); // last line kept
    QVERIFY(w->chkSend[4]->isChecked()); // a changed text is marked for sending
}

QTEST_MAIN(TestFileOps)
#include "test_fileops.moc"
