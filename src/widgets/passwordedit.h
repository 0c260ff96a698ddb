// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The entry field of the password dialogs: shows one "*" for every character,
// turns every letter into upper case while it is typed or pasted, and takes at
// most MaxLength characters.

#include <QLineEdit>

class PasswordEdit : public QLineEdit {
    Q_OBJECT

public:
    static constexpr int MaxLength = 10;

    explicit PasswordEdit(QWidget* parent = nullptr);
};
