#pragma once

// The option byte `Options`: the index of each `chkOptions` box is its bit number.

namespace OptionBit {
enum : int {
    DaylightSavings = 0,
    PrintDisclaimer = 1,
    UseBonus = 2,
    PrintDollars = 3,
    PrintNickels = 4,
    PrintTickets = 5,
    DollarLimit = 6,
    PrintDollarSign = 7,
};
constexpr int count = 8;
} // namespace OptionBit
