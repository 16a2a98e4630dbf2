// The window's ticket text files: the default files, loading and saving the location and
// disclaimer texts, and the four file buttons.
#include "shell/codewindows.h"
#include "shell/frmkelvaneprogrammer.h"
#include "textfiles/commondialog.h"
#include "textfiles/cp1252.h"
#include "textfiles/fileactions.h"
#include "textfiles/filesafety.h"
#include "textfiles/textfiles.h"
#include "textfiles/texthelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// The bytes of a ticket file as a load reads them, or nullopt when there is no regular file to
// read: what a text's file holds, to tell whether it changed since.
std::optional<QByteArray> ticketFileBytes(const QString &fileName) {
    if (regularFileProblem(QFileInfo(fileName)))
        return std::nullopt;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(TicketFileMaxSize + 1);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

} // namespace

void frmKelvaneProgrammer::TextFileError(const QString &verb, const QString &fileName,
                                         const QString &reason) {
    // A file name may hold a tab or a line break; the log line names them by number.
    const QString line = QStringLiteral("ERROR: Cannot %1 \"%2\": %3\r\n")
                             .arg(verb, messageQuote(QDir::toNativeSeparators(fileName)), reason);
    if (m_shuttingDown)
        ShutDownError(line);
    else
        StatusAppend(line, false);
}

QPlainTextEdit *frmKelvaneProgrammer::textBox(TicketText text) const {
    return text == TicketText::Location ? txtLocationInfo : txtDisclaimer;
}

QString &frmKelvaneProgrammer::textFileName(TicketText text) {
    return text == TicketText::Location ? LocationFileName : DisclaimerFileName;
}

const QString &frmKelvaneProgrammer::textFileName(TicketText text) const {
    return text == TicketText::Location ? LocationFileName : DisclaimerFileName;
}

// Loads or saves one text; false, with the reason in the status log, when the file could not be
// read or written. A failed load leaves the box as it was, a failed save leaves the file as it was.
bool frmKelvaneProgrammer::FileLoadSave(qint16 FileAction, const QString &sFileName) {
    if (FileAction < 0 || FileAction >= fileActionCount)
        return false;
    const TicketText text = fileActionText(FileAction);
    return fileActionOp(FileAction) == FileOp::Save ? TextFileSave(text, sFileName)
                                                    : TextFileLoad(text, sFileName);
}

bool frmKelvaneProgrammer::TextFileSave(TicketText text, const QString &sFileName) {
    const int t = textIndex(text);
    const QString boxed = boxText(textBox(text));
    QStringList replaced;
    const QByteArray bytes = ticketFileFromText(boxed, TicketEncoding(m_textEncoding[t]), &replaced);
    // A failed write should leave the file as it was; should it not, what it left is this
    // session's doing, and the text is owed to the file.
    const bool bound = sFileName == textFileName(text);
    const std::optional<QByteArray> before = bound ? ticketFileBytes(sFileName) : std::nullopt;
    QString error;
    if (!fileReplace(sFileName, bytes, &error)) {
        TextFileError(QStringLiteral("save"), sFileName, error);
        const std::optional<QByteArray> after = bound ? ticketFileBytes(sFileName) : std::nullopt;
        if (after != before) {
            m_textAsFiled[t].reset();
            m_textFileBytes[t] = after;
        }
        return false;
    }
    if (!replaced.isEmpty()) {
        const QString line = unencodableWarning(replaced);
        m_shuttingDown ? ShutDownError(line) : StatusAppend(line, false);
    }
    m_textAsFiled[t] = boxed;
    m_textFileBytes[t] = bytes;
    m_loadConflictShown[t] = false;
    return true;
}

// The bytes of a text file to load; nullopt, with the reason logged, when there is no regular
// file of sane size to read: a device would never end, a pipe might never start.
std::optional<QByteArray> frmKelvaneProgrammer::textFileRead(const QString &sFileName) {
    const auto fail = [&](const QString &reason) {
        TextFileError(QStringLiteral("load"), sFileName, reason);
        return std::nullopt;
    };
    const QFileInfo info(sFileName);
    if (info.exists()) {
        if (const std::optional<QString> problem = regularFileProblem(info))
            return fail(*problem);
    }
    const QString tooLarge = QStringLiteral("larger than 1 MiB");
    if (info.size() > TicketFileMaxSize)
        return fail(tooLarge);
    QFile file(sFileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    const QByteArray bytes = file.read(TicketFileMaxSize + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    if (bytes.size() > TicketFileMaxSize)
        return fail(tooLarge); // it grew since
    return bytes;
}

bool frmKelvaneProgrammer::TextFileLoad(TicketText text, const QString &sFileName) {
    const std::optional<QByteArray> bytes = textFileRead(sFileName);
    if (!bytes)
        return false;
    const int t = textIndex(text);
    TicketEncoding encoding = TicketEncoding::Cp1252;
    QStringList replaced;
    const QString loaded = ticketTextFromFile(*bytes, &encoding, &replaced);
    setBoxText(textBox(text), loaded);
    m_textEncoding[t] = int(encoding);
    m_textAsFiled[t] = boxText(textBox(text));
    m_textFileBytes[t] = *bytes;
    m_loadConflictShown[t] = false;
    if (!replaced.isEmpty())
        StatusAppend(unencodableWarning(replaced), false);
    return true;
}

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

void frmKelvaneProgrammer::textFileUnread(TicketText text) {
    m_textAsFiled[textIndex(text)] = boxText(textBox(text));
    m_textFileBytes[textIndex(text)] = ticketFileBytes(textFileName(text));
}

bool frmKelvaneProgrammer::textEdited(TicketText text) const {
    const std::optional<QString> &asFiled = m_textAsFiled[textIndex(text)];
    return !asFiled || *asFiled != boxText(textBox(text));
}

bool frmKelvaneProgrammer::textFileChanged(TicketText text) const {
    // A file that is gone holds nothing newer to keep.
    const std::optional<QByteArray> now = ticketFileBytes(textFileName(text));
    return now && now != m_textFileBytes[textIndex(text)];
}

bool frmKelvaneProgrammer::TextSaveAtShutDown(TicketText text) {
    // A text not edited since it was loaded or saved is not written: rewriting could only damage a
    // file the box cannot show byte for byte, one that failed to load, or a newer text saved there
    // by someone else.
    if (!textEdited(text))
        return true;
    const QString &fileName = textFileName(text);
    // Edited here and changed there as well: the first close says so and keeps both.
    if (!m_closeRefused && textFileChanged(text)) {
        ShutDownError(QStringLiteral("ERROR: Not saved: \"%1\" was changed on disk since this window loaded "
                                     "or saved it; closing again saves this window's text over it\r\n")
                          .arg(QDir::toNativeSeparators(fileName)));
        return false;
    }
    return FileLoadSave(fileAction(text, FileOp::Save), fileName);
}

bool frmKelvaneProgrammer::keepEditBeforeLoad(TicketText text) {
    if (!textEdited(text))
        return true;
    const QString &fileName = textFileName(text);
    // As at closing: a file changed on disk stops the first Load, the next one saves over it.
    bool &conflictShown = m_loadConflictShown[textIndex(text)];
    if (!conflictShown && textFileChanged(text)) {
        conflictShown = true;
        StatusAppend(QStringLiteral("ERROR: Not loaded: \"%1\" was changed on disk since this window loaded "
                                    "or saved it, and the text here was edited; loading again saves this "
                                    "window's text over it first\r\n")
                         .arg(QDir::toNativeSeparators(fileName)),
                     false);
        return false;
    }
    return FileLoadSave(fileAction(text, FileOp::Save), fileName);
}

// Characters typed, pasted or dropped into a box that have no Windows-1252 byte become "?" as
// they enter, so a box never holds what its file and the device cannot.
void frmKelvaneProgrammer::TextEntered(QPlainTextEdit *box) {
    const QString raw = box->document()->toRawText();
    // Line and paragraph separators are the box's line breaks.
    const auto kept = [](QChar c) { return cp1252Has(c) || isLineBreak(c); };
    if (std::all_of(raw.cbegin(), raw.cend(), kept))
        return;
    QStringList replaced;
    QTextCursor cursor(box->document());
    cursor.joinPreviousEditBlock(); // one undo step with the entry itself
    for (qsizetype i = raw.size() - 1; i >= 0; --i) {
        const QChar c = raw.at(i);
        if (kept(c))
            continue;
        const qsizetype start = characterStart(raw, i);
        const QString character = characterAt(raw, start);
        if (!replaced.contains(character))
            replaced.prepend(character);
        cursor.setPosition(int(start));
        cursor.setPosition(int(i + 1), QTextCursor::KeepAnchor);
        cursor.insertText(QStringLiteral("?"));
        i = start;
    }
    cursor.endEditBlock();
    StatusAppend(unencodableWarning(replaced), false);
}

void frmKelvaneProgrammer::cmdFileOps_Click(int Index) {
    static const char *const Titles[] = {"Open Location", "Save Location", "Open Disclaimer",
                                         "Save Disclaimer"};
    if (Index < 0 || Index >= fileActionCount)
        return;
    const TicketText text = fileActionText(qint16(Index));
    const bool save = fileActionOp(qint16(Index)) == FileOp::Save;

    dlgCommon->Filter = QStringLiteral("(*.txt)|*.txt|All Files|*.*");
    dlgCommon->FileName = textFileName(text);
    dlgCommon->DialogTitle = QLatin1String(Titles[Index]) + QLatin1String(" Text");
    const bool chosen = save ? dlgCommon->ShowSave() : dlgCommon->ShowOpen();
    if (!chosen || dlgCommon->FileName.isEmpty())
        return;

    // An edited text is saved to its file before another text replaces it; if it cannot be,
    // nothing is loaded.
    if (!save && !keepEditBeforeLoad(text))
        return;

    // The file becomes the text's file only once it has been read or written: otherwise shut-down
    // would save the box over a file that failed to load, or lose the text to a folder it cannot
    // write.
    const QString fileName = dlgCommon->FileName;
    if (!FileLoadSave(qint16(Index), fileName))
        return;
    textFileName(text) = fileName;
    const QString key = text == TicketText::Location ? QStringLiteral("LocationFileName")
                                                     : QStringLiteral("DisclaimerFileName");
    QString error;
    if (!SettingsWrite({{key, fileName}}, &error))
        StatusAppend(QStringLiteral("ERROR: Cannot save the settings to \"%1\": %2\r\n")
                         .arg(messageQuote(SettingsFileName), error),
                     false);
}
