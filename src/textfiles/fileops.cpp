// STUB: ticket text files.
#include "shell/frmkelvaneprogrammer.h"

void frmKelvaneProgrammer::CreateFiles() {}
void frmKelvaneProgrammer::FileLoadSave(qint16, const QString &) {}
void frmKelvaneProgrammer::cmdFileOps_Click(int) {}
