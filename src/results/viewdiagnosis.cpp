// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/viewdiagnosis.h"

#include <filesystem>
#include <vector>

#include "scoring/diagnosistable.h"
#include "scoring/results.h"
#include "store/storeerror.h"
#include "store/storetable.h"

namespace results {

namespace {

constexpr int ProgressEvery = 1024;
const std::vector<std::string> KeyColumns{"NAME", "TESTDATE", "TESTTIME", "TESTTYPE"};

scoring::ResultKey keyOf(const std::vector<std::string>& texts) { return {texts[0], texts[1], texts[2], texts[3]}; }

// The rows of a handle's view in its order, read a batch at a time, each
// batch under one read lock.
class BatchedRows {
public:
    BatchedRows(store::StoreTable& table, std::vector<std::string> columns)
        : table(table), columns(std::move(columns))
    {
    }

    // The texts of the current row; none past the last.
    const std::vector<std::string>* current()
    {
        if (at == batch.size() && !ended) {
            first += int(batch.size());
            batch = table.VisibleRowsAt(first, Batch, columns);
            at = 0;
            ended = batch.size() < std::size_t(Batch);
        }
        return at < batch.size() ? &batch[at] : nullptr;
    }
    void next() { ++at; }
    // The current row's place in the view.
    int place() const { return first + int(at); }

private:
    static constexpr int Batch = 512;
    store::StoreTable& table;
    const std::vector<std::string> columns;
    std::vector<std::vector<std::string>> batch;
    std::size_t at = 0;
    int first = 0;
    bool ended = false;
};

// The ERRORS text of the current row of rows, which read it where it is
// one of its columns.
std::string errorsOf(store::StoreTable& view, const BatchedRows& rows, const std::vector<std::string>& row)
{
    if (row.size() > KeyColumns.size()) return row[KeyColumns.size()];
    const auto errors = view.VisibleRowsAt(rows.place(), 1, {"ERRORS"});
    return errors.empty() ? std::string() : errors[0][0];
}

std::vector<std::string> diagnosisRowColumns()
{
    std::vector<std::string> columns = KeyColumns;
    columns.insert(columns.end(), scoring::diagnosisColumns().begin(), scoring::diagnosisColumns().end());
    return columns;
}

// diagnosis.dat walked in date order beside the results: it hands out the
// diagnosis row of each result asked for in that order, holding only the rows
// of the second the last result was stored in.
class DiagnosisWalk {
public:
    DiagnosisWalk(const std::string& path, const store::StoreTable& view, store::FileSystem& files)
        : diagnosisdb("diagnosisdb", files), rows(diagnosisdb, diagnosisRowColumns())
    {
        if (!std::filesystem::exists(path)) return;
        diagnosisdb.setTableName(path);
        diagnosisdb.setIndexName("DATE");
        diagnosisdb.setActive(true);
        // A filter on a column of the key (the test type, say) passes the
        // same rows of both tables, so the diagnoses of results out of view
        // are never read. One on another column names none of this table's
        // and is refused: then every row is walked.
        if (!view.Filtered()) return;
        try {
            diagnosisdb.setFilter(view.Filter());
            diagnosisdb.setFiltered(true);
        } catch (const store::StoreError&) {
            diagnosisdb.setFiltered(false);
        }
    }

    // Whether there is a diagnosis table at all.
    bool kept() const { return diagnosisdb.Active(); }

    std::optional<scoring::Diagnosis> take(const scoring::ResultKey& key)
    {
        if (!diagnosisdb.Active()) return std::nullopt;
        if (held.empty() || order.compare(held.front().key, key) != 0) holdSecondOf(key);
        for (auto row = held.begin(); row != held.end(); ++row) {
            if (row->key.name != key.name || row->key.testType != key.testType) continue;
            scoring::Diagnosis found = std::move(row->diagnosis);
            held.erase(row);
            return found;
        }
        return std::nullopt;
    }

private:
    struct Held {
        scoring::ResultKey key;
        scoring::Diagnosis diagnosis;
    };

    void holdSecondOf(const scoring::ResultKey& key)
    {
        held.clear();
        for (const std::vector<std::string>* row; (row = rows.current()); rows.next()) {
            scoring::ResultKey here = keyOf(*row);
            const int place = order.compare(here, key);
            if (place > 0) return;
            if (place == 0) held.push_back({std::move(here), scoring::diagnosisOfTexts(*row, KeyColumns.size())});
        }
    }

    store::StoreTable diagnosisdb;
    BatchedRows rows;
    scoring::DateOrder order;
    std::vector<Held> held;
};

}  // namespace

bool isNumeric(const std::string& testType) { return testType == scoring::testTypeName(TestKind::numeric); }

scoring::Keyboard keyboardOf(const std::string& testType)
{
    return isNumeric(testType) ? scoring::Keyboard::numericKeypad : scoring::Keyboard::usKeyboard;
}

ResultDiagnosis diagnoseResult(store::StoreTable& results, store::StoreTable& diagnosisdb,
                               const std::string& diagnosisPath)
{
    const scoring::ResultKey key = scoring::resultKeyAt(results);
    if (auto stored = scoring::findDiagnosisRow(diagnosisdb, diagnosisPath, key)) return {std::move(*stored), false};
    return {scoring::diagnosisOfLog(results.ReadText("ERRORS"), keyboardOf(key.testType)), true};
}

std::optional<ViewDiagnosis> diagnoseView(const store::StoreTable& view, const std::string& diagnosisPath,
                                          const ViewProgress& progress, store::FileSystem& files)
{
    store::StoreTable viewdb("viewdb", files);
    viewdb.setTableName(view.TableName());
    viewdb.setIndexName("DATE");
    viewdb.setFilter(view.Filter());
    viewdb.setFiltered(view.Filtered());
    viewdb.setRowTest(view.RowTestColumns(), view.rowTest());  // "Failed only"
    viewdb.setActive(true);
    DiagnosisWalk walk(diagnosisPath, view, files);
    const int total = progress ? viewdb.VisibleRowCount() : 0;
    ViewDiagnosis sums;
    // Without diagnosis.dat every log is read, so it comes with the batch.
    std::vector<std::string> columns = KeyColumns;
    if (!walk.kept()) columns.push_back("ERRORS");
    BatchedRows rows(viewdb, columns);
    for (const std::vector<std::string>* row; (row = rows.current()); rows.next()) {
        const scoring::ResultKey key = keyOf(*row);
        std::optional<scoring::Diagnosis> diagnosis = walk.take(key);
        if (!diagnosis) {
            diagnosis = scoring::diagnosisOfLog(errorsOf(viewdb, rows, *row), keyboardOf(key.testType));
            ++sums.fromLog;
        }
        sums.classes.add(*diagnosis);
        if (isNumeric(key.testType)) {
            sums.keypad.add(*diagnosis);
            ++sums.numericResults;
        }
        if (++sums.results % ProgressEvery == 0 && progress && !progress(sums.results, total)) return std::nullopt;
    }
    return sums;
}

}  // namespace results
