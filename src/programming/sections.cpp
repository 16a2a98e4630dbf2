// STUB: section procedures.
#include "shell/frmkelvaneprogrammer.h"

qint16 frmKelvaneProgrammer::DateTimeSend() { return 1; }
qint16 frmKelvaneProgrammer::OptionsGameSend() { return 1; }
qint16 frmKelvaneProgrammer::PrinterConfigSend() { return 1; }
qint16 frmKelvaneProgrammer::TextSend(qint16) { return 1; }
qint16 frmKelvaneProgrammer::BonusSend() { return 1; }
