#pragma once

// The diagnosis of each stored result, in diagnosis.dat beside results.dat,
// one row per result, written just after its results row:
//   NAME, TESTDATE, TESTTIME, TESTTYPE  the result's own values, its key
//   TRANSPOSED, OMITTED, EXTRA, DOUBLED, NEIGHBOUR, OTHER, BLANK
//                                       integer  the count of each class
//   KEYS                                memo     the per-key memo (diagnosis.h)
// A folder without the table (one from before it) keeps no diagnosis; its
// results row is stored exactly as before.

#include <optional>
#include <string>

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

// The diagnosis stored for a result by its key texts as the results table
// reads them (ReadText); none where there is no table or no such row.
std::optional<Diagnosis> readDiagnosisRow(store::StoreTable& handle, const std::string& path, const std::string& name,
                                          const std::string& testDate, const std::string& testTime,
                                          const std::string& testType);

}  // namespace scoring
