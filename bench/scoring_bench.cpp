// SPDX-License-Identifier: GPL-3.0-or-later
// Scoring a full run, the source reads from the test table included: the
// largest alphanumeric run (1,900 records of 7 fields, invsort.dat in its
// idxkey order) and the largest numeric run (200 records of 25 fields), each
// on a table opened shared as the test window opens it. Every tenth record is
// keyed with one wrong character, so the error log is written and capped.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "schemafile.h"
#include "scoring/scoretest.h"
#include "store/createtable.h"
#include "store/storetable.h"
#include "support/tempdir.h"

using testing_support::TempDir;

namespace {

struct ScoredRun {
    TempDir folder;
    store::StoreTable testdb{"testdb"};
    RunState state;
    scoring::ScoreSettings settings;

    ScoredRun(TestKind kind, const std::string& table, int records) : state(kind)
    {
        const std::string path = folder.file(table + ".dat");
        store::createTable(store::systemFileSystem(), path,
                           tools::readSchemaFile(MOVARA_TABLE_SCHEMAS "/" + table + ".json"));
        testdb.setTableName(path);
        testdb.setActive(true);
        for (int row = 1; row <= records; ++row) fillRow(kind, row);
        testdb.PostRow();
        testdb.setActive(false);
        if (kind != TestKind::numeric) testdb.setIndexName("idxkey");
        testdb.setActive(true);
        keyEveryRecord(records);
    }

    void fillRow(TestKind kind, int row)
    {
        testdb.BeginInsert();
        if (kind == TestKind::numeric) {
            for (int field = 1; field <= 25; ++field)
                testdb.WriteValue(scoring::sourceColumn(kind, field, false), std::int32_t(row * 1000 + field * 37));
            return;
        }
        char key[8];
        std::snprintf(key, sizeof key, "%05d", row);
        testdb.WriteValue("recordid", std::int32_t(row));
        testdb.WriteValue("idxkey", std::string(key));
        testdb.WriteValue("INVOICE", std::to_string(10000000 + row));
        testdb.WriteValue("DATE", "03/15/99");
        testdb.WriteValue("AMOUNT", "1234.67");
        testdb.WriteValue("FIRST", "Firstname" + std::to_string(row));
        testdb.WriteValue("LAST", "Lastname" + std::to_string(row));
        testdb.WriteValue("STREET", std::to_string(row) + " Main Street");
        testdb.WriteValue("CITY", "Cityname");
    }

    // The source texts keyed back, every tenth record with one wrong letter.
    void keyEveryRecord(int records)
    {
        const int fields = kindShape(state.kind).fields;
        testdb.GoFirst();
        for (int record = 1; record <= records; ++record, testdb.Skip(1))
            for (int field = 1; field <= fields; ++field) {
                std::string text = testdb.ReadText(scoring::sourceColumn(state.kind, field, false));
                if (record % 10 == 0 && field == 1) text[0] = '#';
                state.KeyedValues.cell(record, field) = text;
            }
        state.RecordNumber = state.HighestRecord = state.HighestRow = records;
        state.ElapsedSeconds = 300.5;
    }
};

void scoreRun(benchmark::State& state, TestKind kind, const char* table, int records)
{
    ScoredRun run(kind, table, records);
    scoring::TableSourceReader source(run.testdb);
    int events = 0;
    for (auto _ : state) {
        scoring::Score score = scoring::scoretest(run.state, source, run.settings, [&events] { ++events; });
        benchmark::DoNotOptimize(score.TOTALKS);
    }
    state.counters["records"] = records;
    state.counters["fields"] = records * kindShape(kind).fields;
}

void BM_ScoreAlphanumeric1900(benchmark::State& state) { scoreRun(state, TestKind::alphanumeric, "invsort", 1900); }
void BM_ScoreNumeric200(benchmark::State& state) { scoreRun(state, TestKind::numeric, "numeric", 200); }

}  // namespace

BENCHMARK(BM_ScoreAlphanumeric1900)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScoreNumeric200)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
