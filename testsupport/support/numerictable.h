// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A numeric test table for tests: numeric.dat with the shipped columns
// ("n1" .. "n25" whole numbers, "nd1" .. "nd25" decimals) in a fresh folder,
// ProgramDir pointing at that folder. Row r's whole number for field f is
// r × 100 + f unless the test writes its own, and its decimal that number
// divided by 10 (so "10.1" in row 1, field 1).

#include <functional>
#include <string>
#include <vector>

#include "config/programstate.h"
#include "store/storetable.h"
#include "support/tables.h"
#include "support/tempdir.h"

namespace testing_support {

class NumericTable {
public:
    // value(row, field) gives row r's whole number for field f.
    explicit NumericTable(int rows = 200, std::function<int(int, int)> value = {})
    {
        if (!value) value = [](int row, int field) { return row * 100 + field; };
        std::vector<store::ColumnSchema> columns;
        for (const char* prefix : {"n", "nd"})
            for (int field = 1; field <= 25; ++field)
                columns.push_back(columnSchema(prefix + std::to_string(field), prefix[1] ? "float" : "integer"));
        store::createTable(store::systemFileSystem(), path(), schemaOf(columns));
        store::StoreTable table("maker");
        table.setTableName(path());
        table.setActive(true);
        for (int row = 1; row <= rows; ++row) {
            table.BeginInsert();
            for (int field = 1; field <= 25; ++field) {
                table.WriteValue("n" + std::to_string(field), std::int32_t(value(row, field)));
                table.WriteValue("nd" + std::to_string(field), value(row, field) / 10.0);
            }
        }
        table.PostRow();
        ProgramDir = folder.path().string() + "/";
    }

    std::string path() const { return folder.file("numeric.dat"); }

    TempDir folder;
};

}  // namespace testing_support
