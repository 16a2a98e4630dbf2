#include "textfiles/filesafety.h"

#include <QFile>
#include <QSaveFile>

std::optional<QString> regularFileProblem(const QFileInfo &info) {
    if (info.isFile())
        return std::nullopt;
    return info.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("not a regular file");
}

namespace {

// The file a write lands in: links followed to their end, as QSaveFile follows them.
QString writeTarget(const QString &fileName) {
    QFileInfo info(fileName);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? fileName : info.filePath();
}

// Writes bytes over the file where it stands, without emptying it first: should any step fail,
// the old bytes go back into the blocks the file already holds, so a full disk cannot stop that.
bool writeInPlace(const QString &fileName, const QByteArray &bytes, QString *error) {
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) // read-write does not truncate
        return fail(file.errorString());
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    const auto put = [&file](const QByteArray &contents) {
        return file.seek(0) && file.write(contents) == contents.size() && file.resize(contents.size());
    };
    if (put(bytes))
        return true;
    const QString reason = file.error() != QFileDevice::NoError
                               ? file.errorString()
                               : QStringLiteral("the file could not be written in full (disk full)");
    if (!put(old))
        return fail(reason + QStringLiteral("; its old contents could not be put back"));
    return fail(reason);
}

} // namespace

bool fileReplace(const QString &fileName, const QByteArray &bytes, QString *error) {
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    // The folder that matters is the link target's: that is where the new file has to be made.
    const QString target = writeTarget(fileName);
    const QFileInfo info(target);
    const bool inPlacePossible = info.isFile() && info.isWritable();
    // Unbuffered, so that a short write (disk full) shows in write()'s count: a buffered
    // QSaveFile can commit a cut-off file without noticing. Its own in-place fallback empties the
    // file first; ours keeps the old bytes to put back.
    QSaveFile file(target);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return inPlacePossible ? writeInPlace(target, bytes, error) : fail(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("the file could not be written in full (disk full)");
        file.cancelWriting();
        return fail(reason);
    }
    if (file.commit())
        return true;
    // A folder may take new files yet refuse the rename over this one (a sticky folder, a file of
    // another user).
    return inPlacePossible ? writeInPlace(target, bytes, error) : fail(file.errorString());
}
