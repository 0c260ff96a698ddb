// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/passwordedit.h"

#include "widgets/uppercasevalidator.h"

PasswordEdit::PasswordEdit(QWidget* parent) : QLineEdit(parent)
{
    setEchoMode(QLineEdit::Password);
    // The style's own mask character differs between platforms.
    setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    setMaxLength(MaxLength);
    setValidator(new UpperCaseValidator(this));
    setAccessibleDescription(QStringLiteral("At most %1 characters; letters are entered in upper case").arg(MaxLength));
}
