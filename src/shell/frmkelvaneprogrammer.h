#pragma once

// The programmer's one working window. Every control, form-level field, event handler and
// procedure of the program belongs to it; the member functions are implemented in the folder of
// the subsystem they belong to (shell, link, programming, diagnostics, textfiles), while encoders
// and parsers are free functions that tests call directly.

#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>
#include <utility>

#include "shell/frmprogramming.h"
#include "textfiles/tickettexts.h"

class QCheckBox;
class QComboBox;
class QEventLoop;
class QFont;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class OcxComm;
class StatusLog;
class CommonDialog;
class WindowFit;

class frmKelvaneProgrammer : public QWidget {
    Q_OBJECT
public:
    // programPath is the executable whose folder and name the settings and text files hang on;
    // tests pass a path in a temporary folder.
    explicit frmKelvaneProgrammer(const QString &programPath = QCoreApplication::applicationFilePath(),
                                  QWidget *parent = nullptr);
    ~frmKelvaneProgrammer() override;

    // --- Controls (objectName = member name; arrays hold their members by index) -------------
    QGroupBox *frameOptions = nullptr;
    QGroupBox *frameGameNumber = nullptr;
    QGroupBox *framePrinter = nullptr;
    QGroupBox *framePrinterBaudRate = nullptr;
    QGroupBox *frameBonus = nullptr;
    QGroupBox *frameLocationInfo = nullptr;
    QGroupBox *frameDisclaimer = nullptr;
    QGroupBox *frameSend = nullptr;
    QGroupBox *frameDebug = nullptr;

    QPlainTextEdit *txtStatus = nullptr;
    QLabel *lblCommPort = nullptr;
    QComboBox *cboCommPort = nullptr;
    QLabel *lblCommBaudRate = nullptr;
    QComboBox *cboCommBaudRate = nullptr;
    QList<QRadioButton *> optHardwareType; // 0..1
    QList<QPushButton *> cmdFileOps;       // 0..3
    QPushButton *cmdTicket = nullptr;
    QPushButton *cmdClearText = nullptr;
    QPushButton *cmdTestComm = nullptr;
    QPushButton *cmdExit = nullptr;

    QList<QCheckBox *> chkOptions;            // 0..7, index = bit of Options
    QList<QLabel *> lblGameNumber;            // 0..4
    QList<QLineEdit *> txtGameNumber;         // 0..4
    QList<QRadioButton *> optPrinter;         // 0..6, index = PrinterType
    QList<QRadioButton *> optPrinterBaudRate; // 0..1
    QList<QLabel *> lblBonus;                 // 0..3
    QList<QLineEdit *> txtBonus;              // 0..3
    QPlainTextEdit *txtLocationInfo = nullptr;
    QPlainTextEdit *txtDisclaimer = nullptr;
    QList<QCheckBox *> chkSend; // 0..5, index = section
    QCheckBox *chkSendAll = nullptr;
    QPushButton *cmdProgram = nullptr;

    QPushButton *cmdGetVersionNumber = nullptr;
    QPushButton *cmdGetDIPSettings = nullptr;
    QPushButton *cmdDumpMemory = nullptr;
    QLabel *lblDumpMemAddr = nullptr;
    QLineEdit *txtDumpMemAddr = nullptr;
    QLabel *lblDumpMemCnt = nullptr;
    QLineEdit *txtDumpMemCnt = nullptr;

    QTimer *ocxTimer = nullptr;           // reply timer, single-shot use, disabled when idle
    OcxComm *ocxComm = nullptr;           // serial control
    CommonDialog *dlgCommon = nullptr;    // open / save file dialogs
    std::unique_ptr<StatusLog> statusLog; // the writer behind txtStatus

    // --- Form-level fields --------------------------------------------------------------------
    qint32 PrinterType = 0;
    qint32 PrinterBaudRate = 0;
    quint8 Options = 0;
    qint32 HardwareType = 0;
    QString SettingsFileName;
    QString LocationFileName;
    QString DisclaimerFileName;
    bool FormLoaded = false;
    bool ProgramRunning = false; // a programming run lasts: its end decides the command buttons

    // --- Exchange state shared by CommandSend and ocxComm_OnComm --------------------------------
    static constexpr int replyBufferSize = 256;
    quint8 ReplyBuffer[replyBufferSize] = {};
    qint16 ReplyIndex = 0;
    qint16 ReplyExpected = 0;
    bool ReplyDone = false;
    bool TimedOut = false;
    bool PayloadPhase = false;
    qint32 CommandCode = 0;
    bool ExchangeBusy = false; // an exchange is waiting; a second one is refused

    // --- Multi-line boxes: the program sees CR LF line breaks, the widget holds '\n' ---------
    static QString boxText(const QPlainTextEdit *box);
    static void setBoxText(QPlainTextEdit *box, const QString &text);
    QString statusText() const; // the status log's text, CR LF line breaks

    QString programFolder() const { return m_programFolder; }
    frmProgramming *programmingWindow() const { return m_frmProgramming; }

    // --- Start-up and shut-down (shell) -----------------------------------------------------
    void Form_Load();
    void SettingsLoad();              // start-up: the settings file into the fields and controls
    void settingsOwnTake();           // start-up: what this session holds, not to be written over a change
    void Form_Unload(qint16 &Cancel); // Cancel = 1 refuses the close (once, after a failed save)
    void cmdExit_Click();
    // The session ends (log-out, shut-down, a signal): closes as the close box does, but nobody is
    // left to answer a refused close, so failed saves are only reported and the window closes.
    void closeForSessionEnd();
    // Writes the keys in one step; false (reason in *error) when not all of them reached the file.
    bool SettingsWrite(const QList<std::pair<QString, QString>> &values, QString *error = nullptr);

    // --- Status log (link) -------------------------------------------------------------------
    void StatusAppend(const QString &Text, bool Clear);
    void cmdClearText_Click();

    // --- Port selection, exchange and reception (link) -----------------------------------------
    void CommPortOpen();
    void cboCommPort_Click();
    void cboCommBaudRate_Click();
    void optHardwareType_Click(int Index);
    qint16 CommandSend(qint32 Command, const QByteArray &Payload, bool WaitReply, qint16 ReplyLen,
                       qint16 PayloadReplyLen);
    void ocxTimer_Timer();
    void ocxComm_OnComm();

    // --- Programming run, sections and option rules (programming) ------------------------------
    void cmdProgram_Click();
    void CmndButtonEnable(bool fEna);
    void chkSendAll_Click();
    void optPrinter_Click(int Index);
    void optPrinterBaudRate_Click(int Index);
    void txtBonus_Change(int Index);
    void txtGameNumber_Change(int Index);
    void txtLocationInfo_Change();
    void txtDisclaimer_Change();
    qint16 DateTimeSend();
    qint16 OptionsGameSend();
    qint16 PrinterConfigSend();
    qint16 TextSend(qint16 TextKind);
    void ProgramSectionsSend();      // the ticked sections in order, until one fails
    qint16 SectionSend(int section); // one section, by its chkSend index
    qint16 BonusSend();
    void chkOptions_Click(int Index);
    void OptionsEnable();
    void txtBonus_KeyPress(int Index, int &KeyAscii);

    // --- Diagnostics ----------------------------------------------------------------------------
    void cmdGetVersionNumber_Click();
    void cmdGetDIPSettings_Click();
    void cmdDumpMemory_Click();
    void cmdTestComm_Click();
    void cmdTicket_Click();

    // --- Ticket text files (textfiles) ----------------------------------------------------------
    void CreateFiles();
    // Loads or saves one text; false when it failed (the reason is in the status log).
    bool FileLoadSave(qint16 FileAction, const QString &sFileName);
    void cmdFileOps_Click(int Index);
    bool TextSaveAtShutDown(TicketText text); // skipped when unchanged

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool TextFileLoad(TicketText text, const QString &sFileName);
    bool TextFileSave(TicketText text, const QString &sFileName);
    std::optional<QByteArray> textFileRead(const QString &sFileName);
    QPlainTextEdit *textBox(TicketText text) const;
    QString &textFileName(TicketText text);
    const QString &textFileName(TicketText text) const;
    void TextFileError(const QString &verb, const QString &fileName, const QString &reason);
    // Characters without a Windows-1252 byte become "?" as they enter a box.
    void TextEntered(QPlainTextEdit *box);
    // A line for the status log that also goes to standard error.
    void ShutDownError(const QString &line);
    using SettingsValues = QList<std::pair<QString, QString>>; // key, value
    SettingsValues shutDownSettings() const; // the keys shut-down writes, with their values now
    // values without the keys another copy changed in the file (inFile) and this session did not.
    SettingsValues settingsToWrite(const SettingsValues &values, const QHash<QString, QString> &inFile) const;
    // Per text: edited since its file was last loaded or saved; its file
    // holds other bytes now than then.
    bool textEdited(TicketText text) const;
    bool textFileChanged(TicketText text) const;
    bool keepEditBeforeLoad(TicketText text); // Load: saves an edited text to its file first
    void textFileUnread(TicketText text);     // start-up could not load the file: written back only if edited

    // Layout (frmkelvaneprogrammer_layout.cpp): the controls with their tab index, chained at the end.
    using TabList = QList<std::pair<int, QWidget *>>;
    void createControls();
    void createFrames(TabList &tabs);
    void createLinkControls(TabList &tabs, const QFont &fixedPitch);
    void createBottomRow(TabList &tabs);
    void createOptionsFrame(TabList &tabs);
    void createGameNumberFrame(TabList &tabs);
    void createPrinterFrame(TabList &tabs);
    void createPrinterBaudRateFrame(TabList &tabs);
    void createBonusFrame(TabList &tabs);
    void createTextFrames(TabList &tabs, const QFont &fixedPitch);
    void createSendFrame(TabList &tabs);
    void createDebugFrame(TabList &tabs);
    void createHiddenControls();
    void chainTabs(TabList &tabs);
    // Signal wiring (frmkelvaneprogrammer_wiring.cpp), by group of controls.
    void connectHandlers();
    void connectOptionHandlers();
    void connectLinkHandlers();
    void connectTextHandlers();
    void connectButtonHandlers();
    void onPortLost(const QString &reason); // link: the port vanished while open
    QString portNotOpenText() const;        // link: the closed-port error line, with what to do
    void endWait();                         // link: releases CommandSend's wait
    void statusShowReceived();              // link: shows what the device sent, held or unread
    bool exchangeRefused();                 // link: logs and refuses a second exchange while one waits
    // link: the steps of CommandSend. A phase writes its bytes and awaits their reply.
    enum class PhaseEnd { Passed, Failed, Gone }; // Gone: the window was destroyed meanwhile
    void phaseStart(qint16 replyLen, bool payloadPhase);
    PhaseEnd exchangePhase(const QByteArray &bytes, bool WaitReply, int checkedIndex);
    bool phaseWrite(const QByteArray &bytes);
    PhaseEnd replyWait();
    bool replyCheckFailed(int checkedIndex);
    void outputDrain(); // programming: waits until the port's bytes have left

    QString m_programFolder;
    QString m_programFileName;
    QPointer<frmProgramming> m_frmProgramming;
    WindowFit *m_windowFit = nullptr; // keeps the window on its screen (layout)
    QEventLoop *m_waitLoop = nullptr; // the nested loop CommandSend waits in, while it waits
    bool m_unloaded = false;          // Form_Unload has run
    bool m_portLost = false;          // the port vanished; re-picking the same port reopens it
    bool m_portIndexChanged = false;  // cboCommPort's index changed in this event (see activated)
    bool m_restoringPort = false;     // CommPortOpen is restoring the previous port after a failure
    QString m_lastLocationText;       // guards the change handlers of the multi-line boxes
    QString m_lastDisclaimerText;

    // Settings keys whose value the file is known to hold, written as a write would leave them
    // (start-up only).
    QHash<QString, QString> m_settingsKnown;
    // Case-folded key -> the value the file held when this session last read or wrote it, and the
    // value this session held then: a key whose value is still its own is not written over a
    // change another copy made.
    QHash<QString, QString> m_settingsSeen;
    QHash<QString, QString> m_settingsOwn;
    // Why the settings file could not be read at start-up (then it is never written), or empty.
    QString m_settingsUnreadable;
    // A close was refused once after a failed save, or the session ends: no close is refused then.
    bool m_closeRefused = false;
    bool m_shuttingDown = false; // Form_Unload is saving the texts
    // Per text (indexed by textIndex): the box's text when it last matched its file (or when
    // its file failed to load at start-up), and the encoding of that file.
    std::optional<QString> m_textAsFiled[2];
    int m_textEncoding[2] = {0, 0};
    // The file's bytes then (nullopt: there was no readable file), to see changes made elsewhere.
    std::optional<QByteArray> m_textFileBytes[2];
    bool m_loadConflictShown[2] = {false, false}; // a Load was refused once over a file changed on disk
};
