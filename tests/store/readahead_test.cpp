#include "store/createtable.h"
#include "store/datafile.h"
#include "store/storetable.h"
#include "support/tables.h"
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

namespace {

// Passes everything to the real file system and notes the reads of one file.
class ReadRecorder final : public FileSystem {
public:
    struct Read {
        std::int64_t offset;
        std::int64_t size;
    };

    explicit ReadRecorder(std::string watched) : watched_(std::move(watched)) {}
    std::vector<Read> reads;

    std::unique_ptr<File> open(const std::string& path, Access access, Sharing sharing, bool writeThrough,
                               OpenStatus& status) override
    {
        auto inner = systemFileSystem().open(path, access, sharing, writeThrough, status);
        if (!inner || path != watched_) return inner;
        return std::make_unique<Recorded>(std::move(inner), reads);
    }
    std::unique_ptr<File> create(const std::string& path, OpenStatus& status) override
    {
        return systemFileSystem().create(path, status);
    }
    bool exists(const std::string& path) override { return systemFileSystem().exists(path); }
    bool isReadOnly(const std::string& path) override { return systemFileSystem().isReadOnly(path); }
    bool remove(const std::string& path) override { return systemFileSystem().remove(path); }

private:
    class Recorded final : public File {
    public:
        Recorded(std::unique_ptr<File> inner, std::vector<Read>& reads) : inner_(std::move(inner)), reads_(reads) {}
        std::int64_t readAt(std::int64_t offset, void* data, std::int64_t size) override
        {
            reads_.push_back({offset, size});
            return inner_->readAt(offset, data, size);
        }
        std::int64_t writeAt(std::int64_t offset, const void* data, std::int64_t size) override
        {
            return inner_->writeAt(offset, data, size);
        }
        std::int64_t size() override { return inner_->size(); }
        bool truncate(std::int64_t size) override { return inner_->truncate(size); }
        bool flush() override { return inner_->flush(); }
        LockStatus lock(std::int64_t offset, std::int64_t length) override { return inner_->lock(offset, length); }
        bool unlock(std::int64_t offset, std::int64_t length) override { return inner_->unlock(offset, length); }
        int lastError() const override { return inner_->lastError(); }

    private:
        std::unique_ptr<File> inner_;
        std::vector<Read>& reads_;
    };

    std::string watched_;
};

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
    void expectWalkReadsEachSlotOnce(bool forward)
    {
        ReadRecorder recorder(path);
        StoreTable table("resultsdb", recorder);
        table.setTableName(path);
        table.setIndexName("KPH");
        table.setActive(true);
        auto data = testing_support::openTable(path);
        const std::int64_t slotsStart = DataHeaderSize + ColumnDefinitionSize * 2;
        const std::int64_t slotSize = data->header().slotSize;
        ASSERT_GT(static_cast<std::size_t>(Rows), data->slotCacheCapacity());

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
        for (const ReadRecorder::Read& each : recorder.reads) {
            if (each.offset < slotsStart) continue;  // the header's change counter
            ASSERT_EQ((each.offset - slotsStart) % slotSize, 0);
            ASSERT_EQ(each.size % slotSize, 0);
            std::int64_t first = (each.offset - slotsStart) / slotSize + 1;
            for (std::int64_t slot = first; slot < first + each.size / slotSize; ++slot)
                EXPECT_TRUE(read.insert(slot).second) << "slot " << slot << " read twice";
        }
        // Only the rows the opening read ahead were cached before the walk.
        EXPECT_GE(read.size(), static_cast<std::size_t>(Rows - data->readAheadCount()));
    }
};

TEST_F(ReadAhead, WalkInIndexOrderReadsTheSlotsItThenUses)
{
    expectWalkReadsEachSlotOnce(true);
    expectWalkReadsEachSlotOnce(false);
}

}  // namespace
