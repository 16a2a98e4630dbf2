#pragma once

// The device's commands: the code byte that starts each exchange and the reply lengths the device
// answers with. Plain constexpr data, so the simulated device can share the table.

#include <QtGlobal>

struct DeviceCommand {
    quint8 code;            // the command byte, echoed as the first byte of the reply
    const char *name;       // what the command does
    qint16 ReplyLen;        // bytes the device answers to the command byte
    qint16 PayloadReplyLen; // bytes it answers to the payload (none: no payload)
};

namespace Commands {

// Every reply to a payload is four bytes, the last of them the echoed code, except a memory
// dump's, which carries the data bytes before those four.
constexpr qint16 payloadReplyLen = 4;

constexpr DeviceCommand AuditTicket{0xA0, "audit ticket", 4, payloadReplyLen};
constexpr DeviceCommand DateTime{0xA1, "date and time", 4, payloadReplyLen};
constexpr DeviceCommand OptionsGame{0xA2, "options and game numbers", 4, payloadReplyLen};
constexpr DeviceCommand DisclaimerText{0xA3, "disclaimer text, first block", 4, payloadReplyLen};
constexpr DeviceCommand DisclaimerText2{0xA4, "disclaimer text, second block", 4, payloadReplyLen};
constexpr DeviceCommand LocationText{0xA5, "location text, first block", 4, payloadReplyLen};
constexpr DeviceCommand LocationText2{0xA6, "location text, second block", 4, payloadReplyLen};
constexpr DeviceCommand PrinterConfig{0xA9, "printer configuration", 4, payloadReplyLen};
constexpr DeviceCommand Bonus{0xAA, "bonus parameters", 4, payloadReplyLen};
constexpr DeviceCommand CommTest{0xAB, "comm test", 12, payloadReplyLen};
constexpr DeviceCommand VersionNumber{0xAC, "version number", 6, payloadReplyLen};
constexpr DeviceCommand DipSettings{0xAD, "DIP switch settings", 8, payloadReplyLen};
// The dump's payload reply is the data count plus payloadReplyLen: memoryDumpReplyLen(count).
constexpr DeviceCommand MemoryDump{0xAE, "memory dump", 4, payloadReplyLen};

constexpr DeviceCommand all[] = {AuditTicket,   DateTime,      OptionsGame,   DisclaimerText, DisclaimerText2,
                                 LocationText,  LocationText2, PrinterConfig, Bonus,          CommTest,
                                 VersionNumber, DipSettings,   MemoryDump};

constexpr qint16 memoryDumpReplyLen(int count) {
    return qint16(count + payloadReplyLen);
}

} // namespace Commands

namespace Commands {
// Bytes 4 to 7 of a comm-test reply, the markers that show the line carries bytes unchanged.
constexpr quint8 commTestMarkers[] = {0x00, 0x55, 0xAA, 0xFF};
} // namespace Commands
