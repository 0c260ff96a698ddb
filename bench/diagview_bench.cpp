// SPDX-License-Identifier: GPL-3.0-or-later
// "Diagnosis of this view" over 100,000 stored results: every result in
// view summed, in a folder where each result has its diagnosis row, with and
// without the numeric filter, and in an older folder without diagnosis.dat,
// where every result is diagnosed again from its logged fields. Each result
// is a run with six logged field errors, of a kind at random; the results
// are stored in the order they were taken, 200 a day, as test runs store them.

#include <benchmark/benchmark.h>

#include <string>

#include "results/viewdiagnosis.h"
#include "scoring/diagnosistable.h"
#include "schemafile.h"
#include "store/createtable.h"
#include "store/storetable.h"
#include "support/resultstable.h"
#include "support/tempdir.h"

namespace {

constexpr int StoredResults = 100000;

struct LoggedField {
    const char* keyed;
    const char* source;
};
constexpr LoggedField Logged[] = {{"15987732", "15897732"}, {"4381", "43881"},   {"27122160", "27122166"},
                                  {"43881", "4381"},         {"9054471", "9064471"}, {"", "3307"}};

std::string errorLog()
{
    std::string log;
    int field = 1;
    for (const LoggedField& entry : Logged) {
        log += "Record no.: 3, Field no.: " + std::to_string(field++) + ", 1 errors.\r\n";
        log += std::string("Keyed    >") + entry.keyed + "\r\nOn Record>" + entry.source + "\r\n\r\n";
    }
    return log;
}

scoring::Diagnosis runDiagnosis()
{
    scoring::Diagnosis diagnosis;
    for (const LoggedField& entry : Logged)
        diagnosis.addField(entry.keyed, entry.source, scoring::Keyboard::numericKeypad);
    for (int field = 0; field < 244; ++field) diagnosis.addExpected(std::to_string(10000000 + field * 3917));
    return diagnosis;
}

struct Folder {
    Folder()
    {
        testing_support::makeResultsTable(results());
        store::createTable(store::systemFileSystem(), diagnosis(),
                           tools::readSchemaFile(MOVARA_TABLE_SCHEMAS "/diagnosis.json"));
        const scoring::Diagnosis stored = runDiagnosis();
        const std::string keys = scoring::keysMemo(stored);
        const char* const classColumns[] = {"TRANSPOSED", "OMITTED", "EXTRA", "DOUBLED", "NEIGHBOUR", "OTHER", "BLANK"};
        store::StoreTable resultsdb("fill");
        store::StoreTable diagnosisdb("fill");
        for (store::StoreTable* table : {&resultsdb, &diagnosisdb}) table->setExclusive(true);
        resultsdb.setTableName(results());
        diagnosisdb.setTableName(diagnosis());
        resultsdb.setActive(true);
        diagnosisdb.setActive(true);
        for (int number = 1; number <= StoredResults; ++number) {
            testing_support::ResultRow row = testing_support::randomResult(number, 0);
            row.errors = errorLog();
            row.testdate = store::timestampOf(738000 + number / 200, 0);
            row.testtime = store::timestampOf(700000, 28800000 + number % 200 * 150000);
            testing_support::writeResultRow(resultsdb, row);
            diagnosisdb.BeginInsert();
            diagnosisdb.WriteValue("NAME", row.name);
            diagnosisdb.WriteValue("TESTDATE", std::get<store::Timestamp>(row.testdate));
            diagnosisdb.WriteValue("TESTTIME", std::get<store::Timestamp>(row.testtime));
            diagnosisdb.WriteValue("TESTTYPE", row.testtype);
            for (int kind = 0; kind < scoring::EditClassCount; ++kind)
                diagnosisdb.WriteValue(classColumns[kind], stored.counts[std::size_t(kind)]);
            diagnosisdb.WriteValue("KEYS", keys);
            diagnosisdb.PostRow();
        }
        resultsdb.setActive(false);
        diagnosisdb.setActive(false);
    }

    std::string results() const { return folder.file("results.dat"); }
    std::string diagnosis() const { return folder.file("diagnosis.dat"); }

    testing_support::TempDir folder;
};

Folder& folder()
{
    static Folder made;
    return made;
}

void sumView(benchmark::State& state, const std::string& filter, bool withDiagnosis)
{
    Folder& made = folder();
    store::StoreTable view("resultsdb");
    view.setTableName(made.results());
    view.setIndexName("NETKPH");
    view.setFilter(filter);
    view.setFiltered(!filter.empty());
    view.setActive(true);
    const std::string diagnosis = withDiagnosis ? made.diagnosis() : made.folder.file("none.dat");
    int summed = 0;
    for (auto _ : state) {
        const auto sums = results::diagnoseView(view, diagnosis, [](int, int) { return true; });
        summed = sums->results;
        benchmark::DoNotOptimize(sums);
    }
    state.counters["results"] = summed;
}

void BM_DiagnosisOfView(benchmark::State& state) { sumView(state, "", true); }
void BM_DiagnosisOfNumericView(benchmark::State& state) { sumView(state, "TESTTYPE='numeric'", true); }
void BM_DiagnosisOfViewFromLogs(benchmark::State& state) { sumView(state, "", false); }

}  // namespace

BENCHMARK(BM_DiagnosisOfView)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DiagnosisOfNumericView)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DiagnosisOfViewFromLogs)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
