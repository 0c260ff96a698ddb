// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the table operations of the two generations, as the generation
// windows do, over and over in a process of its own, so that tests can kill
// an exclusive writer in the middle of one: "numeric TABLE.dat COUNT" empties
// the numeric test table and fills it with 200 fresh rows, "invoices
// TABLE.dat COUNT" draws every invoice row's sort key, number, date and
// amount afresh, "import TABLE.dat COUNT FILE.csv" replaces the invoice rows
// by those of the file as the import window does. Prints "generated N" after
// each run has closed the table.

#include "generation/invoicedraws.h"
#include "generation/testimport.h"
#include "generation/testdata.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "store/values.h"

#include <iostream>
#include <string>

namespace {

constexpr int NumericRows = 200;
constexpr int NumericFields = 25;

void numeric(store::StoreTable& table)
{
    table.RemoveAllRows();
    for (int row = 0; row < NumericRows; ++row) {
        table.BeginInsert();
        for (int field = 1; field <= NumericFields; ++field) {
            table.WriteValue("n" + std::to_string(field), generation::drawInteger(0));
            table.WriteValue("nd" + std::to_string(field),
                             generation::decimalValue(generation::drawDecimalText(0)));
        }
    }
    table.PostRow();
}

void invoices(store::StoreTable& table)
{
    table.GoFirst();
    while (!table.AtEnd()) {
        table.BeginEdit();
        generation::writeInvoiceDraws(table);
        table.GoNext();
    }
    if (table.EditState() != store::EditStates::Browse) table.PostRow();
}

void importInvoices(store::StoreTable& table, const std::string& file)
{
    const generation::InvoiceImport checked = generation::checkInvoices(
        generation::parseCsv(generation::readCsvBytes(file)), generation::invoiceWidths(table));
    if (!checked.problems.empty()) throw std::runtime_error(checked.problems.front().message());
    generation::writeInvoices(table, checked.rows, [](int) {});
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 4 && argc != 5) {
        std::cerr << "usage: generationrun numeric|invoices TABLE.dat COUNT | import TABLE.dat COUNT FILE.csv\n";
        return 2;
    }
    const std::string kind = argv[1];
    try {
        generation::seedrandom();
        for (int run = 1; run <= std::stoi(argv[3]); ++run) {
            store::StoreTable table("generation");
            table.setTableName(argv[2]);
            table.setExclusive(true);
            table.setActive(true);
            if (kind == "import")
                importInvoices(table, argv[4]);
            else
                kind == "numeric" ? numeric(table) : invoices(table);
            table.setActive(false);
            std::cout << "generated " << run << std::endl;
        }
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
