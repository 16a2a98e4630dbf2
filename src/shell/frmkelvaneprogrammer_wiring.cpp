// The window's wiring: which handler each control's signals run.
#include "link/ocxcomm.h"
#include "shell/controlstyles.h"
#include "shell/frmkelvaneprogrammer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <utility>

void frmKelvaneProgrammer::connectHandlers() {
    connectOptionHandlers();
    connectLinkHandlers();
    connectTextHandlers();
    connectButtonHandlers();
}

void frmKelvaneProgrammer::connectOptionHandlers() {
    // Setting a value in code runs the same handler as the operator's action, and only on a change.
    for (int i = 0; i < chkOptions.size(); ++i)
        connect(chkOptions[i], &QCheckBox::toggled, this, [this, i] { chkOptions_Click(i); });
    connect(chkSendAll, &QCheckBox::toggled, this, [this] { chkSendAll_Click(); });

    const auto onSelected = [this](QRadioButton *button, auto handler) {
        connect(button, &QRadioButton::toggled, this, [handler](bool checked) {
            if (checked)
                handler();
        });
    };
    for (int i = 0; i < optPrinter.size(); ++i)
        onSelected(optPrinter[i], [this, i] { optPrinter_Click(i); });
    for (int i = 0; i < optPrinterBaudRate.size(); ++i)
        onSelected(optPrinterBaudRate[i], [this, i] { optPrinterBaudRate_Click(i); });
    for (int i = 0; i < optHardwareType.size(); ++i)
        onSelected(optHardwareType[i], [this, i] { optHardwareType_Click(i); });
}

void frmKelvaneProgrammer::connectLinkHandlers() {
    connect(cboCommPort, &QComboBox::currentIndexChanged, this, [this] {
        // activated() follows at once when the operator made the change; the flag tells it so.
        m_portIndexChanged = true;
        QTimer::singleShot(0, this, [this] { m_portIndexChanged = false; });
        cboCommPort_Click();
    });
    connect(cboCommBaudRate, &QComboBox::currentIndexChanged, this, [this] { cboCommBaudRate_Click(); });
    // A wheel turned over a list merely passed on the way must not change the port or the speed:
    // the lists take the wheel only with the keyboard focus, and the wheel does not give it.
    for (QComboBox *const list : {cboCommPort, cboCommBaudRate}) {
        list->setFocusPolicy(Qt::StrongFocus);
        list->installEventFilter(this);
    }
    for (const QList<QRadioButton *> *group : {&optPrinter, &optPrinterBaudRate, &optHardwareType})
        optionGroupTabStops(*group);
    // Picking the port that is already shown changes no index, yet must open it when it is closed
    // (it was lost, or it failed to open at start-up).
    connect(cboCommPort, &QComboBox::activated, this, [this](int index) {
        if (!std::exchange(m_portIndexChanged, false) && FormLoaded && index > 0 && !ocxComm->PortOpen())
            CommPortOpen();
    });
}

void frmKelvaneProgrammer::connectTextHandlers() {
    for (int i = 0; i < txtBonus.size(); ++i) {
        connect(txtBonus[i], &QLineEdit::textChanged, this, [this, i] { txtBonus_Change(i); });
        txtBonus[i]->installEventFilter(this);
    }
    for (int i = 0; i < txtGameNumber.size(); ++i)
        connect(txtGameNumber[i], &QLineEdit::textChanged, this, [this, i] { txtGameNumber_Change(i); });

    // A QPlainTextEdit signals textChanged also when its text is set to what it already holds.
    const auto onTextChange = [this](QPlainTextEdit *box, QString *last,
                                     void (frmKelvaneProgrammer::*handler)()) {
        connect(box, &QPlainTextEdit::textChanged, this, [this, box, last, handler] {
            TextEntered(box);
            const QString text = boxText(box);
            if (text == *last)
                return;
            *last = text;
            (this->*handler)();
        });
    };
    onTextChange(txtLocationInfo, &m_lastLocationText, &frmKelvaneProgrammer::txtLocationInfo_Change);
    onTextChange(txtDisclaimer, &m_lastDisclaimerText, &frmKelvaneProgrammer::txtDisclaimer_Change);
}

void frmKelvaneProgrammer::connectButtonHandlers() {
    for (int i = 0; i < cmdFileOps.size(); ++i)
        connect(cmdFileOps[i], &QPushButton::clicked, this, [this, i] { cmdFileOps_Click(i); });
    connect(cmdTicket, &QPushButton::clicked, this, [this] { cmdTicket_Click(); });
    connect(cmdClearText, &QPushButton::clicked, this, [this] { cmdClearText_Click(); });
    connect(cmdTestComm, &QPushButton::clicked, this, [this] { cmdTestComm_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(cmdProgram, &QPushButton::clicked, this, [this] { cmdProgram_Click(); });
    connect(cmdGetVersionNumber, &QPushButton::clicked, this, [this] { cmdGetVersionNumber_Click(); });
    connect(cmdGetDIPSettings, &QPushButton::clicked, this, [this] { cmdGetDIPSettings_Click(); });
    connect(cmdDumpMemory, &QPushButton::clicked, this, [this] { cmdDumpMemory_Click(); });

    connect(ocxTimer, &QTimer::timeout, this, [this] { ocxTimer_Timer(); });
    connect(ocxComm, &OcxComm::OnComm, this, [this] { ocxComm_OnComm(); });
    connect(ocxComm, &OcxComm::portLost, this, [this](const QString &reason) { onPortLost(reason); });
}
