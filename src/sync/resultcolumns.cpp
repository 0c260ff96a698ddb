#include "sync/resultcolumns.h"

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

}  // namespace

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
