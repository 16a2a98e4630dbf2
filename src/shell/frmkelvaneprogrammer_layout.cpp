// STUB: the window's controls and signal wiring.
#include "shell/frmkelvaneprogrammer.h"
#include "shell/frmprogramming.h"

#include <QCloseEvent>
#include <QFileInfo>

frmProgramming::frmProgramming(QWidget *parent) : QWidget(parent) {}

frmKelvaneProgrammer::frmKelvaneProgrammer(const QString &programPath, QWidget *parent) : QWidget(parent)
{
    const QFileInfo info(programPath);
    m_programFolder = info.absolutePath();
    m_programBaseName = info.completeBaseName();
    createControls();
    connectHandlers();
    Form_Load();
}

frmKelvaneProgrammer::~frmKelvaneProgrammer() = default;

void frmKelvaneProgrammer::createControls() {}
void frmKelvaneProgrammer::connectHandlers() {}
QString frmKelvaneProgrammer::boxText(const QPlainTextEdit *) { return {}; }
void frmKelvaneProgrammer::setBoxText(QPlainTextEdit *, const QString &) {}
QString frmKelvaneProgrammer::statusText() const { return {}; }
void frmKelvaneProgrammer::closeEvent(QCloseEvent *event) { event->accept(); }
bool frmKelvaneProgrammer::eventFilter(QObject *watched, QEvent *event)
{
    return QWidget::eventFilter(watched, event);
}
