// A ticket text of one long line (a wrong file chosen, a binary file, a paste): how long the
// window takes to start with a 1 MiB one-line location file, what a keystroke at the end of that
// line costs (the edit, the change handlers and the repaint), and what pasting such a line costs.
#include "shell/frmkelvaneprogrammer.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextStream>

#include <memory>

namespace {

// With its CR LF, the largest file that is read. Arguments: another length, another number of
// keystrokes.
constexpr qint64 defaultLineBytes = 1024 * 1024 - 2;
constexpr int defaultKeystrokes = 20;

QString ms(qint64 ns) {
    return QString::number(ns / 1e6, 'f', 1) + QStringLiteral(" ms");
}

// Handles what is pending, the box's repaint included.
void settle(QWidget *box) {
    QApplication::processEvents();
    box->repaint();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const qint64 lineBytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : defaultLineBytes;
    const int keystrokes = argc > 2 ? QByteArray(argv[2]).toInt() : defaultKeystrokes;
    QTemporaryDir folder;
    // COM1 leads nowhere: the window never opens a serial port of the machine.
    QFile::link(QDir(folder.path()).filePath(QStringLiteral("missing-device")),
                QDir(folder.path()).filePath(QStringLiteral("COM1")));
    const QByteArray line(lineBytes, 'x');
    QFile file(QDir(folder.path()).filePath(QStringLiteral("MyLocation.txt")));
    if (!file.open(QIODevice::WriteOnly) || file.write(line + "\r\n") != lineBytes + 2)
        return 1;
    file.close();

    QElapsedTimer timer;
    timer.start();
    auto window =
        std::make_unique<frmKelvaneProgrammer>(folder.filePath(QStringLiteral("KelvaneProgrammer")));
    window->show();
    QPlainTextEdit *const box = window->txtLocationInfo;
    settle(box);
    const qint64 loadNs = timer.nsecsElapsed();
    if (box->document()->characterCount() < lineBytes)
        return 2;

    box->setFocus();
    QTextCursor end(box->document()->firstBlock());
    end.movePosition(QTextCursor::EndOfBlock);
    box->setTextCursor(end);
    timer.restart();
    for (int i = 0; i < keystrokes; ++i) {
        QTest::keyClick(box, Qt::Key_A);
        settle(box);
    }
    const qint64 keyNs = timer.nsecsElapsed() / keystrokes;
    if (box->document()->characterCount() != lineBytes + 2 + keystrokes)
        return 3; // the keys did not reach the box

    box->clear();
    settle(box);
    QApplication::clipboard()->setText(QString::fromLatin1(line));
    timer.restart();
    box->paste();
    settle(box);
    const qint64 pasteNs = timer.nsecsElapsed();

    QTextStream(stdout) << "longline_bench: one line of " << lineBytes << " characters: start-up with it "
                        << ms(loadNs) << ", a keystroke at its end " << ms(keyNs) << ", pasting it "
                        << ms(pasteNs) << "\n";
    return 0;
}
