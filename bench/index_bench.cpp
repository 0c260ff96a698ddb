// SPDX-License-Identifier: GPL-3.0-or-later
// Page reads of the index file's three ways of reading an order, on tables of
// growing size: RowNumber (the rank of a row) and a seek by key read only the
// pages on one root-to-leaf path, so their reads grow with the depth of the
// tree; a full ordered walk reads every leaf once. Every measured operation
// starts from a cold page cache.

#include "store/tableinternals.h"
#include "support/indextestsupport.h"
#include "support/tempdir.h"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>

using namespace store;
using namespace testing_support;

namespace {

constexpr int NameIndex = 1;

struct BenchTable {
    TempDir dir;
    SlotLayout layout;
    std::vector<std::vector<std::uint8_t>> images;
    std::unique_ptr<TableIndexes> indexes;

    explicit BenchTable(int rows)
    {
        layout.add("id", FieldType::Integer);
        layout.add("name", FieldType::String, 30);
        IndexDescriptor primary;
        primary.columns = {1};
        IndexDescriptor names;
        names.name = "Name";
        names.columns = {2};
        std::string path = dir.file("bench.IDX");
        writeIndexFile(path, indexHeaderFor(layout, primary, {names}));
        indexes = std::make_unique<TableIndexes>(openForWriting(path), "bench.dat", layout.columns());
        std::mt19937 random(rows);
        std::uniform_int_distribution<int> letter('a', 'z');
        for (int slot = 1; slot <= rows; ++slot) {
            auto image = layout.image(slot, slot);
            layout.setInteger(image, 1, slot);
            std::string name;
            for (int i = 0; i < 10; ++i) name += static_cast<char>(letter(random));
            layout.setString(image, 2, name);
            indexes->rowAppended(slot, image.data(), nullptr);
            images.push_back(std::move(image));
        }
        indexes->writeBack();
    }

    Key randomKey(std::mt19937& random)
    {
        std::uniform_int_distribution<std::size_t> row(0, images.size() - 1);
        return indexes->keyOf(NameIndex, images[row(random)].data());
    }
};

BenchTable& tableOf(int rows)
{
    static std::map<int, std::unique_ptr<BenchTable>> tables;
    auto& table = tables[rows];
    if (!table) table = std::make_unique<BenchTable>(rows);
    return *table;
}

// Runs one cold-cache operation per iteration and reports its page reads.
template <class Operation>
void measureReads(benchmark::State& state, Operation operation)
{
    BenchTable& table = tableOf(static_cast<int>(state.range(0)));
    IndexFile& file = table.indexes->file();
    std::mt19937 random(42);
    std::int64_t reads = 0;
    for (auto _ : state) {
        state.PauseTiming();
        file.dropCache();
        Key key = table.randomKey(random);
        std::int64_t before = file.pageReads();
        state.ResumeTiming();
        operation(*table.indexes, key);
        reads += file.pageReads() - before;
    }
    state.counters["page_reads"] = benchmark::Counter(static_cast<double>(reads), benchmark::Counter::kAvgIterations);
    state.counters["rows"] = static_cast<double>(state.range(0));
}

void RowNumber(benchmark::State& state)
{
    measureReads(state, [](TableIndexes& indexes, const Key& key) {
        benchmark::DoNotOptimize(indexes.rank(NameIndex, key) + 1);
    });
}

void SeekByKey(benchmark::State& state)
{
    measureReads(state, [](TableIndexes& indexes, const Key& key) {
        benchmark::DoNotOptimize(indexes.atOrAfter(NameIndex, key));
    });
}

void OrderedWalk(benchmark::State& state)
{
    measureReads(state, [](TableIndexes& indexes, const Key&) {
        std::int64_t rows = 0;
        for (auto entry = indexes.first(NameIndex); entry; entry = indexes.next(NameIndex, entry->key)) ++rows;
        benchmark::DoNotOptimize(rows);
    });
}

}  // namespace

BENCHMARK(RowNumber)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(SeekByKey)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(OrderedWalk)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
