// SPDX-License-Identifier: GPL-3.0-or-later
// Many copies of the program on one results table at once, and one of them
// killed in the middle of its work. A few seconds each here; for a long soak
// set MOVARA_STRESS_SECONDS (every worker's running time) and
// MOVARA_KILL_ROUNDS (how many writers are killed one after another).

#include "store/datafile.h"
#include "store/locking.h"
#include "store/storetable.h"
#include "store/tablefiles.h"
#include "support/tables.h"
#include "support/output.h"
#include "support/tempdir.h"
#include "workerprocess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <thread>

using namespace store;
using testing_support::TempDir;
using testing_support::outputOf;
using testing_support::WorkerProcess;

namespace {

long fromEnvironment(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::atol(text) : fallback;
}

std::string wordsAfter(const std::string& line, const std::string& start)
{
    return line.rfind(start, 0) == 0 ? line.substr(start.size()) : std::string();
}

bool isLogOf(const std::string& name, const std::string& log)
{
    std::istringstream lines(log);
    int number = 0;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Record " + std::to_string(++number) + " of " + name + ": ", 0) != 0) return false;
    return log.empty() || log.back() == '\n';
}

class ManyCopies : public ::testing::Test {
protected:
    void SetUp() override { makeTable("results.dat"); }

    void makeTable(const std::string& name)
    {
        path = dir.file(name);
        std::string command = std::string(TABLETOOL) + " create " + RESULTS_SCHEMA + " " + path;
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    std::unique_ptr<WorkerProcess> start(const std::string& command)
    {
        auto worker = std::make_unique<WorkerProcess>();
        EXPECT_EQ(worker->ask("open " + path + " shared"), "ok");
        worker->send(command);
        return worker;
    }

    // The rows a worker reported as it went ("row NAME" or "deleted NAME"),
    // and its answer.
    std::string collect(WorkerProcess& worker, const std::string& kind, std::multiset<std::string>& names)
    {
        std::vector<std::string> lines = worker.repliesToAnswer();
        for (const std::string& line : lines)
            if (line.rfind(kind + " ", 0) == 0) names.insert(line.substr(kind.size() + 1));
        return lines.back();
    }

    // Every row's name, and whether its row id is unique, read after all
    // workers have closed the table.
    // With logsWhole, also whether every row's error log is the one its
    // writer made for it: lines "Record 1 of NAME: ...", "Record 2 ...".
    std::multiset<std::string> survivors(bool& rowIdsUnique, bool* logsWhole = nullptr)
    {
        std::multiset<std::string> names;
        auto data = testing_support::openTable(path);
        int nameColumn = data->findColumn("NAME");
        int logColumn = data->findColumn("ERRORS");
        if (logsWhole) *logsWhole = true;
        std::set<std::int32_t> rowIds;
        rowIdsUnique = true;
        for (std::int32_t slot = 1; slot <= data->slotCount(); ++slot) {
            if (data->isDeleted(slot)) continue;
            Row row = data->readRow(slot);
            std::int32_t rowId = 0;
            for (int i = 0; i < 4; ++i) rowId |= static_cast<std::int32_t>(row.image[slot::RowId + i]) << (8 * i);
            rowIdsUnique = rowIds.insert(rowId).second && rowIdsUnique;
            std::string name = std::get<std::string>(data->value(row, nameColumn));
            if (logsWhole && !isLogOf(name, data->readBlob(row, logColumn))) *logsWhole = false;
            names.insert(name);
        }
        return names;
    }

    std::string verify() { return outputOf(std::string(TABLETOOL) + " verify " + path); }

    TempDir dir;
    std::string path;
};

std::multiset<std::string> without(std::multiset<std::string> names, const std::multiset<std::string>& gone)
{
    for (const std::string& name : gone) {
        auto found = names.find(name);
        if (found != names.end()) names.erase(found);
    }
    return names;
}

// Whether another handle could take every lock of the table at once: none
// is left held by anyone.
bool everyLockIsFree(const std::string& path)
{
    TableFileNames names = tableFileNames(path);
    OpenStatus status = OpenStatus::Ok;
    auto data = systemFileSystem().open(names.data, Access::ReadWrite, Sharing::Shared, false, status);
    auto index = systemFileSystem().open(names.index, Access::ReadWrite, Sharing::Shared, false, status);
    auto memo = systemFileSystem().open(names.memo, Access::ReadWrite, Sharing::Shared, false, status);
    if (!data || !index || !memo) return false;
    return data->lock(lockregion::DataSemaphore, 1) == LockStatus::Locked &&
           data->lock(lockregion::TableStart, lockregion::TableLength) == LockStatus::Locked &&
           index->lock(lockregion::WriteRegion, lockregion::WriteLength) == LockStatus::Locked &&
           memo->lock(lockregion::WriteRegion, lockregion::WriteLength) == LockStatus::Locked;
}

}  // namespace

TEST_F(ManyCopies, AppendersChangerAndWalkerLoseAndDoubleNoRow)
{
    long milliseconds = fromEnvironment("MOVARA_STRESS_SECONDS", 2) * 1000;
    std::vector<std::unique_ptr<WorkerProcess>> appenders;
    for (int number = 1; number <= 4; ++number)
        appenders.push_back(start("append a" + std::to_string(number) + " 100000000 " + std::to_string(milliseconds)));
    auto changer = start("churn " + std::to_string(std::random_device{}()) + " " + std::to_string(milliseconds));
    auto walker = start("walk " + std::to_string(milliseconds));

    std::multiset<std::string> appended, deleted;
    for (auto& appender : appenders) EXPECT_EQ(collect(*appender, "row", appended).rfind("ok appended", 0), 0u);
    std::string churned = collect(*changer, "deleted", deleted);
    EXPECT_EQ(churned.rfind("ok changed", 0), 0u) << churned;
    std::string walked = walker->reply();
    EXPECT_EQ(walked.rfind("ok walked", 0), 0u) << walked;
    appenders.clear();
    changer.reset();
    walker.reset();

    bool rowIdsUnique = false;
    std::multiset<std::string> left = survivors(rowIdsUnique);
    EXPECT_TRUE(rowIdsUnique);
    EXPECT_GT(appended.size(), 4u);
    EXPECT_EQ(std::set<std::string>(appended.begin(), appended.end()).size(), appended.size());
    EXPECT_EQ(left, without(appended, deleted));
    EXPECT_EQ(verify(), "OK\n");
    std::cout << "appended " << appended.size() << ", " << wordsAfter(churned, "ok ") << ", "
              << wordsAfter(walked, "ok ") << " rows\n";
}

// Opening reads the headers and checks the files' lengths against them,
// which in the middle of another copy's write-back disagree.
TEST_F(ManyCopies, OpeningWhileAnotherAppendsNeverSeesAHalfWrittenTable)
{
    std::vector<std::unique_ptr<WorkerProcess>> appenders;
    for (const char* prefix : {"a", "b", "c"}) appenders.push_back(start(std::string("append ") + prefix + " 100000000 2500"));
    StoreTable table("resultsdb");
    table.setTableName(path);
    int opens = 0;
    std::string failure;
    for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
         failure.empty() && std::chrono::steady_clock::now() < end; ++opens) {
        failure = testing_support::failureOf([&] {
            table.setActive(true);
            table.setActive(false);
        });
    }
    EXPECT_EQ(failure, "") << "after " << opens << " opens";
    std::multiset<std::string> appended;
    for (auto& appender : appenders) EXPECT_EQ(collect(*appender, "row", appended).rfind("ok appended", 0), 0u);
}

// Locks belong to the killed process's open files, which the system closes
// with it: the copies still running never wait on them. What the killed
// writer was writing back at that moment is rolled back from the table's
// journal by the next copy that opens the table or takes its write lock, so
// every round ends with a whole table that holds every posted row once,
// with its error log. A handful of kills here; set MOVARA_KILL_ROUNDS=200
// for a long run.
TEST_F(ManyCopies, KilledWritersLeaveAWholeTableWithEveryPostedRowOnce)
{
    long rounds = fromEnvironment("MOVARA_KILL_ROUNDS", 4);
    long rolledBack = 0, posted = 0;
    std::mt19937 random(std::random_device{}());
    for (long round = 1; round <= rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        makeTable("results" + std::to_string(round) + ".dat");
        auto victim = start("append v 100000000 600000");
        auto survivor = start("append s 100000000 1200");
        std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 700));
        victim->kill();
        EXPECT_EQ(victim->wait(), 128 + SIGKILL);
        rolledBack += systemFileSystem().exists(tableFileNames(path).journal);

        std::multiset<std::string> confirmed, appended;
        collect(*victim, "row", confirmed);
        std::string answer = collect(*survivor, "row", appended);
        EXPECT_EQ(answer.rfind("ok appended", 0), 0u) << answer;
        survivor.reset();
        victim.reset();

        EXPECT_TRUE(everyLockIsFree(path));
        bool rowIdsUnique = false, logsWhole = false;
        std::multiset<std::string> left = survivors(rowIdsUnique, &logsWhole);
        EXPECT_FALSE(systemFileSystem().exists(tableFileNames(path).journal));
        EXPECT_TRUE(rowIdsUnique);
        EXPECT_TRUE(logsWhole);
        EXPECT_EQ(std::set<std::string>(left.begin(), left.end()).size(), left.size());
        for (const std::string& name : appended) EXPECT_EQ(left.count(name), 1u) << name;
        for (const std::string& name : confirmed) EXPECT_EQ(left.count(name), 1u) << name;
        EXPECT_EQ(verify(), "OK\n");
        posted += static_cast<long>(confirmed.size() + appended.size());
        if (HasFailure()) break;
    }
    std::cout << rounds << " writers killed, " << rolledBack << " of them leaving a journal to roll back, "
              << posted << " posted rows all found once with their logs\n";
}
