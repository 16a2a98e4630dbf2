// STUB: file dialogs.
#include "textfiles/commondialog.h"

#include <QWidget>

CommonDialog::CommonDialog(QWidget *owner) : QObject(owner), m_owner(owner) {}
bool CommonDialog::ShowOpen() { return show(false); }
bool CommonDialog::ShowSave() { return show(true); }
QString CommonDialog::qtFilter(const QString &filter) { return filter; }
bool CommonDialog::show(bool) { return false; }
