// SPDX-License-Identifier: GPL-3.0-or-later
// What sharing costs: the time and the file calls (each one system call:
// pread, pwrite, fstat, fcntl, rename, ...) of posting a results row in a
// shared open, where every post takes the write lock, records the blocks its
// slots, pages, memo blocks and the three headers change in the table's
// journal (the spare the post before left, renamed into place), writes them,
// neighbouring ones joined, and renames the journal back to the spare;
// without write-through nothing is flushed. Against an exclusive open that
// writes only at close; and an uncontended read lock, alone and with the
// change check that every cursor operation of a shared open makes; and a
// shared cursor step that the caches answer.

#include "support/resultstable.h"
#include "store/storetable.h"
#include "store/tableinternals.h"
#include "support/faultyfilesystem.h"
#include "support/tempdir.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

using namespace store;
using namespace testing_support;

namespace {

struct BenchTable {
    TempDir dir;
    std::string path = dir.file("results.dat");
    FaultyFileSystem counting;
    StoreTable table{"resultsdb", counting};

    explicit BenchTable(bool exclusive)
    {
        makeResultsTable(path);
        table.setTableName(path);
        table.setExclusive(exclusive);
        table.setActive(true);
    }

    void post(int number)
    {
        table.BeginInsert();
        table.WriteValue("NAME", "testee, number " + std::to_string(number));
        table.WriteValue("KPH", static_cast<double>(number % 15000));
        table.WriteValue("NKPH", static_cast<double>(number % 12000));
        table.WriteValue("TESTTYPE", "numeric");
        table.WriteValue("TESTDATE", timestampOf(738000 + number % 400, 0));
        table.WriteValue("TESTTIME", timestampOf(700000, number % 86400000));
        table.WriteValue("ERRORS", std::string(200 + number % 900, 'x'));
        table.PostRow();
    }
};

void reportCalls(benchmark::State& state, long calls)
{
    state.counters["file_calls"] = benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kAvgIterations);
}

void postRows(benchmark::State& state, bool exclusive)
{
    BenchTable bench(exclusive);
    int number = 0;
    long before = bench.counting.plan.calls;
    for (auto _ : state) bench.post(++number);
    reportCalls(state, bench.counting.plan.calls - before);
}

void BM_SharedPost(benchmark::State& state) { postRows(state, false); }
void BM_ExclusivePost(benchmark::State& state) { postRows(state, true); }

// The read lock alone: the index and the memo file's reader bytes.
void BM_UncontendedReadLock(benchmark::State& state)
{
    BenchTable bench(false);
    bench.post(1);
    TableFileNames names = tableFileNames(bench.path);
    OpenStatus status = OpenStatus::Ok;
    auto data = bench.counting.open(names.data, Access::ReadWrite, Sharing::Shared, false, status);
    auto index = bench.counting.open(names.index, Access::ReadWrite, Sharing::Shared, false, status);
    auto memo = bench.counting.open(names.memo, Access::ReadWrite, Sharing::Shared, false, status);
    TableLocks locks(names.data, *data, *index, memo.get(), true);
    long before = bench.counting.plan.calls;
    for (auto _ : state) {
        locks.lockRead(false);
        locks.unlockRead();
    }
    reportCalls(state, bench.counting.plan.calls - before);
}

// A cursor operation's read lock with its change check, when nobody wrote.
void BM_ReadLockWithChangeCheck(benchmark::State& state)
{
    BenchTable bench(false);
    bench.post(1);
    long before = bench.counting.plan.calls;
    for (auto _ : state) benchmark::DoNotOptimize(bench.table.RowCount());
    reportCalls(state, bench.counting.plan.calls - before);
}

// A shared cursor step while nobody wrote: the change counter is looked at
// through the data file's mapped head, and the rows come from the caches.
void BM_SharedStepOnCache(benchmark::State& state)
{
    BenchTable bench(false);
    for (int number = 1; number <= 20; ++number) bench.post(number);
    bench.counting.plan.peeks = true;
    bench.table.GoFirst();
    long before = bench.counting.plan.calls;
    for (auto _ : state) {
        bench.table.GoNext();
        if (bench.table.AtEnd()) bench.table.GoFirst();
    }
    reportCalls(state, bench.counting.plan.calls - before);
}

}  // namespace

BENCHMARK(BM_SharedPost);
BENCHMARK(BM_ExclusivePost);
BENCHMARK(BM_UncontendedReadLock);
BENCHMARK(BM_ReadLockWithChangeCheck);
BENCHMARK(BM_SharedStepOnCache);
BENCHMARK_MAIN();
