#include "scoring/diagnosistable.h"

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
            Diagnosis diagnosis;
            for (int kind = 0; kind < EditClassCount; ++kind)
                diagnosis.counts[std::size_t(kind)] = handle.ReadInteger(ClassColumns[kind]);
            diagnosis.keys = keysFromMemo(handle.ReadText("KEYS"));
            found = std::move(diagnosis);
        }
    } catch (...) {
        handle.setActive(false);
        throw;
    }
    handle.setActive(false);
    return found;
}

}  // namespace scoring
