#include "scoring/results.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "store/storeerror.h"
#include "store/storetable.h"

namespace scoring {

std::string testeeNameText(const std::string& lname, const std::string& fname)
{
    return trimmed(lname) + ", " + fname;
}

std::string measureText(double value)
{
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    return std::string(text, written.ptr);
}

std::string testTypeName(TestKind kind)
{
    switch (kind) {
    case TestKind::numeric: return "numeric";
    case TestKind::alphanumeric: return "alphanumeric";
    case TestKind::alpha: break;
    }
    return "alpha";
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

std::int32_t millisecondsOfDay(double days)
{
    const double milliseconds = std::round(days * store::MillisecondsPerDay);
    return static_cast<std::int32_t>(std::clamp(milliseconds, 0.0, double(store::MillisecondsPerDay - 1)));
}

// Nothing of a row that could not be written may reach the table.
void discardRow(store::StoreTable& resultsdb) noexcept
{
    try {
        if (resultsdb.Active() && resultsdb.EditState() != store::EditStates::Browse) resultsdb.CancelRow();
    } catch (const store::StoreError&) {
    }
    try {
        resultsdb.setActive(false);
    } catch (const store::StoreError&) {
    }
}

}  // namespace

void writeResultsRow(store::StoreTable& resultsdb, const std::string& tableName, const ResultsRow& row)
{
    const Score& score = row.score;
    try {
        resultsdb.setActive(false);
        resultsdb.setTableName(tableName);
        resultsdb.setExclusive(false);
        resultsdb.setActive(true);
        resultsdb.BeginInsert();
        resultsdb.WriteValue("NAME", row.name);
        resultsdb.WriteValue("NKPH", score.NKPH);
        resultsdb.WriteValue("KPH", score.KPH);
        resultsdb.WriteValue("TOTERRS", score.TOTERRS);
        resultsdb.WriteValue("FLDERRS", score.FLDERRS);
        resultsdb.WriteValue("TESTTIME", store::timestampOf(row.testDate.day, millisecondsOfDay(row.stopTime)));
        resultsdb.WriteValue("TESTDATE", store::timestampOf(row.testDate.day, 0));
        resultsdb.WriteValue("TIME", score.TIME);
        resultsdb.WriteValue("TOTALFLDS", score.TOTALFLDS);
        resultsdb.WriteValue("TOTALKS", score.TOTALKS);
        resultsdb.WriteValue("ACCURACY", score.ACCURACY);
        resultsdb.WriteValue("TESTTYPE", testTypeName(row.kind));
        resultsdb.WriteValue("ERRORS", errorsText(score.errorLog));
        if (resultsdb.EditState() != store::EditStates::Browse) resultsdb.PostRow();
        resultsdb.setActive(false);
    } catch (const store::StoreError&) {
        discardRow(resultsdb);
        throw;
    }
}

std::vector<std::string> reportLines(const Score& score, TestKind kind, const ReportHeading& heading)
{
    std::vector<std::string> lines{"Test Results", "", "Test date: " + heading.testDate};
    if (heading.realMode) lines.push_back("Testee name: " + heading.name);
    lines.insert(lines.end(), {testTypeLine(kind, heading.realMode),
                               "",
                               "Gross keystrokes per hour: " + measureText(score.KPH),
                               "Net keystrokes per hour: " + measureText(score.NKPH),
                               "Accuracy: " + measureText(score.ACCURACY),
                               "Duration (minutes): " + measureText(score.TIME),
                               "Total keystrokes: " + std::to_string(score.TOTALKS),
                               "Keystroke errors: " + std::to_string(score.TOTERRS),
                               "Total fields: " + std::to_string(score.TOTALFLDS),
                               "Total field errors: " + std::to_string(score.FLDERRS),
                               "",
                               "Error logging:",
                               "==============",
                               ""});
    lines.insert(lines.end(), score.errorLog.begin(), score.errorLog.end());
    return lines;
}

}  // namespace scoring
