#pragma once

// The open and save file dialogs, with the properties the program sets: a filter in the
// "description|pattern|description|pattern" form, an initial file name and a title. On Windows it
// is the system's own dialog; elsewhere Qt's, modal over the owner window.

#include <QObject>
#include <QString>

class QWidget;

class CommonDialog : public QObject {
    Q_OBJECT
public:
    explicit CommonDialog(QWidget *owner);

    QString Filter;   // "(*.txt)|*.txt|All Files|*.*"
    QString FileName; // initial file on entry, chosen file (native separators) after a show
    QString DialogTitle;

    bool ShowOpen(); // false when cancelled; the file must exist
    bool ShowSave(); // false when cancelled; asks before replacing a file

    // "(*.txt)|*.txt|All Files|*.*" -> "(*.txt) (*.txt);;All Files (*)": patterns separated by
    // ";" become blank-separated, and "*.*" becomes "*" so files without a dot are listed too.
    // The dialog hides the pattern part Qt adds, so its type list reads as the descriptions.
    static QString qtFilter(const QString &filter);

private:
    bool show(bool save);
    QWidget *m_owner;
};
