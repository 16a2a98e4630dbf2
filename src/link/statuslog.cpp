// STUB: status log.
#include "link/statuslog.h"
#include "shell/frmkelvaneprogrammer.h"

QString ByteToBinary(quint8) { return {}; }
void StatusLog::append(const QString &, bool) {}
void StatusLog::clear() {}
void frmKelvaneProgrammer::StatusAppend(const QString &, bool) {}
void frmKelvaneProgrammer::cmdClearText_Click() {}
