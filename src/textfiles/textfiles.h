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

// The box text of a file: every line, with CR LF line breaks; the one line break that ends the
// file (as every save leaves it) is dropped. CR LF, a lone CR and a lone LF each end a line.
QString ticketTextFromFile(const QByteArray &bytes);

// The file bytes of a box text: its lines with CR LF breaks, one more CR LF, in Windows-1252.
// nullopt when a character has no Windows-1252 byte; *unencodable is then that character (both
// halves of a surrogate pair).
std::optional<QByteArray> ticketFileFromText(const QString &text, QString *unencodable = nullptr);

// A character for a message: "→" (U+2192).
QString characterForMessage(const QString &character);
