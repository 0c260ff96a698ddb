// SPDX-License-Identifier: GPL-3.0-or-later
// What a shared post asks of the disk: a table opened without write-through
// leaves every write to the system's cache, one opened write-through flushes
// at each of the journal's durability points, in their order.

#include "store/storetable.h"
#include "store/indexheader.h"
#include "store/journal.h"
#include "store/tablecheck.h"
#include "support/faultyfilesystem.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

using namespace store;
using namespace testing_support;

namespace {

class SharedPostDurability : public ::testing::Test {
protected:
    void SetUp() override
    {
        createNamesTable(path);
    }

    void open(StoreTable& table, bool writeThrough)
    {
        table.setTableName(path);
        table.setForceBufferFlush(writeThrough);
        table.setActive(true);
    }

    static void post(StoreTable& table, int number)
    {
        table.BeginInsert();
        table.WriteValue("NAME", "typist " + std::to_string(number));
        table.WriteValue("KPH", 1000 * number);
        table.WriteValue("ERRORS", std::string(300, static_cast<char>('a' + number)));
        table.PostRow();
    }

    int rowCount()
    {
        StoreTable table("Results");
        open(table, false);
        return table.RowCount();
    }

    // The place of the first traced call of the kind on the file, or of the
    // last one when last is set; -1 when there is none.
    static long placeOf(const std::vector<std::string>& trace, const std::string& call, bool last = false)
    {
        long found = -1;
        for (std::size_t place = 0; place < trace.size() && (last || found < 0); ++place)
            if (trace[place] == call) found = static_cast<long>(place);
        return found;
    }

    TempDir dir;
    std::string path = dir.file("t.dat");
    std::string index = dir.file("t.IDX");
    std::string memo = dir.file("t.BLB");
    std::string journal = dir.file("t.JNL");
    std::string spare = dir.file("t.JNS");
};

TEST_F(SharedPostDurability, WithoutWriteThroughAPostFlushesNothing)
{
    FaultyFileSystem counting;
    StoreTable table("Results", counting);
    open(table, false);
    for (int number = 1; number <= 3; ++number) post(table, number);
    EXPECT_EQ(counting.plan.callsOf["flush"], 0);
    EXPECT_GT(counting.plan.callsOf["write"], 0);
    table.setActive(false);
    EXPECT_FALSE(systemFileSystem().exists(journal));
    EXPECT_FALSE(systemFileSystem().exists(spare));
    EXPECT_EQ(rowCount(), 3);
}

// The first post makes the journal; the next ones rename the one the post
// before left as the spare into place, once its records are on the disk.
TEST_F(SharedPostDurability, AWriteThroughPostFlushesTheJournalBeforeTheTableAndTheTableBeforeTheJournalGoes)
{
    FaultyFileSystem counting;
    StoreTable table("Results", counting);
    open(table, true);
    counting.plan.tracing = true;
    for (int number = 1; number <= 2; ++number) {
        SCOPED_TRACE("post " + std::to_string(number));
        counting.plan.trace.clear();
        post(table, number);
        const std::vector<std::string>& trace = counting.plan.trace;
        const std::string records = number == 1 ? journal : spare;
        long journalFlush = placeOf(trace, "flush " + records);
        long folderFlush = placeOf(trace, "flush " + dir.path().string());
        long gone = placeOf(trace, "rename " + journal);
        ASSERT_GE(journalFlush, 0);
        ASSERT_GT(folderFlush, journalFlush);
        if (number > 1) {
            EXPECT_GT(placeOf(trace, "rename " + spare), journalFlush);
            EXPECT_LT(placeOf(trace, "rename " + spare), folderFlush);
        }
        ASSERT_GT(gone, folderFlush);
        for (const std::string& file : {path, index, memo}) {
            SCOPED_TRACE(file);
            long firstWrite = placeOf(trace, "write " + file);
            long lastWrite = placeOf(trace, "write " + file, true);
            long flush = placeOf(trace, "flush " + file);
            ASSERT_GE(firstWrite, 0);
            EXPECT_GT(firstWrite, folderFlush);
            EXPECT_GT(flush, lastWrite);
            EXPECT_LT(flush, gone);
            EXPECT_EQ(std::count(trace.begin(), trace.end(), "flush " + file), 1);
        }
        // The journal's going is on the disk before the post returns.
        EXPECT_GT(placeOf(trace, "flush " + dir.path().string(), true), gone);
        // A new journal is flushed twice, its records before the header
        // that counts them; a reused spare has them on the disk before its
        // rename.
        EXPECT_EQ(std::count_if(trace.begin(), trace.end(),
                                [](const std::string& call) { return call.starts_with("flush "); }),
                  number == 1 ? 7 : 6);
        // The folder, opened for the first post's flushes, stays open.
        EXPECT_EQ(std::count(trace.begin(), trace.end(), "open " + dir.path().string()), number == 1 ? 1 : 0);
    }
    table.setActive(false);
    EXPECT_FALSE(systemFileSystem().exists(spare));
    EXPECT_EQ(rowCount(), 2);
}

// A journal whose header is a later write-back's and whose records are
// still an earlier one's: none of those records may roll back the later
// post. It is damage, kept and reported, until it is set aside.
TEST_F(SharedPostDurability, RecordsOfAnEarlierJournalNeverCheckOutUnderALaterHeader)
{
    StoreTable table("Results");
    open(table, true);
    post(table, 1);
    const std::vector<std::uint8_t> first = readFile(spare);
    post(table, 2);
    std::vector<std::uint8_t> mixed = readFile(spare);
    table.setActive(false);
    mixed.resize(JournalHeaderSize);
    mixed.insert(mixed.end(), first.begin() + JournalHeaderSize, first.end());
    writeFile(journal, mixed);
    const std::vector<std::uint8_t> tableBefore = readFile(path);
    EXPECT_EQ(failureOf([&] { rowCount(); }),
              "the journal of " + path + " is damaged; the table may be half written: run tabletool repair");
    EXPECT_EQ(readFile(journal), mixed);
    EXPECT_EQ(readFile(path), tableBefore);
    std::filesystem::remove(journal);
    EXPECT_EQ(rowCount(), 2);
    auto data = openTable(path);
    EXPECT_EQ(checkDataFile(*data), std::vector<std::string>{});
    EXPECT_EQ(checkIndexFile(*data), std::vector<std::string>{});
}

// The pages a post changes lie next to the index header in a small table:
// the write-back joins them into one write, and the table reads back whole.
TEST_F(SharedPostDurability, WritesThatFollowOneAnotherInAFileBecomeOne)
{
    FaultyFileSystem counting;
    StoreTable table("Results", counting);
    open(table, false);
    post(table, 1);
    counting.plan.tracing = true;
    post(table, 2);
    const std::vector<std::string>& trace = counting.plan.trace;
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "write " + index), 1);
    // The new slot, then the header.
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "write " + path), 2);
    table.setActive(false);
    auto data = openTable(path);
    EXPECT_EQ(checkIndexFile(*data), std::vector<std::string>{});
    EXPECT_EQ(checkDataFile(*data), std::vector<std::string>{});
}


// The bytes read from and written to each file opened, passed on to the real file system.
class Transfers final : public FileSystem {
public:
    struct Bytes {
        std::int64_t read = 0;
        std::int64_t written = 0;
    };
    std::map<std::string, Bytes> of;

    std::unique_ptr<File> open(const std::string& path, Access access, Sharing sharing, bool writeThrough,
                               OpenStatus& status) override
    {
        auto inner = systemFileSystem().open(path, access, sharing, writeThrough, status);
        return inner ? std::make_unique<Counted>(std::move(inner), of[path]) : nullptr;
    }
    std::unique_ptr<File> create(const std::string& path, OpenStatus& status) override
    {
        return systemFileSystem().create(path, status);
    }
    bool exists(const std::string& path) override { return systemFileSystem().exists(path); }
    bool isReadOnly(const std::string& path) override { return systemFileSystem().isReadOnly(path); }
    bool remove(const std::string& path) override { return systemFileSystem().remove(path); }
    bool rename(const std::string& from, const std::string& to) override { return systemFileSystem().rename(from, to); }

private:
    struct Counted final : File {
        Counted(std::unique_ptr<File> inner, Bytes& bytes) : inner_(std::move(inner)), bytes_(bytes) {}
        std::int64_t readAt(std::int64_t at, void* data, std::int64_t size) override
        {
            return bytes_.read += size, inner_->readAt(at, data, size);
        }
        std::int64_t writeAt(std::int64_t at, const void* data, std::int64_t size) override
        {
            return bytes_.written += size, inner_->writeAt(at, data, size);
        }
        std::int64_t size() override { return inner_->size(); }
        bool truncate(std::int64_t size) override { return inner_->truncate(size); }
        bool flush() override { return inner_->flush(); }
        LockStatus lock(std::int64_t at, std::int64_t length) override { return inner_->lock(at, length); }
        bool unlock(std::int64_t at, std::int64_t length) override { return inner_->unlock(at, length); }
        int lastError() const override { return inner_->lastError(); }
        std::unique_ptr<File> inner_;
        Bytes& bytes_;
    };
};

// The index pages and header a post changes are written from their first
// changed byte to their last, not whole: in this small table its pages lie
// beside the header, and the one write spans little more than one page where
// whole ones took the header and every page the post changed. The journal
// takes what they overwrite from the index, which holds it as the file has
// it, so all the post reads of the index file is its change counter; so
// too for the headers of the data and memo files.
TEST_F(SharedPostDurability, APostWritesOfTheIndexOnlyWhatItChangedAndReadsNoneOfItBack)
{
    Transfers files;
    StoreTable table("Results", files);
    open(table, false);
    post(table, 1);
    for (auto& [file, bytes] : files.of) bytes = Transfers::Bytes();
    post(table, 2);
    EXPECT_GT(files.of[spare].written, 0);
    EXPECT_GT(files.of[index].written, 0);
    EXPECT_LT(files.of[index].written, 2 * IndexPageSize);
    EXPECT_LT(files.of[index].read, IndexPageSize);
    EXPECT_LT(files.of[path].read + files.of[memo].read, DataHeaderSize);  // nor of the data and memo headers
    table.setActive(false);
    EXPECT_EQ(checkIndexFile(*openTable(path)), std::vector<std::string>{});
}

// The lengths a post's journal records are those its last post left, while
// no other copy wrote: no file is asked for its length.
TEST_F(SharedPostDurability, APostAfterItsOwnAsksNoFileItsLength)
{
    FaultyFileSystem counting;
    StoreTable table("Results", counting);
    open(table, false);
    post(table, 1);
    counting.plan.callsOf.clear();
    post(table, 2);
    EXPECT_EQ(counting.plan.callsOf["size"], 0);
}

// Once another copy has posted, the lengths are asked again: a rollback
// cuts each file back to what the journal recorded, and a length from
// before the other copy's post would cut its row off.
TEST_F(SharedPostDurability, ARolledBackPostAfterAnotherCopysKeepsThatCopysRow)
{
    FaultyFileSystem faulty;
    StoreTable first("Results", faulty);
    open(first, false);
    post(first, 1);
    StoreTable second("Results");
    open(second, false);
    post(second, 2);
    faulty.plan.only = "write";
    faulty.plan.arm(Fault::Error, 1);  // after the journal's write, the first write of the table
    EXPECT_ANY_THROW(post(first, 3));
    faulty.plan.disarm();
    first.CancelRow();
    first.setActive(false);
    second.setActive(false);
    auto data = openTable(path);
    EXPECT_EQ(checkDataFile(*data), std::vector<std::string>{});
    EXPECT_EQ(checkIndexFile(*data), std::vector<std::string>{});
    EXPECT_EQ(data->slotCount(), 2);
}

// A post whose write-back failed and was rolled back leaves the disk as it
// was, whatever the write-back had sent off: the same post again must write
// all it changes, although its pages come out as those of the failed one.
TEST_F(SharedPostDurability, APostRepeatedAfterARolledBackOneReachesTheIndexWhole)
{
    FaultyFileSystem faulty;
    StoreTable table("Results", faulty);
    open(table, false);
    post(table, 1);
    faulty.plan.only = "write";
    faulty.plan.arm(Fault::Error, 0);
    EXPECT_ANY_THROW(post(table, 2));
    faulty.plan.disarm();
    table.CancelRow();
    post(table, 2);
    table.setActive(false);
    auto data = openTable(path);
    EXPECT_EQ(checkIndexFile(*data), std::vector<std::string>{});
    EXPECT_EQ(rowCount(), 2);
}

}  // namespace
