// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A configuration table for tests: config.dat made in a fresh folder with the
// columns of the shipped table (or some of them) and one row, and ProgramDir
// pointing at that folder.

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "config/programstate.h"
#include "store/storetable.h"
#include "support/tables.h"
#include "support/tempdir.h"

namespace testing_support {

struct ConfigColumn {
    const char* name;
    const char* type;
    int size;
};

// The columns of the shipped configuration table, in their order.
inline const std::vector<ConfigColumn>& configColumns()
{
    static const std::vector<ConfigColumn> columns{
        {"realtime", "integer", 0},     {"practicetime", "integer", 0}, {"fname", "string", 48},
        {"lname", "string", 48},        {"password", "string", 10},     {"useuppercase", "boolean", 0},
        {"usedecimal", "boolean", 0},   {"presults", "boolean", 0},     {"rresults", "boolean", 0},
        {"showinstructions", "boolean", 0}, {"remembername", "boolean", 0}, {"scalefactor", "integer", 0},
        {"width", "integer", 0},        {"sort", "integer", 0},         {"filter", "integer", 0},
        {"autoadvance", "boolean", 0}};
    return columns;
}

// The shipped row.
inline std::map<std::string, std::string> shippedConfigRow()
{
    return {{"realtime", "5"},         {"practicetime", "2"},         {"fname", ""},          {"lname", ""},
            {"password", ""},          {"useuppercase", "false"},     {"usedecimal", "false"}, {"presults", "true"},
            {"rresults", "true"},      {"showinstructions", "true"}, {"remembername", "true"}, {"scalefactor", "0"},
            {"width", "0"},            {"sort", "0"},                 {"filter", "0"},        {"autoadvance", "false"}};
}

inline void pointProgramDirAt(const TempDir& folder)
{
    ProgramDir = folder.path().string() + "/";
}

class ConfigTable {
public:
    // Every column except those named in without, some with a maximum the
    // table enforces when a row is posted; the row's values as texts.
    explicit ConfigTable(std::map<std::string, std::string> row = shippedConfigRow(),
                         const std::vector<std::string>& without = {},
                         const std::map<std::string, std::string>& maximums = {})
    {
        std::vector<store::ColumnSchema> columns;
        for (const ConfigColumn& column : configColumns()) {
            if (std::find(without.begin(), without.end(), column.name) != without.end()) continue;
            columns.push_back(columnSchema(column.name, column.type, column.size));
            if (auto maximum = maximums.find(column.name); maximum != maximums.end())
                columns.back().maximum = maximum->second;
        }
        store::createTable(store::systemFileSystem(), path(), schemaOf(columns));
        store::StoreTable table("maker");
        table.setTableName(path());
        table.setActive(true);
        table.BeginInsert();
        for (const auto& [column, value] : row)
            if (table.HasColumn(column)) table.WriteValue(column, value);
        table.PostRow();
        pointProgramDirAt(folder);
    }

    std::string path() const { return folder.file("config.dat"); }

    // One column of the stored row, as text.
    std::string read(const std::string& column) const
    {
        store::StoreTable table("reader");
        table.setTableName(path());
        table.setActive(true);
        return table.ReadText(column);
    }

    TempDir folder;
};

}  // namespace testing_support
