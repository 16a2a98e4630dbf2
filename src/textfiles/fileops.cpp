// The window's ticket text files: the default files, loading and saving the location and
// disclaimer texts, and the four file buttons.
#include "link/statuslog.h"
#include "shell/codewindows.h"
#include "shell/frmkelvaneprogrammer.h"
#include "textfiles/commondialog.h"
#include "textfiles/cp1252.h"
#include "textfiles/textfiles.h"

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
    if (!QFileInfo(fileName).isFile())
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

// Loads (actions 0, 2) or saves (1, 3) one text; false, with the reason in the status log, when
// the file could not be read or written. A failed load leaves the box as it was, a failed save
// leaves the file as it was.
bool frmKelvaneProgrammer::TextFileLoadSave(qint16 FileAction, const QString &sFileName) {
    if (FileAction < 0 || FileAction > 3)
        return false;
    const int text = FileAction < 2 ? 0 : 1;
    QPlainTextEdit *box = text == 0 ? txtLocationInfo : txtDisclaimer;
    if (FileAction == 1 || FileAction == 3) {
        const QString boxed = boxText(box);
        QStringList replaced;
        const QByteArray bytes = ticketFileFromText(boxed, TicketEncoding(m_textEncoding[text]), &replaced);
        // A failed write should leave the file as it was; should it not, what it left is this
        // session's doing, and the text is owed to the file.
        const bool bound = sFileName == (text == 0 ? LocationFileName : DisclaimerFileName);
        const std::optional<QByteArray> before = bound ? ticketFileBytes(sFileName) : std::nullopt;
        QString error;
        if (!fileReplace(sFileName, bytes, &error)) {
            TextFileError(QStringLiteral("save"), sFileName, error);
            const std::optional<QByteArray> after = bound ? ticketFileBytes(sFileName) : std::nullopt;
            if (after != before) {
                m_textAsFiled[text].reset();
                m_textFileBytes[text] = after;
            }
            return false;
        }
        if (!replaced.isEmpty()) {
            const QString line = unencodableWarning(replaced);
            m_shuttingDown ? ShutDownError(line) : StatusAppend(line, false);
        }
        m_textAsFiled[text] = boxed;
        m_textFileBytes[text] = bytes;
        m_loadConflictShown[text] = false;
        return true;
    }

    // Only a regular file of sane size: a device would never end, a pipe might never start.
    const QFileInfo info(sFileName);
    if (info.exists() && !info.isFile()) {
        TextFileError(QStringLiteral("load"), sFileName,
                      info.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("not a regular file"));
        return false;
    }
    const auto tooLarge = [&] {
        TextFileError(QStringLiteral("load"), sFileName, QStringLiteral("larger than 1 MiB"));
        return false;
    };
    if (info.size() > TicketFileMaxSize)
        return tooLarge();
    QFile file(sFileName);
    if (!file.open(QIODevice::ReadOnly)) {
        TextFileError(QStringLiteral("load"), sFileName, file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(TicketFileMaxSize + 1);
    if (file.error() != QFileDevice::NoError) {
        TextFileError(QStringLiteral("load"), sFileName, file.errorString());
        return false;
    }
    if (bytes.size() > TicketFileMaxSize)
        return tooLarge(); // it grew since
    TicketEncoding encoding = TicketEncoding::Cp1252;
    QStringList replaced;
    const QString loaded = ticketTextFromFile(bytes, &encoding, &replaced);
    setBoxText(box, loaded);
    m_textEncoding[text] = int(encoding);
    m_textAsFiled[text] = boxText(box);
    m_textFileBytes[text] = bytes;
    m_loadConflictShown[text] = false;
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

void frmKelvaneProgrammer::FileLoadSave(qint16 FileAction, const QString &sFileName) {
    TextFileLoadSave(FileAction, sFileName);
}

void frmKelvaneProgrammer::textFileUnread(int text) {
    m_textAsFiled[text] = boxText(text == 0 ? txtLocationInfo : txtDisclaimer);
    m_textFileBytes[text] = ticketFileBytes(text == 0 ? LocationFileName : DisclaimerFileName);
}

bool frmKelvaneProgrammer::textEdited(int text) const {
    return !m_textAsFiled[text] ||
           *m_textAsFiled[text] != boxText(text == 0 ? txtLocationInfo : txtDisclaimer);
}

bool frmKelvaneProgrammer::textFileChanged(int text) const {
    // A file that is gone holds nothing newer to keep.
    const std::optional<QByteArray> now = ticketFileBytes(text == 0 ? LocationFileName : DisclaimerFileName);
    return now && now != m_textFileBytes[text];
}

bool frmKelvaneProgrammer::TextSaveAtShutDown(int text) {
    // A text not edited since it was loaded or saved is not written: rewriting could only damage a
    // file the box cannot show byte for byte, one that failed to load, or a newer text saved there
    // by someone else.
    if (!textEdited(text))
        return true;
    const QString &fileName = text == 0 ? LocationFileName : DisclaimerFileName;
    // Edited here and changed there as well: the first close says so and keeps both.
    if (!m_closeRefused && textFileChanged(text)) {
        ShutDownError(QStringLiteral("ERROR: Not saved: \"%1\" was changed on disk since this window loaded "
                                     "or saved it; closing again saves this window's text over it\r\n")
                          .arg(QDir::toNativeSeparators(fileName)));
        return false;
    }
    return TextFileLoadSave(text == 0 ? 1 : 3, fileName);
}

bool frmKelvaneProgrammer::keepEditBeforeLoad(int text) {
    if (!textEdited(text))
        return true;
    const QString &fileName = text == 0 ? LocationFileName : DisclaimerFileName;
    // As at closing: a file changed on disk stops the first Load, the next one saves over it.
    if (!m_loadConflictShown[text] && textFileChanged(text)) {
        m_loadConflictShown[text] = true;
        StatusAppend(QStringLiteral("ERROR: Not loaded: \"%1\" was changed on disk since this window loaded "
                                    "or saved it, and the text here was edited; loading again saves this "
                                    "window's text over it first\r\n")
                         .arg(QDir::toNativeSeparators(fileName)),
                     false);
        return false;
    }
    return TextFileLoadSave(text == 0 ? 1 : 3, fileName);
}

// Characters typed, pasted or dropped into a box that have no Windows-1252 byte become "?" as
// they enter, so a box never holds what its file and the device cannot.
void frmKelvaneProgrammer::TextEntered(QPlainTextEdit *box) {
    const QString raw = box->document()->toRawText();
    // Line and paragraph separators are the box's line breaks.
    const auto kept = [](QChar c) {
        return cp1252Has(c) || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
    };
    if (std::all_of(raw.cbegin(), raw.cend(), kept))
        return;
    QStringList replaced;
    QTextCursor cursor(box->document());
    cursor.joinPreviousEditBlock(); // one undo step with the entry itself
    for (qsizetype i = raw.size() - 1; i >= 0; --i) {
        const QChar c = raw.at(i);
        if (kept(c))
            continue;
        const bool pair = c.isLowSurrogate() && i > 0 && raw.at(i - 1).isHighSurrogate();
        const qsizetype start = pair ? i - 1 : i;
        const QString character = raw.mid(start, pair ? 2 : 1);
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

    // An edited text is saved to its file before another text replaces it; if it cannot be,
    // nothing is loaded.
    if (!save && !keepEditBeforeLoad(location ? 0 : 1))
        return;

    // The file becomes the text's file only once it has been read or written: otherwise shut-down
    // would save the box over a file that failed to load, or lose the text to a folder it cannot
    // write.
    const QString fileName = dlgCommon->FileName;
    if (!TextFileLoadSave(Index, fileName))
        return;
    (location ? LocationFileName : DisclaimerFileName) = fileName;
    QString error;
    if (!SettingsWrite({{location ? QStringLiteral("LocationFileName") : QStringLiteral("DisclaimerFileName"),
                         fileName}},
                       &error))
        StatusAppend(QStringLiteral("ERROR: Cannot save the settings to \"%1\": %2\r\n")
                         .arg(messageQuote(SettingsFileName), error),
                     false);
}
