// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/datafile.h"
#include "store/memofile.h"
#include "store/storeerror.h"
#include "support/faultyfilesystem.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace store;
using namespace testing_support;

namespace {

// A table of a name and two memo columns with 512-byte blocks (494 data bytes each).
class MemoTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        createTable(systemFileSystem(), path,
                    schemaOf({columnSchema("NAME", "string", 10), columnSchema("M", "memo"), columnSchema("B", "binary")}));
    }
    std::unique_ptr<DataFile> open(bool repair = false, Sharing sharing = Sharing::Shared)
    {
        DataFileOptions options;
        options.repairMemo = repair;
        options.mode.sharing = sharing;
        return DataFile::open(systemFileSystem(), path, options);
    }
    std::int32_t add(DataFile& data, const std::string& memoText)
    {
        Row row = data.newRow();
        data.setValue(row, 1, std::string("r"));
        data.writeBlob(row, 2, memoText);
        return data.append(row);
    }
    void rewrite(DataFile& data, std::int32_t slot, const std::string& memoText)
    {
        Row row = data.readRow(slot);
        data.writeBlob(row, 2, memoText);
        data.change(row);
    }
    std::int32_t firstBlock(DataFile& data, std::int32_t slot)
    {
        Row row = data.readRow(slot);
        return readI32At(row.image, data.column(2).offset + 1);
    }
    static std::int32_t readI32At(const std::vector<std::uint8_t>& bytes, std::size_t at)
    {
        return static_cast<std::int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                         static_cast<std::uint32_t>(bytes[at + 3]) << 24);
    }
    std::uintmax_t memoSize() { return std::filesystem::file_size(memo); }

    TempDir dir;
    std::string path = dir.file("m.dat");
    std::string memo = dir.file("m.BLB");
};

}  // namespace

TEST_F(MemoTable, A494ByteValueTakesOneBlockAnd495TakeTwo)
{
    auto data = open();
    EXPECT_EQ(memoSize(), 512u);
    add(*data, std::string(494, 'a'));
    EXPECT_EQ(memoSize(), 512u + 512);
    add(*data, std::string(495, 'b'));
    EXPECT_EQ(memoSize(), 512u + 3 * 512);
    EXPECT_EQ(data->readBlob(data->readRow(2), 2), std::string(495, 'b'));
    EXPECT_EQ(readI32(memo, 13), 512 + 3 * 512);  // end of file in the header
}

TEST_F(MemoTable, AnEmptyValueWritesNoBlockAndLeavesTheColumnEmpty)
{
    auto data = open();
    add(*data, "");
    EXPECT_EQ(memoSize(), 512u);
    Row row = data->readRow(1);
    EXPECT_EQ(row.image[data->column(2).offset], 0);
    EXPECT_TRUE(isEmpty(data->value(row, 2)));
    // Emptying a value that had blocks frees them.
    rewrite(*data, 1, "text");
    rewrite(*data, 1, "");
    EXPECT_EQ(data->readRow(1).image[data->column(2).offset], 0);
    EXPECT_EQ(data->memo()->header().freeHead, 512);
}

TEST_F(MemoTable, ShorteningThreeBlocksToOneFreesTwoThatTheNextValueReusesFirst)
{
    auto data = open();
    add(*data, std::string(1200, 'x'));
    std::uintmax_t grown = memoSize();
    EXPECT_EQ(grown, 512u + 3 * 512);
    rewrite(*data, 1, "short");
    EXPECT_NE(data->memo()->header().freeHead, 0);
    add(*data, std::string(900, 'y'));
    EXPECT_EQ(memoSize(), grown);
    EXPECT_EQ(data->memo()->header().freeHead, 0);
    add(*data, "z");
    EXPECT_EQ(memoSize(), grown + 512);
    data->close();
    data = open();
    EXPECT_EQ(data->readBlob(data->readRow(1), 2), "short");
    EXPECT_EQ(data->readBlob(data->readRow(2), 2), std::string(900, 'y'));
    EXPECT_EQ(data->readBlob(data->readRow(3), 2), "z");
}

TEST_F(MemoTable, DeletingARowFreesItsValuesForReuse)
{
    auto data = open();
    add(*data, std::string(1000, 'a'));
    Row row = data->readRow(1);
    data->writeBlob(row, 3, std::string(600, '\0'));
    data->change(row);
    std::uintmax_t size = memoSize();
    data->remove(1);
    add(*data, std::string(2000, 'c'));  // five blocks, all of them freed ones
    EXPECT_EQ(memoSize(), size);
    EXPECT_EQ(data->readBlob(data->readRow(2), 2), std::string(2000, 'c'));
}

TEST_F(MemoTable, ValuesAreReadAheadAndWrittenBackInRunsOfConsecutiveBlocks)
{
    {
        auto data = open();
        add(*data, std::string(100000, 'v'));
    }
    FaultyFileSystem files;
    DataFileOptions options;
    auto data = DataFile::open(files, path, options);
    Row row = data->readRow(1);
    files.plan.calls = 0;
    EXPECT_EQ(data->readBlob(row, 2).size(), 100000u);
    EXPECT_EQ(files.plan.calls, 2);  // the first block, then the other 202 in one read
    files.plan.writesTo.clear();
    add(*data, std::string(100000, 'w'));
    // memo blocks in one run, memo header, index header, slot, data header
    EXPECT_EQ(files.plan.writesTo[memo], 2);
    EXPECT_EQ(files.plan.writesTo[dir.file("m.IDX")], 1);
    EXPECT_EQ(files.plan.writesTo[path], 2);
}

TEST_F(MemoTable, AFirstBlockOfAnotherRowReadsAsEmptyButCannotBeWritten)
{
    auto data = open();
    add(*data, "mine");
    std::int32_t first = firstBlock(*data, 1);
    data->close();
    patchFile(memo, static_cast<std::size_t>(first) + blockheader::Owner, littleEndian(7, 4));
    data = open();
    Row row = data->readRow(1);
    EXPECT_TRUE(isEmpty(data->value(row, 2)));
    EXPECT_EQ(failureOf([&] { data->writeBlob(row, 2, "new"); }), "BLOB block buffers corrupt in data file " + path);
}

TEST_F(MemoTable, AChainShorterThanItsLengthEndsPrematurely)
{
    auto data = open();
    add(*data, std::string(800, 'a'));
    std::int32_t first = firstBlock(*data, 1);
    data->close();
    patchFile(memo, static_cast<std::size_t>(first) + blockheader::Next, littleEndian(0, 4));
    data = open();
    EXPECT_EQ(failureOf([&] { data->readBlob(data->readRow(1), 2); }),
              "End of blob data in data file " + path + " reached prematurely");
}

TEST_F(MemoTable, FreeingAChainIntoAnotherRowFailsOrIsCutInRepairMode)
{
    auto data = open();
    add(*data, std::string(800, 'a'));
    add(*data, std::string(800, 'b'));
    std::int32_t mine = firstBlock(*data, 1), theirs = firstBlock(*data, 2);
    data->close();
    patchFile(memo, static_cast<std::size_t>(mine) + blockheader::Next, littleEndian(theirs, 4));
    data = open();
    EXPECT_EQ(failureOf([&] { data->remove(1); }), "Invalid blob offset into data file " + path + " specified");
    EXPECT_EQ(data->slotCount(), 2);
    EXPECT_FALSE(data->isDeleted(1));
    data->close();

    data = open(true);
    data->remove(1);
    ASSERT_EQ(data->memo()->repairLog().size(), 1u);
    EXPECT_EQ(data->memo()->repairLog()[0], "Invalid intra-block pointer in BLOB file for physical record # 1, error fixed");
    EXPECT_EQ(data->readBlob(data->readRow(2), 2), std::string(800, 'b'));
}

TEST_F(MemoTable, ALoopingChainFailsOrIsCutInRepairMode)
{
    auto data = open();
    add(*data, std::string(1200, 'a'));
    std::int32_t first = firstBlock(*data, 1);
    std::int32_t second = data->memo()->blockHeader(first).next;
    data->close();
    patchFile(memo, static_cast<std::size_t>(second) + blockheader::Next, littleEndian(first, 4));
    data = open();
    EXPECT_EQ(failureOf([&] { data->readBlob(data->readRow(1), 2); }),
              "Invalid blob offset into data file " + path + " specified");
    EXPECT_EQ(failureOf([&] { data->remove(1); }), "Invalid blob offset into data file " + path + " specified");
    data->close();
    data = open(true);
    data->remove(1);
    EXPECT_EQ(data->memo()->repairLog(),
              std::vector<std::string>{"Recursive intra-block pointer in BLOB file for physical record # 1, error fixed"});
}

TEST_F(MemoTable, AtMostSixtyFourValuesAreOpenAtOnce)
{
    auto data = open();
    std::vector<Row> rows;
    for (int i = 0; i < 32; ++i) {
        rows.push_back(data->newRow());
        data->writeBlob(rows.back(), 2, "memo");
        data->writeBlob(rows.back(), 3, "blob");
    }
    Row extra = data->newRow();
    EXPECT_EQ(failureOf([&] { data->writeBlob(extra, 2, "one too many"); }),
              "Too many blobs opened in data file " + path);
    data->release(rows.front());
    EXPECT_EQ(failureOf([&] { data->writeBlob(extra, 2, "fits again"); }), "");
    EXPECT_EQ(data->memo()->openValueCount(), 63);  // the released row held two
    for (Row& row : rows) data->release(row);
    data->append(extra);
    EXPECT_EQ(data->memo()->openValueCount(), 0);
}

TEST_F(MemoTable, ABlockPinnedSixtyFourTimesRefusesAnotherPin)
{
    auto data = open();
    add(*data, "pinned");
    std::int32_t first = firstBlock(*data, 1);
    for (int i = 0; i < 64; ++i) data->memo()->pinBlock(first);
    EXPECT_EQ(failureOf([&] { data->memo()->pinBlock(first); }), "BLOB block buffers corrupt in data file " + path);
}

TEST_F(MemoTable, TheBlockCacheHoldsAtMost262140Bytes)
{
    auto data = open();
    EXPECT_EQ(data->memo()->cacheCapacity(), 262140u / 512);
    // A value larger than the cache still goes in and comes back whole.
    std::string big(600000, 'q');
    for (std::size_t i = 0; i < big.size(); i += 997) big[i] = static_cast<char>('a' + i % 26);
    add(*data, big);
    data->close();
    data = open();
    EXPECT_EQ(data->readBlob(data->readRow(1), 2), big);
}

TEST_F(MemoTable, AnExclusiveOpenKeepsChangedBlocksUntilClosed)
{
    auto data = open(false, Sharing::Exclusive);
    add(*data, std::string(1000, 'e'));
    EXPECT_EQ(memoSize(), 512u);
    data->close();
    EXPECT_EQ(memoSize(), 512u + 3 * 512);
    data = open();
    EXPECT_EQ(data->readBlob(data->readRow(1), 2), std::string(1000, 'e'));
}
