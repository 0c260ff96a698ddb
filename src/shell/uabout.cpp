// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/uabout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/dialogs.h"
#include "widgets/messages.h"
#include "widgets/pictures.h"

Taboutform::Taboutform(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About"));

    auto* picture = new QLabel(this);
    picture->setPixmap(programPicture(64));
    auto* product = new QLabel(ApplicationTitle, this);
    QFont large = product->font();
    large.setPointSizeF(large.pointSizeF() * 2);
    large.setBold(true);
    product->setFont(large);
    auto* version = new QLabel(QStringLiteral("Version 4.0"), this);

    auto* words = new QVBoxLayout;
    words->addWidget(product);
    words->addWidget(version);
    words->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(words);

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    ok->setAccessibleDescription(QStringLiteral("Close the About window"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    // Closing the About window loses nothing, so its frame may close it.
    setFixedDialogFrame(this, CloseButton::Shown);
}
