// SPDX-License-Identifier: GPL-3.0-or-later
// The results row as the results table receives it, what a failed write
// leaves, the report's lines, and the source texts the test tables give.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "schemafile.h"
#include "scoring/criteria.h"
#include "scoring/diagnosistable.h"
#include "scoring/results.h"
#include "scoring/scoretest.h"
#include "store/createtable.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "support/tempdir.h"

using namespace scoring;
using testing_support::TempDir;

namespace {

store::TableSchema shippedSchema(const std::string& table)
{
    return tools::readSchemaFile(std::string(MOVARA_TABLE_SCHEMAS "/") + table + ".json");
}

std::string makeTable(const TempDir& folder, const std::string& table, const store::TableSchema& schema)
{
    const std::string path = folder.file(table + ".dat");
    store::createTable(store::systemFileSystem(), path, schema);
    return path;
}

Score sampleScore()
{
    Score score;
    score.TOTALKS = 1234;
    score.TOTERRS = 17;
    score.TOTALFLDS = 250;
    score.FLDERRS = 9;
    score.TIME = 5.0167;
    score.KPH = 14760.5;
    score.NKPH = 14557.123456789;
    score.ACCURACY = 97.126;
    score.errorLog = {"Record no.: 3, Field no.: 2, 1 errors.", "Keyed    >12", "On Record>13", ""};
    return score;
}

int rowCount(const std::string& path)
{
    store::StoreTable table("count");
    table.setTableName(path);
    table.setActive(true);
    return table.RowCount();
}

}  // namespace

TEST(ResultsRow, EveryColumnHoldsItsValueUnrounded)
{
    TempDir folder;
    const std::string path = makeTable(folder, "results", shippedSchema("results"));
    const Score score = sampleScore();
    store::StoreTable resultsdb("resultsdb");
    const store::Date today = store::dateOf(store::currentDateTime());
    // 14:30:15.250 as a fraction of a day.
    writeResultsRow(resultsdb, path, {"Smith, John", score, (14 * 3600 + 30 * 60 + 15.25) / 86400, today,
                                      TestKind::alphanumeric});
    EXPECT_FALSE(resultsdb.Active());

    store::StoreTable table("check");
    table.setTableName(path);
    table.setActive(true);
    ASSERT_EQ(table.RowCount(), 1);
    table.GoFirst();
    EXPECT_EQ(table.ReadText("NAME"), "Smith, John");
    EXPECT_EQ(table.ReadFloat("NKPH"), score.NKPH);
    EXPECT_EQ(table.ReadFloat("KPH"), score.KPH);
    EXPECT_EQ(table.ReadInteger("TOTERRS"), 17);
    EXPECT_EQ(table.ReadInteger("FLDERRS"), 9);
    EXPECT_EQ(table.ReadText("TESTTIME"), "2:30:15 PM");
    EXPECT_EQ(table.ReadText("TESTDATE"), store::formatDate(today));
    EXPECT_EQ(table.ReadFloat("TIME"), 5.0167);
    EXPECT_EQ(table.ReadInteger("TOTALFLDS"), 250);
    EXPECT_EQ(table.ReadInteger("TOTALKS"), 1234);
    EXPECT_EQ(table.ReadFloat("ACCURACY"), 97.126);
    EXPECT_EQ(table.ReadText("TESTTYPE"), "alphanumeric");
    EXPECT_EQ(table.ReadText("ERRORS"), "Record no.: 3, Field no.: 2, 1 errors.\r\nKeyed    >12\r\nOn Record>13\r\n\r\n");
}

TEST(ResultsRow, RunWithoutErrorsStoresAnEmptyLog)
{
    TempDir folder;
    const std::string path = makeTable(folder, "results", shippedSchema("results"));
    Score score = sampleScore();
    score.errorLog.clear();
    store::StoreTable resultsdb("resultsdb");
    writeResultsRow(resultsdb, path, {", ", score, 0.5, store::Date{738000}, TestKind::numeric});
    store::StoreTable table("check");
    table.setTableName(path);
    table.setActive(true);
    table.GoFirst();
    EXPECT_EQ(table.ReadText("ERRORS"), "");
    EXPECT_EQ(table.ReadText("TESTTYPE"), "numeric");
    EXPECT_EQ(table.ReadText("NAME"), ",");  // trailing blanks are not stored
}

TEST(ResultsRow, FailedWriteLeavesNoRowAndTheHandleClosed)
{
    TempDir folder;
    store::TableSchema schema = shippedSchema("results");
    schema.columns.pop_back();  // no ERRORS: the last value cannot be written
    const std::string path = makeTable(folder, "results", schema);
    store::StoreTable resultsdb("resultsdb");
    const Score score = sampleScore();
    EXPECT_THROW(writeResultsRow(resultsdb, path, {"A, B", score, 0.5, store::Date{738000}, TestKind::alpha}),
                 store::StoreError);
    EXPECT_FALSE(resultsdb.Active());
    EXPECT_EQ(rowCount(path), 0);

    EXPECT_THROW(writeResultsRow(resultsdb, folder.file("missing.dat"),
                                 {"A, B", score, 0.5, store::Date{738000}, TestKind::alpha}),
                 store::StoreError);
    EXPECT_FALSE(resultsdb.Active());
}

TEST(ResultReport, LinesInTheirOrderWithMeasuresToTwoDecimals)
{
    const Score score = sampleScore();
    const std::vector<std::string> real = reportLines(score, TestKind::numeric, {"12/09/26", "Smith,  Jo", true});
    const std::vector<std::string> expected{"Test Results",
                                            "",
                                            "Test date: 12/09/26",
                                            "Testee name: Smith,  Jo",
                                            "Test type: Numeric, real mode",
                                            "",
                                            "Gross keystrokes per hour: 14760.50",
                                            "Net keystrokes per hour: 14557.12",
                                            "Accuracy: 97.13",
                                            "Duration (minutes): 5.02",
                                            "Total keystrokes: 1234",
                                            "Keystroke errors: 17",
                                            "Total fields: 250",
                                            "Total field errors: 9",
                                            "",
                                            "Error logging:",
                                            "==============",
                                            "",
                                            "Record no.: 3, Field no.: 2, 1 errors.",
                                            "Keyed    >12",
                                            "On Record>13",
                                            ""};
    EXPECT_EQ(real, expected);

    Score clean;
    const std::vector<std::string> practice = reportLines(clean, TestKind::alpha, {"01/02/03", "unused", false});
    ASSERT_EQ(practice.size(), expected.size() - 4 - 1);
    EXPECT_EQ(practice[3], "Test type: Alpha, practice mode");
    EXPECT_EQ(practice[5], "Gross keystrokes per hour: 0.00");
    EXPECT_EQ(practice.back(), "");
    EXPECT_EQ(practice[practice.size() - 2], "==============");
    EXPECT_EQ(testTypeLine(TestKind::alphanumeric, true), "Test type: Alphanumeric, real mode");
}

TEST(ResultReport, NameTextTrimsOnlyTheLastName)
{
    EXPECT_EQ(testeeNameText("  Smith \t", " John "), "Smith,  John ");
    EXPECT_EQ(testeeNameText("", ""), ", ");
}

TEST(SourceTexts, NumbersReadAsTheWindowShowsThem)
{
    TempDir folder;
    const std::string path = makeTable(folder, "numeric", shippedSchema("numeric"));
    store::StoreTable testdb("testdb");
    testdb.setTableName(path);
    testdb.setActive(true);
    const double decimals[] = {12.30, 10.00, 0.05, 1234.56};
    for (int row = 0; row < 4; ++row) {
        testdb.BeginInsert();
        testdb.WriteValue("n1", std::int32_t(row * 1000 + 7));
        testdb.WriteValue("nd1", decimals[row]);
    }
    testdb.PostRow();
    TableSourceReader source(testdb);
    source.GoFirst();
    std::vector<std::string> whole, decimal;
    for (int row = 0; row < 4; ++row, source.Skip(1)) {
        whole.push_back(sourceText(TestKind::numeric, source.ReadText(sourceColumn(TestKind::numeric, 1, false)), true));
        decimal.push_back(source.ReadText(sourceColumn(TestKind::numeric, 1, true)));
    }
    EXPECT_EQ(whole, (std::vector<std::string>{"7", "1007", "2007", "3007"}));
    EXPECT_EQ(decimal, (std::vector<std::string>{"12.3", "10", "0.05", "1234.56"}));
}

TEST(PassCriteria, VerdictNamesEveryCriterionMissed)
{
    struct Case {
        PassCriteria criteria;
        double netKph, accuracy;
        std::optional<std::string> verdict;
    };
    const Case cases[] = {
        {{0, 0}, 100, 10, std::nullopt},
        {{8000, 95}, 7999.99, 99, "Fail (net KPH below 8,000.00)"},
        {{8000, 95}, 9000, 94.999, "Fail (accuracy below 95.00)"},
        {{8000, 95}, 10, 10, "Fail (net KPH below 8,000.00, accuracy below 95.00)"},
        {{8000, 95}, 8000, 95, "Pass"},
        {{0, 95}, 0, 96, "Pass"},
    };
    for (const Case& one : cases)
        EXPECT_EQ(verdict(one.criteria, one.netKph, one.accuracy), one.verdict) << one.netKph << " " << one.accuracy;
}

TEST(PassCriteria, StoredTableRoundTripsAndAMissingOneHasNone)
{
    TempDir folder;
    store::StoreTable criteriadb("criteriadb");
    EXPECT_FALSE(readCriteria(criteriadb, folder.file("criteria.dat")).any());
    const std::string path = makeTable(folder, "criteria", shippedSchema("criteria"));
    CriteriaSet wanted;
    wanted.of(TestKind::numeric) = {8000, 95};
    wanted.of(TestKind::alpha) = {0, 97.5};
    writeCriteria(criteriadb, path, wanted);
    const CriteriaSet read = readCriteria(criteriadb, path);
    EXPECT_EQ(read.of(TestKind::numeric).minimumNetKph, 8000);
    EXPECT_EQ(read.of(TestKind::alphanumeric).any(), false);
    EXPECT_EQ(verdictOfTexts(read, "alpha", "12.5", "97.4"), "Fail (accuracy below 97.50)");
    EXPECT_EQ(criteriaText(read), "Pass criteria: numeric net KPH 8,000.00, accuracy 95.00; alpha accuracy 97.50");
}

TEST(DiagnosisRow, StoredUnderItsResultsKeyAndReadBack)
{
    TempDir folder;
    store::StoreTable diagnosisdb("diagnosisdb");
    Score score = sampleScore();
    score.diagnosis.addField("15987732", "15897732", Keyboard::numericKeypad);
    score.diagnosis.addField("", "4381", Keyboard::numericKeypad);
    const ResultsRow row{"Smith, John", score, 0.5, store::Date{738000}, TestKind::numeric};
    EXPECT_FALSE(writeDiagnosisRow(diagnosisdb, folder.file("diagnosis.dat"), row));  // an older folder

    const std::string path = makeTable(folder, "diagnosis", shippedSchema("diagnosis"));
    ASSERT_TRUE(writeDiagnosisRow(diagnosisdb, path, row));
    EXPECT_FALSE(diagnosisdb.Active());
    const std::string resultsPath = makeTable(folder, "results", shippedSchema("results"));
    store::StoreTable resultsdb("resultsdb");
    writeResultsRow(resultsdb, resultsPath, row);
    store::StoreTable results("check");
    results.setTableName(resultsPath);
    results.setActive(true);
    results.GoFirst();
    const auto read = readDiagnosisRow(diagnosisdb, path, results.ReadText("NAME"), results.ReadText("TESTDATE"),
                                       results.ReadText("TESTTIME"), results.ReadText("TESTTYPE"));
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, score.diagnosis);
    EXPECT_FALSE(readDiagnosisRow(diagnosisdb, path, "Other, Ann", results.ReadText("TESTDATE"),
                                  results.ReadText("TESTTIME"), "numeric"));
}

TEST(DiagnosisRow, FailedWriteLeavesNoRowAndTheHandleClosed)
{
    TempDir folder;
    store::TableSchema schema = shippedSchema("diagnosis");
    schema.columns.pop_back();  // no KEYS: the last value cannot be written
    const std::string path = makeTable(folder, "diagnosis", schema);
    store::StoreTable diagnosisdb("diagnosisdb");
    const Score score = sampleScore();
    EXPECT_THROW(writeDiagnosisRow(diagnosisdb, path, {"A, B", score, 0.5, store::Date{738000}, TestKind::alpha}),
                 store::StoreError);
    EXPECT_FALSE(diagnosisdb.Active());
    EXPECT_EQ(rowCount(path), 0);
}
