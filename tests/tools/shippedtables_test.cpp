// SPDX-License-Identifier: GPL-3.0-or-later
// The four shipped tables as the build makes them, and the sequences in
// which the program uses them, each on a fresh copy.

#include "store/storeerror.h"
#include "store/storetable.h"
#include "store/values.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <sys/wait.h>

using namespace store;
using testing_support::failureOf;
using testing_support::TempDir;

namespace {

int runCommand(const std::string& command, const std::string& output = "/dev/null")
{
    int status = std::system((command + " > " + output + " 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ShippedTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(runCommand(std::string(MAKETABLES) + " " + MOVARA_DATA_DIR + " " + dir.path().string()), 0);
        formats().shortDateFormat = "mm/dd/yy";
        formats().dateSeparator = '/';
    }

    std::string table(const std::string& name) const { return dir.file(name + ".dat"); }

    // Every handle of the program closes before it is given a table name.
    void openOn(StoreTable& handle, const std::string& name)
    {
        handle.setActive(false);
        handle.setTableName(table(name));
        handle.setActive(true);
    }

    TempDir dir;
};

void addResult(StoreTable& resultsdb, const std::string& name, double kph, const std::string& kind)
{
    resultsdb.BeginInsert();
    resultsdb.WriteValue("NAME", name);
    resultsdb.WriteValue("NKPH", kph - 100);
    resultsdb.WriteValue("KPH", kph);
    resultsdb.WriteValue("TOTERRS", 3);
    resultsdb.WriteValue("FLDERRS", 2);
    resultsdb.WriteValue("TESTTIME", timestampOf(0, 13 * 3600000 + 5 * 60000 + 9000));
    resultsdb.WriteValue("TESTDATE", timestampOf(dayNumber(2026, 12, 9), 0));
    resultsdb.WriteValue("TIME", 5.0);
    resultsdb.WriteValue("TOTALFLDS", 40);
    resultsdb.WriteValue("TOTALKS", 812);
    resultsdb.WriteValue("ACCURACY", 97.25);
    resultsdb.WriteValue("TESTTYPE", kind);
    resultsdb.WriteValue("ERRORS", std::string("Record 1 field 2: 12345 keyed as 12354\r\n"));
    if (resultsdb.EditState() != EditStates::Browse) resultsdb.PostRow();
}

std::vector<nlohmann::json> dumpedRows(const std::string& arguments, const std::string& output)
{
    EXPECT_EQ(runCommand(std::string(TABLETOOL) + " dump " + arguments, output), 0) << arguments;
    auto bytes = testing_support::readFile(output);
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::vector<nlohmann::json> rows;
    for (std::string line; std::getline(text, line);) rows.push_back(nlohmann::json::parse(line));
    return rows;
}

}  // namespace

TEST_F(ShippedTables, EveryTableVerifiesAndARebuildKeepsWhatIsThere)
{
    for (const char* name : {"config", "results", "numeric", "invsort", "criteria"})
        EXPECT_EQ(runCommand(std::string(TABLETOOL) + " verify " + table(name)), 0) << name;
    StoreTable resultsdb("resultsdb");
    openOn(resultsdb, "results");
    addResult(resultsdb, "Kept, Row", 9000, "numeric");
    resultsdb.setActive(false);
    auto before = testing_support::readFile(table("results"));
    ASSERT_EQ(runCommand(std::string(MAKETABLES) + " " + MOVARA_DATA_DIR + " " + dir.path().string()), 0);
    EXPECT_EQ(testing_support::readFile(table("results")), before);
}

TEST_F(ShippedTables, ConfigurationLoadReadsTheShippedRow)
{
    StoreTable configdb("configdb");
    openOn(configdb, "config");
    configdb.GoFirst();
    EXPECT_EQ(configdb.ReadInteger("realtime"), 5);
    EXPECT_EQ(configdb.ReadInteger("practicetime"), 2);
    EXPECT_EQ(configdb.ReadText("fname"), "");
    EXPECT_EQ(configdb.ReadText("password"), "");
    EXPECT_FALSE(configdb.ReadBoolean("useuppercase"));
    EXPECT_TRUE(configdb.ReadBoolean("presults"));
    EXPECT_TRUE(configdb.ReadBoolean("rresults"));
    EXPECT_TRUE(configdb.ReadBoolean("remembername"));
    for (const char* column : {"scalefactor", "width", "sort", "filter"}) EXPECT_EQ(configdb.ReadInteger(column), 0);
    EXPECT_FALSE(configdb.ReadBoolean("autoadvance"));
    EXPECT_EQ(configdb.RowCount(), 1);
    EXPECT_EQ(failureOf([&] { configdb.ReadText("nothing"); }), "configdb: Field 'nothing' not found");
}

TEST_F(ShippedTables, NameSaveAndSettingsEditStoreTheirValues)
{
    StoreTable configdb("configdb");
    openOn(configdb, "config");
    configdb.GoFirst();
    configdb.BeginEdit();
    configdb.WriteValue("fname", "Ann ");
    configdb.WriteValue("lname", "Smith");
    configdb.PostRow();
    configdb.setActive(false);

    StoreTable settings("configdb");
    openOn(settings, "config");
    settings.BeginEdit();
    settings.WriteValue("realtime", "7");  // item texts go into integer columns
    settings.WriteValue("scalefactor", "-10");
    if (settings.EditState() != EditStates::Browse) settings.PostRow();
    settings.setActive(false);
    openOn(settings, "config");
    settings.BeginEdit();
    settings.WriteValue("realtime", "9");
    settings.CancelRow();
    settings.setActive(false);

    openOn(configdb, "config");
    configdb.GoFirst();
    EXPECT_EQ(configdb.ReadText("fname"), "Ann");  // trailing blanks are not stored
    EXPECT_EQ(configdb.ReadText("lname"), "Smith");
    EXPECT_EQ(configdb.ReadInteger("realtime"), 7);
    EXPECT_EQ(configdb.ReadInteger("scalefactor"), -10);
}

TEST_F(ShippedTables, ResultsRowsReadBackInEveryOrderAndFilter)
{
    StoreTable resultsdb("resultsdb");
    openOn(resultsdb, "results");
    addResult(resultsdb, "Smith, Ann", 9000.5, "alpha");
    addResult(resultsdb, "adams, Bo", 12000, "alphanumeric");
    addResult(resultsdb, "Jones, Cy", 7000, "numeric");
    resultsdb.setActive(false);

    resultsdb.setIndexName("Name");  // the main window's item text, before the first open
    openOn(resultsdb, "results");
    EXPECT_EQ(resultsdb.ReadText("NAME"), "adams, Bo");
    EXPECT_EQ(resultsdb.ReadText("TESTDATE"), "12/09/26");
    EXPECT_EQ(resultsdb.ReadText("TESTTIME"), "1:05:09 PM");
    EXPECT_EQ(resultsdb.ReadText("KPH"), "12000");
    EXPECT_EQ(resultsdb.ReadText("ACCURACY"), "97.25");
    EXPECT_EQ(resultsdb.ReadText("ERRORS"), "Record 1 field 2: 12345 keyed as 12354\r\n");
    resultsdb.setIndexName("NETKPH");
    EXPECT_EQ(resultsdb.RowNumber(), 1);  // the same row, first by speed too
    resultsdb.GoLast();
    EXPECT_EQ(resultsdb.ReadText("NAME"), "Jones, Cy");
    resultsdb.setIndexName("DATE");
    resultsdb.setFilter("TESTTYPE='alpha'");
    resultsdb.setFiltered(true);
    std::vector<std::string> seen;
    for (resultsdb.GoFirst(); !resultsdb.AtEnd(); resultsdb.GoNext()) seen.push_back(resultsdb.ReadText("NAME"));
    EXPECT_EQ(seen, (std::vector<std::string>{"Smith, Ann"}));
    // Column names ignore letter case; the constant does not.
    auto kinds = [&](const std::string& filter) {
        resultsdb.setFilter(filter);
        return resultsdb.VisibleRows({"NAME"});
    };
    EXPECT_EQ(kinds("testtype='numeric'"), kinds("TESTTYPE='numeric'"));
    EXPECT_EQ(kinds("TESTTYPE='numeric'").size(), 1u);
    EXPECT_TRUE(kinds("TESTTYPE='Numeric'").empty());
    resultsdb.setFiltered(false);
    resultsdb.GoFirst();
    resultsdb.DeleteRow();
    EXPECT_EQ(resultsdb.RowCount(), 2);
}

TEST_F(ShippedTables, TableToolDumpsOnlyTheRowsAFilterPasses)
{
    StoreTable resultsdb("resultsdb");
    openOn(resultsdb, "results");
    addResult(resultsdb, "a, b", 1000, "alpha");
    addResult(resultsdb, "c, d", 2000, "alphanumeric");
    resultsdb.setActive(false);
    std::string out = dir.file("out.txt");
    ASSERT_EQ(runCommand(std::string(TABLETOOL) + " dump --filter \"testtype = 'alpha'\" " + table("results"), out), 0);
    auto bytes = testing_support::readFile(out);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("\"a, b\""), std::string::npos);
    EXPECT_EQ(text.find("\"c, d\""), std::string::npos);
    EXPECT_NE(runCommand(std::string(TABLETOOL) + " dump --filter \"TESTTYPE=alpha\" " + table("results")), 0);
}

TEST_F(ShippedTables, DeleteAllNeedsTheTableToItself)
{
    StoreTable resultsdb("resultsdb");
    openOn(resultsdb, "results");
    addResult(resultsdb, "a, b", 1000, "numeric");
    StoreTable testRun("resultsdb");
    openOn(testRun, "results");
    resultsdb.setActive(false);
    resultsdb.setExclusive(true);
    EXPECT_EQ(failureOf([&] { resultsdb.setActive(true); }), "Access denied to data file " + table("results"));
    resultsdb.setExclusive(false);
    testRun.setActive(false);

    resultsdb.setActive(false);
    resultsdb.setExclusive(true);
    resultsdb.setActive(true);
    resultsdb.RemoveAllRows();
    resultsdb.setActive(false);
    resultsdb.setExclusive(false);
    resultsdb.setActive(true);
    EXPECT_EQ(resultsdb.RowCount(), 0);
    EXPECT_TRUE(resultsdb.AtEnd());
}

TEST_F(ShippedTables, NumericGenerationPostsTwoHundredRowsWithOnePost)
{
    StoreTable numericdb("numericdb");
    numericdb.setActive(false);
    numericdb.setTableName(table("numeric"));
    numericdb.setExclusive(true);
    numericdb.setActive(true);
    numericdb.RemoveAllRows();
    for (int row = 0; row < 200; ++row) {
        numericdb.BeginInsert();
        for (int field = 1; field <= 25; ++field) numericdb.WriteValue("n" + std::to_string(field), row * 100 + field);
        for (int field = 1; field <= 25; ++field) numericdb.WriteValue("nd" + std::to_string(field), 12.3);
    }
    if (numericdb.EditState() != EditStates::Browse) numericdb.PostRow();
    numericdb.setActive(false);
    numericdb.setExclusive(false);

    StoreTable testdb("testdb");
    openOn(testdb, "numeric");
    EXPECT_EQ(testdb.RowCount(), 200);
    testdb.GoFirst();
    testdb.Skip(49);  // practice starts on the 50th row
    EXPECT_EQ(testdb.RowNumber(), 50);
    EXPECT_EQ(testdb.ReadText("n1"), "4901");
    EXPECT_EQ(testdb.ReadText("nd25"), "12.3");
    testdb.SuspendDisplay();
    testdb.GoFirst();
    testdb.Skip(199);
    EXPECT_FALSE(testdb.AtEnd()) << "on the last row, but no move went past it yet";
    testdb.Skip(1);
    EXPECT_TRUE(testdb.AtEnd());
    EXPECT_EQ(testdb.RowNumber(), 200);
    testdb.ResumeDisplay();
}

TEST_F(ShippedTables, RegenerationRewritesEveryRowInPlaceAndTheTestsReadItByKey)
{
    StoreTable inv("inv");
    inv.setExclusive(true);
    inv.setTableName(table("invsort"));
    inv.setActive(true);
    int rows = inv.RowCount();
    EXPECT_GE(rows, 2000);
    std::set<std::string> people;
    int visited = 0;
    for (inv.GoFirst(); !inv.AtEnd(); inv.GoNext()) {
        EXPECT_EQ(inv.ReadInteger("recordid"), ++visited);
        people.insert(inv.ReadText("FIRST") + " " + inv.ReadText("LAST"));
        inv.BeginEdit();
        inv.WriteValue("idxkey", std::to_string((visited * 7919) % 99999));
        inv.WriteValue("date", "01/02/26");
        inv.WriteValue("invoice", 10000000 + visited);
        inv.WriteValue("amount", "1000.00");
    }
    if (inv.EditState() != EditStates::Browse) inv.PostRow();
    inv.setActive(false);
    inv.setExclusive(false);
    EXPECT_EQ(visited, rows);
    EXPECT_EQ(static_cast<int>(people.size()), rows) << "no two records share a name";

    StoreTable testdb("testdb");
    testdb.setIndexName("idxkey");
    openOn(testdb, "invsort");
    std::string previous;
    int seen = 0;
    for (testdb.GoFirst(); !testdb.AtEnd(); testdb.GoNext(), ++seen) {
        std::string key = testdb.ReadText("IDXKEY");
        EXPECT_LE(previous, key);  // keys are texts: "10" before "9"
        previous = key;
        EXPECT_EQ(testdb.ReadText("INVOICE"), std::to_string(10000000 + testdb.ReadInteger("recordid")));
    }
    EXPECT_EQ(seen, rows);
}

TEST_F(ShippedTables, TableToolDumpsEveryShippedIndexInItsOrder)
{
    StoreTable resultsdb("resultsdb");
    openOn(resultsdb, "results");
    addResult(resultsdb, "Smith, Ann", 9000.5, "alpha");
    addResult(resultsdb, "adams, Bo", 12000, "alphanumeric");
    addResult(resultsdb, "Jones, Cy", 7000, "alpha");
    addResult(resultsdb, "Baker, Di", 12500, "numeric");
    resultsdb.setActive(false);
    std::string out = dir.file("out.txt");

    struct Order {
        const char* table;
        const char* index;
        const char* column;
        bool numeric;
        bool descending;
    };
    for (const Order& order : {Order{"results", "NAME", "NAME", false, false}, Order{"results", "KPH", "KPH", true, true},
                               Order{"results", "NETKPH", "NKPH", true, true}, Order{"results", "DATE", "NAME", false, false},
                               Order{"invsort", "idxkey", "idxkey", false, false},
                               Order{"invsort", "\"\"", "recordid", true, false}}) {
        std::vector<nlohmann::json> rows = dumpedRows(std::string("--index ") + order.index + " " + table(order.table), out);
        ASSERT_EQ(rows.size(), dumpedRows(table(order.table), out).size()) << order.index;
        ASSERT_GT(rows.size(), 1u) << order.index;
        if (std::string(order.index) == "DATE") continue;  // one date and time for all: ties in slot order
        for (std::size_t i = 1; i < rows.size(); ++i) {
            std::string before = rows[i - 1][order.column], after = rows[i][order.column];
            if (order.numeric) {
                double difference = std::stod(after) - std::stod(before);
                EXPECT_TRUE(order.descending ? difference < 0 : difference > 0) << order.index << " " << before << " " << after;
            } else {
                std::transform(before.begin(), before.end(), before.begin(), ::tolower);
                std::transform(after.begin(), after.end(), after.begin(), ::tolower);
                EXPECT_LE(before, after) << order.index;
            }
        }
    }

    // The descending index walked the other way by a handle gives the dump reversed.
    std::vector<nlohmann::json> bySpeed = dumpedRows("--index kph " + table("results"), out);
    resultsdb.setIndexName("KPH");
    openOn(resultsdb, "results");
    std::vector<std::string> backwards;
    for (resultsdb.GoLast(); !resultsdb.AtStart(); resultsdb.GoPrior()) backwards.push_back(resultsdb.ReadText("NAME"));
    std::vector<std::string> forwards;
    for (const nlohmann::json& row : bySpeed) forwards.push_back(row["NAME"]);
    EXPECT_EQ(forwards, (std::vector<std::string>{"Baker, Di", "adams, Bo", "Smith, Ann", "Jones, Cy"}));
    EXPECT_EQ(std::vector<std::string>(backwards.rbegin(), backwards.rend()), forwards);
    resultsdb.setActive(false);

    std::vector<nlohmann::json> alpha = dumpedRows("--filter \"TESTTYPE='alpha'\" --index KPH " + table("results"), out);
    ASSERT_EQ(alpha.size(), 2u);
    EXPECT_EQ(alpha[0]["NAME"], "Smith, Ann");
    EXPECT_EQ(alpha[1]["NAME"], "Jones, Cy");
    EXPECT_EQ(alpha[0]["ERRORS"], "Record 1 field 2: 12345 keyed as 12354\r\n");
    EXPECT_NE(runCommand(std::string(TABLETOOL) + " dump --index NOPE " + table("results")), 0);
}
