// STUB: programming run.
#include "shell/frmkelvaneprogrammer.h"

void frmKelvaneProgrammer::cmdProgram_Click() {}
void frmKelvaneProgrammer::CmndButtonEnable(bool) {}
void frmKelvaneProgrammer::chkSendAll_Click() {}
void frmKelvaneProgrammer::optPrinter_Click(int) {}
void frmKelvaneProgrammer::optPrinterBaudRate_Click(int) {}
void frmKelvaneProgrammer::txtBonus_Change(int) {}
void frmKelvaneProgrammer::txtGameNumber_Change(int) {}
void frmKelvaneProgrammer::txtLocationInfo_Change() {}
void frmKelvaneProgrammer::txtDisclaimer_Change() {}
