#pragma once

// Decoding of what the device sends: the bytes of an awaited reply go into the reply buffer and
// are shown in hex form; everything else is shown as free text.

#include "textfiles/texthelpers.h" // hexForm, the form every received byte is shown in

#include <QByteArray>
#include <QString>

// A byte that arrived while no reply was awaited: line feed and carriage return each give a line
// break, printable characters show as themselves, anything else in hex form.
QString freeText(quint8 b);

// What follows a completed reply. A payload's reply always ends in " OK" and a line break. The
// reply to the command byte ends in two spaces, except where it echoes the command that was sent
// and that command is the comm test (0xAB: its decoding) or the audit ticket (0xA0: a line break).
// A data byte can so never pass for a comm-test or ticket reply.
QString replyCompletionText(const quint8 (&ReplyBuffer)[256], bool PayloadPhase, qint32 CommandCode);

// The comm-test reply's decoding: the status and options bits and the serial number, or the
// mismatch line when the marker bytes 4 to 7 are not 00 55 AA FF.
QString commTestText(const quint8 (&ReplyBuffer)[256]);

// Walks every received byte: while ReplyExpected is above 0 the byte is stored at ReplyIndex and
// counted; the reply completes when ReplyExpected reaches 0, and *completed is then set (the
// caller stops the timer and ends the wait). Returns the text to append to the status log.
// After a timeout (TimedOut) the late bytes of the abandoned reply are still stored and shown in
// hex form, followed by two spaces whatever the reply: the command has already failed, so they are
// not its answer and are neither decoded nor called OK.
QString replyBytesReceive(quint8 (&ReplyBuffer)[256], qint16 &ReplyIndex, qint16 &ReplyExpected,
                          bool PayloadPhase, qint32 CommandCode, const QByteArray &bytes, bool *completed,
                          bool TimedOut = false);
