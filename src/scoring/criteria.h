// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pass criteria: per test kind a minimum net KPH and a minimum accuracy, each
// optional, against which a stored result is judged. They live in
// criteria.dat beside the program, so that every copy sharing a folder at a
// test centre judges alike.
//
// criteria.dat, one row per kind:
//   TESTTYPE     string 12  the kind as results.dat stores it ("numeric", ...)
//   MINNKPH      float      the lowest net KPH that passes; 0: no criterion
//   MINACCURACY  float      the lowest accuracy in percent; 0: no criterion
// A kind without a row has no criteria; so has every kind when the table is
// missing (a folder from before criteria), and the program then scores,
// stores and reports exactly as without them.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "testing/testkinds.h"

namespace store {
class StoreTable;
}

namespace scoring {

struct PassCriteria {
    double minimumNetKph = 0;
    double minimumAccuracy = 0;

    bool any() const { return minimumNetKph > 0 || minimumAccuracy > 0; }
};

// The criteria of each kind, in the order of TestKind.
class CriteriaSet {
public:
    PassCriteria& of(TestKind kind) { return kinds[std::size_t(kind)]; }
    const PassCriteria& of(TestKind kind) const { return kinds[std::size_t(kind)]; }
    // The criteria of a stored TESTTYPE; none for a text that names no kind.
    PassCriteria ofTestType(const std::string& testType) const;
    bool any() const;

private:
    std::array<PassCriteria, 3> kinds{};
};

inline const std::string CriteriaTableName = "criteria.dat";

// Reads the table at path through handle (opened shared and closed again);
// a missing table gives no criteria, a table that cannot be read a StoreError.
CriteriaSet readCriteria(store::StoreTable& handle, const std::string& path);
// Replaces the rows of the table at path, held exclusively, as one unit.
void writeCriteria(store::StoreTable& handle, const std::string& path, const CriteriaSet& criteria);

// "Pass", or "Fail (net KPH below 8,000.00)", "Fail (accuracy below 95.00)"
// or both reasons; nothing where the kind has no criterion.
std::optional<std::string> verdict(const PassCriteria& criteria, double netKph, double accuracy);
// The same from a results row's stored texts.
std::optional<std::string> verdictOfTexts(const CriteriaSet& criteria, const std::string& testType,
                                          const std::string& netKph, const std::string& accuracy);
// Whether a row fails: texts are its values of VerdictColumns, in that order,
// as a row test of the table handle gives them ("Failed only").
inline const std::vector<std::string> VerdictColumns{"TESTTYPE", "NKPH", "ACCURACY"};
bool failsOfTexts(const CriteriaSet& criteria, const std::vector<std::string>& texts);
// The report's last line, "Result: " and the verdict.
inline const std::string ResultLineCaption = "Result: ";
// The criteria in force, as the printed list's title band shows them:
// "Pass criteria: numeric net KPH 8,000.00, accuracy 95.00"; empty without.
std::string criteriaText(const CriteriaSet& criteria);

}  // namespace scoring
