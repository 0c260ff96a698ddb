// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The end of a scored run, between the test window and the program: scoring
// with the program-wide settings, the results row of a real-mode run, and the
// result report when it is enabled for the mode.

#include "scoring/criteria.h"
#include "scoring/scoretest.h"

#include <string>

namespace store {
class StoreTable;
}
class QTextEdit;
class TshowitForm;

scoring::ScoreSettings scoreSettings();
// The testee name text of the current testee.
std::string testeeName();
// Real mode with rresults, practice mode with presults.
bool reportEnabled(bool realMode);

// Writes the row to results.dat through resultsdb; any failure is shown as
// "Error writing results to the database." and goes no further.
void storeResults(store::StoreTable& resultsdb, const scoring::Score& score, double stopTime, TestKind kind);
// The pass criteria of criteria.dat beside the program; none where the
// table is missing or cannot be read just now (a verdict is then left out,
// never a wrong one given).
scoring::CriteriaSet criteriaInForce();

// Fills the report window and shows it, with the verdict last where the kind
// has criteria; returns when it is closed.
void showResultReport(TshowitForm& form, const scoring::Score& score, TestKind kind, bool realMode);
// The row in real mode, then the report where enabled, through the
// program's report window.
void recordAndReport(store::StoreTable& resultsdb, const scoring::Score& score, const RunState& state);

// Whether an ended run is scored: always in real mode, in practice mode
// only with its report. An unscored run stays on screen, locked.
bool endedRunIsScored();

// The end of a scored run in a test window, whose errorLog is its hidden
// buffer. The window has kept the record on screen in state's keyed values
// first; testdb stands as the run left it. Scores the run (letting pending
// events run after each earlier record), then records and reports it.
void scoreEndedRun(const RunState& state, store::StoreTable& testdb, store::StoreTable& resultsdb,
                   QTextEdit& errorLog);
