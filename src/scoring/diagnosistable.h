// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The diagnosis of each stored result, in diagnosis.dat beside results.dat,
// one row per result, written just after its results row:
//   NAME, TESTDATE, TESTTIME, TESTTYPE  the result's own values, its key
//   TRANSPOSED, OMITTED, EXTRA, DOUBLED, NEIGHBOUR, OTHER, BLANK
//                                       integer  the count of each class
//   KEYS                                memo     the per-key memo (diagnosis.h)
// A folder without the table (one from before it) keeps no diagnosis; its
// results row is stored exactly as before.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scoring/diagnosis.h"
#include "scoring/results.h"

namespace store {
class StoreTable;
}

namespace scoring {

inline const std::string DiagnosisTableName = "diagnosis.dat";

// Adds the row's diagnosis to the table at path through handle (opened shared
// and closed again). Returns false, keeping nothing, where there is no table;
// any other failure is passed on as a StoreError, with no part of the row kept.
bool writeDiagnosisRow(store::StoreTable& handle, const std::string& path, const ResultsRow& row);

// A result's key as both tables read it (ReadText), and its place in their
// DATE order: the date, then the time of day.
struct ResultKey {
    std::string name;
    std::string testDate;
    std::string testTime;
    std::string testType;
};
ResultKey resultKeyAt(store::StoreTable& handle);

// Orders keys as the DATE index orders their rows. The texts carry the time
// to the second and the year in two digits, read within the store's window
// around today: rows a second apart or less compare equal, and so may rows
// of dates outside the window read back into it.
class DateOrder {
public:
    // Below zero when first comes before second, zero when they share a second.
    int compare(const ResultKey& first, const ResultKey& second);

private:
    struct Place {
        std::string date;
        std::string time;
        std::int64_t milliseconds = 0;
    };
    std::int64_t placeOf(Place& cached, const ResultKey& key);
    // The texts last read back, which a walk in order meets again and again.
    Place firstPlace;
    Place secondPlace;
};

// The diagnosis in the current row of an open diagnosis table.
Diagnosis diagnosisAt(store::StoreTable& handle);
// The columns of a row's diagnosis: the class counts in the order of
// EditClass, then KEYS; and the diagnosis of their texts as a row read in
// bulk gives them (VisibleRowsAt), starting at texts[from].
const std::vector<std::string>& diagnosisColumns();
Diagnosis diagnosisOfTexts(const std::vector<std::string>& texts, std::size_t from);

// The diagnosis stored for a result, found through the table's DATE index by
// halving, so that it reads a handful of rows however long the table; none
// where there is no table or no such row. handle is opened shared and closed.
std::optional<Diagnosis> findDiagnosisRow(store::StoreTable& handle, const std::string& path, const ResultKey& key);

// The diagnosis stored for a result by its key texts as the results table
// reads them (ReadText); none where there is no table or no such row.
std::optional<Diagnosis> readDiagnosisRow(store::StoreTable& handle, const std::string& path, const std::string& name,
                                          const std::string& testDate, const std::string& testTime,
                                          const std::string& testType);

}  // namespace scoring
