// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An employer's own test content, read from CSV files (csvreader.h), checked
// row by row and written into the test tables as the generations write them.
//
// Numeric test file: each row holds 25 whole numbers of 1 to 8 digits (n1 ..
// n25), optionally followed by 25 decimal numbers of up to 8 characters with
// two decimals (nd1 .. nd25); where the decimals are missing they are made
// from the whole numbers by the decimal text rule of the generation. A first
// row without any number in it is a header and is skipped. Blanks around a
// value are dropped; empty fields after the last value are ignored; in a
// semicolon file the decimal point may be a comma.
//
// Invoice file: a header row naming FIRST, LAST, STREET and CITY in any order
// and letter case (other columns are ignored), then one row per record. Each
// value, without its surrounding blanks, is not empty, holds no control
// character and fits the table column's declared size in bytes.
//
// A test needs 51 rows at least (a practice test starts at row 50); the
// numeric test keeps 200, an import of invoices at most 1,900.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "generation/csvreader.h"

namespace store {
class StoreTable;
}

namespace generation {

inline constexpr int NumericFields = 25;
inline constexpr int LeastTestRows = 51;
inline constexpr int MostNumericRows = 200;
inline constexpr int MostImportedInvoices = 1900;

struct NumericRow {
    std::array<std::int32_t, NumericFields> whole{};
    std::array<double, NumericFields> decimal{};
};

struct NumericImport {
    std::vector<NumericRow> rows;
    std::vector<CsvProblem> problems;
};

// The invoice columns an import fills, in this order in every InvoiceRow.
inline const std::array<std::string, 4> InvoiceColumns{"FIRST", "LAST", "STREET", "CITY"};
using InvoiceRow = std::array<std::string, 4>;
using InvoiceWidths = std::array<int, 4>;

struct InvoiceImport {
    std::vector<InvoiceRow> rows;
    std::vector<CsvProblem> problems;
};

NumericImport checkNumericTest(const CsvFile& file);
InvoiceImport checkInvoices(const CsvFile& file, const InvoiceWidths& widths,
                            int mostRows = MostImportedInvoices);

// The declared sizes of the invoice columns of an open table. The handle
// must be in browse state; it is left so.
InvoiceWidths invoiceWidths(store::StoreTable& table);

// Told the number of rows written so far, after each row.
using ImportProgress = std::function<void(int rows)>;

// Empties the open table and writes the rows into it, the last one posted.
// The invoice rows are numbered from 1 and get a freshly seeded draw of
// their sort key, date, invoice number and amount.
void writeNumericTest(store::StoreTable& table, const std::vector<NumericRow>& rows,
                      const ImportProgress& progress);
void writeInvoices(store::StoreTable& table, const std::vector<InvoiceRow>& rows, const ImportProgress& progress);

}  // namespace generation
