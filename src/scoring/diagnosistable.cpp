// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/diagnosistable.h"

#include <charconv>
#include <climits>
#include <filesystem>

#include "store/storeerror.h"
#include "store/storetable.h"

namespace scoring {

namespace {

// The class columns in the order of EditClass.
const char* const ClassColumns[EditClassCount] = {"TRANSPOSED", "OMITTED", "EXTRA", "DOUBLED",
                                                  "NEIGHBOUR",  "OTHER",   "BLANK"};

}  // namespace

bool writeDiagnosisRow(store::StoreTable& handle, const std::string& path, const ResultsRow& row)
{
    if (!std::filesystem::exists(path)) return false;
    try {
        handle.setActive(false);
        handle.setTableName(path);
        handle.setExclusive(false);
        handle.setActive(true);
        handle.BeginInsert();
        handle.WriteValue("NAME", row.name);
        handle.WriteValue("TESTDATE", storedTestDate(row));
        handle.WriteValue("TESTTIME", storedTestTime(row));
        handle.WriteValue("TESTTYPE", testTypeName(row.kind));
        for (int kind = 0; kind < EditClassCount; ++kind)
            handle.WriteValue(ClassColumns[kind], row.score.diagnosis.counts[std::size_t(kind)]);
        handle.WriteValue("KEYS", keysMemo(row.score.diagnosis));
        handle.PostRow();
        handle.setActive(false);
    } catch (const store::StoreError&) {
        discardRow(handle);
        throw;
    }
    return true;
}

std::optional<Diagnosis> readDiagnosisRow(store::StoreTable& handle, const std::string& path, const std::string& name,
                                          const std::string& testDate, const std::string& testTime,
                                          const std::string& testType)
{
    if (!std::filesystem::exists(path)) return std::nullopt;
    std::optional<Diagnosis> found;
    handle.setActive(false);
    handle.setTableName(path);
    handle.setExclusive(false);
    try {
        handle.setActive(true);
        for (handle.GoFirst(); !found && handle.HasRow() && !handle.AtEnd(); handle.GoNext()) {
            if (handle.ReadText("TESTDATE") != testDate || handle.ReadText("TESTTIME") != testTime ||
                handle.ReadText("NAME") != name || handle.ReadText("TESTTYPE") != testType)
                continue;
            found = diagnosisAt(handle);
        }
    } catch (...) {
        handle.setActive(false);
        throw;
    }
    handle.setActive(false);
    return found;
}

ResultKey resultKeyAt(store::StoreTable& handle)
{
    return {handle.ReadText("NAME"), handle.ReadText("TESTDATE"), handle.ReadText("TESTTIME"),
            handle.ReadText("TESTTYPE")};
}

std::int64_t DateOrder::placeOf(Place& cached, const ResultKey& key)
{
    if (cached.date == key.testDate && cached.time == key.testTime) return cached.milliseconds;
    // An empty value stands before every other in an index.
    const std::int64_t day = key.testDate.empty() ? INT32_MIN : store::parseDate(key.testDate).day;
    const std::int64_t time = key.testTime.empty() ? -1 : store::parseTime(key.testTime).milliseconds;
    cached = {key.testDate, key.testTime, day * store::MillisecondsPerDay + time};
    return cached.milliseconds;
}

int DateOrder::compare(const ResultKey& first, const ResultKey& second)
{
    if (first.testDate == second.testDate && first.testTime == second.testTime) return 0;
    const std::int64_t one = placeOf(firstPlace, first);
    const std::int64_t other = placeOf(secondPlace, second);
    return one < other ? -1 : one > other ? 1 : 0;
}

Diagnosis diagnosisAt(store::StoreTable& handle)
{
    Diagnosis diagnosis;
    for (int kind = 0; kind < EditClassCount; ++kind)
        diagnosis.counts[std::size_t(kind)] = handle.ReadInteger(ClassColumns[kind]);
    diagnosis.keys = keysFromMemo(handle.ReadText("KEYS"));
    return diagnosis;
}

const std::vector<std::string>& diagnosisColumns()
{
    static const std::vector<std::string> columns{ClassColumns[0], ClassColumns[1], ClassColumns[2], ClassColumns[3],
                                                  ClassColumns[4], ClassColumns[5], ClassColumns[6], "KEYS"};
    return columns;
}

Diagnosis diagnosisOfTexts(const std::vector<std::string>& texts, std::size_t from)
{
    Diagnosis diagnosis;
    for (std::size_t kind = 0; kind < std::size_t(EditClassCount); ++kind) {
        const std::string& text = texts[from + kind];
        // An empty count (no value) reads as 0, as ReadInteger reads it.
        std::from_chars(text.data(), text.data() + text.size(), diagnosis.counts[kind]);
    }
    diagnosis.keys = keysFromMemo(texts[from + std::size_t(EditClassCount)]);
    return diagnosis;
}

namespace {

// The first place in DATE order whose row does not come before key.
int firstPlaceFrom(store::StoreTable& handle, const ResultKey& key)
{
    DateOrder order;
    int low = 0;
    int high = handle.VisibleRowCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const auto rows = handle.VisibleRowsAt(middle, 1, {"TESTDATE", "TESTTIME"});
        if (!rows.empty() && order.compare({"", rows[0][0], rows[0][1], ""}, key) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

}  // namespace

std::optional<Diagnosis> findDiagnosisRow(store::StoreTable& handle, const std::string& path, const ResultKey& key)
{
    if (!std::filesystem::exists(path)) return std::nullopt;
    handle.setActive(false);
    handle.setTableName(path);
    handle.setExclusive(false);
    handle.setIndexName("DATE");
    handle.setFiltered(false);
    std::optional<Diagnosis> found;
    try {
        handle.setActive(true);
        constexpr int Batch = 8;
        bool past = false;
        for (int place = firstPlaceFrom(handle, key); !found && !past; place += Batch) {
            const auto rows = handle.VisibleRowsAt(place, Batch, {"TESTDATE", "TESTTIME", "NAME", "TESTTYPE"});
            for (std::size_t at = 0; at < rows.size() && !found && !past; ++at) {
                const auto& row = rows[at];
                past = row[0] != key.testDate || row[1] != key.testTime;
                if (past || row[2] != key.name || row[3] != key.testType) continue;
                handle.GoToVisibleRow(place + int(at));
                found = diagnosisAt(handle);
            }
            past = past || rows.size() < std::size_t(Batch);
        }
    } catch (...) {
        handle.setActive(false);
        throw;
    }
    handle.setActive(false);
    return found;
}

}  // namespace scoring
