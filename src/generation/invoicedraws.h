// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The figures every invoice record gets drawn afresh whenever its test is
// made: by the regeneration, by an import of the employer's own names and
// by the restore of the shipped ones, so that all of them draw alike.

#include <string>

namespace store {
class StoreTable;
}

namespace generation {

// The invoice dates are stored as texts, so they take the program's short
// date format, which this puts in place: "mm/dd/yy".
void useInvoiceDateFormat();

// Today's date less a drawn number of days, in the short date format.
std::string drawInvoiceDate();

// Writes the drawn sort key, date, invoice number and amount into the
// table's pending row, drawn in that order.
void writeInvoiceDraws(store::StoreTable& table);

}  // namespace generation
