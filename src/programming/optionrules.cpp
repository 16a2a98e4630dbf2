// STUB: option rules.
#include "shell/frmkelvaneprogrammer.h"

void frmKelvaneProgrammer::chkOptions_Click(int) {}
void frmKelvaneProgrammer::OptionsEnable() {}
void frmKelvaneProgrammer::txtBonus_KeyPress(int, int &) {}
