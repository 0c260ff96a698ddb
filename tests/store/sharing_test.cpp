// SPDX-License-Identifier: GPL-3.0-or-later
// Two copies of the program on one table, and two handles of one copy: open
// modes, row locks, the read-only attribute and readers against writers. Each
// case runs once against a real second process and once against a second
// handle in this process, which must meet exactly the same outcomes.

#include "store/storetable.h"
#include "support/tables.h"
#include "support/tempdir.h"
#include "workercommands.h"
#include "workerprocess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

using namespace store;
using testing_support::failureOf;
using testing_support::TempDir;

namespace {

using Clock = std::chrono::steady_clock;

long millisecondsSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The other copy or handle, asked one command at a time.
class Other {
public:
    virtual ~Other() = default;
    virtual std::string ask(const std::string& command) = 0;
};

class OtherProcess final : public Other {
public:
    std::string ask(const std::string& command) override { return process_.ask(command); }

private:
    testing_support::WorkerProcess process_;
};

class OtherHandle final : public Other {
public:
    std::string ask(const std::string& command) override { return commands_.answer(command); }

private:
    std::ostringstream progress_;
    testing_support::WorkerCommands commands_{progress_};
};

class TwoCopies : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        std::string command = std::string(TABLETOOL) + " create " + RESULTS_SCHEMA + " " + path;
        ASSERT_EQ(std::system(command.c_str()), 0);
        mine.setTableName(path);
        mine.setActive(true);
        for (const char* name : {"adams, ann", "baker, bob", "clark, cy"}) {
            mine.BeginInsert();
            mine.WriteValue("NAME", name);
            mine.WriteValue("KPH", 1000.0);
            mine.PostRow();
        }
        mine.setActive(false);
        if (GetParam() == "process")
            other = std::make_unique<OtherProcess>();
        else
            other = std::make_unique<OtherHandle>();
    }

    void openMine(bool exclusive = false)
    {
        mine.setActive(false);
        mine.setExclusive(exclusive);
        mine.setActive(true);
    }

    TempDir dir;
    std::string path = dir.file("results.dat");
    std::string accessDenied = "Access denied to data file " + path;
    StoreTable mine{"resultsdb"};
    std::unique_ptr<Other> other;
};

}  // namespace

TEST_P(TwoCopies, ExclusiveOpensAreRefusedAtOnceAgainstAnyOtherOpen)
{
    openMine();
    EXPECT_EQ(other->ask("open " + path + " exclusive"), "error " + accessDenied);
    EXPECT_EQ(other->ask("open " + path + " shared"), "ok");

    mine.setActive(false);
    EXPECT_EQ(failureOf([&] { openMine(true); }), accessDenied);
    EXPECT_FALSE(mine.Active());

    EXPECT_EQ(other->ask("open " + path + " exclusive"), "ok");
    EXPECT_EQ(failureOf([&] { openMine(false); }), accessDenied);
    EXPECT_EQ(failureOf([&] { openMine(true); }), accessDenied);

    EXPECT_EQ(other->ask("close"), "ok");
    openMine(true);
    EXPECT_EQ(other->ask("open " + path + " shared"), "error " + accessDenied);
}

TEST_P(TwoCopies, SecondEditOfOneRowFailsAfterSixteenTriesAndLaterSeesTheFirstPost)
{
    ASSERT_EQ(other->ask("open " + path + " shared"), "ok");
    openMine();
    EXPECT_EQ(other->ask("goto 2"), "ok");
    EXPECT_EQ(other->ask("edit"), "ok");
    EXPECT_EQ(other->ask("write KPH 4711.5"), "ok");

    mine.GoFirst();
    mine.GoNext();
    Clock::time_point start = Clock::now();
    EXPECT_EQ(failureOf([&] { mine.BeginEdit(); }), "Record in data file " + path + " is in use by another user");
    // Fifteen pauses of more than 100 ms between sixteen tries.
    EXPECT_GE(millisecondsSince(start), 1500);
    EXPECT_EQ(mine.EditState(), EditStates::Browse);

    EXPECT_EQ(other->ask("post"), "ok");
    mine.BeginEdit();
    EXPECT_EQ(mine.ReadText("NAME"), "baker, bob");
    EXPECT_EQ(mine.ReadText("KPH"), "4711.5");
    mine.WriteValue("KPH", 815.0);
    mine.PostRow();
    EXPECT_EQ(other->ask("edit"), "ok");
    EXPECT_EQ(other->ask("read KPH"), "ok 815");
    EXPECT_EQ(other->ask("cancel"), "ok");
}

// The whole table stands in the walker's caches, so only its look at the
// data file's change counter before each step can tell it of the other's posts.
TEST_P(TwoCopies, AWalkInIndexOrderSeesRowsAnotherPostedOrChangedMidWalk)
{
    ASSERT_EQ(other->ask("open " + path + " shared"), "ok");
    openMine();
    mine.setIndexName("NAME");
    mine.GoFirst();
    EXPECT_EQ(mine.ReadText("NAME"), "adams, ann");
    EXPECT_EQ(other->ask("insert"), "ok");
    EXPECT_EQ(other->ask("write NAME archer, al"), "ok");
    EXPECT_EQ(other->ask("post"), "ok");
    mine.GoNext();
    EXPECT_EQ(mine.ReadText("NAME"), "archer, al");
    EXPECT_EQ(other->ask("index NAME"), "ok");
    EXPECT_EQ(other->ask("goto 4"), "ok");
    EXPECT_EQ(other->ask("edit"), "ok");
    EXPECT_EQ(other->ask("write KPH 2222"), "ok");
    EXPECT_EQ(other->ask("post"), "ok");
    mine.GoNext();
    EXPECT_EQ(mine.ReadText("NAME"), "baker, bob");
    mine.GoNext();
    EXPECT_EQ(mine.ReadText("NAME"), "clark, cy");
    EXPECT_EQ(mine.ReadText("KPH"), "2222");
    mine.GoNext();
    EXPECT_TRUE(mine.AtEnd());
}

TEST_P(TwoCopies, EditsOfDifferentRowsBothSucceed)
{
    ASSERT_EQ(other->ask("open " + path + " shared"), "ok");
    openMine();
    EXPECT_EQ(other->ask("goto 1"), "ok");
    EXPECT_EQ(other->ask("edit"), "ok");
    EXPECT_EQ(other->ask("write KPH 1111"), "ok");

    mine.GoLast();
    mine.BeginEdit();
    mine.WriteValue("KPH", 3333.0);
    mine.PostRow();
    EXPECT_EQ(other->ask("post"), "ok");

    mine.GoFirst();
    EXPECT_EQ(mine.ReadText("KPH"), "1111");
    EXPECT_EQ(other->ask("goto 3"), "ok");
    EXPECT_EQ(other->ask("read KPH"), "ok 3333");
}

// Without any write permission bit the file counts as read-only even for
// root, who could write it anyway.
TEST_P(TwoCopies, ReadOnlyDataFileOpensButRefusesEveryPost)
{
    std::filesystem::permissions(path, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                           std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    ASSERT_EQ(other->ask("open " + path + " shared"), "ok");
    EXPECT_EQ(other->ask("read NAME"), "ok adams, ann");
    EXPECT_EQ(other->ask("edit"), "ok");
    EXPECT_EQ(other->ask("write NAME adams, al"), "ok");
    EXPECT_EQ(other->ask("post"), "error " + accessDenied);
    EXPECT_EQ(other->ask("cancel"), "ok");
    EXPECT_EQ(other->ask("insert"), "ok");
    EXPECT_EQ(other->ask("write NAME dunn, di"), "ok");
    EXPECT_EQ(other->ask("post"), "error " + accessDenied);
    EXPECT_EQ(other->ask("delete"), "ok");  // of the row being inserted: only cancels it
    EXPECT_EQ(other->ask("delete"), "error " + accessDenied);
    EXPECT_EQ(other->ask("count"), "ok 3");
}

TEST_P(TwoCopies, ReaderHoldingItsByteMakesAWriterWaitUntilItLetsGo)
{
    openMine();
    ASSERT_EQ(other->ask("holdread " + path), "ok");
    mine.BeginInsert();
    mine.WriteValue("NAME", "dunn, di");
    std::string released;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        released = other->ask("letgo");
    });
    Clock::time_point start = Clock::now();
    mine.PostRow();
    long waited = millisecondsSince(start);
    reader.join();
    EXPECT_EQ(released, "ok");
    EXPECT_GE(waited, 350);
    EXPECT_EQ(mine.RowCount(), 4);
}

INSTANTIATE_TEST_SUITE_P(BetweenProcessesAndHandles, TwoCopies, ::testing::Values("process", "handle"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST_P(TwoCopies, EditOfARowAnotherDeletedFailsAndLeavesTheRowsAlone)
{
    ASSERT_EQ(other->ask("open " + path + " shared"), "ok");
    openMine();
    mine.GoFirst();
    mine.GoNext();
    EXPECT_EQ(other->ask("goto 2"), "ok");
    EXPECT_EQ(other->ask("delete"), "ok");

    EXPECT_EQ(failureOf([&] { mine.BeginEdit(); }), "resultsdb: The row was deleted by another user");
    EXPECT_EQ(mine.EditState(), EditStates::Browse);
    EXPECT_EQ(mine.RowCount(), 2);
    mine.BeginEdit();
    EXPECT_EQ(mine.ReadText("NAME"), "clark, cy");
    mine.CancelRow();
    EXPECT_EQ(other->ask("edit"), "ok");
    EXPECT_EQ(other->ask("cancel"), "ok");
}

// With key columns a deleted row's slot is given to the next new row, which
// must not be edited in the place of the row that was there.
TEST(TwoHandles, EditOfARowWhoseSlotAnotherRowTookFails)
{
    TempDir dir;
    std::string path = dir.file("keyed.dat");
    createTable(systemFileSystem(), path,
                testing_support::schemaOf({testing_support::columnSchema("ID", "integer"),
                                           testing_support::columnSchema("NAME", "string", 20)},
                                          {"ID"}));
    StoreTable first("first"), second("second");
    first.setTableName(path);
    first.setActive(true);
    for (std::int32_t id : {1, 2, 3}) {
        first.BeginInsert();
        first.WriteValue("ID", id);
        first.WriteValue("NAME", "row " + std::to_string(id));
        first.PostRow();
    }
    second.setTableName(path);
    second.setActive(true);
    second.GoFirst();
    second.GoNext();
    ASSERT_EQ(second.ReadText("NAME"), "row 2");

    first.GoFirst();
    first.GoNext();
    first.DeleteRow();
    first.BeginInsert();
    first.WriteValue("ID", 9);
    first.WriteValue("NAME", "row 9");
    first.PostRow();

    EXPECT_EQ(failureOf([&] { second.BeginEdit(); }), "second: The row was deleted by another user");
    EXPECT_EQ(second.EditState(), EditStates::Browse);
    first.BeginEdit();  // row 9's lock was let go
    EXPECT_EQ(first.ReadText("NAME"), "row 9");
    first.CancelRow();
}
