// SPDX-License-Identifier: GPL-3.0-or-later
#include "generation/invoicedraws.h"

#include "generation/testdata.h"
#include "store/storetable.h"
#include "store/values.h"

namespace generation {

void useInvoiceDateFormat()
{
    store::formats().shortDateFormat = "mm/dd/yy";
    store::formats().dateSeparator = '/';
}

std::string drawInvoiceDate()
{
    const store::Date today = store::dateOf(store::currentDateTime());
    return store::formatDate(store::Date{today.day - drawDaysAgo()});
}

void writeInvoiceDraws(store::StoreTable& table)
{
    table.WriteValue("idxkey", drawSortKey());
    table.WriteValue("date", drawInvoiceDate());
    table.WriteValue("invoice", drawInvoice());
    table.WriteValue("amount", drawAmount());
}

}  // namespace generation
