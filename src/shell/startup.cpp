// Start-up and shut-down of the main window.
#include "shell/codewindows.h"
#include "shell/frmkelvaneprogrammer.h"
#include "shell/productinfo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

namespace {

const char *const bonusDefaults[] = {"1.00", "5000", "50.00", "50.00"};
const char *const gameNumberDefaults[] = {"1111", "2222", "3333", "4444", "5555"};

QString settingsSection() {
    return QStringLiteral("Settings");
}

// A stored number outside the values the program knows would select a control that does not
// exist; it falls back to the key's default instead.
qint64 settingsInt(const QString &key, qint64 defaultValue, qint64 low, qint64 high, const QString &file) {
    const qint64 value = ProfileIntGet(settingsSection(), key, defaultValue, file);
    return value < low || value > high ? defaultValue : value;
}

} // namespace

void frmKelvaneProgrammer::Form_Load() {
    const QString section = settingsSection();

    const ProductInfo product = productInfo();
    setWindowTitle(QStringLiteral("%1, Version: %2.%3.%4")
                       .arg(product.name)
                       .arg(product.major)
                       .arg(product.minor)
                       .arg(product.revision, 2, 10, QLatin1Char('0')));

    SettingsFileName = QDir::toNativeSeparators(m_programFolder + QLatin1Char('/') + m_programBaseName +
                                                QStringLiteral(".ini"));

    const qint16 debugOptions =
        qint16(settingsInt(QStringLiteral("DebugOptions"), 0, -32768, 32767, SettingsFileName));
    if (debugOptions == 0) {
        // The shortened window ends at the Debug frame's top edge.
        frameDebug->hide();
        setFixedSize(width(), frameDebug->y());
    } else {
        txtDumpMemAddr->setText(
            ProfileStringGet(section, QStringLiteral("DumpMemAddr"), QStringLiteral("0"), SettingsFileName));
        txtDumpMemCnt->setText(
            ProfileStringGet(section, QStringLiteral("DumpMemCnt"), QStringLiteral("0"), SettingsFileName));
    }

    Options = quint8(settingsInt(QStringLiteral("Options"), 0, 0, 255, SettingsFileName));
    PrinterType =
        qint32(settingsInt(QStringLiteral("PrinterType"), 0, 0, optPrinter.size() - 1, SettingsFileName));
    PrinterBaudRate = qint32(settingsInt(QStringLiteral("PrinterBaudRate"), 0, 0, 1, SettingsFileName));
    LocationFileName = ProfileStringGet(
        section, QStringLiteral("LocationFileName"),
        QDir::toNativeSeparators(m_programFolder + QStringLiteral("/MyLocation.txt")), SettingsFileName);
    DisclaimerFileName = ProfileStringGet(
        section, QStringLiteral("DisclaimerFileName"),
        QDir::toNativeSeparators(m_programFolder + QStringLiteral("/MyDisclaimer.txt")), SettingsFileName);
    HardwareType = qint32(settingsInt(QStringLiteral("HardwareType"), 0, 0, 1, SettingsFileName));

    for (int i = 0; i < txtBonus.size(); ++i)
        txtBonus[i]->setText(ProfileStringGet(section, QStringLiteral("Bonus%1").arg(i),
                                              QLatin1String(bonusDefaults[i]), SettingsFileName));
    for (int i = 0; i < txtGameNumber.size(); ++i)
        txtGameNumber[i]->setText(ProfileStringGet(section, QStringLiteral("GameNumber%1").arg(i),
                                                   QLatin1String(gameNumberDefaults[i]), SettingsFileName));

    // The lists' handlers do nothing yet: FormLoaded is still false.
    cboCommPort->setCurrentIndex(int(settingsInt(QStringLiteral("CommPort"), 1, 0, 12, SettingsFileName)));
    cboCommBaudRate->setCurrentIndex(
        int(settingsInt(QStringLiteral("CommBaudRate"), 0, 0, 1, SettingsFileName)));

    // Each box ticked runs the option rules, which may clear a bit again; test the bit as it is now.
    for (int i = 0; i < chkOptions.size(); ++i) {
        if (Options & (1u << i))
            chkOptions[i]->setChecked(true);
    }

    optPrinter[PrinterType]->setChecked(true);
    optPrinterBaudRate[PrinterBaudRate]->setChecked(true);
    // With the PIC16F877 this forces both baud rates to 1200, whatever was stored.
    optHardwareType[HardwareType]->setChecked(true);

    // Bonus parameters are not offered in this version; their values are still kept and saved.
    frameBonus->hide();
    chkSend[5]->hide();
    chkOptions[2]->hide();

    OptionsEnable();
    CreateFiles();
    FileLoadSave(0, LocationFileName);
    FileLoadSave(2, DisclaimerFileName);

    // Restoring values ticked sections through their change handlers; the window opens with none.
    for (QCheckBox *const box : std::as_const(chkSend))
        box->setChecked(false);

    CommPortOpen();
    ocxTimer->setInterval(5000);
    FormLoaded = true;
}

void frmKelvaneProgrammer::Form_Unload() {
    const QString section = settingsSection();
    const auto write = [&](const QString &key, const QString &value) {
        ProfileStringWrite(section, key, value, SettingsFileName);
    };
    write(QStringLiteral("Options"), QString::number(Options));
    write(QStringLiteral("PrinterType"), QString::number(PrinterType));
    write(QStringLiteral("PrinterBaudRate"), QString::number(PrinterBaudRate));
    write(QStringLiteral("HardwareType"), QString::number(HardwareType));
    write(QStringLiteral("DumpMemAddr"), txtDumpMemAddr->text());
    write(QStringLiteral("DumpMemCnt"), txtDumpMemCnt->text());
    for (int i = 0; i < txtGameNumber.size(); ++i)
        write(QStringLiteral("GameNumber%1").arg(i), txtGameNumber[i]->text());
    for (int i = 0; i < txtBonus.size(); ++i)
        write(QStringLiteral("Bonus%1").arg(i), txtBonus[i]->text());

    FileLoadSave(1, LocationFileName);
    FileLoadSave(3, DisclaimerFileName);

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
