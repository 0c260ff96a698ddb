// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/resultcolumns.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace resultsync {

namespace {

const char* typeName(ServerType type)
{
    switch (type) {
    case ServerType::Text: return "text";
    case ServerType::Double: return "double precision";
    case ServerType::Integer: return "integer";
    case ServerType::Date: return "date";
    case ServerType::Time: break;
    }
    return "time";
}

ServerType serverType(scoring::ColumnType type)
{
    switch (type) {
    case scoring::ColumnType::integer: return ServerType::Integer;
    case scoring::ColumnType::decimal: return ServerType::Double;
    case scoring::ColumnType::date: return ServerType::Date;
    case scoring::ColumnType::time: return ServerType::Time;
    case scoring::ColumnType::text:
    case scoring::ColumnType::memo: break;
    }
    return ServerType::Text;
}

std::string serverName(const char* results)
{
    if (std::string(results) == "TIME") return "minutes";
    std::string name(results);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return name;
}

std::array<ResultColumn, scoring::ResultsColumnCount> describedColumns()
{
    // The names live as long as the program, as the table that points at them does.
    static std::array<std::string, scoring::ResultsColumnCount> names;
    std::array<ResultColumn, scoring::ResultsColumnCount> columns{};
    for (std::size_t number = 0; number < columns.size(); ++number) {
        const scoring::ResultsColumn& described = scoring::ResultsColumns[number];
        names[number] = serverName(described.name);
        columns[number] = {described.name, names[number].c_str(), serverType(described.type),
                           described.type != scoring::ColumnType::memo};
    }
    return columns;
}

}  // namespace

const std::array<ResultColumn, scoring::ResultsColumnCount> ResultColumns = describedColumns();

std::size_t resultColumnNumber(const std::string& results)
{
    for (std::size_t number = 0; number < ResultColumns.size(); ++number)
        if (results == ResultColumns[number].results) return number;
    throw std::logic_error("no results column " + results);
}

std::string createTableStatement()
{
    std::string statement = std::string("CREATE TABLE IF NOT EXISTS ") + ServerTable +
                            " (key text PRIMARY KEY, site text NOT NULL";
    for (const ResultColumn& column : ResultColumns)
        statement += std::string(", ") + column.server + " " + typeName(column.type);
    return statement + ")";
}

std::string createIndexStatement()
{
    return std::string("CREATE INDEX IF NOT EXISTS ") + ServerTable + "_site_date ON " + ServerTable +
           " (site, testdate)";
}

std::string serverColumnList()
{
    std::string list = "key, site";
    for (const ResultColumn& column : ResultColumns) list += std::string(", ") + column.server;
    return list;
}

std::string insertStatement(std::size_t rows)
{
    const std::size_t width = ResultColumns.size() + 2;
    std::string statement = std::string("INSERT INTO ") + ServerTable + " (" + serverColumnList() + ") VALUES ";
    std::size_t parameter = 1;
    for (std::size_t row = 0; row < rows; ++row) {
        statement += row ? ",(" : "(";
        for (std::size_t column = 0; column < width; ++column)
            statement += (column ? ",$" : "$") + std::to_string(parameter++);
        statement += ")";
    }
    return statement + " ON CONFLICT (key) DO NOTHING";
}

}  // namespace resultsync
