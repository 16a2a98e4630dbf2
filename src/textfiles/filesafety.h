#pragma once

// Safe handling of the files the program writes and reads: which paths are regular files, and
// the atomic writer every file the program keeps is replaced with.

#include <QByteArray>
#include <QFileInfo>
#include <QString>

#include <optional>

// Why the path is no regular file the program may read or write: "it is a folder" or "not a
// regular file" (a device, a pipe, a link leading nowhere); nullopt for a regular file.
std::optional<QString> regularFileProblem(const QFileInfo &info);

// Replaces the file's contents with bytes in one atomic step (a new file renamed over the old),
// through links to their target. When the target's folder refuses the new file, or refuses the
// rename (a sticky folder, a file of another user), but the file may be written, writes it in place
// instead; should that write fail in any way, the old bytes are put back. False, with the reason in
// *error.
bool fileReplace(const QString &fileName, const QByteArray &bytes, QString *error = nullptr);
