#include "widgets/dialogs.h"

#include <QBoxLayout>
#include <QDialog>
#include <QPushButton>

void setFixedDialogFrame(QDialog* dialog)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    dialog->setSizeGripEnabled(false);
    if (dialog->layout()) dialog->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

OkCancelButtons addOkCancelButtons(QDialog* dialog, QBoxLayout* layout)
{
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    ok->setObjectName(QStringLiteral("OKBtn"));
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    ok->setDefault(true);
    cancel->setAutoDefault(false);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    return {ok, cancel};
}
