#pragma once

#include <QWidget>

class QLabel;

// The small window that says "Programming Kelvane" while a programming run lasts.
class frmProgramming : public QWidget {
    Q_OBJECT
public:
    explicit frmProgramming(QWidget *parent = nullptr);
    QLabel *Label1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};
