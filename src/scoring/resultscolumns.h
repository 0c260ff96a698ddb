// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The results row of results.dat, described once: every place that writes,
// shows, prints, reports or exports a results row reads its columns here, so
// a column is added or changed in this one table.
//
// Per column, in the table's column order:
//   name     the column of results.dat (upper case)
//   type     its type in the table (results.json: string, integer, float,
//            date, time, memo)
//   grid     its title and alignment in the results window's grid and in
//            the CSV export of the rows in view; no title: not shown there
//   list     its place in the printed results list, in millimetres from the
//            left margin: caption start, value area, alignment and display
//            mask; no caption: not printed
//   report   its line in the one-result report: the block (the heading or the
//            measures), its place in the block from 1, and the caption before
//            its value; the report after a test has the same measure lines
//
// The one-result report is "Test Results", an empty line, the heading block,
// an empty line, the measures block, an empty line, ReportLogHeading, then
// the error log.
//
// Plain C++, for the program, the tests, the benchmarks and the tools alike.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "store/values.h"

namespace store {
class StoreTable;
}

namespace scoring {

enum class ColumnType { text, integer, decimal, date, time, memo };
// rightCut (printed list only): at the right edge, or cut at it where the
// value would not fit there.
enum class Alignment { left, right, rightCut };
// "0.00" and "#,##0.00"; none prints the store's default text form.
enum class DisplayMask { none, fixed, thousands };
enum class ReportBlock { none, heading, measures };

struct GridPlace {
    const char* title = nullptr;
    Alignment alignment = Alignment::left;
    // A stored text as wide as those of most rows, which the column's first
    // width shows whole (a rate or a duration in general form carries up to
    // 15 significant digits).
    const char* typical = "";
};

struct ListPlace {
    const char* caption = nullptr;
    double captionLeft = 0;
    Alignment alignment = Alignment::left;
    double valueLeft = 0;  // a left-aligned value starts here and is cut at valueRight
    double valueRight = 0;
    DisplayMask mask = DisplayMask::none;
};

struct ReportPlace {
    ReportBlock block = ReportBlock::none;
    int line = 0;  // from 1 within its block
    const char* caption = nullptr;
};

struct ResultsColumn {
    const char* name;
    ColumnType type;
    GridPlace grid;
    ListPlace list;
    ReportPlace report;
};

inline constexpr std::size_t ResultsColumnCount = 13;
extern const std::array<ResultsColumn, ResultsColumnCount> ResultsColumns;

inline const std::string ReportTitle = "Test Results";
inline const std::vector<std::string> ReportLogHeading{"Error logging:", "==============", ""};

// The place of a column in ResultsColumns; an unknown name is a logic error.
std::size_t columnIndex(std::string_view name);
const ResultsColumn& resultsColumn(std::string_view name);

// The columns shown in the grid, printed in the list, or in a block of the
// report (in the order of their lines).
std::vector<const ResultsColumn*> gridColumns();
std::vector<const ResultsColumn*> listColumns();
std::vector<const ResultsColumn*> reportColumns(ReportBlock block);
std::vector<std::string> gridColumnNames();
// The place of a column among the grid's columns; one not shown there is a
// logic error.
std::size_t gridPlace(std::string_view name);
std::vector<std::string> gridTitles();

// A value for a column: a text (which the store converts for a column of
// another type, a date "mm/dd/yy" say), an integer, a number or a date and
// time. The empty value leaves the column unwritten.
using ResultsValue = std::variant<std::monostate, std::string, std::int32_t, double, store::Timestamp>;
// One value per column, in the order of ResultsColumns.
using ResultsValues = std::array<ResultsValue, ResultsColumnCount>;

// base with the values named put in by column name; a name not in
// ResultsColumns is a logic error.
ResultsValues resultsValues(std::initializer_list<std::pair<std::string_view, ResultsValue>> named,
                            ResultsValues base = {});

// Inserts one row into the open table: every value that is not empty,
// column by column in the table's order, then posts it.
void insertResultsRow(store::StoreTable& table, const ResultsValues& values);

}  // namespace scoring
