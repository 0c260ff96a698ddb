// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/createtable.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "store/tableindexes.h"
#include "support/faultyfilesystem.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace store;
using testing_support::columnSchema;
using testing_support::failureOf;
using testing_support::schemaOf;
using testing_support::TempDir;

namespace {

// A results-like table: names, a test kind, a speed, with the four kinds of
// order the program uses.
class Results : public ::testing::Test {
protected:
    void SetUp() override
    {
        TableSchema schema = schemaOf({columnSchema("NAME", "string", 40), columnSchema("TESTTYPE", "string", 12),
                                       columnSchema("KPH", "float"), columnSchema("ERRORS", "memo")});
        IndexSchema names;
        names.name = "NAME";
        names.columns = {"NAME"};
        names.caseInsensitive = true;
        IndexSchema speed;
        speed.name = "NETKPH";
        speed.columns = {"KPH"};
        speed.columnDescending = {true};
        schema.indexes = {names, speed};
        createTable(systemFileSystem(), path, schema);
    }

    void openOn(StoreTable& table)
    {
        table.setTableName(path);
        table.setActive(true);
    }

    void add(StoreTable& table, const std::string& name, const std::string& kind, double kph)
    {
        table.BeginInsert();
        table.WriteValue("NAME", name);
        table.WriteValue("testtype", kind);
        table.WriteValue("KPH", kph);
        table.PostRow();
    }

    std::vector<std::string> names(StoreTable& table)
    {
        std::vector<std::string> seen;
        for (table.GoFirst(); !table.AtEnd(); table.GoNext()) {
            seen.push_back(table.ReadText("NAME"));
            if (seen.size() > 100) break;
        }
        return seen;
    }

    TempDir dir;
    std::string path = dir.file("results.dat");
};

}  // namespace

TEST_F(Results, RowsFollowTheSelectedIndexInAnyLetterCase)
{
    StoreTable table("resultsdb");
    openOn(table);
    add(table, "smith, ann", "alpha", 9000.5);
    add(table, "Jones, bob", "alphanumeric", 12000);
    add(table, "adams, cy", "numeric", 7000);
    EXPECT_EQ(names(table), (std::vector<std::string>{"smith, ann", "Jones, bob", "adams, cy"}));
    table.setIndexName("name");
    EXPECT_EQ(names(table), (std::vector<std::string>{"adams, cy", "Jones, bob", "smith, ann"}));
    table.setIndexName("NetKPH");
    EXPECT_EQ(names(table), (std::vector<std::string>{"Jones, bob", "smith, ann", "adams, cy"}));
    EXPECT_EQ(table.ReadText("kph"), "7000");
    EXPECT_EQ(table.RowNumber(), 3);
    EXPECT_EQ(table.RowCount(), 3);
    EXPECT_EQ(failureOf([&] { table.setIndexName("SPEED"); }),
              "Invalid secondary index name SPEED specified for data file " + path);
    EXPECT_EQ(table.IndexName(), "NetKPH");
}

TEST_F(Results, FilterShowsWholeValueMatchesOnly)
{
    StoreTable table("resultsdb");
    openOn(table);
    add(table, "a", "alpha", 1);
    add(table, "b", "alphanumeric", 2);
    add(table, "c", "alpha", 3);
    table.setFilter("TESTTYPE='alpha'");
    table.setFiltered(true);
    EXPECT_EQ(names(table), (std::vector<std::string>{"a", "c"}));
    table.setFilter("testtype='numeric'");
    table.GoFirst();
    EXPECT_TRUE(table.AtEnd());
    EXPECT_FALSE(table.HasRow());
    EXPECT_NE(failureOf([&] { table.setFilter("TESTTYPE=alpha"); }), "");
    EXPECT_EQ(table.Filter(), "testtype='numeric'");
    table.setFiltered(false);
    EXPECT_EQ(names(table).size(), 3u);
}

TEST_F(Results, SkipStopsOnTheLastRowAndSetsAtEnd)
{
    StoreTable table("numericdb");
    openOn(table);
    for (int i = 0; i < 10; ++i) add(table, "n" + std::to_string(i), "numeric", i);
    table.GoFirst();
    table.Skip(49);
    EXPECT_TRUE(table.AtEnd());
    EXPECT_EQ(table.RowNumber(), 10);
    EXPECT_EQ(table.ReadText("NAME"), "n9");
    table.Skip(1);
    EXPECT_TRUE(table.AtEnd());
    EXPECT_EQ(table.ReadText("NAME"), "n9");
    table.Skip(-3);
    EXPECT_FALSE(table.AtEnd());
    EXPECT_EQ(table.RowNumber(), 7);
}

TEST_F(Results, BeginInsertPostsThePendingRowAndCancelDropsIt)
{
    StoreTable table("numericdb");
    openOn(table);
    for (int i = 0; i < 200; ++i) {
        table.BeginInsert();
        table.WriteValue("NAME", std::to_string(i));
    }
    if (table.EditState() != EditStates::Browse) table.PostRow();
    EXPECT_EQ(table.RowCount(), 200);
    table.BeginInsert();
    table.WriteValue("NAME", "dropped");
    table.CancelRow();
    table.BeginInsert();
    table.GoFirst();  // nothing written: cancelled, not posted
    EXPECT_EQ(table.RowCount(), 200);
    table.setActive(false);
    table.setActive(true);
    EXPECT_EQ(table.RowCount(), 200);
}

TEST_F(Results, HandleFailuresCarryTheHandleName)
{
    StoreTable table("configdb");
    EXPECT_EQ(failureOf([&] { table.setActive(true); }), "Missing table name.");
    EXPECT_EQ(failureOf([&] { table.GoFirst(); }), "configdb: Cannot perform this operation on a closed dataset");
    table.setTableName(dir.file("none.dat"));
    EXPECT_EQ(failureOf([&] { table.setActive(true); }),
              "Invalid path or file name for data file " + dir.file("none.dat"));
    EXPECT_FALSE(table.Active());
    openOn(table);
    EXPECT_EQ(failureOf([&] { table.setTableName(path); }),
              "configdb: Cannot perform this operation on an open dataset");
    EXPECT_EQ(failureOf([&] { table.ReadText("nothing"); }), "configdb: Field 'nothing' not found");
    EXPECT_EQ(failureOf([&] { table.WriteValue("NAME", "x"); }), "Dataset not in edit or insert mode");
    EXPECT_EQ(failureOf([&] { table.RemoveAllRows(); }), "Data file " + path + " must be opened exclusively");
}

TEST_F(Results, EditChangesTheRowAndMemosReadWhole)
{
    StoreTable table("resultsdb");
    openOn(table);
    add(table, "a", "alpha", 1234.50);
    EXPECT_EQ(table.ReadText("KPH"), "1234.5");
    table.BeginEdit();
    std::string log(5000, 'x');
    table.WriteValue("ERRORS", log);
    table.WriteValue("KPH", 1234.0);
    table.PostRow();
    table.setActive(false);
    table.setActive(true);
    EXPECT_EQ(table.ReadText("ERRORS"), log);
    EXPECT_EQ(table.ReadText("KPH"), "1234");
    table.DeleteRow();
    EXPECT_FALSE(table.HasRow());
    EXPECT_EQ(table.RowCount(), 0);
}

TEST_F(Results, RemoveAllRowsOnAClosedHandleOpensExclusivelyForTheCall)
{
    StoreTable table("resultsdb");
    openOn(table);
    add(table, "a", "alpha", 1);
    StoreTable other("testdb");
    other.setTableName(path);
    other.setActive(true);
    table.setActive(false);
    EXPECT_EQ(failureOf([&] { table.RemoveAllRows(); }), "Access denied to data file " + path);
    other.setActive(false);
    table.RemoveAllRows();
    EXPECT_FALSE(table.Exclusive());
    table.setActive(true);
    EXPECT_EQ(table.RowCount(), 0);
}

namespace {

struct EventLog final : TableObserver {
    std::vector<Event> events;
    void tableEvent(StoreTable&, Event event) override { events.push_back(event); }
};

}  // namespace

TEST_F(Results, ObserversHearEveryMoveAndPostButNothingWhileDisplayIsSuspended)
{
    StoreTable table("testdb");
    EventLog log;
    table.addObserver(&log);
    openOn(table);
    add(table, "a", "alpha", 1);
    using Event = TableObserver::Event;
    EXPECT_EQ(log.events, (std::vector<Event>{Event::Moved, Event::Opened, Event::EditStarted, Event::Posted}));
    log.events.clear();
    table.SuspendDisplay();
    table.SuspendDisplay();
    table.GoFirst();
    table.ResumeDisplay();
    EXPECT_TRUE(log.events.empty());
    table.ResumeDisplay();
    table.ResumeDisplay();  // none pending: nothing happens
    EXPECT_EQ(log.events, (std::vector<Event>{Event::Refreshed}));
    table.removeObserver(&log);
}

TEST_F(Results, ChangingTheOrderPostsAPendingRowAndAFailedPostKeepsIt)
{
    TableSchema schema = schemaOf({columnSchema("ID", "integer"), columnSchema("NAME", "string", 10)}, {"ID"});
    std::string keyed = dir.file("keyed.dat");
    createTable(systemFileSystem(), keyed, schema);
    StoreTable table("inv");
    table.setTableName(keyed);
    table.setActive(true);
    table.BeginInsert();
    table.WriteValue("ID", 1);
    table.setIndexName("");  // implicit post
    EXPECT_EQ(table.EditState(), EditStates::Browse);
    EXPECT_EQ(table.RowCount(), 1);
    table.BeginInsert();
    table.WriteValue("ID", 1);
    table.WriteValue("NAME", "twin");
    EXPECT_EQ(failureOf([&] { table.PostRow(); }), "Duplicate key found in index Primary of data file " + keyed);
    EXPECT_EQ(table.EditState(), EditStates::Insert);
    EXPECT_EQ(table.ReadText("NAME"), "twin");
    table.WriteValue("ID", 2);
    table.PostRow();
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(table.RowNumber(), 2);
}

TEST_F(Results, AFailedOpenLeavesTheHandleClosedWithItsSettings)
{
    StoreTable table("resultsdb");
    table.setTableName(path);
    table.setIndexName("SPEED");
    table.setFilter("TESTTYPE='alpha'");
    table.setFiltered(true);
    EXPECT_EQ(failureOf([&] { table.setActive(true); }),
              "Invalid secondary index name SPEED specified for data file " + path);
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(table.IndexName(), "SPEED");
    EXPECT_TRUE(table.Filtered());
    table.setIndexName("NAME");
    table.setActive(true);
    EXPECT_TRUE(table.Active());
}

TEST_F(Results, AnExclusiveTableWhoseChangesCannotReachTheDiskSaysSoWhenClosed)
{
    testing_support::FaultyFileSystem files;
    StoreTable table("numericdb", files);
    table.setTableName(path);
    table.setExclusive(true);
    table.setActive(true);
    add(table, "kept only in the cache", "numeric", 1);
    files.plan.arm(testing_support::Fault::DiskFull, 0);
    files.plan.only = "write";
    EXPECT_EQ(failureOf([&] { table.setActive(false); }), "not enough disk space to write " + path);
    EXPECT_FALSE(table.Active());
    files.plan.disarm();
    table.setExclusive(false);
    table.setActive(true);  // still opens
}

TEST_F(Results, VisibleRowPlaceCountsOnlyRowsTheFilterShowsInTheCurrentOrder)
{
    StoreTable table("resultsdb");
    openOn(table);
    add(table, "a", "alpha", 1);
    add(table, "b", "alphanumeric", 2);
    add(table, "c", "alpha", 3);
    table.GoLast();
    EXPECT_EQ(table.VisibleRowPlace(), 2);
    table.setIndexName("NETKPH");
    EXPECT_EQ(table.VisibleRowPlace(), 0);
    table.setFilter("TESTTYPE='alpha'");
    table.setFiltered(true);
    table.GoLast();
    EXPECT_EQ(table.ReadText("NAME"), "a");
    EXPECT_EQ(table.RowNumber(), 3);
    EXPECT_EQ(table.VisibleRowPlace(), 1);
    table.setFilter("TESTTYPE='numeric'");
    EXPECT_EQ(table.VisibleRowPlace(), -1);
}

TEST_F(Results, IndexEntriesThatNameAnotherRowOrNoneAreNotShown)
{
    StoreTable table("resultsdb");
    openOn(table);
    add(table, "a", "alpha", 1);
    add(table, "b", "alpha", 2);
    table.setActive(false);
    {
        // What a copy killed between its index and its slot writes leaves:
        // keys for slot 2 that is another row's, and for a slot never written.
        auto data = testing_support::openTable(path);
        auto& indexes = dynamic_cast<TableIndexes&>(data->indexes());
        int names = indexes.selectIndex("NAME");
        Row row = data->readRow(1);
        Key stale = indexes.keyOf(names, row.image.data());
        stale[stale.size() - 1] ^= 0x40;  // another row id
        indexes.file().insert(names, stale, 2);
        stale[stale.size() - 1] ^= 0x01;
        indexes.file().insert(names, stale, 9);
        indexes.file().writeBack();
    }
    table.setIndexName("NAME");
    table.setActive(true);
    EXPECT_EQ(table.VisibleRows({"NAME"}), (std::vector<std::vector<std::string>>{{"a"}, {"b"}}));
    std::vector<std::string> backwards;
    for (table.GoLast(); table.HasRow() && !table.AtStart(); table.GoPrior()) backwards.push_back(table.ReadText("NAME"));
    EXPECT_EQ(backwards, (std::vector<std::string>{"b", "a"}));
}

// A grid reads a page at a time, in any order of pages: each page is the
// slice of the whole read, found without moving the cursor, in every order
// with and without a filter, after deletions.
TEST_F(Results, VisibleRowsAtAPlaceAreTheSliceOfAllVisibleRowsAndLeaveTheCursor)
{
    StoreTable table("resultsdb");
    openOn(table);
    for (int number = 0; number < 600; ++number)
        add(table, "name " + std::to_string(number * 7919 % 600), number % 3 ? "alpha" : "numeric", number % 41);
    for (table.GoFirst(); !table.AtEnd(); table.Skip(4)) table.DeleteRow();
    const std::vector<std::string> columns{"NAME", "KPH"};
    for (const char* order : {"", "NAME", "NETKPH"}) {
        for (bool filtered : {false, true}) {
            table.setIndexName(order);
            table.setFilter("TESTTYPE='alpha'");
            table.setFiltered(filtered);
            table.GoToVisibleRow(5);
            const std::vector<std::string> current = {table.ReadText("NAME"), table.ReadText("KPH")};
            const std::vector<std::vector<std::string>> all = table.VisibleRows(columns);
            ASSERT_EQ(table.VisibleRowCount(), static_cast<int>(all.size())) << order << filtered;
            ASSERT_EQ(all[5], current) << order << filtered;
            const int size = static_cast<int>(all.size());
            for (int place : {size - 10, 0, 100, size / 2, 37, size - 1, size + 3}) {
                auto from = all.begin() + std::min(place, size);
                std::vector<std::vector<std::string>> slice(from, from + std::min(24, size - std::min(place, size)));
                ASSERT_EQ(table.VisibleRowsAt(place, 24, columns), slice) << order << filtered << " at " << place;
            }
            EXPECT_EQ(table.ReadText("NAME"), current[0]);
            EXPECT_EQ(table.VisibleRowPlace(), 5);
            table.GoToVisibleRow(size / 3);
            EXPECT_EQ(table.ReadText("NAME"), all[static_cast<std::size_t>(size / 3)][0]) << order << filtered;
        }
    }
}

// A handle remembers the columns it was asked for by name; opened again on a
// table with other columns, the same names must find that table's columns.
TEST_F(Results, ColumnNamesAreFoundAgainAfterTheHandleOpensAnotherTable)
{
    TableSchema schema = schemaOf({columnSchema("KPH", "integer"), columnSchema("name", "string", 10)});
    std::string other = dir.file("other.dat");
    createTable(systemFileSystem(), other, schema);
    StoreTable table("resultsdb");
    openOn(table);
    add(table, "adams", "alpha", 1234.5);
    EXPECT_EQ(table.ReadText("NAME"), "adams");
    EXPECT_EQ(table.ReadText("kph"), "1234.5");
    EXPECT_EQ(failureOf([&] { table.ReadText("SPEED"); }), "resultsdb: Field 'SPEED' not found");
    table.setActive(false);
    table.setTableName(other);
    table.setActive(true);
    table.BeginInsert();
    table.WriteValue("kph", 77);
    table.WriteValue("NAME", "baker");
    table.PostRow();
    EXPECT_EQ(table.ReadText("NAME"), "baker");
    EXPECT_EQ(table.ReadInteger("kph"), 77);
    EXPECT_EQ(failureOf([&] { table.ReadText("TESTTYPE"); }), "resultsdb: Field 'TESTTYPE' not found");
}

TEST_F(Results, FindNearestLandsOnTheFirstRowOfAValueInAnyLetterCaseOrTheNextValue)
{
    StoreTable table("resultsdb");
    openOn(table);
    for (const char* name : {"SMITH", "jones", "Smith", "smithson", "adams", "smith"}) add(table, name, "alpha", 1);
    EXPECT_THROW(table.FindNearest("smith"), StoreError);  // the table's own order has no key to search
    table.setIndexName("NAME");
    const struct {
        const char* sought;
        bool found;
        const char* landed;
    } cases[] = {{"smith", true, "SMITH"}, {"SMITHS", true, "smithson"}, {"a", true, "adams"}, {"zz", false, ""}};
    for (const auto& search : cases) {
        EXPECT_EQ(table.FindNearest(search.sought), search.found) << search.sought;
        EXPECT_EQ(table.AtEnd(), !search.found) << search.sought;
        if (search.found) {
            EXPECT_EQ(table.ReadText("NAME"), search.landed) << search.sought;
        }
    }
    table.FindNearest("smith");
    std::vector<std::string> run;
    for (; !table.AtEnd() && run.size() < 10; table.GoNext()) run.push_back(table.ReadText("NAME"));
    EXPECT_EQ(run, (std::vector<std::string>{"SMITH", "Smith", "smith", "smithson"}));  // equal names by row id
    table.setFilter("TESTTYPE='numeric'");
    table.setFiltered(true);
    EXPECT_FALSE(table.FindNearest("smith"));
}

TEST_F(Results, ARowTestNarrowsBesideTheFilterAndStaysOverACloseUntilTakenAway)
{
    StoreTable table("resultsdb");
    openOn(table);
    add(table, "ann", "alpha", 9000);
    add(table, "bob", "numeric", 7000);
    add(table, "cy", "alpha", 6000);
    add(table, "dee", "numeric", 8000);
    const auto slow = [](const std::vector<std::string>& texts) { return std::stod(texts[1]) < 8000; };
    table.setRowTest({"testtype", "KPH"}, slow);
    EXPECT_EQ(names(table), (std::vector<std::string>{"bob", "cy"}));
    EXPECT_EQ(table.VisibleRowCount(), 2);
    table.setFilter("TESTTYPE='alpha'");
    table.setFiltered(true);
    EXPECT_EQ(names(table), (std::vector<std::string>{"cy"}));
    table.setActive(false);
    table.setActive(true);
    EXPECT_EQ(table.VisibleRowsAt(0, 5, {"NAME"}), (std::vector<std::vector<std::string>>{{"cy"}}));
    // A column that cannot be judged is refused and the test in force stays.
    EXPECT_THROW(table.setRowTest({"ERRORS"}, slow), StoreError);
    EXPECT_THROW(table.setRowTest({"SPEED"}, slow), StoreError);
    EXPECT_EQ(names(table), (std::vector<std::string>{"cy"}));
    table.setRowTest({}, {});
    EXPECT_FALSE(table.RowTested());
    EXPECT_EQ(names(table), (std::vector<std::string>{"ann", "cy"}));
}
