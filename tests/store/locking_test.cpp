#include "store/locking.h"
#include "store/storeerror.h"
#include "support/faultyfilesystem.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <functional>

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
