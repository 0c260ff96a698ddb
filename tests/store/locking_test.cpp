// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/locking.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "support/faultyfilesystem.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <utility>

using namespace store;
using testing_support::FaultyFileSystem;
using testing_support::TempDir;

namespace {

// A clock whose ticks move on by a fixed step at every reading, and whose
// sleeps run a hook, so that retries can be counted without waiting.
class SteppingClock final : public LockClock {
public:
    std::int64_t now = 0;
    int step = 10;
    int sleeps = 0;
    std::function<void()> onSleep;
    std::int64_t ticks() override { return now += step; }
    void sleep(int milliseconds) override
    {
        now += milliseconds;
        ++sleeps;
        if (onSleep) onSleep();
    }
};

struct FileSet {
    std::unique_ptr<File> data, index, memo;
};

class LockingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OpenStatus status;
        for (const char* name : {"t.dat", "t.IDX", "t.BLB"}) files.create(dir.file(name), status);
    }
    FileSet openSet()
    {
        OpenStatus status;
        auto open = [&](const char* name) {
            return files.open(dir.file(name), Access::ReadWrite, Sharing::Shared, false, status);
        };
        return FileSet{open("t.dat"), open("t.IDX"), open("t.BLB")};
    }
    TempDir dir;
    FaultyFileSystem files;
    SteppingClock clock;
};

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const StoreError& error) {
        return error.what();
    }
    return "";
}

// The lock regions as the table files' layout sets them out, written out
// here rather than taken from the store's constants, so that a change of the
// bytes every copy of the program agrees on shows as a failure.
constexpr std::int64_t DataSemaphoreByte = 2147483647;
constexpr std::int64_t RowOneByte = 2147483645;                  // 2147483646 - 1
constexpr std::int64_t LastTableRow = 100000001;
constexpr std::int64_t LastTableRowByte = 2047483645;            // 2147483646 - 100000001
constexpr std::int64_t TableLockStart = 2047483645;
constexpr std::int64_t TableLockLength = 100000001;
constexpr std::int64_t WriteRegionStart = 2147418112;            // 7FFF0000
constexpr std::int64_t WriteRegionLength = 65535;
constexpr std::int64_t HighestReaderByte = 2147483646;           // 2147483647 - 1
constexpr std::int64_t LowestReaderByte = 2147418113;            // 2147483647 - 65534

using Region = std::pair<std::int64_t, std::int64_t>;  // start, length

// A lock of the test's own on a table file, through an open file of its own,
// so that it meets the store's locks as another copy's would.
class LockProbe {
public:
    explicit LockProbe(const std::string& path) : descriptor_(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {}
    ~LockProbe()
    {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    LockProbe(const LockProbe&) = delete;
    LockProbe& operator=(const LockProbe&) = delete;

    // The lock another open file holds within the range (length 0: to the
    // end of all offsets), if any.
    std::optional<Region> heldWithin(std::int64_t start, std::int64_t length) const
    {
        struct flock query = rangeOf(F_WRLCK, start, length);
        if (::fcntl(descriptor_, F_OFD_GETLK, &query) != 0) ADD_FAILURE() << "F_OFD_GETLK failed";
        if (query.l_type == F_UNLCK) return std::nullopt;
        return Region{query.l_start, query.l_len};
    }
    std::optional<Region> heldAnywhere() const { return heldWithin(0, 0); }
    bool take(std::int64_t start, std::int64_t length)
    {
        struct flock region = rangeOf(F_WRLCK, start, length);
        return ::fcntl(descriptor_, F_OFD_SETLK, &region) == 0;
    }
    void drop(std::int64_t start, std::int64_t length)
    {
        struct flock region = rangeOf(F_UNLCK, start, length);
        ::fcntl(descriptor_, F_OFD_SETLK, &region);
    }

private:
    static struct flock rangeOf(short type, std::int64_t start, std::int64_t length)
    {
        struct flock region {};
        region.l_type = type;
        region.l_whence = SEEK_SET;
        region.l_start = start;
        region.l_len = length;
        return region;
    }
    int descriptor_;
};

}  // namespace

TEST_F(LockingTest, ARowLockedElsewhereIsTriedOnePlusRetryCountTimesThenRefused)
{
    FileSet first = openSet(), second = openSet();
    TableLocks mine("t.dat", *first.data, *first.index, first.memo.get(), true, clock);
    TableLocks theirs("t.dat", *second.data, *second.index, second.memo.get(), true, clock);
    theirs.lockRow(7, 15, 100);
    long before = files.plan.calls;
    std::int64_t start = clock.now;
    EXPECT_EQ(messageOf([&] { mine.lockRow(7, 15, 100); }), "Record in data file t.dat is in use by another user");
    EXPECT_EQ(files.plan.calls - before, 16);
    EXPECT_GT(clock.now - start, 15 * 100);
    EXPECT_EQ(clock.sleeps, 0) << "the row pause is a busy wait, not a sleep";

    mine.lockRow(8, 15, 100);  // another row is free
    theirs.unlockRow(7);
    mine.lockRow(7, 15, 100);
    EXPECT_TRUE(mine.holdsRow(7));
    before = files.plan.calls;
    mine.lockRow(7, 15, 100);  // held already: no second lock
    EXPECT_EQ(files.plan.calls, before);
}

TEST_F(LockingTest, AReaderHoldingItsByteMakesTheWriterWaitUntilItLetsGo)
{
    FileSet reader = openSet(), writer = openSet();
    TableLocks reading("t.dat", *reader.data, *reader.index, reader.memo.get(), true, clock);
    TableLocks writing("t.dat", *writer.data, *writer.index, writer.memo.get(), true, clock);
    reading.lockRead();
    clock.onSleep = [&] {
        if (clock.sleeps == 5) reading.unlockRead();
    };
    writing.lockWrite();
    EXPECT_EQ(clock.sleeps, 5);
    clock.onSleep = nullptr;
    // And no reader gets in while the writer holds its regions.
    clock.sleeps = 0;
    EXPECT_EQ(messageOf([&] { reading.lockRead(); }), "General lock failure with data file t.dat");
    EXPECT_EQ(clock.sleeps, PageLockTries);
    writing.unlockWrite();
    reading.lockRead();
    reading.unlockRead();
}

TEST_F(LockingTest, ChangeCheckRunsAfterOutermostReadAndEveryWriteLock)
{
    FileSet set = openSet();
    TableLocks locks("t.dat", *set.data, *set.index, set.memo.get(), true, clock);
    int checks = 0;
    locks.setChangeCheck([&] { ++checks; });
    locks.lockRead();
    locks.lockRead();
    locks.unlockRead();
    locks.unlockRead();
    EXPECT_EQ(checks, 1);
    locks.lockWrite();
    locks.lockRead();  // implied by the write lock
    locks.unlockRead();
    locks.unlockWrite();
    EXPECT_EQ(checks, 2);
}

TEST_F(LockingTest, WriteLockKeepsOwnReadLockWholeAfterwards)
{
    FileSet mine = openSet(), other = openSet();
    TableLocks locks("t.dat", *mine.data, *mine.index, mine.memo.get(), true, clock);
    TableLocks writer("t.dat", *other.data, *other.index, other.memo.get(), true, clock);
    locks.lockRead();
    locks.lockWrite();
    locks.unlockWrite();
    // Still reading: another writer must not get in.
    clock.sleeps = 0;
    EXPECT_EQ(messageOf([&] { writer.lockWrite(); }), "General lock failure with data file t.dat");
    locks.unlockRead();
    writer.lockWrite();
    writer.unlockWrite();
}

TEST_F(LockingTest, TableLockAndCloseReleaseEverything)
{
    FileSet first = openSet(), second = openSet();
    {
        TableLocks holder("t.dat", *first.data, *first.index, first.memo.get(), true, clock);
        holder.lockRow(3, 15, 100);
        holder.lockWrite();
        holder.lockRead();
        TableLocks other("t.dat", *second.data, *second.index, second.memo.get(), true, clock);
        EXPECT_EQ(messageOf([&] { other.lockTable(2, 100); }),
                  "The data file t.dat is already locked by another user");
        holder.releaseAll();
        other.lockTable(0, 100);
        other.unlockTable();
    }
    TableLocks after("t.dat", *second.data, *second.index, second.memo.get(), true, clock);
    after.lockWrite();
    after.lockRow(3, 0, 100);
}

TEST_F(LockingTest, DisabledLocksNeverTouchTheFiles)
{
    FileSet set = openSet();
    TableLocks locks("t.dat", *set.data, *set.index, set.memo.get(), false, clock);
    long before = files.plan.calls;
    locks.lockRead();
    locks.lockWrite();
    locks.lockRow(1, 15, 100);
    locks.lockTable(15, 100);
    locks.unlockWrite();
    locks.unlockRead();
    EXPECT_EQ(files.plan.calls, before);
}

TEST_F(LockingTest, RowOneAndTheLastRowLockTheirOwnBytesWhichTheTableLockCovers)
{
    FileSet set = openSet();
    TableLocks locks("t.dat", *set.data, *set.index, set.memo.get(), true, clock);
    LockProbe other(dir.file("t.dat"));
    const std::string rowRefused = "Record in data file t.dat is in use by another user";
    const std::string tableRefused = "The data file t.dat is already locked by another user";
    for (auto [slot, byte] : {std::pair{std::int32_t{1}, RowOneByte}, std::pair{std::int32_t{LastTableRow}, LastTableRowByte}}) {
        SCOPED_TRACE("row " + std::to_string(slot));
        locks.lockRow(slot, 0, 100);
        EXPECT_EQ(other.heldAnywhere(), Region(byte, 1));
        EXPECT_FALSE(other.take(TableLockStart, TableLockLength));
        locks.unlockRow(slot);
        EXPECT_EQ(other.heldAnywhere(), std::nullopt);

        ASSERT_TRUE(other.take(byte, 1));
        EXPECT_EQ(messageOf([&] { locks.lockRow(slot, 0, 100); }), rowRefused);
        EXPECT_EQ(messageOf([&] { locks.lockTable(0, 100); }), tableRefused);
        other.drop(byte, 1);
    }

    // Against another copy's table lock: the rows it covers are refused, the
    // row after the last one it covers is not.
    ASSERT_TRUE(other.take(TableLockStart, TableLockLength));
    EXPECT_EQ(messageOf([&] { locks.lockRow(1, 0, 100); }), rowRefused);
    EXPECT_EQ(messageOf([&] { locks.lockRow(LastTableRow, 0, 100); }), rowRefused);
    locks.lockRow(LastTableRow + 1, 0, 100);
    EXPECT_EQ(other.heldWithin(LastTableRowByte - 1, 1), Region(LastTableRowByte - 1, 1));
    locks.unlockRow(LastTableRow + 1);
    other.drop(TableLockStart, TableLockLength);

    locks.lockTable(0, 100);
    EXPECT_EQ(other.heldAnywhere(), Region(TableLockStart, TableLockLength));
    EXPECT_TRUE(other.take(LastTableRowByte - 1, 1));
    EXPECT_TRUE(other.take(RowOneByte + 1, 1));
    EXPECT_TRUE(other.take(DataSemaphoreByte, 1));
}

TEST_F(LockingTest, ReaderBytesLieWithinTheWriteRegionsAndAWriterWaitsForEitherEndOfThem)
{
    FileSet set = openSet();
    TableLocks locks("t.dat", *set.data, *set.index, set.memo.get(), true, clock);
    LockProbe data(dir.file("t.dat")), index(dir.file("t.IDX")), memo(dir.file("t.BLB"));
    for (int round = 0; round < 50; ++round) {
        locks.lockRead();
        for (LockProbe* file : {&index, &memo}) {
            std::optional<Region> reader = file->heldAnywhere();
            ASSERT_TRUE(reader);
            EXPECT_EQ(reader->second, 1);
            EXPECT_GE(reader->first, LowestReaderByte);
            EXPECT_LE(reader->first, HighestReaderByte);
            EXPECT_FALSE(file->take(WriteRegionStart, WriteRegionLength));
        }
        EXPECT_EQ(data.heldAnywhere(), std::nullopt);
        locks.unlockRead();
    }

    // Another copy's reader on the highest byte of the index file, then on
    // the lowest of the memo file: the write lock waits for each to let go.
    for (auto [file, byte] : {std::pair{&index, HighestReaderByte}, std::pair{&memo, LowestReaderByte}}) {
        ASSERT_TRUE(file->take(byte, 1));
        clock.sleeps = 0;
        clock.onSleep = [&, file = file, byte = byte] {
            if (clock.sleeps == 3) file->drop(byte, 1);
        };
        locks.lockWrite();
        clock.onSleep = nullptr;
        EXPECT_EQ(clock.sleeps, 3);
        EXPECT_EQ(data.heldAnywhere(), Region(DataSemaphoreByte, 1));
        EXPECT_EQ(index.heldAnywhere(), Region(WriteRegionStart, WriteRegionLength));
        EXPECT_EQ(memo.heldAnywhere(), Region(WriteRegionStart, WriteRegionLength));
        locks.unlockWrite();
    }

    // While another copy writes, no read lock is had, however long it tries.
    ASSERT_TRUE(index.take(WriteRegionStart, WriteRegionLength));
    clock.sleeps = 0;
    EXPECT_EQ(messageOf([&] { locks.lockRead(); }), "General lock failure with data file t.dat");
    EXPECT_EQ(clock.sleeps, PageLockTries);
    index.drop(WriteRegionStart, WriteRegionLength);
    ASSERT_TRUE(data.take(DataSemaphoreByte, 1));
    EXPECT_EQ(messageOf([&] { locks.lockWrite(); }), "General lock failure with data file t.dat");
}

// A shared table of one NAME column, open, that tries a row lock once.
class TableLockBytes : public ::testing::Test {
protected:
    void SetUp() override
    {
        using testing_support::columnSchema;
        createTable(systemFileSystem(), path, testing_support::schemaOf({columnSchema("NAME", "string", 20)}));
        table.setTableName(path);
        table.setLockRetryCount(0);
        table.setActive(true);
    }
    void post(const std::string& name)
    {
        table.BeginInsert();
        table.WriteValue("NAME", name);
        table.PostRow();
    }
    TempDir dir;
    const std::string path = dir.file("t.dat");
    StoreTable table{"Results"};
};

// The same bytes through a table a user edits: the lock layer is handed the
// data file, not another of the table's files.
TEST_F(TableLockBytes, EditingRowOneHoldsItsByteInTheDataFile)
{
    post("first");
    LockProbe other(path);
    table.GoFirst();
    table.BeginEdit();
    EXPECT_EQ(other.heldAnywhere(), Region(RowOneByte, 1));
    table.CancelRow();
    ASSERT_TRUE(other.take(RowOneByte, 1));
    EXPECT_EQ(testing_support::failureOf([&] { table.BeginEdit(); }),
              "Record in data file " + path + " is in use by another user");
}

// A new row's slot is locked while the row is written to it: another copy
// holding that slot's byte (the next slot of the file, 2) turns the post down
// with the row lock's message and nothing is stored until it lets go.
TEST_F(TableLockBytes, AppendingHoldsTheByteOfTheSlotItTakes)
{
    post("first");
    constexpr std::int64_t RowTwoByte = 2147483644;  // 2147483646 - 2
    LockProbe other(path);
    ASSERT_TRUE(other.take(RowTwoByte, 1));
    EXPECT_EQ(testing_support::failureOf([&] { post("second"); }),
              "Record in data file " + path + " is in use by another user");
    table.CancelRow();
    EXPECT_EQ(table.RowCount(), 1);
    other.drop(RowTwoByte, 1);
    post("second");
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(other.heldAnywhere(), std::nullopt);
}
