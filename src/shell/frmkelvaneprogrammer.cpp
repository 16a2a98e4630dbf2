// The window's construction and its window-level events.
#include "shell/frmkelvaneprogrammer.h"
#include "link/statuslog.h"
#include "shell/windowfit.h"
#include "textfiles/texthelpers.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <limits>

frmKelvaneProgrammer::frmKelvaneProgrammer(const QString &programPath, QWidget *parent) : QWidget(parent) {
    const QFileInfo info(programPath);
    m_programFolder = info.absolutePath();
    m_programFileName = info.fileName();
    createControls();
    // Boxes that show a stored value keep it whole: their default limit would cut it.
    QList<QLineEdit *> storedBoxes = txtBonus;
    storedBoxes << txtGameNumber << txtDumpMemAddr << txtDumpMemCnt;
    for (QLineEdit *const box : std::as_const(storedBoxes))
        box->setMaxLength(std::numeric_limits<int>::max());
    connectHandlers();
    Form_Load();
    m_windowFit->centre();
}

frmKelvaneProgrammer::~frmKelvaneProgrammer() = default;

QString frmKelvaneProgrammer::boxText(const QPlainTextEdit *box) {
    // The raw text keeps non-breaking spaces, which toPlainText() would turn into plain ones.
    return programTextFromBox(box->document()->toRawText());
}

void frmKelvaneProgrammer::setBoxText(QPlainTextEdit *box, const QString &text) {
    box->setPlainText(boxTextFromProgram(text));
}

QString frmKelvaneProgrammer::statusText() const {
    return statusLog->text();
}

void frmKelvaneProgrammer::closeEvent(QCloseEvent *event) {
    // Exit, the close box and the system all end here; the settings are written once.
    // A close while an exchange waits ends the wait first, even when the close is then refused.
    endWait();
    if (!m_unloaded) {
        qint16 Cancel = 0;
        Form_Unload(Cancel);
        if (Cancel) {
            event->ignore();
            return;
        }
        m_unloaded = true;
    }
    event->accept();
}

namespace {

// The character code a key press stands for, or 0 for keys that type nothing (arrows, Delete).
int keyAscii(const QKeyEvent &key) {
    switch (key.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 0; // moves the focus, types nothing
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    default:
        break;
    }
    const QString text = key.text();
    return text.isEmpty() ? 0 : text.at(0).unicode();
}

} // namespace

bool frmKelvaneProgrammer::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Wheel && (watched == cboCommPort || watched == cboCommBaudRate) &&
        !static_cast<QWidget *>(watched)->hasFocus()) {
        event->ignore();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const qsizetype index = txtBonus.indexOf(qobject_cast<QLineEdit *>(watched));
        if (index >= 0) {
            const int typed = keyAscii(*static_cast<QKeyEvent *>(event));
            if (typed != 0) {
                int KeyAscii = typed;
                txtBonus_KeyPress(int(index), KeyAscii);
                if (KeyAscii == 0)
                    return true; // the handler discarded the key
                if (KeyAscii != typed && KeyAscii >= 32) {
                    txtBonus[index]->insert(QString(QChar(KeyAscii)));
                    return true;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
