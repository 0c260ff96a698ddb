// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/uchgpass.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "config/programstate.h"
#include "config/udbfuncs.h"
#include "widgets/dialogs.h"
#include "widgets/help.h"
#include "widgets/messages.h"
#include "widgets/passwordedit.h"
#include "widgets/text.h"

Tpasswordchangeform::Tpasswordchangeform(Tdbfuncs& dbfuncs, QWidget* parent)
    : QDialog(parent), dbfuncs(dbfuncs), Edit1(new PasswordEdit(this)), Edit2(new PasswordEdit(this))
{
    setWindowTitle(QStringLiteral("Password Change"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2->setObjectName(QStringLiteral("Edit2"));

    auto* layout = new QVBoxLayout(this);
    auto* first = new QLabel(QStringLiteral("Enter new password"), this);
    auto* second = new QLabel(QStringLiteral("Enter again for verification"), this);
    first->setBuddy(Edit1);
    second->setBuddy(Edit2);
    layout->addWidget(first);
    layout->addWidget(Edit1);
    layout->addWidget(second);
    layout->addWidget(Edit2);

    auto* note = new QLabel(QStringLiteral("(leave both fields blank to disable password)"), this);
    QFont smaller = note->font();
    smaller.setPointSizeF(smaller.pointSizeF() * 0.85);
    note->setFont(smaller);
    layout->addWidget(note);
    layout->addSpacing(8);

    const OkCancelButtons buttons = addOkCancelButtons(this, layout);
    connect(buttons.ok, &QPushButton::clicked, this, &Tpasswordchangeform::OKBtnClick);
    Edit1->setMinimumWidth(220);

    setFixedDialogFrame(this);
    setHelpContext(this, 8000);
}

void Tpasswordchangeform::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void Tpasswordchangeform::FormShow()
{
    restartEntry();
    rollback = Settings.password;
}

void Tpasswordchangeform::restartEntry()
{
    Edit1->clear();
    Edit2->clear();
    Edit1->setFocus();
}

void Tpasswordchangeform::OKBtnClick()
{
    if (Edit1->text() != Edit2->text()) {
        messages().errorBox(QStringLiteral("Passwords are not the same. Please try again."));
        restartEntry();
        return;
    }
    Settings.password = trimBlanks(Edit1->text());
    if (dbfuncs.savepassword()) {
        messages().messageBox(QStringLiteral("Password change successful."));
    } else {
        messages().errorBox(QStringLiteral("There was an error saving your new password. Password NOT changed."));
        Settings.password = rollback;
    }
    accept();
}

void Tpasswordchangeform::reject()
{
    CancelBtnClick();
}

void Tpasswordchangeform::CancelBtnClick()
{
    messages().messageBox(QStringLiteral("Password has NOT been changed."));
    QDialog::reject();
}
