// STUB: command exchange.
#include "shell/frmkelvaneprogrammer.h"

qint16 frmKelvaneProgrammer::CommandSend(qint32, const QByteArray &, bool, qint16, qint16) { return 1; }
void frmKelvaneProgrammer::ocxTimer_Timer() {}
void frmKelvaneProgrammer::endWait() {}
