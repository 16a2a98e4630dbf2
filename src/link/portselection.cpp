// STUB: port selection and opening.
#include "shell/frmkelvaneprogrammer.h"

void frmKelvaneProgrammer::CommPortOpen() {}
void frmKelvaneProgrammer::cboCommPort_Click() {}
void frmKelvaneProgrammer::cboCommBaudRate_Click() {}
void frmKelvaneProgrammer::optHardwareType_Click(int) {}
void frmKelvaneProgrammer::onPortLost(const QString &) {}
