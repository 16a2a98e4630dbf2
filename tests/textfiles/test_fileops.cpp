// The window's ticket text files: default files at start-up, loading and saving the texts, and
// the file dialogs behind the four file buttons.
#include "programming/encoders.h"
#include "testsupport.h"
#include "textfiles/texthelpers.h"

#include <sys/stat.h>

#include <optional>

namespace {

enum FileAction { LoadLocation = 0, SaveLocation = 1, LoadDisclaimer = 2, SaveDisclaimer = 3 };

// The log's lines of one kind.
QStringList logLines(const frmKelvaneProgrammer &w, const QString &kind = "ERROR") {
    return w.statusText().split(QLatin1String("\r\n")).filter(QRegularExpression("^" + kind + ": "));
}

// The log has one error line, and it names every part.
bool oneErrorNaming(const frmKelvaneProgrammer &w, const QStringList &parts) {
    const QStringList errors = logLines(w);
    const auto named = [&errors](const QString &part) { return errors[0].contains(part); };
    return errors.size() == 1 && std::all_of(parts.begin(), parts.end(), named);
}

// What the next file dialog showed (empty title: no dialog came).
struct DialogSeen {
    QString title;
    QStringList types; // as the list shows them
    QString initialFile;
    bool columnsWhole = false; // looked at only when asked for
};

// Qt's dialog opens with its Size, Type and Date Modified columns whole, for the entries it lists
// (a file of 286 bytes, a date with two-digit month, day and hour) and inside the dialog.
void checkColumnsWhole(const QFileDialog *dialog, bool *whole) {
    const QTreeView *const tree = dialog->findChild<QTreeView *>("treeView");
    const QAbstractItemView *const view = tree;
    QVERIFY(tree && tree->isVisible());
    QTRY_VERIFY(tree->model()->rowCount(tree->rootIndex()) >= 6);
    const QHeaderView *const header = tree->header();
    for (int column = 1; column <= 3; ++column) {
        const QString name = header->model()->headerData(column, Qt::Horizontal).toString();
        QTRY_VERIFY2(view->sizeHintForColumn(column) <= header->sectionSize(column), qPrintable(name));
        QVERIFY2(header->sectionSizeHint(column) <= header->sectionSize(column), qPrintable(name));
    }
    QVERIFY2(header->sectionViewportPosition(3) + header->sectionSize(3) <= tree->viewport()->width(),
             qPrintable(QString::number(dialog->width())));
    *whole = true;
}

// Answers the next modal file dialog: types fileName into it and accepts (an empty name cancels).
void answerFileDialog(const QString &fileName, DialogSeen *seen, bool lookAtColumns, int tries = 200) {
    QTimer::singleShot(10, qApp, [fileName, seen, lookAtColumns, tries] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (tries > 0)
                answerFileDialog(fileName, seen, lookAtColumns, tries - 1); // not shown yet
            return;
        }
        auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        seen->title = dialog->windowTitle();
        if (const auto *list = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
            for (int i = 0; i < list->count(); ++i)
                seen->types << list->itemText(i);
        seen->initialFile = dialog->directory().filePath(nameEdit ? nameEdit->text() : QString());
        if (lookAtColumns)
            checkColumnsWhole(dialog, &seen->columnsWhole);
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

// Clicks a file button and answers its dialog with the file name (empty: cancels it).
DialogSeen chooseFile(const frmKelvaneProgrammer &w, int button, const QString &name, bool columns = false) {
    DialogSeen seen;
    answerFileDialog(name, &seen, columns);
    QTest::mouseClick(w.cmdFileOps[button], Qt::LeftButton);
    return seen;
}

} // namespace

class TestFileOps : public QObject {
    Q_OBJECT
private slots:
    void defaultFilesAtStart() {
        const auto crlfLines = [](const QByteArrayList &lines) { return lines.join("\r\n") + "\r\n"; };
        const QByteArray green = crlfLines(
            {"In lieu of playing stated credits above", "I  request a refund  in that amount.  I",
             "certify  that I have  not won more than", "$125.00 in a 24 hour period.", "",
             "_______________________________________", "", "Drivers License No.#___________________",
             "THIS VOUCHER VALID ON THIS DATE ONLY.", "", "", "", ""});
        const QByteArray standard =
            crlfLines({"I certify I am redeeming this ticket", "for noncash merchandise,prizes,toys and/",
                       "or novelties that have a wholesale", "value of 10 times the amount charged",
                       "to play the game once or $5.00", "whichever is less for each play of the", "game.",
                       "", "THIS TICKET HAS NO CASH VALUE,AND MUST", "BE REDEEMED WITHIN 10 DAYS FROM TODAY.",
                       "", "I______________________________________"});
        ProgramFolder folder;
        const auto first = openWindow(folder);
        QCOMPARE(folder.read("GreenStandardDisclaimer.txt"), green);
        QCOMPARE(folder.read("StandardDisclaimer.txt"), standard);
        QCOMPARE(folder.read("MyLocation.txt"), QByteArray("Put location information here\r\n"));
        QCOMPARE(folder.read("MyDisclaimer.txt"), QByteArray("Put disclaimer information here\r\n"));
        QCOMPARE(first->boxText(first->txtLocationInfo), QString("Put location information here\r\n"));
        QVERIFY(logLines(*first).isEmpty());

        // The next start recreates only what is missing; the operator's files, even emptied, stay.
        QVERIFY(QFile::remove(folder.file("GreenStandardDisclaimer.txt")));
        folder.write("MyLocation.txt", "");
        folder.write("MyDisclaimer.txt", "edited");
        const auto second = openWindow(folder);
        QCOMPARE(folder.read("GreenStandardDisclaimer.txt"), green);
        QCOMPARE(folder.read("MyLocation.txt"), QByteArray());
        QCOMPARE(folder.read("MyDisclaimer.txt"), QByteArray("edited"));
        QCOMPARE(second->boxText(second->txtLocationInfo), QString());
        QVERIFY(logLines(*second).isEmpty());
    }

    void fileErrors_data() {
        QTest::addColumn<FileAction>("action");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const QString kept = "kept\r\ntext";
        QTest::newRow("load a missing file") << LoadLocation << "missing.txt" << kept;
        QTest::newRow("load a missing file with a tab in its name")
            << LoadLocation << "tab\there.txt" << kept;
        QTest::newRow("load a folder") << LoadDisclaimer << "folder.txt" << kept;
        QTest::newRow("save into a missing folder") << SaveLocation << "nowhere/loc.txt" << kept;
        QTest::newRow("save over a folder") << SaveDisclaimer << "folder.txt" << kept;
        QTest::newRow("save when the disk fills up")
            << SaveLocation << "MyLocation.txt" << QString(200, u'x');
    }

    // The status log gets one line naming the file; the box and the file stay as they were.
    void fileErrors() {
        QFETCH(FileAction, action);
        QFETCH(QString, name);
        QFETCH(QString, text);
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
        QVERIFY2(oneErrorNaming(*w, {messageQuote(path)}), qPrintable(w->statusText()));
        QCOMPARE(folder.read(name), before);
        QVERIFY(QFileInfo(folder.file("folder.txt")).isDir());
        QVERIFY(!QFile::exists(folder.file("nowhere")));
    }

    void dialogCancelled_data() { // named by the dialog's title
        QTest::addColumn<FileAction>("button");
        QTest::addColumn<QString>("file"); // the dialog starts on
        QTest::newRow("Open Location Text") << LoadLocation << "MyLocation.txt";
        QTest::newRow("Save Location Text") << SaveLocation << "MyLocation.txt";
        QTest::newRow("Open Disclaimer Text") << LoadDisclaimer << "MyDisclaimer.txt";
        QTest::newRow("Save Disclaimer Text") << SaveDisclaimer << "MyDisclaimer.txt";
    }

    // Each file button's dialog: its title, the current file, a type list that reads as the two
    // descriptions, and whole columns. Cancelled, it changes nothing.
    void dialogCancelled() {
        QFETCH(FileAction, button);
        QFETCH(QString, file);
        ProgramFolder folder;
        folder.write("wide.txt", QByteArray(286, 'x'));
        QFile wide(folder.file("wide.txt"));
        QVERIFY(wide.open(QIODevice::ReadWrite));
        QVERIFY(wide.setFileTime(QDateTime(QDate(2026, 12, 28), QTime(23, 58, 58)),
                                 QFileDevice::FileModificationTime));
        QVERIFY(QDir(folder.path()).mkdir("folder"));
        const auto w = openWindow(folder);
        w->show();
        const QByteArray settingsBefore = folder.read("KelvaneProgrammer.ini");
        const QStringList files = QDir(folder.path()).entryList(QDir::Files);
        const DialogSeen seen = chooseFile(*w, button, QString(), true);
        QCOMPARE(seen.title, QString(QTest::currentDataTag()));
        QCOMPARE(seen.types, QStringList({"(*.txt)", "All Files"}));
        QCOMPARE(seen.initialFile, folder.file(file));
        QVERIFY(seen.columnsWhole);
        QCOMPARE(w->boxText(w->txtDisclaimer), QString("Put disclaimer information here\r\n"));
        QCOMPARE(w->DisclaimerFileName, QDir::toNativeSeparators(folder.file("MyDisclaimer.txt")));
        QCOMPARE(folder.read("KelvaneProgrammer.ini"), settingsBefore);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), files);
    }

    // A file chosen in the dialog becomes the box's file, in the window and in the settings.
    void filesThroughDialog() {
        ProgramFolder folder;
        const auto w = openWindow(folder);
        chooseFile(*w, LoadDisclaimer, "StandardDisclaimer.txt");
        const QString disclaimer = QDir::toNativeSeparators(folder.file("StandardDisclaimer.txt"));
        QCOMPARE(w->DisclaimerFileName, disclaimer);
        QCOMPARE(ProfileStringGet("Settings", "DisclaimerFileName", "<none>", folder.ini()), disclaimer);
        QVERIFY(w->boxText(w->txtDisclaimer)
                    .endsWith("\r\n\r\nI______________________________________\r\n")); // last line kept
        QVERIFY(w->chkSend[4]->isChecked()); // a changed text is marked for sending

        const QString text = QString::fromUtf8("Joe's Arcade\r\n\u20AC1 Main St.\r\n");
        w->setBoxText(w->txtLocationInfo, text);
        chooseFile(*w, SaveLocation, "joes.txt");
        const QString chosen = QDir::toNativeSeparators(folder.file("joes.txt"));
        QCOMPARE(folder.read("joes.txt"), "Joe's Arcade\r\n\x80" + QByteArray("1 Main St.\r\n\r\n"));
        QCOMPARE(w->LocationFileName, chosen);
        QCOMPARE(ProfileStringGet("Settings", "LocationFileName", "<none>", folder.ini()), chosen);
        QCOMPARE(w->boxText(w->txtLocationInfo), text); // a save leaves the box as it is

        // Shut-down now saves to the new file, and the next start loads it.
        w->setBoxText(w->txtLocationInfo, "Joe's Arcade\r\n");
        w->close();
        QCOMPARE(folder.read("joes.txt"), QByteArray("Joe's Arcade\r\n\r\n"));
        const auto again = openWindow(folder);
        QCOMPARE(again->LocationFileName, chosen);
        QCOMPARE(again->boxText(again->txtLocationInfo), QString("Joe's Arcade\r\n"));
    }

    // Load with the box edited since its file was loaded: the edit is saved to that file first; if
    // it cannot be, or that file changed on disk meanwhile, nothing is loaded. A load that fails
    // leaves the box on its old file.
    void loadKeepsEdit_data() {
        QTest::addColumn<QString>("chosen");   // in the dialog; empty: cancelled
        QTest::addColumn<QString>("error");    // in the one error line; empty: none
        QTest::addColumn<QByteArray>("saved"); // MyLocation.txt afterwards
        QTest::addColumn<bool>("loaded");
        const QByteArray edited = "Joe's Put location information here\r\n\r\n";
        const QByteArray before = "Put location information here\r\n";
        const QString standard = "StandardDisclaimer.txt";
        QTest::newRow("saved first") << standard << "" << edited << true;
        QTest::newRow("cancelled") << QString() << QString() << before << false;
        QTest::newRow("save fails") << standard << "disk full" << before << false;
        QTest::newRow("load fails") << QString("big.txt") << "larger than 1 MiB" << edited << false;
        QTest::newRow("file changed on disk")
            << standard << "changed on disk" << QByteArray("elsewhere\r\n") << false;
    }

    void loadKeepsEdit() {
        QFETCH(QString, chosen);
        QFETCH(QString, error);
        QFETCH(QByteArray, saved);
        QFETCH(bool, loaded);
        ProgramFolder folder;
        folder.write("big.txt", QByteArray(2 * 1024 * 1024, 'x'));
        const auto w = openWindow(folder);
        const QString bound = w->LocationFileName;
        QTest::keyClicks(w->txtLocationInfo, "Joe's ");
        const QString text = w->boxText(w->txtLocationInfo);
        if (error == "changed on disk")
            folder.write("MyLocation.txt", saved);
        const QByteArray settingsBefore = folder.read("KelvaneProgrammer.ini");
        {
            const FileSizeLimit full(error == "disk full" ? 10 : RLIM_INFINITY);
            QCOMPARE(chooseFile(*w, LoadLocation, chosen).title, QStringLiteral("Open Location Text"));
        }
        QVERIFY2(error.isEmpty() ? logLines(*w).isEmpty() : oneErrorNaming(*w, {error}),
                 qPrintable(w->statusText()));
        QCOMPARE(folder.read("MyLocation.txt"), saved);
        QCOMPARE(w->LocationFileName, loaded ? QDir::toNativeSeparators(folder.file(chosen)) : bound);
        QCOMPARE(ProfileStringGet("Settings", "LocationFileName", bound, folder.ini()), w->LocationFileName);
        if (!loaded) {
            QCOMPARE(w->boxText(w->txtLocationInfo), text);
            QCOMPARE(folder.read("KelvaneProgrammer.ini"), settingsBefore);
        }
        if (error == "changed on disk") {
            // As at closing: the second time, this window's text goes over the other one.
            chooseFile(*w, LoadLocation, chosen);
            QCOMPARE(folder.read("MyLocation.txt"), (text + "\r\n").toLatin1());
            QCOMPARE(w->LocationFileName, QDir::toNativeSeparators(folder.file(chosen)));
        }
    }

    // A text file changed on disk since it was loaded: kept when the text here is not edited; when it
    // is, the first close is refused with a line naming the file and the second saves this text.
    void textChangedOnDisk_data() {
        QTest::addColumn<bool>("edited");
        QTest::newRow("not edited here") << false;
        QTest::newRow("edited here too") << true;
    }

    void textChangedOnDisk() {
        QFETCH(bool, edited);
        ProgramFolder folder;
        const auto w = openWindow(folder);
        if (edited)
            QTest::keyClicks(w->txtLocationInfo, "Joe's ");
        folder.write("MyLocation.txt", "another copy's\r\n");
        w->show();
        QCOMPARE(w->close(), !edited);
        QCOMPARE(folder.read("MyLocation.txt"), QByteArray("another copy's\r\n"));
        if (!edited)
            return;
        QVERIFY2(oneErrorNaming(*w, {w->LocationFileName, "changed on disk"}), qPrintable(w->statusText()));
        QVERIFY(
            w->statusText().endsWith("Press Exit again to close; what could not be saved is then lost.\r\n"));
        QVERIFY(w->close());
        QCOMPARE(folder.read("MyLocation.txt"), QByteArray("Joe's Put location information here\r\n\r\n"));
    }

    // What start-up makes of the location file, and what shut-down then does with it: a text that
    // did not load, or that is still as loaded, is not written back.
    void oddFilesAtStart_data() {
        QTest::addColumn<QString>("reason");   // of the one error line; empty: none
        QTest::addColumn<QByteArray>("bytes"); // in the file; empty: no file written
        QTest::addColumn<QString>("text");     // in the box after start-up
        QTest::addColumn<QString>("typed");    // then typed into the box
        const auto row = [](const char *kind, const char *reason, const QByteArray &bytes = {},
                            const QString &text = {}, const QString &typed = {}) {
            QTest::newRow(kind) << reason << bytes << text << typed; // the row's name says what the file is
        };
        row("missing", "No such file");
        row("missing, then typed: saved", "No such file", {}, "", "Joe");
        row("folder", "it is a folder");
        row("pipe", "not a regular file");
        row("device", "not a regular file");
        row("1 MiB, one line", "", QByteArray(1024 * 1024 - 2, 'x') + "\r\n",
            QString(1024 * 1024 - 2, QLatin1Char('x')) + "\r\n");
        row("1 MiB and a byte", "larger than 1 MiB", QByteArray(1024 * 1024 + 1, 'x'));
        row("not readable", "Permission denied", "secret\r\n");
        row("UTF-16, shown as bytes", "", QByteArray::fromHex("FFFE 6100 0D00 0A00"),
            QString::fromLatin1(QByteArray::fromHex("FFFE 61 000D0A 000D0A 000D0A")));
    }

    void oddFilesAtStart() {
        const QString kind = QTest::currentDataTag();
        QFETCH(QString, reason);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, typed);
        ProgramFolder folder;
        QString path = folder.file("location.txt");
        if (kind == "folder")
            QVERIFY(QDir().mkdir(path));
        else if (kind == "pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == "device")
            path = "/dev/zero";
        if (!bytes.isEmpty())
            folder.write("location.txt", bytes);
        folder.writeSettings({"CommPort=0", "LocationFileName=" + path});
        // The device row runs as an ordinary user from start to close: should the program ever
        // write the box back there, it must fail the test, not replace the system's /dev/zero.
        std::optional<AsOrdinaryUser> asUser;
        if (kind == "device" || kind == "not readable") {
            AsOrdinaryUser::own(folder.path());
            AsOrdinaryUser::own(folder.ini());
            if (kind == "not readable")
                QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
            asUser.emplace();
        }
        const auto w = openWindow(folder);
        if (kind == "not readable")
            asUser.reset();
        QVERIFY2(reason.isEmpty() ? logLines(*w).isEmpty() : oneErrorNaming(*w, {path, reason}),
                 qPrintable(w->statusText()));
        QTEST(w->boxText(w->txtLocationInfo), "text");

        QTest::keyClicks(w->txtLocationInfo, typed);
        QVERIFY(w->close());
        if (!typed.isEmpty()) {
            QCOMPARE(folder.read("location.txt"), (typed + "\r\n").toLatin1());
        } else if (!bytes.isEmpty()) {
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
            QCOMPARE(folder.read("location.txt"), bytes);
        } else if (kind != "device") {
            QVERIFY(!QFileInfo(path).isFile());
        }
    }

    // Files the program cannot replace, in a folder that refuses new files, behind links into one, or
    // another user's in a sticky folder (the rename is refused): the saves write the files in place,
    // and a save that fails there puts the old contents back.
    void folderRefusesNewFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder refuses new files") << "read-only";
        QTest::newRow("links into a read-only folder") << "links";
        QTest::newRow("sticky folder, files of another user") << "sticky";
    }

    void folderRefusesNewFiles() {
        QFETCH(QString, kind);
        ProgramFolder folder;
        QString filesAt = folder.path(); // the folder that holds the files themselves
        if (kind == "links") {
            filesAt = folder.file("read-only");
            QVERIFY(QDir().mkdir(filesAt));
            folder.write("read-only/MyLocation.txt", "Put location information here\r\n");
            folder.write("read-only/KelvaneProgrammer.ini", "[Settings]\r\nCommPort=0\r\n");
            QVERIFY(QFile::link(filesAt + "/MyLocation.txt", folder.file("MyLocation.txt")));
            QVERIFY(QFile::link(filesAt + "/KelvaneProgrammer.ini", folder.ini()));
        }
        const auto w = openWindow(folder);
        if (kind == "sticky") {
            // Root's files that anyone may write, in a folder where anyone may add files.
            for (const QString &name : QDir(filesAt).entryList(QDir::Files))
                QCOMPARE(::chmod(QFile::encodeName(folder.file(name)).constData(), 0666), 0);
            QCOMPARE(::chmod(QFile::encodeName(filesAt).constData(), 01777), 0);
        } else {
            for (const QString &name : QDir(filesAt).entryList(QDir::Files))
                AsOrdinaryUser::own(QDir(filesAt).filePath(name));
            AsOrdinaryUser::own(filesAt);
            AsOrdinaryUser::own(folder.path());
            QVERIFY(QFile::setPermissions(filesAt, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                       QFile::ExeOther));
        }
        const QByteArray before = folder.read("MyLocation.txt");
        w->setBoxText(w->txtLocationInfo, QString(3000, u'x'));
        {
            const AsOrdinaryUser user;
            {
                const FileSizeLimit full(1000);
                w->FileLoadSave(SaveLocation, w->LocationFileName);
            }
            QCOMPARE(logLines(*w).size(), 1);
            QCOMPARE(folder.read("MyLocation.txt"), before);

            w->setBoxText(w->txtLocationInfo, "Main St\r\n");
            w->txtGameNumber[0]->setText("4321");
            QVERIFY(w->close());
        }
        QCOMPARE(logLines(*w).size(), 1);
        QCOMPARE(folder.read("MyLocation.txt"), QByteArray("Main St\r\n\r\n"));
        QCOMPARE(ProfileStringGet("Settings", "GameNumber0", "<none>", folder.ini()), QString("4321"));
        // Nothing left over, and links stay links.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 5);
        QCOMPARE(QDir(filesAt).entryList(QDir::Files | QDir::Hidden).size(), kind == "links" ? 2 : 5);
        QCOMPARE(QFileInfo(folder.ini()).isSymLink(), kind == "links");
    }

    // A character with no Windows-1252 byte becomes "?" as it is typed or pasted, with one warning.
    void enteredCharactersWithoutByte_data() {
        QTest::addColumn<bool>("location");
        QTest::newRow("location") << true;
        QTest::newRow("disclaimer") << false;
    }

    void enteredCharactersWithoutByte() {
        QFETCH(bool, location);
        ProgramFolder folder;
        const auto w = openWindow(folder);
        QPlainTextEdit *const box = location ? w->txtLocationInfo : w->txtDisclaimer;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->setBoxText(box, QString());
        box->setFocus();
        QKeyEvent arrow(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("\xE2\x86\x92"));
        QApplication::sendEvent(box, &arrow);
        QCOMPARE(w->boxText(box), QString("?"));
        QVERIFY(w->chkSend[location ? 3 : 4]->isChecked());

        QApplication::clipboard()->setText(
            QString::fromUtf8(" caf\xC3\xA9 \xF0\x9F\x98\x80\xE2\x86\x92\n\xE2\x82\xAC"));
        box->paste();
        QCOMPARE(w->boxText(box), QString::fromUtf8("? caf\xC3\xA9 ??\r\n\xE2\x82\xAC"));
        QCOMPARE(logLines(*w, "WARNING"),
                 QStringList({QString::fromUtf8("WARNING: \"\xE2\x86\x92\" (U+2192) has no Windows-1252 "
                                                "byte and became \"?\""),
                              QString::fromUtf8("WARNING: \"\xF0\x9F\x98\x80\" (U+1F600), \"\xE2\x86\x92\" "
                                                "(U+2192) have no Windows-1252 byte and became \"?\"")}));
        // Undo takes back the paste and its "?" in one step.
        box->undo();
        QCOMPARE(w->boxText(box), QString("?"));
        box->redo();
        QVERIFY(w->close());
        QCOMPARE(folder.read(location ? "MyLocation.txt" : "MyDisclaimer.txt"),
                 QByteArray("? caf\xE9 ??\r\n\x80\r\n"));
    }

    // A UTF-8 file loads as what it says, is kept as it is while unchanged, and is saved in UTF-8
    // (with its mark) when changed; the device still gets Windows-1252.
    void utf8SavedAsUtf8() {
        ProgramFolder folder;
        const QByteArray bytes = QByteArray("\xEF\xBB\xBF") + "Caf\xC3\xA9 \xE2\x86\x92\r\n";
        folder.write("MyLocation.txt", bytes);
        auto w = openWindow(folder);
        QCOMPARE(w->boxText(w->txtLocationInfo), QString::fromUtf8("Caf\xC3\xA9 ?\r\n"));
        QVERIFY(w->statusText().startsWith("WARNING: \"\xE2\x86\x92\" (U+2192)"));
        QCOMPARE(textBlocks(w->boxText(w->txtLocationInfo))->blocks[0].left(7), QByteArray("Caf\xE9 ?\r"));
        QVERIFY(w->close());
        QCOMPARE(folder.read("MyLocation.txt"), bytes);

        w = openWindow(folder);
        QTest::keyClicks(w->txtLocationInfo, "Bar");
        QVERIFY(w->close());
        QCOMPARE(folder.read("MyLocation.txt"), bytes.left(3) + "BarCaf\xC3\xA9 ?\r\n\r\n"); // the mark kept
    }
};

QTEST_MAIN(TestFileOps)
#include "test_fileops.moc"
