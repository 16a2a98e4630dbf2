#pragma once

// The ticket text files: the default files the program creates beside itself, and the conversion
// between a box's text (CR LF line breaks) and a file's bytes (Windows-1252, CR LF line ends).

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

struct DefaultTextFile {
    QString name;        // file name in the program's folder
    QByteArray contents; // every line ended by CR LF
};

// The four default files, in the order they are created.
QList<DefaultTextFile> defaultTextFiles();

// How a ticket text file is written: Windows-1252 (the program's own files), or UTF-8 as modern
// editors save it, with or without its byte-order mark.
enum class TicketEncoding { Cp1252, Utf8, Utf8WithMark };

// The largest ticket text file that is read (the device holds 512 characters of a text).
constexpr qint64 TicketFileMaxSize = 1024 * 1024;

// The encoding a file's bytes are read in: UTF-8 when they start with its mark, or when they are
// valid UTF-8 with at least one multi-byte sequence; otherwise Windows-1252.
TicketEncoding ticketEncodingOf(const QByteArray &bytes);

// The box text of a file: every line followed by CR LF, except a last line that is empty (the
// line break every save adds). CR LF, a lone CR and a lone LF each end a line. Characters without
// a Windows-1252 byte become "?" and are listed, each once, in *replaced.
QString ticketTextFromFile(const QByteArray &bytes, TicketEncoding *encoding = nullptr,
                           QStringList *replaced = nullptr);

// The file bytes of a box text: its lines with CR LF breaks and one more CR LF, in the encoding.
// Characters without a Windows-1252 byte are written as "?" and listed in *replaced.
QByteArray ticketFileFromText(const QString &text, TicketEncoding encoding = TicketEncoding::Cp1252,
                              QStringList *replaced = nullptr);

// text with every character that has no Windows-1252 byte (a surrogate pair counting as one)
// replaced by "?"; the distinct characters replaced are appended to *replaced.
QString cp1252Filtered(const QString &text, QStringList *replaced = nullptr);

// The one warning line for characters that became "?" (CR LF at its end).
QString unencodableWarning(const QStringList &replaced);
