// SPDX-License-Identifier: GPL-3.0-or-later
// The store against the embedded SQL database an engineer would reach for
// instead, on the results table's own workloads: the same rows (110,000, each
// with a 300-byte error log), the same four indexes (NAME without regard to
// case, KPH and NKPH descending, TESTDATE with TESTTIME), measured in one run.
//
// Every benchmark measures both sides and reports
//   store   operations (rows, posts, queries, opens) per second of the store
//   sqlite  the same for the database
//   ratio   store / sqlite: above 1 the store is faster
// The benchmark's own time column is the store's time. The posts also report
// what each of the store's posts asked of the file system: calls (of which
// reads, writes, flushes, sizes, locks and names: opens, existence checks,
// renames and removes), and KB_read and KB_written.
//
// The rows a workload writes are made before either side is timed.
//
// Durability is matched on both sides: the store writes without syncing
// against synchronous=OFF, and the store's write-through opens
// (ForceBufferFlush) against synchronous=FULL. Shared database connections
// run in WAL mode, one row per transaction; exclusive ones hold
// locking_mode=EXCLUSIVE.

#include "countingfilesystem.h"
#include "scoring/resultscolumns.h"
#include "support/resultstable.h"
#include "store/storetable.h"
#include "store/tableinternals.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using namespace store;
using testing_support::randomResult;

namespace {

constexpr int TableRows = 110000;
constexpr int BulkRows = 100000;
// The bulk insert's page buffers per index, enough to hold its four indexes
// of 100,000 rows whole instead of rereading a page for nearly every row.
constexpr int BulkIndexBuffers = 4096;
constexpr int BulkIndexes = 4;

double secondsOf(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ---- The database side ----------------------------------------------------------

class Database {
public:
    explicit Database(const std::string& path)
    {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            fail("open");
    }
    ~Database() { sqlite3_close_v2(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* handle() const { return db_; }
    void run(const std::string& sql)
    {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail(sql);
    }
    [[noreturn]] void fail(const std::string& what) const
    {
        throw std::runtime_error(what + ": " + sqlite3_errmsg(db_));
    }

private:
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement(Database& db, const std::string& sql) : db_(db)
    {
        if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &statement_, nullptr) != SQLITE_OK) db.fail(sql);
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return statement_; }
    // True while there is a row.
    bool step()
    {
        int status = sqlite3_step(statement_);
        if (status == SQLITE_ROW) return true;
        if (status != SQLITE_DONE) db_.fail("step");
        return false;
    }
    void reset() { sqlite3_reset(statement_); }

private:
    Database& db_;
    sqlite3_stmt* statement_ = nullptr;
};

const char* sqlType(scoring::ColumnType type)
{
    switch (type) {
    case scoring::ColumnType::integer:
    case scoring::ColumnType::date:
    case scoring::ColumnType::time: return "INTEGER";
    case scoring::ColumnType::decimal: return "REAL";
    case scoring::ColumnType::text:
    case scoring::ColumnType::memo: break;
    }
    return "TEXT";
}

// The results table's columns, as the program describes them, and its four indexes.
void createResultsDatabase(Database& db)
{
    std::string columns;
    for (const scoring::ResultsColumn& column : scoring::ResultsColumns)
        columns += std::string(columns.empty() ? "" : ", ") + column.name + " " + sqlType(column.type);
    db.run("PRAGMA journal_mode=WAL");
    db.run("CREATE TABLE results(" + columns + ")");
    db.run("CREATE INDEX NAME ON results(NAME COLLATE NOCASE)");
    db.run("CREATE INDEX KPH ON results(KPH DESC)");
    db.run("CREATE INDEX NETKPH ON results(NKPH DESC)");
    db.run("CREATE INDEX DATE ON results(TESTDATE, TESTTIME)");
}

std::string insertStatement()
{
    std::string places;
    for (std::size_t place = 1; place <= scoring::ResultsColumnCount; ++place)
        places += (place > 1 ? ", ?" : "?") + std::to_string(place);
    return "INSERT INTO results VALUES(" + places + ")";
}

// A date and time goes in as its stored milliseconds.
void bindValue(sqlite3_stmt* statement, int place, const scoring::ResultsValue& value)
{
    std::visit(
        [&](const auto& held) {
            using Held = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<Held, std::monostate>)
                sqlite3_bind_null(statement, place);
            else if constexpr (std::is_same_v<Held, std::string>)
                sqlite3_bind_text(statement, place, held.c_str(), static_cast<int>(held.size()), SQLITE_STATIC);
            else if constexpr (std::is_same_v<Held, std::int32_t>)
                sqlite3_bind_int(statement, place, held);
            else if constexpr (std::is_same_v<Held, double>)
                sqlite3_bind_double(statement, place, held);
            else
                sqlite3_bind_int64(statement, place, static_cast<sqlite3_int64>(held.milliseconds));
        },
        value);
}

class RowInserter {
public:
    explicit RowInserter(Database& db) : insert_(db, insertStatement()) {}
    void insert(const testing_support::ResultRow& row)
    {
        const scoring::ResultsValues values = testing_support::valuesOf(row);
        for (std::size_t index = 0; index < values.size(); ++index)
            bindValue(insert_.get(), static_cast<int>(index) + 1, values[index]);
        insert_.step();
        insert_.reset();
    }

private:
    Statement insert_;
};

// The rows a workload writes, made before either side is timed, so that
// the times are of the writing alone.
std::vector<testing_support::ResultRow> rowsNumbered(int first, int count)
{
    std::vector<testing_support::ResultRow> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int number = first; number < first + count; ++number) rows.push_back(randomResult(number));
    return rows;
}

void insertRows(Database& db, const std::vector<testing_support::ResultRow>& rows)
{
    RowInserter inserter(db);
    db.run("BEGIN");
    for (const testing_support::ResultRow& row : rows) inserter.insert(row);
    db.run("COMMIT");
}

// A connection for reading: shared, or holding the database for itself.
std::unique_ptr<Database> readerOf(const std::string& path, bool exclusive)
{
    auto db = std::make_unique<Database>(path);
    if (exclusive) {
        db->run("PRAGMA locking_mode=EXCLUSIVE");
        db->run("SELECT COUNT(*) FROM sqlite_master");  // takes the lock now, not in the measured work
    }
    return db;
}

// ---- The store side ------------------------------------------------------------

std::unique_ptr<StoreTable> storeTableOf(const std::string& path, bool exclusive, bool writeThrough = false,
                                         std::size_t slotCacheBytes = 0, FileSystem& files = systemFileSystem())
{
    auto table = std::make_unique<StoreTable>("resultsdb", files);
    table->setTableName(path);
    table->setExclusive(exclusive);
    table->setForceBufferFlush(writeThrough);
    table->setExclusiveSlotCacheBytes(slotCacheBytes);
    table->setActive(true);
    return table;
}

void postRows(StoreTable& table, const std::vector<testing_support::ResultRow>& rows)
{
    for (const testing_support::ResultRow& row : rows) testing_support::writeResultRow(table, row);
}

// ---- The shared tables ------------------------------------------------------------

// Both sides with the same 110,000 rows, made once for the whole run.
struct Tables {
    testing_support::TempDir dir;
    std::string store = dir.file("results.dat");
    std::string database = dir.file("results.db");
    int nextRow = TableRows + 1;  // the rows posted by the post benchmarks come after

    Tables()
    {
        testing_support::makeResultsTable(store);
        const auto rows = rowsNumbered(1, TableRows);
        postRows(*storeTableOf(store, true), rows);
        Database db(database);
        createResultsDatabase(db);
        db.run("PRAGMA synchronous=OFF");
        insertRows(db, rows);
    }
};

Tables& tables()
{
    static Tables shared;
    return shared;
}

// The slot cache an exclusive open may be given to hold every row of the
// shared table: each row's slot plus computed area.
std::size_t wholeTableCacheBytes()
{
    auto data = testing_support::openTable(tables().store);
    const DataHeader& header = data->header();
    return static_cast<std::size_t>(header.slotSize + header.computedArea) *
           static_cast<std::size_t>(data->slotCount());
}

void reportCache(benchmark::State& state, std::size_t slotCacheBytes)
{
    if (slotCacheBytes != 0) state.counters["slot_cache_MB"] = static_cast<double>(slotCacheBytes) / 1e6;
}

void report(benchmark::State& state, double operations, double storeSeconds, double sqliteSeconds)
{
    state.SetIterationTime(storeSeconds);
    state.counters["store"] = operations / storeSeconds;
    state.counters["sqlite"] = operations / sqliteSeconds;
    state.counters["ratio"] = sqliteSeconds / storeSeconds;
}

// ---- The workloads ----------------------------------------------------------------

// What the store's posts asked of the file system, per post: every call,
// the flushes among them, and the bytes read and written.
void reportFileCounts(benchmark::State& state, const bench_support::FileCounts& counts, int posts)
{
    const double per = posts;
    state.counters["calls"] = static_cast<double>(counts.calls) / per;
    state.counters["reads"] = static_cast<double>(counts.reads) / per;
    state.counters["writes"] = static_cast<double>(counts.writes) / per;
    state.counters["flushes"] = static_cast<double>(counts.flushes) / per;
    state.counters["sizes"] = static_cast<double>(counts.sizes) / per;
    state.counters["locks"] = static_cast<double>(counts.locks) / per;
    state.counters["names"] = static_cast<double>(counts.names) / per;
    state.counters["KB_read"] = static_cast<double>(counts.bytesRead) / 1024.0 / per;
    state.counters["KB_written"] = static_cast<double>(counts.bytesWritten) / 1024.0 / per;
}

void sharedPost(benchmark::State& state, bool synced)
{
    Tables& shared = tables();
    const int posts = synced ? 200 : 2000;
    for (auto _ : state) {
        const auto rows = rowsNumbered(shared.nextRow, posts);
        bench_support::CountingFileSystem counting;
        auto table = storeTableOf(shared.store, false, synced, 0, counting);
        counting.counts = {};  // the open is not the posts' work
        double storeSeconds = secondsOf([&] { postRows(*table, rows); });
        reportFileCounts(state, counting.counts, posts);
        table.reset();
        Database db(shared.database);
        db.run(synced ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=OFF");
        RowInserter inserter(db);
        double sqliteSeconds = secondsOf([&] {
            for (const testing_support::ResultRow& row : rows) inserter.insert(row);
        });
        shared.nextRow += posts;
        report(state, posts, storeSeconds, sqliteSeconds);
    }
}

void BM_SharedPostWithoutSync(benchmark::State& state) { sharedPost(state, false); }
void BM_SharedPostSynced(benchmark::State& state) { sharedPost(state, true); }

void BM_ExclusiveBulkInsert(benchmark::State& state)
{
    for (auto _ : state) {
        testing_support::TempDir dir;
        std::string path = dir.file("bulk.dat");
        testing_support::makeResultsTable(path);
        const auto rows = rowsNumbered(1, BulkRows);
        double storeSeconds = secondsOf([&] {
            auto table = std::make_unique<StoreTable>("resultsdb");
            table->setTableName(path);
            table->setExclusive(true);
            table->setExclusiveIndexBuffers(BulkIndexBuffers);
            table->setActive(true);
            postRows(*table, rows);
            table->setActive(false);
        });
        double sqliteSeconds = secondsOf([&] {
            Database db(dir.file("bulk.db"));
            createResultsDatabase(db);
            db.run("PRAGMA synchronous=OFF");
            insertRows(db, rows);
        });
        report(state, BulkRows, storeSeconds, sqliteSeconds);
        // At most, as the buffers are made only as pages are needed.
        state.counters["index_buffer_MB"] = BulkIndexBuffers * 4096.0 * BulkIndexes / (1024 * 1024);
    }
}

// Every row in KPH order, reading NAME and KPH.
void walkByKph(benchmark::State& state, bool exclusive, std::size_t slotCacheBytes = 0)
{
    Tables& shared = tables();
    reportCache(state, slotCacheBytes);
    for (auto _ : state) {
        auto table = storeTableOf(shared.store, exclusive, false, slotCacheBytes);
        table->setIndexName("KPH");
        double rows = 0, sum = 0;
        double storeSeconds = secondsOf([&] {
            for (table->GoFirst(); !table->AtEnd(); table->GoNext()) {
                sum += static_cast<double>(table->ReadText("NAME").size()) + table->ReadFloat("KPH");
                ++rows;
            }
        });
        table.reset();
        auto db = readerOf(shared.database, exclusive);
        double sqliteSeconds = secondsOf([&] {
            Statement walk(*db, "SELECT NAME, KPH FROM results ORDER BY KPH DESC");
            while (walk.step())
                sum += static_cast<double>(sqlite3_column_bytes(walk.get(), 0)) + sqlite3_column_double(walk.get(), 1);
        });
        benchmark::DoNotOptimize(sum);
        report(state, rows, storeSeconds, sqliteSeconds);
    }
}

void BM_WalkByKphShared(benchmark::State& state) { walkByKph(state, false); }
void BM_WalkByKphExclusive(benchmark::State& state) { walkByKph(state, true); }
void BM_WalkByKphExclusiveWholeCache(benchmark::State& state) { walkByKph(state, true, wholeTableCacheBytes()); }

// The place of a row in KPH order, at 1,000 random rows, against counting
// the keys before it.
void BM_RowNumber(benchmark::State& state)
{
    Tables& shared = tables();
    for (auto _ : state) {
        auto table = storeTableOf(shared.store, false);
        table->setIndexName("KPH");
        std::mt19937 random(7);
        std::vector<double> kphs;
        double storeSeconds = 0;
        long sum = 0;
        for (table->GoFirst(); !table->AtEnd(); table->GoNext()) {
            if (random() % (TableRows / 1000) != 0) continue;
            storeSeconds += secondsOf([&] { sum += table->RowNumber(); });
            kphs.push_back(table->ReadFloat("KPH"));
        }
        table.reset();
        Database db(shared.database);
        Statement count(db, "SELECT COUNT(*) FROM results WHERE KPH > ?1");
        double sqliteSeconds = secondsOf([&] {
            for (double kph : kphs) {
                sqlite3_bind_double(count.get(), 1, kph);
                count.step();
                sum += sqlite3_column_int(count.get(), 0) + 1;
                count.reset();
            }
        });
        benchmark::DoNotOptimize(sum);
        report(state, static_cast<double>(kphs.size()), storeSeconds, sqliteSeconds);
    }
}

// The rows of one test kind, counted by walking them, in table or KPH order.
void filterCount(benchmark::State& state, bool exclusive, bool byKph, std::size_t slotCacheBytes = 0)
{
    Tables& shared = tables();
    reportCache(state, slotCacheBytes);
    for (auto _ : state) {
        auto table = storeTableOf(shared.store, exclusive, false, slotCacheBytes);
        table->setIndexName(byKph ? "KPH" : "");
        table->setFilter("TESTTYPE='alpha'");
        long storeRows = 0, sqliteRows = 0;
        double storeSeconds = secondsOf([&] {
            table->setFiltered(true);
            for (; !table->AtEnd(); table->GoNext()) ++storeRows;
        });
        table.reset();
        auto db = readerOf(shared.database, exclusive);
        double sqliteSeconds = secondsOf([&] {
            Statement rows(*db, std::string("SELECT rowid FROM results WHERE TESTTYPE='alpha'") +
                                     (byKph ? " ORDER BY KPH DESC" : ""));
            while (rows.step()) ++sqliteRows;
        });
        if (storeRows != sqliteRows) state.SkipWithError("the two sides counted different rows");
        report(state, static_cast<double>(storeRows), storeSeconds, sqliteSeconds);
    }
}

void BM_FilterTableOrderShared(benchmark::State& state) { filterCount(state, false, false); }
void BM_FilterTableOrderExclusive(benchmark::State& state) { filterCount(state, true, false); }
void BM_FilterKphOrderShared(benchmark::State& state) { filterCount(state, false, true); }
void BM_FilterKphOrderExclusive(benchmark::State& state) { filterCount(state, true, true); }
void BM_FilterKphOrderExclusiveWholeCache(benchmark::State& state)
{
    filterCount(state, true, true, wholeTableCacheBytes());
}

// Opening the table and reading the first row's NAME, 200 times.
void BM_ColdOpenFirstRow(benchmark::State& state)
{
    Tables& shared = tables();
    constexpr int Opens = 200;
    for (auto _ : state) {
        std::size_t sum = 0;
        double storeSeconds = secondsOf([&] {
            for (int i = 0; i < Opens; ++i) sum += storeTableOf(shared.store, false)->ReadText("NAME").size();
        });
        double sqliteSeconds = secondsOf([&] {
            for (int i = 0; i < Opens; ++i) {
                Database db(shared.database);
                Statement first(db, "SELECT NAME FROM results LIMIT 1");
                if (first.step()) sum += static_cast<std::size_t>(sqlite3_column_bytes(first.get(), 0));
            }
        });
        benchmark::DoNotOptimize(sum);
        report(state, Opens, storeSeconds, sqliteSeconds);
    }
}

}  // namespace

// Reads first, so that the posts that follow do not change what they read.
BENCHMARK(BM_WalkByKphShared)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkByKphExclusive)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkByKphExclusiveWholeCache)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowNumber)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterTableOrderShared)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterTableOrderExclusive)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterKphOrderShared)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterKphOrderExclusive)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterKphOrderExclusiveWholeCache)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColdOpenFirstRow)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SharedPostWithoutSync)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SharedPostSynced)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExclusiveBulkInsert)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
