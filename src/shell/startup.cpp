// Start-up and shut-down of the main window.
#include "programming/optionbits.h"
#include "programming/sections.h"
#include "shell/codewindows.h"
#include "shell/frmkelvaneprogrammer.h"
#include "shell/productinfo.h"
#include "shell/windowfit.h"
#include "textfiles/fileactions.h"
#include "textfiles/filesafety.h"
#include "textfiles/texthelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

const char *const bonusDefaults[] = {"1.00", "5000", "50.00", "50.00"};
const char *const gameNumberDefaults[] = {"1111", "2222", "3333", "4444", "5555"};

QString settingsSection() {
    return QStringLiteral("Settings");
}

// The settings section as start-up reads it, once: a text or a whole number per key.
struct StoredSettings {
    QHash<QString, QString> values; // case-folded key -> value

    QString text(const QString &key, const QString &defaultValue) const {
        return values.value(key.toCaseFolded(), defaultValue);
    }
    // A stored number outside the values the program knows would select a control that does not
    // exist; it falls back to the key's default instead.
    qint64 number(const QString &key, qint64 defaultValue, qint64 low, qint64 high) const {
        const auto found = values.constFind(key.toCaseFolded());
        if (found == values.cend())
            return defaultValue;
        const qint64 value = profileLeadingNumber(*found).value_or(defaultValue);
        return value < low || value > high ? defaultValue : value;
    }
};

// Start-up's settings reads, each applied to its field or control in turn.
void applyStoredSettings(frmKelvaneProgrammer &w, const StoredSettings &stored,
                         const QString &programFolder) {
    const qint16 debugOptions = qint16(stored.number(QStringLiteral("DebugOptions"), 0, -32768, 32767));
    if (debugOptions == 0) {
        w.frameDebug->hide(); // Form_Load then shortens the window to the frame's top edge
    } else {
        w.txtDumpMemAddr->setText(stored.text(QStringLiteral("DumpMemAddr"), QStringLiteral("0")));
        w.txtDumpMemCnt->setText(stored.text(QStringLiteral("DumpMemCnt"), QStringLiteral("0")));
    }

    w.Options = quint8(stored.number(QStringLiteral("Options"), 0, 0, 255));
    w.PrinterType = qint32(stored.number(QStringLiteral("PrinterType"), 0, 0, w.optPrinter.size() - 1));
    w.PrinterBaudRate = qint32(stored.number(QStringLiteral("PrinterBaudRate"), 0, 0, 1));
    w.LocationFileName =
        stored.text(QStringLiteral("LocationFileName"),
                    QDir::toNativeSeparators(programFolder + QStringLiteral("/MyLocation.txt")));
    w.DisclaimerFileName =
        stored.text(QStringLiteral("DisclaimerFileName"),
                    QDir::toNativeSeparators(programFolder + QStringLiteral("/MyDisclaimer.txt")));
    w.HardwareType = qint32(stored.number(QStringLiteral("HardwareType"), 0, 0, 1));

    for (int i = 0; i < w.txtBonus.size(); ++i)
        w.txtBonus[i]->setText(
            stored.text(QStringLiteral("Bonus%1").arg(i), QLatin1String(bonusDefaults[i])));
    for (int i = 0; i < w.txtGameNumber.size(); ++i)
        w.txtGameNumber[i]->setText(
            stored.text(QStringLiteral("GameNumber%1").arg(i), QLatin1String(gameNumberDefaults[i])));

    // The lists' handlers do nothing yet: FormLoaded is still false.
    w.cboCommPort->setCurrentIndex(int(stored.number(QStringLiteral("CommPort"), 1, 0, 12)));
    w.cboCommBaudRate->setCurrentIndex(int(stored.number(QStringLiteral("CommBaudRate"), 0, 0, 1)));

    // Each box ticked runs the option rules, which may clear a bit again; test the bit as it is now.
    for (int i = 0; i < w.chkOptions.size(); ++i) {
        if (w.Options & (1u << i))
            w.chkOptions[i]->setChecked(true);
    }

    w.optPrinter[w.PrinterType]->setChecked(true);
    w.optPrinterBaudRate[w.PrinterBaudRate]->setChecked(true);
    // With the PIC16F877 this forces both baud rates to 1200, whatever was stored.
    w.optHardwareType[w.HardwareType]->setChecked(true);
}

} // namespace

// Reads the settings file once and applies what it holds to the fields and controls.
void frmKelvaneProgrammer::SettingsLoad() {
    SettingsFileName =
        QDir::toNativeSeparators(m_programFolder + QLatin1Char('/') + settingsFileNameFor(m_programFileName));

    // The file is read and parsed once; a file that exists but cannot be read gives the defaults
    // and is never replaced, so that what it holds is not lost.
    QString settingsError;
    const std::optional<QByteArray> settingsBytes = profileFileBytes(SettingsFileName, &settingsError);
    m_settingsUnreadable = settingsBytes ? QString() : settingsError;
    m_settingsKnown.clear();
    const StoredSettings stored{
        profileSectionValues(settingsBytes.value_or(QByteArray()), settingsSection(), &m_settingsKnown)};
    m_settingsSeen = stored.values;

    applyStoredSettings(*this, stored, m_programFolder);
    // Without the Debug frame the window ends at that frame's top edge.
    if (frameDebug->isHidden())
        m_windowFit->setDesignedSize(QSize(m_windowFit->designedSize().width(), frameDebug->y()));
}

// What this session holds once started is its own starting point: a key it leaves so is not
// written over another copy's change.
void frmKelvaneProgrammer::settingsOwnTake() {
    m_settingsOwn.clear();
    ProfileValues own = shutDownSettings();
    own << std::pair{QStringLiteral("CommPort"), QString::number(cboCommPort->currentIndex())}
        << std::pair{QStringLiteral("CommBaudRate"), QString::number(cboCommBaudRate->currentIndex())}
        << std::pair{QStringLiteral("LocationFileName"), LocationFileName}
        << std::pair{QStringLiteral("DisclaimerFileName"), DisclaimerFileName};
    for (const auto &[key, value] : std::as_const(own))
        m_settingsOwn.insert(key.toCaseFolded(), value);
}

void frmKelvaneProgrammer::Form_Load() {
    const ProductInfo product = productInfo();
    setWindowTitle(QStringLiteral("%1, Version: %2.%3.%4")
                       .arg(product.name)
                       .arg(product.major)
                       .arg(product.minor)
                       .arg(product.revision, 2, 10, QLatin1Char('0')));

    SettingsLoad();

    // Bonus parameters are not offered in this version; their values are still kept and saved.
    frameBonus->hide();
    chkSend[Section::Bonus]->hide();
    chkOptions[OptionBit::UseBonus]->hide();

    OptionsEnable();
    if (!m_settingsUnreadable.isEmpty())
        StatusAppend(QStringLiteral("ERROR: Cannot read the settings file \"%1\": %2. It is left as it is, "
                                    "and no setting is saved to it.\r\n")
                         .arg(messageQuote(SettingsFileName), m_settingsUnreadable),
                     false);
    CreateFiles();
    // A text whose file did not load is not written back over that file unless it is changed.
    if (!FileLoadSave(fileAction(TicketText::Location, FileOp::Load), LocationFileName))
        textFileUnread(TicketText::Location);
    if (!FileLoadSave(fileAction(TicketText::Disclaimer, FileOp::Load), DisclaimerFileName))
        textFileUnread(TicketText::Disclaimer);

    // Restoring values ticked sections through their change handlers; the window opens with none.
    for (QCheckBox *const box : std::as_const(chkSend))
        box->setChecked(false);

    CommPortOpen();
    ocxTimer->setInterval(5000);
    FormLoaded = true;
    settingsOwnTake();
}

ProfileValues frmKelvaneProgrammer::shutDownSettings() const {
    ProfileValues values = {
        {QStringLiteral("Options"), QString::number(Options)},
        {QStringLiteral("PrinterType"), QString::number(PrinterType)},
        {QStringLiteral("PrinterBaudRate"), QString::number(PrinterBaudRate)},
        {QStringLiteral("HardwareType"), QString::number(HardwareType)},
        {QStringLiteral("DumpMemAddr"), txtDumpMemAddr->text()},
        {QStringLiteral("DumpMemCnt"), txtDumpMemCnt->text()},
    };
    for (int i = 0; i < txtGameNumber.size(); ++i)
        values.append({QStringLiteral("GameNumber%1").arg(i), txtGameNumber[i]->text()});
    for (int i = 0; i < txtBonus.size(); ++i)
        values.append({QStringLiteral("Bonus%1").arg(i), txtBonus[i]->text()});
    return values;
}

ProfileValues frmKelvaneProgrammer::settingsToWrite(const ProfileValues &values,
                                                    const QHash<QString, QString> &inFile) const {
    ProfileValues kept;
    for (const auto &pair : values) {
        const QString key = pair.first.toCaseFolded();
        const auto now = inFile.constFind(key);
        const auto seen = m_settingsSeen.constFind(key);
        const auto own = m_settingsOwn.constFind(key);
        // Another copy (or a hand edit) changed the key since this session read or wrote it, and
        // this session did not change it: the file's text stays.
        const bool changedThere = now != inFile.cend() && (seen == m_settingsSeen.cend() || *seen != *now);
        if (changedThere && own != m_settingsOwn.cend() && *own == pair.second)
            continue;
        kept.append(pair);
    }
    return kept;
}

bool frmKelvaneProgrammer::SettingsWrite(const ProfileValues &values, QString *error) {
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!m_settingsUnreadable.isEmpty())
        return fail(QStringLiteral("it could not be read at start-up (%1)").arg(m_settingsUnreadable));
    // During start-up the file was read a moment ago: values it holds already, written as a write
    // would leave them, need no second reading (start-up's port keys). Later writes look at the
    // file as it is now.
    const bool known = !FormLoaded && QFileInfo::exists(SettingsFileName) &&
                       std::all_of(values.cbegin(), values.cend(), [this](const auto &pair) {
                           const auto found = m_settingsKnown.constFind(pair.first.toCaseFolded());
                           return found != m_settingsKnown.cend() && *found == pair.second;
                       });
    if (known)
        return true;
    QString reason;
    const std::optional<QByteArray> before = profileFileBytes(SettingsFileName, &reason);
    if (!before)
        return fail(reason);
    const ProfileValues written = settingsToWrite(values, profileSectionValues(*before, settingsSection()));
    QStringList refused;
    const std::optional<QByteArray> after = profileWithValues(*before, settingsSection(), written, &refused);
    if (!after)
        return fail(QStringLiteral("the section name cannot be stored"));
    if ((*after != *before || !QFileInfo(SettingsFileName).isFile()) &&
        !fileReplace(SettingsFileName, *after, &reason)) {
        // Whatever a failed write left is this session's doing, not another copy's change: the next
        // write replaces it.
        const std::optional<QByteArray> now = profileFileBytes(SettingsFileName);
        if (now && *now != *before)
            m_settingsSeen.insert(profileSectionValues(*now, settingsSection()));
        return fail(reason);
    }
    for (const auto &[key, value] : written) {
        if (refused.contains(key))
            continue;
        m_settingsSeen.insert(key.toCaseFolded(), value);
        m_settingsOwn.insert(key.toCaseFolded(), value);
        if (!FormLoaded)
            m_settingsKnown.insert(key.toCaseFolded(), value);
    }
    if (!refused.isEmpty())
        return fail(
            QStringLiteral("a value holds a line break (%1)").arg(refused.join(QStringLiteral(", "))));
    return true;
}

void frmKelvaneProgrammer::ShutDownError(const QString &line) {
    StatusAppend(line, false);
    QString plain = line;
    fputs(plain.replace(crlf, QLatin1String("\n")).toLocal8Bit().constData(), stderr);
    fflush(stderr);
}

void frmKelvaneProgrammer::Form_Unload(qint16 &Cancel) {
    // The close has ended a wait for the device; whether the window closes is known only below.
    const bool waitEnded = ExchangeBusy;
    // Every key in one step: a kill leaves the complete old or the complete new file.
    bool saved = true;
    QString error;
    if (!SettingsWrite(shutDownSettings(), &error)) {
        ShutDownError(QStringLiteral("ERROR: Cannot save the settings to \"%1\": %2\r\n")
                          .arg(messageQuote(SettingsFileName), error));
        saved = false;
    }

    m_shuttingDown = true;
    saved = TextSaveAtShutDown(TicketText::Location) && saved;
    saved = TextSaveAtShutDown(TicketText::Disclaimer) && saved;
    m_shuttingDown = false;

    // The first close that could not save everything is refused, so the lines above stay in view.
    if (!saved && !m_closeRefused) {
        m_closeRefused = true;
        if (waitEnded)
            StatusAppend(QStringLiteral("ERROR: Stopped waiting for the device: Exit was pressed\r\n"),
                         false);
        ShutDownError(QStringLiteral("Press Exit again to close; what could not be saved is then lost.\r\n"));
        Cancel = 1;
        return;
    }
    if (waitEnded)
        StatusAppend(QStringLiteral("ERROR: Stopped waiting for the device: the window is closing\r\n"),
                     false);

    // A programming run leaves its window loaded but hidden. A run still waiting for the device
    // hides it once more as it unwinds, so then it is only closed and goes with this window.
    if (m_frmProgramming) {
        m_frmProgramming->close();
        if (!m_waitLoop)
            delete m_frmProgramming;
    }
}

void frmKelvaneProgrammer::cmdExit_Click() {
    close();
}

void frmKelvaneProgrammer::closeForSessionEnd() {
    // Every reason to refuse the close is spent at once: the close saves what it can and closes.
    m_closeRefused = true;
    close();
}
