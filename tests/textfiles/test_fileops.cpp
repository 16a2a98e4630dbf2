// The window's ticket text files: default files at start-up, loading and saving the texts, and
// the file dialogs behind the four file buttons.
#include "shell/codewindows.h"
#include "testsupport.h"
#include "textfiles/textfiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

namespace {

enum FileAction { LoadLocation = 0, SaveLocation = 1, LoadDisclaimer = 2, SaveDisclaimer = 3 };

QStringList errorLines(const frmKelvaneProgrammer &w) {
    QStringList errors;
    for (const QString &line : w.statusText().split(QLatin1String("\r\n")))
        if (line.startsWith(QLatin1String("ERROR: ")))
            errors << line;
    return errors;
}

// What the next file dialog showed, and what the test answered.
struct DialogSeen {
    QString title;
    QStringList filters;
    QString directory;
    QString initialName;
    bool seen = false;
    bool askedToReplace = false;
};

// Answers the next modal file dialog by typing fileName into it and accepting (an empty name
// cancels). A save over an existing file is confirmed when Qt asks.
void answerFileDialog(const QString &fileName, DialogSeen *seen, int tries = 200) {
    QTimer::singleShot(10, qApp, [fileName, seen, tries] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (tries > 0)
                answerFileDialog(fileName, seen, tries - 1); // not shown yet
            return;
        }
        auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        seen->seen = true;
        seen->title = dialog->windowTitle();
        seen->filters = dialog->nameFilters();
        seen->directory = dialog->directory().absolutePath();
        seen->initialName = nameEdit ? nameEdit->text() : QString();
        if (fileName.isEmpty() || !nameEdit) {
            dialog->reject();
            return;
        }
        // As the operator types: into the focused name field, over the initial name.
        QApplication::setActiveWindow(dialog);
        nameEdit->setFocus();
        nameEdit->selectAll();
        QTest::keyClicks(nameEdit, fileName);
        QTimer::singleShot(0, qApp, [seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box && box->button(QMessageBox::Yes)) {
                seen->askedToReplace = true;
                box->button(QMessageBox::Yes)->click();
            }
        });
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog checks the name, as its button would
    });
}

} // namespace

class TestFileOps : public QObject {
    Q_OBJECT
private slots:
    void firstStartCreatesAndLoadsDefaults();
    void existingFilesAreLeftAlone();
    void saveThenLoad_data();
    void saveThenLoad();
    void loadsOlderAndForeignFiles_data();
    void loadsOlderAndForeignFiles();
    void unencodableCharacterSavesNothing();
    void fileErrors_data();
    void fileErrors();
    void fullDiskLeavesFile();
    void saveLocationThroughDialog();
    void saveOverExistingFileAsksFirst();
    void loadDisclaimerThroughDialog();
    void cancelledDialogChangesNothing();
    void failedSaveKeepsTheFileName();
};

void TestFileOps::firstStartCreatesAndLoadsDefaults() {
    ProgramFolder folder;
    const auto w = openWindow(folder);
    for (const DefaultTextFile &file : defaultTextFiles())
        QCOMPARE(folder.read(file.name), file.contents);
    QCOMPARE(w->boxText(w->txtLocationInfo), QString("Put location information here"));
    QCOMPARE(w->boxText(w->txtDisclaimer), QString("Put disclaimer information here"));
    QCOMPARE(w->LocationFileName, QDir::toNativeSeparators(folder.file("MyLocation.txt")));
    QVERIFY(errorLines(*w).isEmpty());

    // Shut-down writes them back as they were.
    w->close();
    QCOMPARE(folder.read("MyLocation.txt"), QByteArray("Put location information here\r\n"));
    QCOMPARE(folder.read("MyDisclaimer.txt"), QByteArray("Put disclaimer information here\r\n"));
}

void TestFileOps::existingFilesAreLeftAlone() {
    ProgramFolder folder;
    folder.write("MyLocation.txt", "");
    folder.write("StandardDisclaimer.txt", "edited by the operator");
    const auto w = openWindow(folder);
    QCOMPARE(folder.read("MyLocation.txt"), QByteArray());
    QCOMPARE(folder.read("StandardDisclaimer.txt"), QByteArray("edited by the operator"));
    QCOMPARE(folder.read("GreenStandardDisclaimer.txt"), defaultTextFiles()[0].contents);
    QCOMPARE(folder.read("MyDisclaimer.txt"), defaultTextFiles()[3].contents);
    QCOMPARE(w->boxText(w->txtLocationInfo), QString());
    QVERIFY(errorLines(*w).isEmpty());
}

void TestFileOps::saveThenLoad_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("without trailing line break")
        << "Joe's Arcade\r\nMain St." << QByteArray("Joe's Arcade\r\nMain St.\r\n");
    QTest::newRow("with trailing line break") << "Joe's Arcade\r\n" << QByteArray("Joe's Arcade\r\n\r\n");
    QTest::newRow("empty") << "" << QByteArray("\r\n");
    QTest::newRow("euro and e acute") << QString::fromUtf8("\xE2\x82\xAC"
                                                           "1 caf\xC3\xA9")
                                      << QByteArray("\x80"
                                                    "1 caf\xE9\r\n");
}

void TestFileOps::saveThenLoad() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    ProgramFolder folder;
    const auto w = openWindow(folder);
    const QString file = folder.file("texts.txt");
    for (const int action : {SaveLocation, SaveDisclaimer}) {
        QPlainTextEdit *box = action == SaveLocation ? w->txtLocationInfo : w->txtDisclaimer;
        w->setBoxText(box, text);
        w->FileLoadSave(action, file);
        QCOMPARE(folder.read("texts.txt"), bytes);
        QCOMPARE(w->boxText(box), text); // a save leaves the box as it is
        w->setBoxText(box, "something else");
        w->FileLoadSave(action - 1, file);
        QCOMPARE(w->boxText(box), text);
    }
    QVERIFY(errorLines(*w).isEmpty());
}

void TestFileOps::loadsOlderAndForeignFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("standard disclaimer keeps its signature line")
        << defaultTextFiles()[1].contents << QString::fromLatin1(defaultTextFiles()[1].contents.chopped(2));
    QTest::newRow("lone LF lines") << QByteArray("first\nsecond\n") << "first\r\nsecond";
    QTest::newRow("lone CR lines") << QByteArray("first\rsecond") << "first\r\nsecond";
    QTest::newRow("empty file") << QByteArray() << "";
}

void TestFileOps::loadsOlderAndForeignFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    ProgramFolder folder;
    const auto w = openWindow(folder);
    folder.write("other.txt", bytes);
    w->FileLoadSave(LoadDisclaimer, folder.file("other.txt"));
    QCOMPARE(w->boxText(w->txtDisclaimer), text);
    QVERIFY(errorLines(*w).isEmpty());
}

void TestFileOps::unencodableCharacterSavesNothing() {
    ProgramFolder folder;
    const auto w = openWindow(folder);
    w->cmdClearText_Click();
    const QString arrow = QString::fromUtf8("Exit \xE2\x86\x92 left");
    w->setBoxText(w->txtLocationInfo, arrow);
    w->FileLoadSave(SaveLocation, w->LocationFileName);
    QCOMPARE(folder.read("MyLocation.txt"), QByteArray("Put location information here\r\n"));
    QCOMPARE(w->boxText(w->txtLocationInfo), arrow);
    const QStringList errors = errorLines(*w);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(w->LocationFileName), qPrintable(errors[0]));
    QVERIFY2(errors[0].contains(QString::fromUtf8("\xE2\x86\x92")), qPrintable(errors[0]));
    QVERIFY(w->statusText().endsWith(QLatin1String("\r\n")));
}

void TestFileOps::fileErrors_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("name");
    QTest::newRow("load a missing file") << int(LoadLocation) << "missing.txt";
    QTest::newRow("load a folder") << int(LoadDisclaimer) << "folder.txt";
    QTest::newRow("save into a missing folder") << int(SaveLocation) << "nowhere/loc.txt";
    QTest::newRow("save over a folder") << int(SaveDisclaimer) << "folder.txt";
}

void TestFileOps::fileErrors() {
    QFETCH(int, action);
    QFETCH(QString, name);
    ProgramFolder folder;
    QVERIFY(QDir(folder.path()).mkdir("folder.txt"));
    const auto w = openWindow(folder);
    w->cmdClearText_Click();
    QPlainTextEdit *box = action < 2 ? w->txtLocationInfo : w->txtDisclaimer;
    w->setBoxText(box, "kept\r\ntext");
    const QString path = QDir::toNativeSeparators(folder.file(name));
    w->FileLoadSave(action, path);
    QCOMPARE(w->boxText(box), QString("kept\r\ntext"));
    const QStringList errors = errorLines(*w);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(path), qPrintable(errors[0]));
    QVERIFY(QFileInfo(folder.file("folder.txt")).isDir());
    QVERIFY(!QFile::exists(folder.file("nowhere")));
}

// The disk fills up while the text is saved: the file keeps its old text.
void TestFileOps::fullDiskLeavesFile() {
    ProgramFolder folder;
    const auto w = openWindow(folder);
    w->cmdClearText_Click();
    w->setBoxText(w->txtLocationInfo, QString(600, u'x'));

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit small = saved;
    small.rlim_cur = 100;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    w->FileLoadSave(SaveLocation, w->LocationFileName);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &saved) == 0);

    QCOMPARE(folder.read("MyLocation.txt"), QByteArray("Put location information here\r\n"));
    QCOMPARE(errorLines(*w).size(), 1);
}

void TestFileOps::saveLocationThroughDialog() {
    ProgramFolder folder;
    const auto w = openWindow(folder);
    w->setBoxText(w->txtLocationInfo, "Joe's Arcade\r\nMain St.");
    DialogSeen seen;
    answerFileDialog("joes.txt", &seen);
    QTest::mouseClick(w->cmdFileOps[SaveLocation], Qt::LeftButton);

    QVERIFY(seen.seen);
    QCOMPARE(seen.title, QString("Save Location Text"));
    QCOMPARE(seen.filters, QStringList({"(*.txt) (*.txt)", "All Files (*)"}));
    QCOMPARE(seen.directory, QDir(folder.path()).absolutePath());
    QCOMPARE(seen.initialName, QString("MyLocation.txt"));
    QVERIFY(!seen.askedToReplace);

    const QString chosen = QDir::toNativeSeparators(folder.file("joes.txt"));
    QCOMPARE(folder.read("joes.txt"), QByteArray("Joe's Arcade\r\nMain St.\r\n"));
    QCOMPARE(folder.read("MyLocation.txt"), QByteArray("Put location information here\r\n"));
    QCOMPARE(w->LocationFileName, chosen);
    QCOMPARE(ProfileStringGet("Settings", "LocationFileName", "<none>", folder.ini()), chosen);
    QCOMPARE(w->boxText(w->txtLocationInfo), QString("Joe's Arcade\r\nMain St."));

    // Shut-down now saves to the new file, and the next start loads it.
    w->setBoxText(w->txtLocationInfo, "Joe's Arcade");
    w->close();
    QCOMPARE(folder.read("joes.txt"), QByteArray("Joe's Arcade\r\n"));
    const auto again = openWindow(folder);
    QCOMPARE(again->LocationFileName, chosen);
    QCOMPARE(again->boxText(again->txtLocationInfo), QString("Joe's Arcade"));
}

void TestFileOps::saveOverExistingFileAsksFirst() {
    ProgramFolder folder;
    const auto w = openWindow(folder);
    w->setBoxText(w->txtDisclaimer, "Void where prohibited.");
    DialogSeen seen;
    answerFileDialog("StandardDisclaimer.txt", &seen); // confirms the replacement
    QTest::mouseClick(w->cmdFileOps[SaveDisclaimer], Qt::LeftButton);
    QCOMPARE(seen.title, QString("Save Disclaimer Text"));
    QCOMPARE(seen.initialName, QString("MyDisclaimer.txt"));
    QVERIFY(seen.askedToReplace);
    QCOMPARE(folder.read("StandardDisclaimer.txt"), QByteArray("Void where prohibited.\r\n"));
    QCOMPARE(w->DisclaimerFileName, QDir::toNativeSeparators(folder.file("StandardDisclaimer.txt")));
}

void TestFileOps::loadDisclaimerThroughDialog() {
    ProgramFolder folder;
    const auto w = openWindow(folder);
    DialogSeen seen;
    answerFileDialog("StandardDisclaimer.txt", &seen);
    QTest::mouseClick(w->cmdFileOps[LoadDisclaimer], Qt::LeftButton);

    QCOMPARE(seen.title, QString("Open Disclaimer Text"));
    QCOMPARE(seen.initialName, QString("MyDisclaimer.txt"));
    const QString chosen = QDir::toNativeSeparators(folder.file("StandardDisclaimer.txt"));
    QCOMPARE(w->DisclaimerFileName, chosen);
    QCOMPARE(ProfileStringGet("Settings", "DisclaimerFileName", "<none>", folder.ini()), chosen);
    const QString text = w->boxText(w->txtDisclaimer);
    QCOMPARE(text.count(QLatin1String("\r\n")), 11); // all twelve lines
    QVERIFY(text.endsWith(QLatin1String("\r\nI______________________________________")));
    QVERIFY(w->chkSend[4]->isChecked()); // a changed text is marked for sending
}

void TestFileOps::cancelledDialogChangesNothing() {
    ProgramFolder folder;
    const auto w = openWindow(folder);
    const QByteArray settingsBefore = folder.read("KelvaneProgrammer.ini");
    for (const int action : {LoadDisclaimer, SaveLocation}) {
        DialogSeen seen;
        answerFileDialog(QString(), &seen);
        QTest::mouseClick(w->cmdFileOps[action], Qt::LeftButton);
        QVERIFY(seen.seen);
    }
    QCOMPARE(w->boxText(w->txtDisclaimer), QString("Put disclaimer information here"));
    QCOMPARE(w->DisclaimerFileName, QDir::toNativeSeparators(folder.file("MyDisclaimer.txt")));
    QCOMPARE(w->LocationFileName, QDir::toNativeSeparators(folder.file("MyLocation.txt")));
    QCOMPARE(folder.read("KelvaneProgrammer.ini"), settingsBefore);
    QVERIFY(!w->chkSend[4]->isChecked());
}

// A text that cannot be saved does not make the chosen file the text's file: shut-down keeps
// saving to the file that holds the text.
void TestFileOps::failedSaveKeepsTheFileName() {
    ProgramFolder folder;
    const auto w = openWindow(folder);
    w->cmdClearText_Click();
    const QByteArray settingsBefore = folder.read("KelvaneProgrammer.ini");
    w->setBoxText(w->txtLocationInfo, QString::fromUtf8("\xE2\x86\x92 this way"));
    DialogSeen seen;
    answerFileDialog("arrow.txt", &seen);
    QTest::mouseClick(w->cmdFileOps[SaveLocation], Qt::LeftButton);
    QVERIFY(seen.seen);
    QVERIFY(!QFile::exists(folder.file("arrow.txt")));
    QCOMPARE(w->LocationFileName, QDir::toNativeSeparators(folder.file("MyLocation.txt")));
    QCOMPARE(folder.read("KelvaneProgrammer.ini"), settingsBefore);
    const QStringList errors = errorLines(*w);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QDir::toNativeSeparators(folder.file("arrow.txt"))), qPrintable(errors[0]));
}

QTEST_MAIN(TestFileOps)
#include "test_fileops.moc"
