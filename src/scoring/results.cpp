// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/results.h"

#include <algorithm>
#include <cmath>

#include "scoring/resultscolumns.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "testing/textrules.h"

namespace scoring {

std::string testeeNameText(const std::string& lname, const std::string& fname)
{
    return trimmed(lname) + ", " + fname;
}

std::string testTypeName(TestKind kind)
{
    return kindRules(kind).name;
}

std::string testTypeLine(TestKind kind, bool realMode)
{
    std::string name = testTypeName(kind);
    name[0] = char(name[0] - 'a' + 'A');
    return "Test type: " + name + (realMode ? ", real mode" : ", practice mode");
}

std::string errorsText(const std::vector<std::string>& errorLog)
{
    std::string text;
    for (const std::string& line : errorLog) text += line + "\r\n";
    return text;
}

namespace {

// The score's counts and measures, in the columns they are stored in.
ResultsValues measureValues(const Score& score)
{
    return resultsValues({{"KPH", score.KPH},
                          {"NKPH", score.NKPH},
                          {"ACCURACY", score.ACCURACY},
                          {"TOTALKS", score.TOTALKS},
                          {"TOTALFLDS", score.TOTALFLDS},
                          {"TOTERRS", score.TOTERRS},
                          {"FLDERRS", score.FLDERRS},
                          {"TIME", score.TIME}});
}

std::int32_t millisecondsOfDay(double days)
{
    const double milliseconds = std::round(days * store::MillisecondsPerDay);
    return static_cast<std::int32_t>(std::clamp(milliseconds, 0.0, double(store::MillisecondsPerDay - 1)));
}

}  // namespace

// Nothing of a row that could not be written may reach the table.
void discardRow(store::StoreTable& handle) noexcept
{
    try {
        if (handle.Active() && handle.EditState() != store::EditStates::Browse) handle.CancelRow();
    } catch (const store::StoreError&) {
    }
    try {
        handle.setActive(false);
    } catch (const store::StoreError&) {
    }
}

store::Timestamp storedTestDate(const ResultsRow& row) { return store::timestampOf(row.testDate.day, 0); }

store::Timestamp storedTestTime(const ResultsRow& row)
{
    return store::timestampOf(row.testDate.day, millisecondsOfDay(row.stopTime));
}

void writeResultsRow(store::StoreTable& resultsdb, const std::string& tableName, const ResultsRow& row)
{
    const Score& score = row.score;
    try {
        resultsdb.setActive(false);
        resultsdb.setTableName(tableName);
        resultsdb.setExclusive(false);
        resultsdb.setActive(true);
        insertResultsRow(
            resultsdb,
            resultsValues({{"NAME", row.name},
                           {"TESTTYPE", testTypeName(row.kind)},
                           {"TESTDATE", storedTestDate(row)},
                           {"TESTTIME", storedTestTime(row)},
                           {"ERRORS", errorsText(score.errorLog)}},
                          measureValues(score)));
        resultsdb.setActive(false);
    } catch (const store::StoreError&) {
        discardRow(resultsdb);
        throw;
    }
}

std::vector<std::string> reportLines(const Score& score, TestKind kind, const ReportHeading& heading)
{
    std::vector<std::string> lines{ReportTitle, "", resultsColumn("TESTDATE").report.caption + heading.testDate};
    if (heading.realMode) lines.push_back("Testee name: " + heading.name);
    lines.insert(lines.end(), {testTypeLine(kind, heading.realMode), ""});
    const ResultsValues measures = measureValues(score);
    for (const ResultsColumn* column : reportColumns(ReportBlock::measures)) {
        const ResultsValue& value = measures[columnIndex(column->name)];
        const std::string text = std::holds_alternative<double>(value) ? formatTwoDecimals(std::get<double>(value))
                                                                       : std::to_string(std::get<std::int32_t>(value));
        lines.push_back(column->report.caption + text);
    }
    lines.push_back("");
    lines.insert(lines.end(), ReportLogHeading.begin(), ReportLogHeading.end());
    lines.insert(lines.end(), score.errorLog.begin(), score.errorLog.end());
    return lines;
}

}  // namespace scoring
