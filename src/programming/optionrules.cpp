// The rules that tie the option boxes together, and the key filter of the bonus fields.

#include "programming/optionbits.h"
#include "programming/sections.h"
#include "shell/frmkelvaneprogrammer.h"

#include <QCheckBox>

void frmKelvaneProgrammer::chkOptions_Click(int Index) {
    const quint8 mask = quint8(1u << Index);
    if (chkOptions.at(Index)->isChecked())
        Options |= mask;
    else
        Options &= quint8(~mask);
    chkSend.at(Section::OptionsGame)->setChecked(true);
    OptionsEnable();
}

void frmKelvaneProgrammer::OptionsEnable() {
    // "Print Dollars" gives way to "Print Tickets"; the dollar details need "Print Dollars".
    // "Print Dollars" is read after it may have been disabled, so its details follow its value, and
    // clearing it below re-enters here through its click handler and greys them too.
    chkOptions.at(OptionBit::PrintDollars)->setEnabled(!chkOptions.at(OptionBit::PrintTickets)->isChecked());
    const bool dollars = chkOptions.at(OptionBit::PrintDollars)->isChecked();
    for (const int i : {OptionBit::PrintNickels, OptionBit::DollarLimit, OptionBit::PrintDollarSign})
        chkOptions.at(i)->setEnabled(dollars);
    for (QCheckBox *box : std::as_const(chkOptions)) {
        if (!box->isEnabledTo(this))
            box->setChecked(false);
    }
}

void frmKelvaneProgrammer::txtBonus_KeyPress(int, int &KeyAscii) {
    // Control keys (backspace and the like) always pass; of the printable keys only digits and
    // the point do.
    if (KeyAscii >= 32 && !(KeyAscii >= '0' && KeyAscii <= '9') && KeyAscii != '.')
        KeyAscii = 0;
}
