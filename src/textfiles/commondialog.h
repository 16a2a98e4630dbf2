#pragma once

// The open and save file dialogs, with the properties the program sets: a filter in the
// "description|pattern|description|pattern" form, an initial file name and a title.

#include <QObject>
#include <QString>

class QWidget;

class CommonDialog : public QObject {
    Q_OBJECT
public:
    explicit CommonDialog(QWidget *owner);

    QString Filter;     // "(*.txt)|*.txt|All Files|*.*"
    QString FileName;   // initial file on entry, chosen file after a show
    QString DialogTitle;

    bool ShowOpen(); // false when cancelled
    bool ShowSave();

    // "(*.txt)|*.txt|All Files|*.*" -> "(*.txt) (*.txt);;All Files (*.*)"
    static QString qtFilter(const QString &filter);

private:
    bool show(bool save);
    QWidget *m_owner;
};
