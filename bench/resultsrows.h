#pragma once

// The rows the benchmarks store: results rows as a test run leaves them, with
// an error log of a few hundred bytes, made from a row number so that every
// benchmark (and both sides of a comparison) can build the same ones.

#include "store/storetable.h"

#include <cstdint>
#include <random>
#include <string>

namespace bench_support {

struct ResultsRow {
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
    std::int32_t day = 0;           // day number, 1 = 1 January of year 1
    std::int32_t milliseconds = 0;  // time of day
    std::string errors;
};

// Row number n of a run; errorBytes long logs. KPH falls at random, so that
// its order has nothing to do with the order rows were stored in.
inline ResultsRow resultsRow(int number, std::size_t errorBytes = 300)
{
    static const char* const kinds[] = {"numeric", "alpha", "alphanumeric"};
    std::mt19937 random(static_cast<unsigned>(number) * 2654435761u);
    ResultsRow row;
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
    row.day = 738000 + static_cast<std::int32_t>(random() % 400);
    row.milliseconds = static_cast<std::int32_t>(random() % 86400000);
    row.errors.assign(errorBytes, ' ');
    for (std::size_t i = 0; i < errorBytes; ++i) row.errors[i] = static_cast<char>('a' + random() % 26);
    return row;
}

// Posts row as a new row of table.
inline void postResultsRow(store::StoreTable& table, const ResultsRow& row)
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
    table.WriteValue("TESTDATE", store::timestampOf(row.day, 0));
    table.WriteValue("TESTTIME", store::timestampOf(700000, row.milliseconds));
    table.WriteValue("ERRORS", row.errors);
    table.PostRow();
}

}  // namespace bench_support
