#pragma once

// The two things done with a ticket text's file, and FileLoadSave's FileAction number for a text
// and an action: 0 load location, 1 save location, 2 load disclaimer, 3 save disclaimer. The same
// numbers are the indices of the `cmdFileOps` buttons.

#include "textfiles/tickettexts.h"

enum class FileOp : int { Load = 0, Save = 1 };

constexpr qint16 fileAction(TicketText text, FileOp op) {
    return qint16(textIndex(text) * 2 + int(op));
}
constexpr qint16 fileActionCount = 4;

constexpr TicketText fileActionText(qint16 FileAction) {
    return FileAction < 2 ? TicketText::Location : TicketText::Disclaimer;
}
constexpr FileOp fileActionOp(qint16 FileAction) {
    return FileAction % 2 == 0 ? FileOp::Load : FileOp::Save;
}
