// SPDX-License-Identifier: GPL-3.0-or-later
#include "generation/unewan.h"

#include <QTimer>

#include "generation/invoicedraws.h"
#include "generation/testdata.h"
#include "widgets/messages.h"
#include "widgets/progressgauge.h"

Trewritean::Trewritean(store::FileSystem& files, QWidget* parent)
    : GenerationWindow(QStringLiteral("Generating new alphanumeric/alpha tests. Please wait..."), parent),
      inv("inv", files)
{
    setObjectName(QStringLiteral("rewritean"));
    setWindowTitle(QStringLiteral("Generate new alpha-numeric data entry test"));
    Gauge1->setFramed(true);
    Gauge1->setPosition(0);
}

// The dates written are texts, so they take the program's short date format
// as it stands when the window is shown.
void Trewritean::FormShow()
{
    generation::useInvoiceDateFormat();
    cancelled = false;
    Timer1->start();
}

void Trewritean::Timer1Timer()
{
    Timer1->stop();
    Gauge1->setPosition(0);
    if (!openExclusively(inv, "invsort.dat")) {
        messages().errorBox(QStringLiteral("Unable to get exclusive use of database. Rewrite cancelled."));
        cancelled = true;
        done(QDialog::Rejected);
        return;
    }
    try {
        generation::seedrandom();
        rewriteRows();
    } catch (const std::exception& error) {
        cancelled = true;
        endAfterFailure(inv, error);
        return;
    }
    done(QDialog::Accepted);
}

void Trewritean::FormClose()
{
    Timer1->stop();
    releaseTable(inv);
    if (!cancelled) messages().messageBox(QStringLiteral("New test has been created."));
}

// Moving on to the next row posts the one just edited.
void Trewritean::rewriteRows()
{
    Gauge1->setMaximum(inv.RowCount());
    inv.GoFirst();
    while (!inv.AtEnd()) {
        rewriteRow();
        inv.GoNext();
    }
    if (inv.EditState() != store::EditStates::Browse) inv.PostRow();
}

void Trewritean::rewriteRow()
{
    Gauge1->setPosition(inv.ReadInteger("recordid"));
    processEvents();
    inv.BeginEdit();
    generation::writeInvoiceDraws(inv);
}
