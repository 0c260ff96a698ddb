// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/resultscolumns.h"

#include <stdexcept>

#include "store/storetable.h"

namespace scoring {

namespace {

constexpr Alignment L = Alignment::left;
constexpr Alignment R = Alignment::right;

}  // namespace

const std::array<ResultsColumn, ResultsColumnCount> ResultsColumns{{
    {"NAME", ColumnType::text, {"Testee Name", L, "Abercrombie-Fitzgerald, Alexandra"}, {"Testee", 2.1, L, 2.1, 38.4}, {ReportBlock::heading, 1, "Testee: "}},
    {"KPH", ColumnType::decimal, {"Gross KPH", R, "12345.6789012345"}, {"KPH", 44.4, R, 39.4, 51.9, DisplayMask::thousands},
     {ReportBlock::measures, 1, "Gross keystrokes per hour: "}},
    {"NKPH", ColumnType::decimal, {"Net KPH", R, "12345.6789012345"}, {"Net KPH", 57.1, R, 52.9, 71.2, DisplayMask::thousands},
     {ReportBlock::measures, 2, "Net keystrokes per hour: "}},
    {"ACCURACY", ColumnType::decimal, {"Accuracy", R, "99.8888888888889"}, {"Accuracy", 74.1, R, 74.1, 89.2, DisplayMask::fixed},
     {ReportBlock::measures, 3, "Accuracy: "}},
    {"TOTALKS", ColumnType::integer, {"Total KS", R, "88888"}, {"Ttl KS", 95.8, R, 94.7, 105.6},
     {ReportBlock::measures, 5, "Total keystrokes: "}},
    {"TOTALFLDS", ColumnType::integer, {"Total Flds", R, "8888"}, {"Ttl flds", 112.7, R, 111.7, 122.5},
     {ReportBlock::measures, 7, "Total fields: "}},
    {"TOTERRS", ColumnType::integer, {"Total KS Err", R, "8888"}, {"Ttl ks err", 131.8, R, 134.9, 145.8},
     {ReportBlock::measures, 6, "Keystroke errors: "}},
    {"FLDERRS", ColumnType::integer, {"Total Fld Err", R, "8888"}, {"Ttl fld err", 152.4, R, 154.3, 165.1},
     {ReportBlock::measures, 8, "Total field errors: "}},
    {"TIME", ColumnType::decimal, {"Duration", R, "5.03333333333333"}, {"Duration", 171.5, Alignment::rightCut, 173.3, 184.1},
     {ReportBlock::measures, 4, "Duration (minutes): "}},
    {"TESTTYPE", ColumnType::text, {"Test Type", L, "alphanumeric"}, {"Test type", 190.5, L, 190.2, 213.8},
     {ReportBlock::heading, 3, "Real mode, test type: "}},
    {"TESTDATE", ColumnType::date, {"Test Date", L, "88/88/88"}, {"Test date", 215.9, R, 215.9, 230.7},
     {ReportBlock::heading, 2, "Test date: "}},
    {"TESTTIME", ColumnType::time, {}, {"Time", 239.2, Alignment::rightCut, 234.7, 247.9}, {}},
    {"ERRORS", ColumnType::memo, {}, {}, {}},
}};

std::size_t columnIndex(std::string_view name)
{
    for (std::size_t index = 0; index < ResultsColumns.size(); ++index)
        if (ResultsColumns[index].name == name) return index;
    throw std::logic_error("no results column " + std::string(name));
}

const ResultsColumn& resultsColumn(std::string_view name)
{
    return ResultsColumns[columnIndex(name)];
}

std::vector<const ResultsColumn*> gridColumns()
{
    std::vector<const ResultsColumn*> columns;
    for (const ResultsColumn& column : ResultsColumns)
        if (column.grid.title) columns.push_back(&column);
    return columns;
}

// Asked per grid cell and per exported row, so it counts without making a list.
std::size_t gridPlace(std::string_view name)
{
    std::size_t place = 0;
    for (const ResultsColumn& column : ResultsColumns) {
        if (!column.grid.title) continue;
        if (column.name == name) return place;
        ++place;
    }
    throw std::logic_error("no grid column " + std::string(name));
}

std::vector<const ResultsColumn*> listColumns()
{
    std::vector<const ResultsColumn*> columns;
    for (const ResultsColumn& column : ResultsColumns)
        if (column.list.caption) columns.push_back(&column);
    return columns;
}

std::vector<const ResultsColumn*> reportColumns(ReportBlock block)
{
    std::vector<const ResultsColumn*> columns;
    for (int line = 1;; ++line) {
        const std::size_t found = columns.size();
        for (const ResultsColumn& column : ResultsColumns)
            if (column.report.block == block && column.report.line == line) columns.push_back(&column);
        if (columns.size() == found) return columns;
    }
}

std::vector<std::string> gridColumnNames()
{
    std::vector<std::string> names;
    for (const ResultsColumn* column : gridColumns()) names.emplace_back(column->name);
    return names;
}

std::vector<std::string> gridTitles()
{
    std::vector<std::string> titles;
    for (const ResultsColumn* column : gridColumns()) titles.emplace_back(column->grid.title);
    return titles;
}

ResultsValues resultsValues(std::initializer_list<std::pair<std::string_view, ResultsValue>> named,
                            ResultsValues base)
{
    for (const auto& [name, value] : named) base[columnIndex(name)] = value;
    return base;
}

void insertResultsRow(store::StoreTable& table, const ResultsValues& values)
{
    table.BeginInsert();
    for (std::size_t index = 0; index < ResultsColumns.size(); ++index) {
        const char* name = ResultsColumns[index].name;
        std::visit(
            [&](const auto& value) {
                if constexpr (!std::is_same_v<std::decay_t<decltype(value)>, std::monostate>)
                    table.WriteValue(name, value);
            },
            values[index]);
    }
    if (table.EditState() != store::EditStates::Browse) table.PostRow();
}

}  // namespace scoring
