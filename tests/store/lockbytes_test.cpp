#include "store/createtable.h"
#include "store/locking.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "store/tablecheck.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace store;
using testing_support::columnSchema;
using testing_support::failureOf;
using testing_support::schemaOf;
using testing_support::TempDir;

namespace {

// The byte numbers below are written out from the file layout that every
// copy of the program shares, not taken from the code's own constants: a
// copy that locked other bytes would not keep out the copies it must.
constexpr std::int64_t WriteSemaphore = 2147483647;
constexpr std::int64_t RowOneByte = 2147483645;
constexpr std::int64_t TableLockStart = 2047483645;
constexpr std::int64_t TableLockLength = 100000001;
constexpr std::int64_t WriteRegionStart = 2147418112;
constexpr std::int64_t WriteRegionLength = 65535;
constexpr std::int64_t FirstReaderByte = 2147418113;  // 2147483647 - 65534
constexpr std::int64_t LastReaderByte = 2147483646;   // 2147483647 - 1

class LockBytes : public ::testing::Test {
protected:
    TempDir dir;

    // Makes the file first: the members below open them as they are built.
    std::unique_ptr<File> open(const char* name)
    {
        OpenStatus status;
        if (!systemFileSystem().exists(dir.file(name))) systemFileSystem().create(dir.file(name), status);
        auto file = systemFileSystem().open(dir.file(name), Access::ReadWrite, Sharing::Shared, false, status);
        if (!file) throw StoreError(std::string("cannot open ") + name);
        return file;
    }

    // Whether another open of the file could lock the region now.
    bool isFree(File& probe, std::int64_t offset, std::int64_t length)
    {
        if (probe.lock(offset, length) != LockStatus::Locked) return false;
        probe.unlock(offset, length);
        return true;
    }

    // The one byte held in the region, found by halving it; -1 when none is.
    std::int64_t heldByte(File& probe, std::int64_t offset, std::int64_t length)
    {
        if (isFree(probe, offset, length)) return -1;
        while (length > 1) {
            std::int64_t half = length / 2;
            if (isFree(probe, offset, half)) offset += half, length -= half;
            else length = half;
        }
        return offset;
    }

    std::unique_ptr<File> data = open("t.dat"), index = open("t.IDX"), memo = open("t.BLB");
    std::unique_ptr<File> dataProbe = open("t.dat"), indexProbe = open("t.IDX"), memoProbe = open("t.BLB");
    TableLocks locks{"t.dat", *data, *index, memo.get(), true};
};

TEST_F(LockBytes, RowLocksTakeTheirBytesCountedDownFromTheSemaphoreAndMeetTheTableLock)
{
    locks.lockRow(1, 0, 0);
    EXPECT_EQ(heldByte(*dataProbe, TableLockStart, TableLockLength), RowOneByte);
    EXPECT_TRUE(isFree(*dataProbe, WriteSemaphore, 1));

    TableLocks other("t.dat", *dataProbe, *indexProbe, memoProbe.get(), true);
    EXPECT_EQ(failureOf([&] { other.lockTable(0, 0); }), "The data file t.dat is already locked by another user");
    locks.unlockRow(1);

    // The last slot a table can have, and the last one the table lock covers.
    for (std::int32_t slot : {100000000, 100000001}) {
        SCOPED_TRACE(slot);
        locks.lockRow(slot, 0, 0);
        EXPECT_EQ(heldByte(*dataProbe, TableLockStart, TableLockLength), 2147483646 - slot);
        EXPECT_EQ(failureOf([&] { other.lockTable(0, 0); }), "The data file t.dat is already locked by another user");
        locks.unlockRow(slot);
    }
    locks.lockRow(100000002, 0, 0);
    EXPECT_EQ(failureOf([&] { other.lockTable(0, 0); }), "");
    other.unlockTable();
    locks.unlockRow(100000002);

    other.lockTable(0, 0);
    EXPECT_EQ(failureOf([&] { locks.lockRow(1, 0, 0); }), "Record in data file t.dat is in use by another user");
    EXPECT_EQ(failureOf([&] { locks.lockRow(100000001, 0, 0); }),
              "Record in data file t.dat is in use by another user");
}

TEST_F(LockBytes, EveryReaderByteLiesInsideTheWriteRegionAndTheWriterTakesItAll)
{
    for (int round = 0; round < 200; ++round) {
        locks.lockRead(false);
        for (File* probe : {indexProbe.get(), memoProbe.get()}) {
            std::int64_t byte = heldByte(*probe, WriteRegionStart, WriteRegionLength + 1);
            ASSERT_GE(byte, FirstReaderByte);
            ASSERT_LE(byte, LastReaderByte);
        }
        locks.unlockRead();
    }
    EXPECT_TRUE(isFree(*indexProbe, WriteRegionStart, WriteRegionLength + 1));

    locks.lockWrite();
    EXPECT_FALSE(isFree(*dataProbe, WriteSemaphore, 1));
    for (File* probe : {indexProbe.get(), memoProbe.get()}) {
        EXPECT_FALSE(isFree(*probe, WriteRegionStart, 1));
        EXPECT_FALSE(isFree(*probe, LastReaderByte, 1));
        EXPECT_TRUE(isFree(*probe, WriteRegionStart + WriteRegionLength, 1));
    }
    locks.unlockWrite();
    EXPECT_TRUE(isFree(*dataProbe, WriteSemaphore, 1));
}

// A FileSystem whose files all stop answering, as if their process had
// died, right after the data file's header was written; closing still lets
// go of everything, as the end of a process does.
class DyingFileSystem final : public FileSystem {
public:
    explicit DyingFileSystem(std::string dataFile) : dataFile_(std::move(dataFile)) {}
    bool dead = false;
    bool armed = false;

    std::unique_ptr<File> open(const std::string& path, Access access, Sharing sharing, bool writeThrough,
                               OpenStatus& status) override
    {
        if (dead) {
            status = OpenStatus::OtherError;
            return nullptr;
        }
        auto inner = systemFileSystem().open(path, access, sharing, writeThrough, status);
        return inner ? std::make_unique<Dying>(std::move(inner), *this, path == dataFile_) : nullptr;
    }
    std::unique_ptr<File> create(const std::string& path, OpenStatus& status) override
    {
        return systemFileSystem().create(path, status);
    }
    bool exists(const std::string& path) override { return systemFileSystem().exists(path); }
    bool isReadOnly(const std::string& path) override { return systemFileSystem().isReadOnly(path); }
    bool remove(const std::string& path) override { return systemFileSystem().remove(path); }

private:
    class Dying final : public File {
    public:
        Dying(std::unique_ptr<File> inner, DyingFileSystem& owner, bool isData)
            : inner_(std::move(inner)), owner_(owner), isData_(isData)
        {
        }
        std::int64_t readAt(std::int64_t offset, void* data, std::int64_t size) override
        {
            return owner_.dead ? -1 : inner_->readAt(offset, data, size);
        }
        std::int64_t writeAt(std::int64_t offset, const void* data, std::int64_t size) override
        {
            if (owner_.dead) return -1;
            std::int64_t written = inner_->writeAt(offset, data, size);
            if (owner_.armed && isData_ && offset == 0 && size == DataHeaderSize) owner_.dead = true;
            return written;
        }
        std::int64_t size() override { return owner_.dead ? -1 : inner_->size(); }
        bool truncate(std::int64_t size) override { return !owner_.dead && inner_->truncate(size); }
        bool flush() override { return !owner_.dead && inner_->flush(); }
        LockStatus lock(std::int64_t offset, std::int64_t length) override
        {
            return owner_.dead ? LockStatus::Failed : inner_->lock(offset, length);
        }
        bool unlock(std::int64_t offset, std::int64_t length) override
        {
            return !owner_.dead && inner_->unlock(offset, length);
        }
        int lastError() const override { return owner_.dead ? EIO : inner_->lastError(); }

    private:
        std::unique_ptr<File> inner_;
        DyingFileSystem& owner_;
        bool isData_;
    };

    std::string dataFile_;
};

class DyingWriter : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("results.dat");

    void SetUp() override
    {
        TableSchema schema = schemaOf({columnSchema("NAME", "string", 20), columnSchema("ERRORS", "memo")});
        IndexSchema names;
        names.name = "NAME";
        names.columns = {"NAME"};
        schema.indexes = {names};
        createTable(systemFileSystem(), path, schema);
        StoreTable table("resultsdb");
        table.setTableName(path);
        table.setActive(true);
        for (const char* name : {"ann", "bob", "cy"}) {
            table.BeginInsert();
            post(table, name, std::string(700, name[0]));
        }
    }

    static void post(StoreTable& table, const std::string& name, const std::string& errors)
    {
        table.WriteValue("NAME", name);
        table.WriteValue("ERRORS", errors);
        table.PostRow();
    }

    // Runs one operation in a shared open whose files all die right after
    // its data header is written, then checks that the next opener finds the
    // table whole: as the operation left it, or as it was before, never a mix.
    void dieDuring(const std::function<void(StoreTable&)>& operation, const std::vector<std::string>& after)
    {
        const std::vector<std::string> before = {"ann", "bob", "cy"};
        DyingFileSystem files(path);
        {
            StoreTable writer("resultsdb", files);
            writer.setTableName(path);
            writer.setIndexName("NAME");
            writer.setActive(true);
            files.armed = true;
            try {
                operation(writer);
            } catch (const StoreError&) {
                // What the dying copy was told no longer matters.
            }
            ASSERT_TRUE(files.dead);
        }
        StoreTable next("resultsdb");
        next.setTableName(path);
        next.setIndexName("NAME");
        ASSERT_EQ(failureOf([&] { next.setActive(true); }), "");
        std::vector<std::string> names;
        for (next.GoFirst(); !next.AtEnd(); next.GoNext()) {
            names.push_back(next.ReadText("NAME"));
            EXPECT_EQ(next.ReadText("ERRORS"), std::string(700, names.back()[0]));
        }
        EXPECT_TRUE(names == after || names == before) << ::testing::PrintToString(names);
        next.setActive(false);
        auto data = testing_support::openTable(path);
        EXPECT_EQ(checkDataFile(*data), std::vector<std::string>{});
        EXPECT_EQ(checkMemoFile(*data), std::vector<std::string>{});
        EXPECT_EQ(checkIndexFile(*data), std::vector<std::string>{});
        // A writer comes after it as after any other.
        next.setActive(true);
        next.BeginInsert();
        post(next, "zed", std::string(700, 'z'));
        EXPECT_EQ(next.RowCount(), static_cast<int>(names.size()) + 1);
    }
};

TEST_F(DyingWriter, AnAppendThatDiesAfterTheDataHeaderIsFoundWholeByTheNextOpener)
{
    dieDuring([](StoreTable& writer) {
        writer.BeginInsert();
        post(writer, "dee", std::string(700, 'd'));
    }, {"ann", "bob", "cy", "dee"});
}

TEST_F(DyingWriter, AChangeThatDiesAfterTheDataHeaderIsFoundWholeByTheNextOpener)
{
    dieDuring([](StoreTable& writer) {
        writer.BeginEdit();
        post(writer, "al", std::string(700, 'a'));
    }, {"al", "bob", "cy"});
}

TEST_F(DyingWriter, ADeleteThatDiesAfterTheDataHeaderIsFoundWholeByTheNextOpener)
{
    dieDuring([](StoreTable& writer) {
        writer.GoLast();
        writer.DeleteRow();
    }, {"ann", "bob"});
}

}  // namespace
