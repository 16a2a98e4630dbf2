#pragma once

// The two ticket texts, location and disclaimer: the index of each in the per-text state and the
// `TextKind` that TextSend takes for it.

#include <QtGlobal>

enum class TicketText : int { Location = 0, Disclaimer = 1 };
constexpr TicketText ticketTexts[] = {TicketText::Location, TicketText::Disclaimer};

// Per-text state is kept in two-element arrays in this order.
constexpr int textIndex(TicketText text) {
    return int(text);
}

// TextSend's TextKind: 1 the location text, 2 the disclaimer.
constexpr qint16 textKind(TicketText text) {
    return qint16(textIndex(text) + 1);
}
