#include "results/viewdiagnosis.h"

#include <filesystem>
#include <vector>

#include "scoring/diagnosistable.h"
#include "scoring/results.h"
#include "store/storetable.h"

namespace results {

namespace {

constexpr int ProgressEvery = 1024;

// diagnosis.dat walked in date order beside the results: it hands out the
// diagnosis row of each result asked for in that order, holding only the rows
// of the second the last result was stored in.
class DiagnosisWalk {
public:
    DiagnosisWalk(const std::string& path, store::FileSystem& files) : diagnosisdb("diagnosisdb", files)
    {
        if (!std::filesystem::exists(path)) return;
        diagnosisdb.setTableName(path);
        diagnosisdb.setIndexName("DATE");
        diagnosisdb.setActive(true);
        diagnosisdb.GoFirst();
    }

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
        for (; !diagnosisdb.AtEnd(); diagnosisdb.GoNext()) {
            scoring::ResultKey here = scoring::resultKeyAt(diagnosisdb);
            const int place = order.compare(here, key);
            if (place > 0) return;
            if (place == 0) held.push_back({std::move(here), scoring::diagnosisAt(diagnosisdb)});
        }
    }

    store::StoreTable diagnosisdb;
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
    viewdb.setActive(true);
    DiagnosisWalk walk(diagnosisPath, files);
    const int total = progress ? viewdb.VisibleRowCount() : 0;
    ViewDiagnosis sums;
    for (viewdb.GoFirst(); !viewdb.AtEnd(); viewdb.GoNext()) {
        const scoring::ResultKey key = scoring::resultKeyAt(viewdb);
        std::optional<scoring::Diagnosis> diagnosis = walk.take(key);
        if (!diagnosis) {
            diagnosis = scoring::diagnosisOfLog(viewdb.ReadText("ERRORS"), keyboardOf(key.testType));
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
