// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The password entry dialog of the administrator-password gate. It sets
// PasswordAccepted false when it opens and true only after a correct entry;
// any number of attempts is allowed.

#include <QDialog>

class PasswordEdit;

class TgetpasswordForm : public QDialog {
    Q_OBJECT

public:
    explicit TgetpasswordForm(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void OKBtnClick();

    PasswordEdit* Password;
};
