// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The testee name dialog, asked before a real-mode test and before a practice
// alpha test. It always starts with the name held in memory, so consecutive
// tests by one person need only OK.

#include <QDialog>

class QLineEdit;
class Tdbfuncs;

class Tgetnameform : public QDialog {
    Q_OBJECT

public:
    Tgetnameform(Tdbfuncs& dbfuncs, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void OKBtnClick();

    Tdbfuncs& dbfuncs;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
};
