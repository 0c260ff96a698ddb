// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/ugetname.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "config/programstate.h"
#include "config/udbfuncs.h"
#include "widgets/dialogs.h"
#include "widgets/help.h"

Tgetnameform::Tgetnameform(Tdbfuncs& dbfuncs, QWidget* parent)
    : QDialog(parent), dbfuncs(dbfuncs), Edit1(new QLineEdit(this)), Edit2(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Please enter your name"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit1->setMinimumWidth(240);
    Edit1->setAccessibleDescription(QStringLiteral("The testee's first name, required"));
    Edit2->setAccessibleDescription(QStringLiteral("The testee's last name, required"));

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("First Name:"), Edit1);
    fields->addRow(QStringLiteral("Last Name:"), Edit2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(8);
    const OkCancelButtons buttons = addOkCancelButtons(this, layout);
    connect(buttons.ok, &QPushButton::clicked, this, &Tgetnameform::OKBtnClick);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, buttons.ok);
    setTabOrder(buttons.ok, buttons.cancel);

    setFixedDialogFrame(this);
    setHelpContext(this, 1000);
}

void Tgetnameform::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void Tgetnameform::FormShow()
{
    Edit1->setFocus();
    Edit1->setText(Settings.fname);
    Edit2->setText(Settings.lname);
}

void Tgetnameform::OKBtnClick()
{
    if (Edit1->text().isEmpty()) {
        Edit1->setFocus();
        return;
    }
    if (Edit2->text().isEmpty()) {
        Edit2->setFocus();
        return;
    }
    // The row receives the name that was current when the dialog opened. The
    // name just typed reaches the row with the next accepted dialog, or at the
    // end of the run when the name is to be remembered.
    dbfuncs.savename();
    Settings.fname = Edit1->text();
    Settings.lname = Edit2->text();
    accept();
}
