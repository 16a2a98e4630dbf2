// The window's ticket text files: the default files, loading and saving the location and
// disclaimer texts, and the four file buttons.
#include "shell/codewindows.h"
#include "shell/frmkelvaneprogrammer.h"
#include "textfiles/commondialog.h"
#include "textfiles/textfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

void reportFileError(frmKelvaneProgrammer *window, const QString &verb, const QString &fileName,
                     const QString &reason) {
    window->StatusAppend(QStringLiteral("ERROR: Cannot %1 \"%2\": %3\r\n")
                             .arg(verb, QDir::toNativeSeparators(fileName), reason),
                         false);
}

// Loads (actions 0, 2) or saves (1, 3) one text; false, with the reason in the status log, when
// the file could not be read or written. A failed load leaves the box as it was, a failed save
// leaves the file as it was.
bool textFileLoadSave(frmKelvaneProgrammer *window, int fileAction, const QString &fileName) {
    if (fileAction < 0 || fileAction > 3)
        return false;
    QPlainTextEdit *box = fileAction < 2 ? window->txtLocationInfo : window->txtDisclaimer;
    if (fileAction == 1 || fileAction == 3) {
        QString unencodable;
        const std::optional<QByteArray> bytes =
            ticketFileFromText(frmKelvaneProgrammer::boxText(box), &unencodable);
        if (!bytes) {
            reportFileError(window, QStringLiteral("save"), fileName,
                            QStringLiteral("the character %1 has no Windows-1252 byte")
                                .arg(characterForMessage(unencodable)));
            return false;
        }
        // Unbuffered, so that a short write (disk full) shows in write()'s count.
        QSaveFile file(fileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            reportFileError(window, QStringLiteral("save"), fileName, file.errorString());
            return false;
        }
        if (file.write(*bytes) != bytes->size()) {
            reportFileError(window, QStringLiteral("save"), fileName,
                            file.error() != QFileDevice::NoError
                                ? file.errorString()
                                : QStringLiteral("the file could not be written in full (disk full)"));
            return false; // the unfinished copy is discarded, the file stays as it was
        }
        if (!file.commit()) {
            reportFileError(window, QStringLiteral("save"), fileName, file.errorString());
            return false;
        }
        return true;
    }

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        reportFileError(window, QStringLiteral("load"), fileName, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reportFileError(window, QStringLiteral("load"), fileName, file.errorString());
        return false;
    }
    frmKelvaneProgrammer::setBoxText(box, ticketTextFromFile(bytes));
    return true;
}

} // namespace

void frmKelvaneProgrammer::CreateFiles() {
    for (const DefaultTextFile &textFile : defaultTextFiles()) {
        const QString path = QDir::toNativeSeparators(QDir(programFolder()).filePath(textFile.name));
        // Whatever stands there (even an empty file) is the operator's; also never write through a
        // link that leads nowhere.
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            continue;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            continue;
        if (file.write(textFile.contents) != textFile.contents.size()) {
            // A half-written default would count as the operator's file from now on.
            file.close();
            file.remove();
        }
    }
}

void frmKelvaneProgrammer::FileLoadSave(qint16 FileAction, const QString &sFileName) {
    textFileLoadSave(this, FileAction, sFileName);
}

void frmKelvaneProgrammer::cmdFileOps_Click(int Index) {
    static const char *const Titles[] = {"Open Location", "Save Location", "Open Disclaimer",
                                         "Save Disclaimer"};
    if (Index < 0 || Index > 3)
        return;
    const bool location = Index < 2;
    const bool save = Index == 1 || Index == 3;

    dlgCommon->Filter = QStringLiteral("(*.txt)|*.txt|All Files|*.*");
    dlgCommon->FileName = location ? LocationFileName : DisclaimerFileName;
    dlgCommon->DialogTitle = QLatin1String(Titles[Index]) + QLatin1String(" Text");
    const bool chosen = save ? dlgCommon->ShowSave() : dlgCommon->ShowOpen();
    if (!chosen || dlgCommon->FileName.isEmpty())
        return;

    // The file becomes the text's file only once it has been read or written: otherwise shut-down
    // would save the box over a file that failed to load, or lose the text to a folder it cannot
    // write.
    const QString fileName = dlgCommon->FileName;
    if (!textFileLoadSave(this, Index, fileName))
        return;
    (location ? LocationFileName : DisclaimerFileName) = fileName;
    ProfileStringWrite(QStringLiteral("Settings"),
                       location ? QStringLiteral("LocationFileName") : QStringLiteral("DisclaimerFileName"),
                       fileName, SettingsFileName);
}
