// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Results tables for tests and benchmarks: an empty results.dat made from the
// shipped schema by the table tool, and rows written into it through a
// handle, column by column as the results row is described.

#include <cstdint>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "scoring/resultscolumns.h"
#include "store/storetable.h"

namespace testing_support {

struct ResultRow {
    std::string name;
    double kph = 0;
    double nkph = 0;
    double accuracy = 0;
    std::int32_t totalks = 0;
    std::int32_t totalflds = 0;
    std::int32_t toterrs = 0;
    std::int32_t flderrs = 0;
    double time = 0;
    std::string testtype;
    scoring::ResultsValue testdate;  // "mm/dd/yy" or a timestamp; empty: none
    scoring::ResultsValue testtime;  // "h:mm:ss AM/PM" or a timestamp; empty: none
    std::string errors;              // empty: none
};

inline scoring::ResultsValues valuesOf(const ResultRow& row)
{
    return scoring::resultsValues({{"NAME", row.name},
                                   {"KPH", row.kph},
                                   {"NKPH", row.nkph},
                                   {"ACCURACY", row.accuracy},
                                   {"TOTALKS", row.totalks},
                                   {"TOTALFLDS", row.totalflds},
                                   {"TOTERRS", row.toterrs},
                                   {"FLDERRS", row.flderrs},
                                   {"TIME", row.time},
                                   {"TESTTYPE", row.testtype},
                                   {"TESTDATE", row.testdate},
                                   {"TESTTIME", row.testtime},
                                   {"ERRORS", row.errors.empty() ? scoring::ResultsValue() : row.errors}});
}

// Makes an empty results table at that path.
inline void makeResultsTable(const std::string& path)
{
    const std::string command = std::string(TABLETOOL) + " create " + RESULTS_SCHEMA + " '" + path + "' > /dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot create " + path);
}

inline void writeResultRow(store::StoreTable& table, const ResultRow& row)
{
    scoring::insertResultsRow(table, valuesOf(row));
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
    row.testdate = std::string("03/04/26");
    row.testtime = std::string("2:05:09 PM");
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
    row.testdate = std::string("11/28/26");
    row.testtime = std::string("2:05:09 PM");
    row.errors = "Record 1, field 2\r\nRecord 4, field 7\r\n";
    return row;
}

// Row number n of a benchmark's run, as a test run leaves it, with an
// errorBytes long log; the same number gives the same row, so both sides of
// a comparison store the same ones. KPH falls at random, so that its order
// has nothing to do with the order rows were stored in.
inline ResultRow randomResult(int number, std::size_t errorBytes = 300)
{
    static const char* const kinds[] = {"numeric", "alpha", "alphanumeric"};
    std::mt19937 random(static_cast<unsigned>(number) * 2654435761u);
    ResultRow row;
    row.name = "Testee " + std::to_string(random() % 5000) + ", number " + std::to_string(number);
    row.kph = static_cast<double>(random() % 1500000) / 100.0;
    row.nkph = row.kph * 0.9;
    row.accuracy = static_cast<double>(random() % 10000) / 100.0;
    row.totalks = static_cast<std::int32_t>(random() % 5000);
    row.totalflds = static_cast<std::int32_t>(random() % 500);
    row.toterrs = static_cast<std::int32_t>(random() % 100);
    row.flderrs = static_cast<std::int32_t>(random() % 50);
    row.time = 5.0;
    row.testtype = kinds[random() % 3];
    row.testdate = store::timestampOf(738000 + static_cast<std::int32_t>(random() % 400), 0);
    row.testtime = store::timestampOf(700000, static_cast<std::int32_t>(random() % 86400000));
    row.errors.assign(errorBytes, ' ');
    for (std::size_t i = 0; i < errorBytes; ++i) row.errors[i] = static_cast<char>('a' + random() % 26);
    return row;
}

}  // namespace testing_support
