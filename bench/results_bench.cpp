// SPDX-License-Identifier: GPL-3.0-or-later
// The results window over 100,000 stored results: opening it (the table
// opened and the grid's rows read), changing the order, changing the filter,
// moving the current row one down with and without a filter, and scrolling
// the grid from the top to the bottom a page at a time, each page painted.
// The figures are per operation; the scroll also reports its slowest page,
// the stall a user would see; and the history of one testee among them.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QScrollBar>
#include <QTableView>

#include <benchmark/benchmark.h>

#include "results/uhistory.h"
#include "support/resultswindow.h"
#include "store/values.h"

using testing_support::ResultsDesk;

namespace {

constexpr int StoredResults = 100000;
const char* const Kinds[] = {"numeric", "alphanumeric", "alpha"};

ResultsDesk& desk()
{
    static std::unique_ptr<ResultsDesk> made;
    if (!made) {
        made = std::make_unique<ResultsDesk>();
        store::StoreTable table("fill");
        table.setTableName(made->tablePath());
        table.setExclusive(true);
        table.setActive(true);
        for (int number = 1; number <= StoredResults; ++number)
            testing_support::writeResultRow(table, testing_support::sampleResult(number, Kinds[number % 3]));
        table.setActive(false);
    }
    return *made;
}

void openTable(ResultsDesk& results)
{
    results.form.resultsdb.setActive(false);
    results.form.resultsdb.setTableName(results.tablePath());
    results.form.resultsdb.setActive(true);
}

void BM_OpenWindow(benchmark::State& state)
{
    ResultsDesk& results = desk();
    for (auto _ : state) {
        openTable(results);
        state.PauseTiming();
        results.form.resultsdb.setActive(false);
        state.ResumeTiming();
    }
}

void BM_ChangeOrder(benchmark::State& state)
{
    ResultsDesk& results = desk();
    openTable(results);
    const QStringList orders{QStringLiteral("KPH"), QStringLiteral("Name"), QStringLiteral("NetKPH"),
                             QStringLiteral("Date")};
    int next = 0;
    for (auto _ : state) results.choose(QStringLiteral("ComboBox1"), orders[next++ % orders.size()]);
}

void BM_ChangeFilter(benchmark::State& state)
{
    ResultsDesk& results = desk();
    openTable(results);
    const QStringList filters{QStringLiteral("Numeric"), QStringLiteral("All results"), QStringLiteral("Alpha"),
                              QStringLiteral("Alphanumeric")};
    int next = 0;
    for (auto _ : state) results.choose(QStringLiteral("ComboBox2"), filters[next++ % filters.size()]);
    results.choose(QStringLiteral("ComboBox2"), QStringLiteral("All results"));
}

void BM_NextRow(benchmark::State& state)
{
    ResultsDesk& results = desk();
    openTable(results);
    results.form.resultsdb.GoFirst();
    for (auto _ : state) results.form.resultsdb.GoNext();
}

// With a filter, the place of the new row among the rows in view is found by
// walking them.
void BM_NextRowFiltered(benchmark::State& state)
{
    ResultsDesk& results = desk();
    openTable(results);
    results.choose(QStringLiteral("ComboBox2"), QStringLiteral("Numeric"));
    for (auto _ : state) results.form.resultsdb.GoNext();
    results.choose(QStringLiteral("ComboBox2"), QStringLiteral("All results"));
}

void BM_ScrollTopToBottom(benchmark::State& state)
{
    ResultsDesk& results = desk();
    openTable(results);
    results.form.show();
    QApplication::processEvents();
    QTableView* grid = results.grid();
    QPixmap canvas(grid->viewport()->size());
    QScrollBar* bar = grid->verticalScrollBar();
    double slowest = 0;
    int pages = 0;
    for (auto _ : state) {
        pages = 0;
        for (int value = 0; value <= bar->maximum(); value += bar->pageStep()) {
            const auto start = std::chrono::steady_clock::now();
            bar->setValue(value);
            grid->viewport()->render(&canvas);
            const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
            slowest = std::max(slowest, spent.count());
            ++pages;
        }
    }
    results.form.hide();
    state.counters["pages"] = pages;
    state.counters["slowest_page_ms"] = slowest;
}

// A testee's history among the 100,000: the window built, the testee's 12
// results read through the name index, the chart drawn up and the window
// painted once.
void BM_OpenHistory(benchmark::State& state)
{
    ResultsDesk& results = desk();
    static bool added = false;
    if (!added) {
        std::vector<testing_support::ResultRow> rows;
        for (int test = 0; test < 12; ++test) {
            rows.push_back(testing_support::sampleResult(test, Kinds[test % 3]));
            rows.back().name = "Smith, Ann";
        }
        testing_support::insertResults(results.tablePath(), rows);
        added = true;
    }
    std::size_t found = 0;
    for (auto _ : state) {
        ThistoryForm history;
        history.load(results.tablePath(), QStringLiteral("smith, ann"), {});
        QPixmap painted = history.grab();
        found = history.entries().size();
        benchmark::DoNotOptimize(painted);
    }
    state.counters["results_found"] = double(found);
}

}  // namespace

BENCHMARK(BM_OpenHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangeOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangeFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NextRow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NextRowFiltered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollTopToBottom)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
