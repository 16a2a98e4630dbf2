// STUB: diagnostic queries.
#include "diagnostics/queries.h"
#include "shell/frmkelvaneprogrammer.h"

void frmKelvaneProgrammer::cmdGetVersionNumber_Click() {}
void frmKelvaneProgrammer::cmdGetDIPSettings_Click() {}
void frmKelvaneProgrammer::cmdDumpMemory_Click() {}
void frmKelvaneProgrammer::cmdTestComm_Click() {}
void frmKelvaneProgrammer::cmdTicket_Click() {}
