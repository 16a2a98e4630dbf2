#pragma once

// The sections of a programming run, in the order they are sent: the index of each one's
// `chkSend` box.

namespace Section {
enum : int {
    DateTime = 0,
    OptionsGame = 1,
    PrinterConfig = 2,
    Location = 3,
    Disclaimer = 4,
    Bonus = 5,
};
constexpr int count = 6;
} // namespace Section
