// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/ugetpass.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "config/programstate.h"
#include "widgets/dialogs.h"
#include "widgets/help.h"
#include "widgets/messages.h"
#include "widgets/passwordedit.h"
#include "widgets/pictures.h"
#include "widgets/text.h"

TgetpasswordForm::TgetpasswordForm(QWidget* parent) : QDialog(parent), Password(new PasswordEdit(this))
{
    setWindowTitle(QStringLiteral("Password Required"));
    Password->setObjectName(QStringLiteral("Password"));

    auto* picture = new QLabel(this);
    picture->setPixmap(keyPicture(40));
    auto* prompt = new QLabel(QStringLiteral("Please enter your password"), this);
    prompt->setBuddy(Password);

    auto* entry = new QGridLayout;
    entry->addWidget(picture, 0, 0, 2, 1, Qt::AlignTop);
    entry->addWidget(prompt, 0, 1);
    entry->addWidget(Password, 1, 1);
    entry->setColumnMinimumWidth(1, 200);
    entry->setHorizontalSpacing(12);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(entry);
    layout->addSpacing(8);
    const OkCancelButtons buttons = addOkCancelButtons(this, layout);
    connect(buttons.ok, &QPushButton::clicked, this, &TgetpasswordForm::OKBtnClick);

    setFixedDialogFrame(this);
    setHelpContext(this, 8000);
}

void TgetpasswordForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TgetpasswordForm::FormShow()
{
    PasswordAccepted = false;
    Password->clear();
    Password->setFocus();
}

void TgetpasswordForm::OKBtnClick()
{
    if (trimBlanks(Password->text()) == trimBlanks(Settings.password)) {
        PasswordAccepted = true;
        accept();
        return;
    }
    messages().errorBox(QStringLiteral("Incorrect password."));
    Password->clear();
    Password->setFocus();
}
