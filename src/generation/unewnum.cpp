// SPDX-License-Identifier: GPL-3.0-or-later
#include "generation/unewnum.h"

#include <QTimer>

#include "config/programstate.h"
#include "generation/testdata.h"
#include "widgets/messages.h"
#include "widgets/progressgauge.h"

namespace {

constexpr int RowsPerTest = 200;
constexpr int FieldsPerRow = 25;

}  // namespace

Tnewnumerictestform::Tnewnumerictestform(store::FileSystem& files, QWidget* parent)
    : GenerationWindow(QStringLiteral("Creating new numeric data entry test. Please wait..."), parent),
      numericdb("numericdb", files)
{
    setObjectName(QStringLiteral("newnumerictestform"));
    Gauge1->setMinimum(1);
    Gauge1->setMaximum(RowsPerTest);
    Gauge1->setPosition(1);
}

std::int32_t Tnewnumerictestform::getinteger()
{
    return generation::drawInteger(Settings.width);
}

double Tnewnumerictestform::getdecimal()
{
    return generation::decimalValue(generation::drawDecimalText(Settings.width));
}

void Tnewnumerictestform::FormShow()
{
    Gauge1->setPosition(1);
    Timer1->start();
}

void Tnewnumerictestform::Timer1Timer()
{
    Timer1->stop();
    generation::seedrandom();
    Gauge1->setMaximum(RowsPerTest);
    if (!openExclusively(numericdb, "numeric.dat")) {
        messages().errorBox(QStringLiteral("Could not get exclusive use of database. Try later."));
        done(QDialog::Rejected);
        return;
    }
    try {
        writeRows();
        if (numericdb.EditState() != store::EditStates::Browse) numericdb.PostRow();
        releaseTable(numericdb);
    } catch (const std::exception& error) {
        endAfterFailure(numericdb, error);
        return;
    }
    messages().messageBox(QStringLiteral("New numeric test created successfully."));
    done(QDialog::Accepted);
}

void Tnewnumerictestform::FormClose()
{
    Timer1->stop();
    releaseTable(numericdb);
}

// Each BeginInsert posts the row before it; the last row is posted by the
// caller.
void Tnewnumerictestform::writeRows()
{
    numericdb.RemoveAllRows();
    for (int row = 0; row < RowsPerTest; ++row) {
        numericdb.BeginInsert();
        for (int field = 1; field <= FieldsPerRow; ++field)
            numericdb.WriteValue("n" + std::to_string(field), getinteger());
        processEvents();
        for (int field = 1; field <= FieldsPerRow; ++field)
            numericdb.WriteValue("nd" + std::to_string(field), getdecimal());
        processEvents();
        Gauge1->setPosition(Gauge1->position() + 1);
    }
}
