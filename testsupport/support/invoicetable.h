// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// For the text test windows' tests: a small invsort.dat and an empty
// results.dat in ProgramDir, and keys sent where the focus is, counted.

#include <string>
#include <vector>

#include <QApplication>
#include <QProcess>
#include <QTest>

#include "config/programstate.h"
#include "store/storetable.h"
#include "support/tempdir.h"

namespace testing_support::invoices {

struct Invoice {
    std::string invoice, date, amount, first, last, street, city;
};

// In the order of the index "idxkey"; inserted the other way round, so only
// the index puts them in this order.
inline const std::vector<Invoice> Invoices{
    {"12345678", "03/15/99", "1234.56", "Ann", "Smith", "1 Oak St", "Boston"},
    {"87654321", "12/01/98", "0042.10", "Bob", "Jones", "22 Elm Rd", "Denver"},
    {"11112222", "07/04/97", "9999.99", "Cy", "Lee", "3 Pine Ave", "Austin"},
};

inline bool createTable(const char* schema, const char* file)
{
    return QProcess::execute(QStringLiteral(TABLETOOL),
                             {QStringLiteral("create"),
                              QStringLiteral(MOVARA_TABLE_SCHEMAS "/") + QString::fromLatin1(schema),
                              QString::fromStdString(ProgramDir + file)}) == 0;
}

// Makes ProgramDir the folder, with the invoices and an empty results table.
inline bool makeTables(const TempDir& folder)
{
    ProgramDir = folder.path().string() + "/";
    if (!createTable("invsort.json", "invsort.dat") || !createTable("results.json", "results.dat")) return false;
    store::StoreTable table("fill");
    table.setTableName(ProgramDir + "invsort.dat");
    table.setActive(true);
    for (int row = int(Invoices.size()); row >= 1; --row) {
        const Invoice& invoice = Invoices[std::size_t(row - 1)];
        table.BeginInsert();
        table.WriteValue("recordid", row);
        table.WriteValue("idxkey", "0000" + std::to_string(row));
        table.WriteValue("INVOICE", invoice.invoice);
        table.WriteValue("DATE", invoice.date);
        table.WriteValue("AMOUNT", invoice.amount);
        table.WriteValue("FIRST", invoice.first);
        table.WriteValue("LAST", invoice.last);
        table.WriteValue("STREET", invoice.street);
        table.WriteValue("CITY", invoice.city);
    }
    table.PostRow();
    return true;
}

// Shows the window with the focus in it.
inline bool showActive(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

inline QWidget* focused()
{
    return QApplication::focusWidget();
}

inline int& keysSent()
{
    static int sent = 0;
    return sent;
}

// Keys go where the focus is at each key, as a testee's do.
inline void type(const QString& text)
{
    for (QChar character : text) {
        QTest::keyClick(focused(), character.toLatin1());
        ++keysSent();
    }
}

inline void press(Qt::Key key)
{
    QTest::keyClick(focused(), key);
    ++keysSent();
}

}  // namespace testing_support::invoices
