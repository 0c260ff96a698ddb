#pragma once

// Results tables for tests and benchmarks: an empty results.dat made from the
// shipped schema by the table tool, and rows written into it through a
// handle, every column given.

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/storetable.h"

namespace testing_support {

struct ResultRow {
    std::string name;
    double kph = 0;
    double nkph = 0;
    double accuracy = 0;
    int totalks = 0;
    int totalflds = 0;
    int toterrs = 0;
    int flderrs = 0;
    double time = 0;
    std::string testtype;
    std::string testdate;  // "mm/dd/yy"
    std::string testtime;  // "h:mm:ss AM/PM"
    std::string errors;
};

// Makes an empty results table at that path.
inline void makeResultsTable(const std::string& path)
{
    const std::string command = std::string(TABLETOOL) + " create " + RESULTS_SCHEMA + " '" + path + "' > /dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot create " + path);
}

inline void writeResultRow(store::StoreTable& table, const ResultRow& row)
{
    table.BeginInsert();
    table.WriteValue("NAME", row.name);
    table.WriteValue("KPH", row.kph);
    table.WriteValue("NKPH", row.nkph);
    table.WriteValue("ACCURACY", row.accuracy);
    table.WriteValue("TOTALKS", row.totalks);
    table.WriteValue("TOTALFLDS", row.totalflds);
    table.WriteValue("TOTERRS", row.toterrs);
    table.WriteValue("FLDERRS", row.flderrs);
    table.WriteValue("TIME", row.time);
    table.WriteValue("TESTTYPE", row.testtype);
    if (!row.testdate.empty()) table.WriteValue("TESTDATE", row.testdate);
    if (!row.testtime.empty()) table.WriteValue("TESTTIME", row.testtime);
    if (!row.errors.empty()) table.WriteValue("ERRORS", row.errors);
    table.PostRow();
}

inline void insertResults(const std::string& path, const std::vector<ResultRow>& rows)
{
    store::StoreTable table("fill");
    table.setTableName(path);
    table.setActive(true);
    for (const ResultRow& row : rows) writeResultRow(table, row);
    table.setActive(false);
}

// A plain row of that kind whose figures grow with number.
inline ResultRow sampleResult(int number, const std::string& testtype)
{
    ResultRow row;
    row.name = "Tester" + std::to_string(number) + ", Pat";
    row.kph = 5000 + 37.25 * number;
    row.nkph = 4000 + 41.5 * (number % 17);
    row.accuracy = 90 + (number % 10);
    row.totalks = 1000 + number;
    row.totalflds = 100 + number;
    row.toterrs = number % 7;
    row.flderrs = number % 5;
    row.time = 5;
    row.testtype = testtype;
    row.testdate = "03/04/26";
    row.testtime = "2:05:09 PM";
    row.errors = "Record " + std::to_string(number) + ", field 3: keyed 12, expected 13\r\n";
    return row;
}

// A row whose measures need rounding and a thousands separator, and a
// duration of five minutes and two seconds.
inline ResultRow measuredResult()
{
    ResultRow row = sampleResult(1, "alphanumeric");
    row.name = "Smith, Ann";
    row.kph = 12345.678;
    row.nkph = 9876.5;
    row.accuracy = 98.7654;
    row.totalks = 4321;
    row.totalflds = 210;
    row.toterrs = 17;
    row.flderrs = 9;
    row.time = 5 + 2.0 / 60;
    row.testdate = "11/28/26";
    row.testtime = "2:05:09 PM";
    row.errors = "Record 1, field 2\r\nRecord 4, field 7\r\n";
    return row;
}

}  // namespace testing_support
