// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a scored run leaves behind: the results row of a real-mode run and the
// lines of the result report.
//
// The results row (its columns are described in resultscolumns.h), what a
// run leaves in each:
//   NAME       testee name text: trimmed last name, ", ", first name as stored
//   NKPH, KPH  the measures, unrounded
//   TOTERRS, FLDERRS
//   TESTTIME   time of day at which the countdown reached zero
//   TESTDATE   the date the row is written
//   TIME       minutes, unrounded
//   TOTALFLDS, TOTALKS
//   ACCURACY   unrounded
//   TESTTYPE   "numeric", "alphanumeric" or "alpha"
//   ERRORS     the error log, every line ended by CR LF; empty without entries
//
// The report: a heading, the date, the testee (real mode only), the test type,
// the four measures in "0.00", the four counts, then the error log.

#include "scoring/scoretest.h"
#include "store/values.h"

#include <string>
#include <vector>

namespace store {
class StoreTable;
}

namespace scoring {

std::string testeeNameText(const std::string& lname, const std::string& fname);
// The TESTTYPE of the kind.
std::string testTypeName(TestKind kind);
std::string testTypeLine(TestKind kind, bool realMode);
// The log as one text, each line ended by CR LF.
std::string errorsText(const std::vector<std::string>& errorLog);

struct ResultsRow {
    std::string name;
    const Score& score;
    double stopTime;  // time of day in days
    store::Date testDate;
    TestKind kind;
};

// Writes the row through resultsdb, opened shared on tableName and closed
// again. A failure is passed on as a StoreError, with no part of the row kept.
void writeResultsRow(store::StoreTable& resultsdb, const std::string& tableName, const ResultsRow& row);
// The row's TESTDATE and TESTTIME as they are stored.
store::Timestamp storedTestDate(const ResultsRow& row);
store::Timestamp storedTestTime(const ResultsRow& row);
// Cancels a row begun on handle and closes it, whatever fails meanwhile.
void discardRow(store::StoreTable& handle) noexcept;

struct ReportHeading {
    std::string testDate;  // in the program's short date format
    std::string name;      // testee name text, shown in real mode only
    bool realMode;
};

// Every line of the report, the error log's lines last.
std::vector<std::string> reportLines(const Score& score, TestKind kind, const ReportHeading& heading);

}  // namespace scoring
