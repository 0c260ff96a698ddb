// SPDX-License-Identifier: GPL-3.0-or-later
// Importing the largest invoice file an employer may bring, 1,900 rows:
// reading and checking the CSV, then replacing the rows of invsort.dat under
// an exclusive hold, the sort key, date, invoice number and amount drawn and
// the table closed (its write-back included), as the import window does.

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "generation/testimport.h"
#include "schemafile.h"
#include "store/createtable.h"
#include "store/storetable.h"
#include "support/tempdir.h"

using testing_support::TempDir;

namespace {

std::string invoiceFile(int rows)
{
    std::string text = "FIRST,LAST,STREET,CITY\r\n";
    for (int row = 1; row <= rows; ++row) {
        const std::string number = std::to_string(row);
        text += "Firstname" + number + ",Lastname" + number + "," + number + " Harbour Street,\"Port " + number +
                ", North\"\r\n";
    }
    return text;
}

void BM_ImportInvoices1900(benchmark::State& state)
{
    TempDir folder;
    const std::string table = folder.file("invsort.dat"), csv = folder.file("invoices.csv");
    store::createTable(store::systemFileSystem(), table,
                       tools::readSchemaFile(MOVARA_TABLE_SCHEMAS "/invsort.json"));
    std::ofstream(csv, std::ios::binary) << invoiceFile(generation::MostImportedInvoices);
    for (auto _ : state) {
        store::StoreTable inv("inv");
        inv.setTableName(table);
        inv.setActive(true);
        const generation::InvoiceWidths widths = generation::invoiceWidths(inv);
        inv.setActive(false);
        const generation::InvoiceImport checked =
            generation::checkInvoices(generation::parseCsv(generation::readCsvBytes(csv)), widths);
        if (!checked.problems.empty()) state.SkipWithError("the file has problems");
        inv.setExclusive(true);
        inv.setActive(true);
        generation::writeInvoices(inv, checked.rows, [](int) {});
        inv.setActive(false);
    }
    state.counters["rows"] = generation::MostImportedInvoices;
}

}  // namespace

BENCHMARK(BM_ImportInvoices1900)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
