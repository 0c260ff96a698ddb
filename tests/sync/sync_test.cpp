// SPDX-License-Identifier: GPL-3.0-or-later
// Syncs of program folders into a real server of the test's own, through
// the movara-sync program as a centre runs it.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "support/resultstable.h"
#include "store/storetable.h"
#include "support/output.h"
#include "support/tempdir.h"
#include "sync/report.h"
#include "sync/resultcolumns.h"
#include "sync/resultkey.h"
#include "sync/server.h"
#include "sync/localresults.h"
#include "sync/sync.h"
#include "support/testserver.h"

namespace {

using resultsync::ResultColumns;
using resultsync::ServerType;
using testing_support::ResultRow;
using testing_support::runProgram;

TEST(ResultKey, Sha256GivesTheStandardDigests)
{
    const struct {
        std::string message, digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& test : cases) EXPECT_EQ(resultsync::sha256Hex(test.message), test.digest) << test.message.size();
    EXPECT_NE(resultsync::resultKey({"ab", "c"}), resultsync::resultKey({"a", "bc"}));
}

TEST(LocalResults, TextsAreMadeValidUtf8AndCountsAreGrouped)
{
    const struct {
        std::string text, valid;
    } texts[] = {{"Smith, Ann", "Smith, Ann"}, {"Zo\xc3\xab", "Zo\xc3\xab"}, {"Zo\xeb", "Zo\xc3\xab"},
                 {"\xc0\xaf", "\xc3\x80\xc2\xaf"}, {"\xe2\x82", "\xc3\xa2\xc2\x82"}, {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"}};
    for (const auto& test : texts) EXPECT_EQ(resultsync::validUtf8(test.text), test.valid) << test.text;
    const std::pair<long, std::string> counts[] = {{0, "0"}, {999, "999"}, {1000, "1,000"}, {18430, "18,430"},
                                                   {1234567, "1,234,567"}};
    for (const auto& [count, text] : counts) EXPECT_EQ(resultsync::groupedCount(count), text);
}

// Row number of a site, with doubles that need all 17 digits and times and
// dates that differ from row to row.
ResultRow siteRow(int site, int number)
{
    static const char* const kinds[] = {"numeric", "alpha", "alphanumeric"};
    ResultRow row = testing_support::sampleResult(number, kinds[number % 3]);
    row.name = "Testee " + std::to_string(number) + " of site " + std::to_string(site) + ", Pat";
    row.kph = 5000 + number / 7.0;
    row.nkph = row.kph * 0.93;
    row.accuracy = 100.0 * (number % 97) / 97.0;
    char date[16], time[24];
    std::snprintf(date, sizeof date, "%02d/%02d/%02d", 1 + number % 12, 1 + number % 28, 20 + number % 7);
    std::snprintf(time, sizeof time, "%d:%02d:%02d %s", 1 + number % 12, number % 60, (number * 7) % 60,
                  number % 2 ? "AM" : "PM");
    row.testdate = date;
    row.testtime = time;
    return row;
}

class SyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::string why = testing_support::TestServer::missing(); !why.empty())
            GTEST_SKIP() << "No PostgreSQL server for these tests: " << why;
        server_ = std::make_unique<testing_support::TestServer>();
    }

    std::string makeFolder(int site, int rows)
    {
        const std::string folder = temp_.file("site" + std::to_string(site));
        std::filesystem::create_directory(folder);
        testing_support::makeResultsTable(folder + "/results.dat");
        std::vector<ResultRow> all;
        for (int number = 1; number <= rows; ++number) all.push_back(siteRow(site, number));
        testing_support::insertResults(folder + "/results.dat", all);
        return folder;
    }

    std::vector<std::string> syncCommand(const std::string& folder, const std::string& site,
                                         std::vector<std::string> more = {}) const
    {
        std::vector<std::string> words{MOVARA_SYNC, "--folder", folder, "--site", site, "--db", server_->connection()};
        words.insert(words.end(), more.begin(), more.end());
        return words;
    }

    std::string syncOutput(const std::string& folder, const std::string& site, const std::string& more = "") const
    {
        return testing_support::outputOf(std::string(MOVARA_SYNC) + " --folder '" + folder + "' --site '" + site +
                                         "' --db '" + server_->connection() + "' " + more + " 2>&1");
    }

    resultsync::QueryResult query(const std::string& statement, const std::vector<resultsync::Parameter>& values = {})
    {
        resultsync::ServerConnection connection(server_->connection());
        return connection.run(statement, values);
    }

    long serverCount(const std::string& where = "true")
    {
        return std::stol(query("SELECT count(*) FROM movara_results WHERE " + where).text(0, 0));
    }

    // Every row of the folder is on the server once under site, equal to
    // the stored row in each of the thirteen columns.
    void expectArchived(const std::string& folder, const std::string& site);

    testing_support::TempDir temp_;
    std::unique_ptr<testing_support::TestServer> server_;
};

std::string storeTextOfServerValue(const resultsync::ResultColumn& column, const std::string& value)
{
    if (column.type == ServerType::Date) {
        int year = 0, month = 0, day = 0;
        std::sscanf(value.c_str(), "%d-%d-%d", &year, &month, &day);
        return store::formatDate(store::Date{store::dayNumber(year, month, day)});
    }
    int hours = 0, minutes = 0;
    double seconds = 0;
    std::sscanf(value.c_str(), "%d:%d:%lf", &hours, &minutes, &seconds);
    return store::formatTime(store::TimeOfDay{int(std::lround((hours * 3600 + minutes * 60 + seconds) * 1000))});
}

void expectColumnEqual(store::StoreTable& table, const resultsync::ResultColumn& column, bool isNull,
                       const std::string& value)
{
    const std::string name = table.ReadText("NAME") + " " + column.results;
    switch (column.type) {
    case ServerType::Double: EXPECT_EQ(std::stod(value), table.ReadFloat(column.results)) << name; break;
    case ServerType::Integer: EXPECT_EQ(std::stol(value), table.ReadInteger(column.results)) << name; break;
    case ServerType::Text: EXPECT_EQ(isNull ? "" : value, table.ReadText(column.results)) << name; break;
    default: EXPECT_EQ(isNull ? "" : storeTextOfServerValue(column, value), table.ReadText(column.results)) << name;
    }
}

void SyncTest::expectArchived(const std::string& folder, const std::string& site)
{
    std::string columns;
    for (const auto& column : ResultColumns) columns += std::string(columns.empty() ? "" : ", ") + column.server;
    resultsync::QueryResult rows = query("SELECT " + columns + " FROM movara_results WHERE site = $1", {site});
    std::map<std::string, int> byName;
    for (int row = 0; row < rows.rows(); ++row) EXPECT_TRUE(byName.emplace(rows.text(row, 0), row).second);
    store::StoreTable table("check");
    table.setTableName(folder + "/results.dat");
    table.setActive(true);
    ASSERT_EQ(rows.rows(), table.RowCount()) << site;
    for (table.GoFirst(); table.HasRow() && !table.AtEnd(); table.GoNext()) {
        auto found = byName.find(table.ReadText("NAME"));
        ASSERT_NE(found, byName.end()) << table.ReadText("NAME");
        for (int number = 0; number < int(ResultColumns.size()); ++number)
            expectColumnEqual(table, ResultColumns[number], rows.isNull(found->second, number),
                              rows.text(found->second, number));
    }
}

TEST_F(SyncTest, ThreeSitesSyncedTwiceHoldEveryRowOnceEqualToTheStore)
{
    const std::vector<std::string> sites{"North", "Süd, \"Zentrale\"", "Ouest"};
    std::vector<std::string> folders;
    for (int site = 0; site < 3; ++site) folders.push_back(makeFolder(site, 2000));
    for (int round = 0; round < 2; ++round)
        for (int site = 0; site < 3; ++site)
            EXPECT_EQ(syncOutput(folders[site], sites[site]),
                      round == 0 ? "sent 2,000 new results, 0 already there\n"
                                 : "sent 0 new results, 2,000 already there\n");
    EXPECT_EQ(serverCount(), 6000);
    EXPECT_EQ(std::stol(query("SELECT count(DISTINCT (site, name)) FROM movara_results").text(0, 0)), 6000);
    for (int site = 0; site < 3; ++site) expectArchived(folders[site], sites[site]);
}

TEST_F(SyncTest, NamesWithQuotesCommasLettersAndEqualsArriveUnchanged)
{
    const std::string folder = makeFolder(1, 0);
    const std::vector<std::string> names{"=O'Brien, \"Zoë\"", "=1+2, Ann", "Smith'); DROP TABLE movara_results;--, x",
                                         "Łukasz, Ærø; ñ", "$1, $2", "\\x41, \\\\"};
    std::vector<ResultRow> rows;
    for (const std::string& name : names) {
        rows.push_back(siteRow(1, int(rows.size()) + 1));
        rows.back().name = name;
    }
    testing_support::insertResults(folder + "/results.dat", rows);
    EXPECT_EQ(syncOutput(folder, "North"), "sent 6 new results, 0 already there\n");
    expectArchived(folder, "North");
}

TEST_F(SyncTest, ResultsDeletedOrChangedAtACentreLeaveTheArchiveWhole)
{
    const std::string folder = makeFolder(1, 50);
    EXPECT_EQ(runProgram(syncCommand(folder, "North")), 0);
    const std::string before = query("SELECT string_agg(key || name || nkph, ',' ORDER BY key) FROM movara_results").text(0, 0);
    {
        store::StoreTable table("change");
        table.setTableName(folder + "/results.dat");
        table.setActive(true);
        table.BeginEdit();
        table.WriteValue("NKPH", 1.5);
        table.PostRow();
        table.GoLast();
        table.DeleteRow();
    }
    EXPECT_EQ(syncOutput(folder, "North"), "sent 1 new result, 48 already there\n");
    EXPECT_EQ(serverCount(), 51);
    EXPECT_EQ(serverCount("nkph = 1.5"), 1);
    const std::string after = query("SELECT string_agg(key || name || nkph, ',' ORDER BY key) FROM movara_results "
                                    "WHERE nkph <> 1.5").text(0, 0);
    EXPECT_EQ(after, before);
}

TEST_F(SyncTest, DryRunCountsWithoutWriting)
{
    const std::string folder = makeFolder(1, 30);
    EXPECT_EQ(syncOutput(folder, "North", "--dry-run"), "would send 30 new results, 0 already there\n");
    EXPECT_EQ(query("SELECT to_regclass('movara_results') IS NULL").text(0, 0), "t");
    EXPECT_EQ(runProgram(syncCommand(folder, "North", {"--batch-size", "7"})), 0);
    EXPECT_EQ(syncOutput(folder, "North", "--dry-run"), "would send 0 new results, 30 already there\n");
}

TEST_F(SyncTest, KilledSyncsStillSendEveryRowOnce)
{
    const std::string folder = makeFolder(1, 2000);
    const std::vector<std::string> command = syncCommand(folder, "North", {"--batch-size", "10"});
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(runProgram(syncCommand(folder, "Timing", {"--batch-size", "10"})), 0);
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begun);
    std::mt19937 random(20261210);
    long last = 0;
    int interrupted = 0;
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t pid = testing_support::spawnProgram(command);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % whole.count()));
        ::kill(pid, SIGKILL);
        testing_support::exitStatusOf(pid);
        const long count = serverCount("site = 'North'");
        EXPECT_GE(count, last);
        EXPECT_EQ(count % 10, 0) << "a batch was sent in part";
        interrupted += count > 0 && count < 2000;
        last = count;
        // A run the kill came too late for leaves nothing for the next kills to
        // interrupt: start the archive of this site afresh.
        if (count == 2000) {
            query("DELETE FROM movara_results WHERE site = 'North'");
            last = 0;
        }
    }
    EXPECT_GT(interrupted, 0) << "no kill fell in the middle of a sync";
    EXPECT_EQ(runProgram(command), 0);
    expectArchived(folder, "North");
}

TEST_F(SyncTest, ServerStoppedInTheMiddleGivesStatusOneAndTheNextRunCompletes)
{
    const std::string folder = makeFolder(1, 2000);
    const std::vector<std::string> command = syncCommand(folder, "North", {"--batch-size", "1"});
    const pid_t pid = testing_support::spawnProgram(command);
    while (query("SELECT to_regclass('movara_results') IS NOT NULL").text(0, 0) != "t" || serverCount() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    server_->stop();
    EXPECT_EQ(testing_support::exitStatusOf(pid), 1);
    server_->start();
    EXPECT_LT(serverCount(), 2000);
    EXPECT_EQ(runProgram(command), 0);
    expectArchived(folder, "North");
}

TEST_F(SyncTest, ExitStatusTellsWhatFailed)
{
    const std::string folder = makeFolder(1, 3);
    const struct {
        std::vector<std::string> words;
        int status;
    } cases[] = {
        {syncCommand(folder, "North"), 0},
        {syncCommand(folder, "North", {"--bogus"}), 2},
        {syncCommand(folder, "North", {"--batch-size", "0"}), 2},
        {syncCommand(folder, "North", {"--batch-size", "4001"}), 2},
        {syncCommand(folder, "North", {"--csv"}), 2},
        {syncCommand(folder, "North", {"--site"}), 2},
        {syncCommand(folder, "North", {"--db", "host=" + temp_.file("nowhere")}), 1},
        {syncCommand(temp_.file("nofolder"), "North"), 3},
    };
    for (const auto& test : cases) EXPECT_EQ(runProgram(test.words), test.status) << test.words.back();
}

TEST_F(SyncTest, ReportGivesCountsMedianAndBestOfTheLast30Days)
{
    const std::string folder = makeFolder(1, 0);
    const std::string today = store::formatDate(store::dateOf(store::currentDateTime()));
    const std::string old = store::formatDate(store::Date{store::dateOf(store::currentDateTime()).day - 40});
    std::vector<ResultRow> rows;
    const std::pair<double, std::string> given[] = {{100, today}, {400, today}, {250, today}, {900, old}};
    for (const auto& [nkph, date] : given) {
        rows.push_back(siteRow(1, int(rows.size()) + 1));
        rows.back().nkph = nkph;
        rows.back().testdate = date;
        rows.back().testtype = "alpha";
    }
    testing_support::insertResults(folder + "/results.dat", rows);
    EXPECT_EQ(runProgram(syncCommand(folder, "North, East")), 0);
    EXPECT_EQ(syncOutput(folder, "North", "--report"),
              "Site         Test   Results  Median net KPH  Best net KPH\n"
              "North, East  alpha        3          250.00        400.00\n");
    EXPECT_EQ(syncOutput(folder, "North", "--report --csv"),
              "Site,Test,Results,Median net KPH,Best net KPH\r\n\"North, East\",alpha,3,250.00,400.00\r\n");
}

}  // namespace
