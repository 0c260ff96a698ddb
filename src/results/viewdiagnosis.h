// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The diagnosis of stored results: of one result, for the results window's
// error pane, and summed over every result in view, for "Diagnosis of this
// view". A result's diagnosis is its row of diagnosis.dat where it has one;
// otherwise it is worked out again from the fields its error log holds
// (scoring::diagnosisOfLog), and counted as such.

#include <functional>
#include <optional>
#include <string>

#include "scoring/diagnosis.h"
#include "store/file.h"

namespace store {
class StoreTable;
}

namespace results {

// The keyboard the fields of a test type were keyed on.
scoring::Keyboard keyboardOf(const std::string& testType);
bool isNumeric(const std::string& testType);

struct ResultDiagnosis {
    scoring::Diagnosis diagnosis;
    bool fromLog = false;  // diagnosis.dat had no row for the result
};

// The diagnosis of the current row of results, an open results table;
// diagnosisdb is opened on diagnosisPath and closed again.
ResultDiagnosis diagnoseResult(store::StoreTable& results, store::StoreTable& diagnosisdb,
                               const std::string& diagnosisPath);

struct ViewDiagnosis {
    scoring::Diagnosis classes;  // of every result in view
    scoring::Diagnosis keypad;   // of the numeric ones only: other tests key digits elsewhere
    int results = 0;
    int numericResults = 0;
    int fromLog = 0;
};

// Told after every few results how many have been summed and how many there
// are; returning false stops the sum.
using ViewProgress = std::function<bool(int summed, int total)>;

// Sums the diagnoses of the rows that pass view's filter and row test, view
// being an open handle on a results table; none when progress stopped it. The
// sums do not depend on the order of the rows, so the rows are walked in date
// order through a handle of their own, beside diagnosis.dat in the same
// order, and each is paired with its diagnosis row in one pass over both
// tables. What is held at a time is a batch of a few hundred rows of each
// table and the diagnosis rows of one second.
std::optional<ViewDiagnosis> diagnoseView(const store::StoreTable& view, const std::string& diagnosisPath,
                                          const ViewProgress& progress = {},
                                          store::FileSystem& files = store::systemFileSystem());

}  // namespace results
