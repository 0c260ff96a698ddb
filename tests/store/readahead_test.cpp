// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/createtable.h"
#include "store/datafile.h"
#include "store/storetable.h"
#include "support/tables.h"
#include "support/watchedfilesystem.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <random>
#include <set>

using namespace store;
using testing_support::columnSchema;
using testing_support::schemaOf;
using testing_support::TempDir;
using testing_support::WatchedFileSystem;

namespace {

// More rows than the slot cache holds, their speeds shuffled, so that the
// order of the speed index has nothing to do with the order of the slots.
class ReadAhead : public ::testing::Test {
protected:
    static constexpr int Rows = 6000;
    TempDir dir;
    std::string path = dir.file("results.dat");

    void SetUp() override
    {
        TableSchema schema = schemaOf({columnSchema("NAME", "string", 40), columnSchema("KPH", "float")});
        IndexSchema speed;
        speed.name = "KPH";
        speed.columns = {"KPH"};
        speed.columnDescending = {true};
        schema.indexes = {speed};
        createTable(systemFileSystem(), path, schema);
        std::vector<int> speeds(Rows);
        std::iota(speeds.begin(), speeds.end(), 1);
        std::shuffle(speeds.begin(), speeds.end(), std::mt19937(3));
        StoreTable table("resultsdb");
        table.setTableName(path);
        table.setExclusive(true);
        table.setActive(true);
        for (int speed : speeds) {
            table.BeginInsert();
            table.WriteValue("NAME", "row " + std::to_string(speed));
            table.WriteValue("KPH", static_cast<double>(speed));
            table.PostRow();
        }
    }

    // Walks the whole speed order in a fresh shared open and checks that the
    // data file was read for no slot twice: a slot read with others stays
    // cached until the walk comes to it.
    // Returns the reads of slots the walk made.
    std::size_t expectWalkReadsEachSlotOnce(bool forward, std::size_t exclusiveCacheBytes = 0)
    {
        auto data = testing_support::openTable(path);
        const std::int64_t slotsStart = DataHeaderSize + ColumnDefinitionSize * 2;
        const std::int64_t slotSize = data->header().slotSize;
        const std::int32_t readAheadCount = data->readAheadCount();
        if (exclusiveCacheBytes == 0) {
            EXPECT_GT(static_cast<std::size_t>(Rows), data->slotCacheCapacity());
        }
        data.reset();
        WatchedFileSystem recorder(path);
        StoreTable table("resultsdb", recorder);
        table.setTableName(path);
        table.setIndexName("KPH");
        table.setExclusive(exclusiveCacheBytes != 0);
        table.setExclusiveSlotCacheBytes(exclusiveCacheBytes);
        table.setActive(true);

        recorder.reads.clear();
        int rows = 0;
        forward ? table.GoFirst() : table.GoLast();
        for (; !(forward ? table.AtEnd() : table.AtStart()); forward ? table.GoNext() : table.GoPrior()) {
            double speed = table.ReadFloat("KPH");
            EXPECT_EQ(table.ReadText("NAME"), "row " + std::to_string(static_cast<int>(speed)));
            ++rows;
        }
        EXPECT_EQ(rows, Rows);

        std::set<std::int64_t> read;
        std::size_t slotReads = 0;
        for (const WatchedFileSystem::Read& each : recorder.reads) {
            if (each.offset < slotsStart) continue;  // the header's change counter
            ++slotReads;
            EXPECT_EQ((each.offset - slotsStart) % slotSize, 0);
            EXPECT_EQ(each.size % slotSize, 0);
            std::int64_t first = (each.offset - slotsStart) / slotSize + 1;
            for (std::int64_t slot = first; slot < first + each.size / slotSize; ++slot)
                EXPECT_TRUE(read.insert(slot).second) << "slot " << slot << " read twice";
        }
        // Only the rows the opening read ahead were cached before the walk.
        EXPECT_GE(read.size(), static_cast<std::size_t>(Rows - readAheadCount));
        return slotReads;
    }
};

TEST_F(ReadAhead, WalkInIndexOrderReadsTheSlotsItThenUses)
{
    expectWalkReadsEachSlotOnce(true);
    expectWalkReadsEachSlotOnce(false);
}

// New rows wait in the cache past the file's end: a read of the slots
// before them must not read ahead into them.
TEST_F(ReadAhead, AnExclusiveWalkAfterAnAppendReadsNoFurtherThanTheFile)
{
    StoreTable table("resultsdb");
    table.setTableName(path);
    table.setExclusive(true);
    table.setActive(true);
    table.BeginInsert();
    table.WriteValue("NAME", "new");
    table.WriteValue("KPH", 0.5);
    table.PostRow();
    int rows = 0;
    for (table.GoFirst(); !table.AtEnd(); table.GoNext()) ++rows;
    EXPECT_EQ(rows, Rows + 1);
}

// A cache asked to hold the whole table keeps the neighbours a read brings
// along, so the walk reads the file in runs rather than row by row.
TEST_F(ReadAhead, WalkWithACacheOfTheWholeTableReadsTheFileInRuns)
{
    auto data = testing_support::openTable(path);
    const std::size_t buffer = static_cast<std::size_t>(data->header().slotSize + data->header().computedArea);
    const std::size_t runs = (Rows + data->readAheadCount() - 1) / data->readAheadCount();
    data.reset();
    EXPECT_LE(expectWalkReadsEachSlotOnce(true, buffer * Rows), runs);
    // One row short of the table, and the walk reads row by row again.
    EXPECT_GT(expectWalkReadsEachSlotOnce(true, buffer * (Rows - 1)), runs);
}

}  // namespace
