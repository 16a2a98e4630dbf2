// STUB: start-up and shut-down.
#include "shell/frmkelvaneprogrammer.h"

void frmKelvaneProgrammer::Form_Load() {}
void frmKelvaneProgrammer::Form_Unload() {}
void frmKelvaneProgrammer::cmdExit_Click() {}
