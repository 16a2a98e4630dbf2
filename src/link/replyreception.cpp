// STUB: reply reception.
#include "link/replyreception.h"
#include "shell/frmkelvaneprogrammer.h"

void frmKelvaneProgrammer::ocxComm_OnComm() {}
