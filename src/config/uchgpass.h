// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The password change dialog: sets, changes or removes the administrator
// password. Reaching it already required passing the password gate, so it
// does not ask for the old password.

#include <QDialog>

class PasswordEdit;
class Tdbfuncs;

class Tpasswordchangeform : public QDialog {
    Q_OBJECT

public:
    Tpasswordchangeform(Tdbfuncs& dbfuncs, QWidget* parent = nullptr);

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void OKBtnClick();
    void CancelBtnClick();
    void restartEntry();

    Tdbfuncs& dbfuncs;
    PasswordEdit* Edit1;
    PasswordEdit* Edit2;
    // Settings.password as it was when the dialog last opened, put back when
    // the new password cannot be stored.
    QString rollback;
};
