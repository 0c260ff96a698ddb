// SPDX-License-Identifier: GPL-3.0-or-later
// A failure at any file call of an append, a change or a delete leaves the
// table as it was: in memory, where the same handle goes on working, and on
// disk, where the files still open, check sound and hold the same rows.

#include "store/datafile.h"
#include "store/journal.h"
#include "store/tablefiles.h"
#include "store/tableindexes.h"
#include "store/storeerror.h"
#include "store/tablecheck.h"
#include "support/faultyfilesystem.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <functional>

using namespace store;
using namespace testing_support;

namespace {

using Operation = std::function<void(DataFile&)>;

std::string memoText(std::size_t length, char fill) { return std::string(length, fill); }

// Everything a caller can see of the table, headers included.
std::vector<std::string> stateOf(DataFile& data)
{
    std::vector<std::string> lines;
    const DataHeader& header = data.header();
    lines.push_back("data " + std::to_string(header.nextSlot) + " " + std::to_string(header.deletedChain) + " " +
                    std::to_string(header.lastRowId) + " " + std::to_string(header.changeCounter));
    const MemoHeader& memo = data.memo()->header();
    lines.push_back("memo " + std::to_string(memo.freeHead) + " " + std::to_string(memo.endOfFile) + " " +
                    std::to_string(memo.changeCounter));
    lines.push_back("rows " + std::to_string(static_cast<TableIndexes&>(data.indexes()).rowCount()));
    for (std::int32_t slot = 1; slot <= data.slotCount(); ++slot) {
        Row row = data.readRow(slot);
        std::string line = row.image[slot::State] == slot::InUse ? "live" : "deleted";
        if (line == "live")
            for (const Column& column : data.columns()) line += "|" + textOf(column, data.value(row, column.number));
        lines.push_back(line);
    }
    return lines;
}

// The same without the change counters, which a later write-back moves on.
std::vector<std::string> contentOf(DataFile& data)
{
    std::vector<std::string> lines = stateOf(data);
    for (int header = 0; header < 2; ++header) lines[header].erase(lines[header].rfind(' '));
    return lines;
}

void readEverything(DataFile& data) { stateOf(data); }

class FaultyOperations : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        createTable(systemFileSystem(), path,
                    schemaOf({columnSchema("NAME", "string", 20), columnSchema("N", "integer"), columnSchema("M", "memo")},
                             keyed() ? std::vector<std::string>{"N"} : std::vector<std::string>{}));
        auto data = openTable(path);
        const std::size_t lengths[] = {1500, 300, 600, 800};
        for (int i = 0; i < 4; ++i) {
            Row row = data->newRow();
            data->setValue(row, 1, "row " + std::to_string(i + 1));
            data->setValue(row, 2, std::int64_t{i + 1});
            data->writeBlob(row, 3, memoText(lengths[i], static_cast<char>('a' + i)));
            data->append(row);
        }
        data->remove(3);
        pristineState = stateOf(*data);
        pristineContent = contentOf(*data);
        data->close();
        for (const std::string& file : files()) pristine.push_back(readFile(file));
    }

    bool keyed() const { return GetParam(); }
    // A part written or a full disk says the disk is full; any other failure
    // says which way the file failed.
    std::string messageOf(Fault fault, const std::string& call) const
    {
        if (call == "read" || call == "size") return "Error reading from data file " + path;
        bool full = fault == Fault::DiskFull ? call == "write" || call == "truncate" || call == "flush"
                                             : fault == Fault::ShortTransfer && call == "write";
        return (full ? "not enough disk space to write " : "Error writing to data file ") + path;
    }
    std::vector<std::string> files() const { return {path, dir.file("t.IDX"), dir.file("t.BLB")}; }
    void restore()
    {
        for (std::size_t i = 0; i < pristine.size(); ++i) writeFile(files()[i], pristine[i]);
    }

    long callsOf(const Operation& operation)
    {
        restore();
        FaultyFileSystem counting;
        auto data = openTable(path, Sharing::Shared, counting);
        readEverything(*data);
        counting.plan.calls = 0;
        operation(*data);
        return counting.plan.calls;
    }

    // Fails each call of the operation in turn with each kind of fault.
    void failEachCall(const Operation& operation)
    {
        long calls = callsOf(operation);
        ASSERT_GT(calls, 0);
        for (Fault fault : {Fault::Error, Fault::ShortTransfer, Fault::DiskFull})
            for (long call = 0; call < calls; ++call) {
                SCOPED_TRACE("fault " + std::to_string(static_cast<int>(fault)) + " at call " + std::to_string(call));
                failAt(operation, fault, call);
                if (HasFatalFailure()) return;
            }
    }

    void failAt(const Operation& operation, Fault fault, long call)
    {
        restore();
        FaultyFileSystem faulty;
        auto data = openTable(path, Sharing::Shared, faulty);
        readEverything(*data);
        faulty.plan.arm(fault, call);
        std::string message = failureOf([&] { operation(*data); });
        ASSERT_TRUE(faulty.plan.fired);
        EXPECT_EQ(message, messageOf(fault, faulty.plan.firedOn)) << "on " << faulty.plan.firedOn;
        faulty.plan.disarm();
        EXPECT_EQ(stateOf(*data), pristineState);
        operation(*data);  // the same handle goes on as if nothing had happened
        data.reset();

        restore();
        data = openTable(path, Sharing::Shared, faulty);
        readEverything(*data);
        faulty.plan.arm(fault, call);
        failureOf([&] { operation(*data); });
        data->close();
        auto reopened = openTable(path);
        EXPECT_EQ(stateOf(*reopened), pristineState);
        EXPECT_EQ(checkDataFile(*reopened), std::vector<std::string>{});
        EXPECT_EQ(checkMemoFile(*reopened), std::vector<std::string>{});
        operation(*reopened);
        EXPECT_EQ(checkMemoFile(*reopened), std::vector<std::string>{});
    }

    // A disk that dies at a call and comes back only later: the rollback's
    // own writes fail too, and what they could not put back reaches the
    // files at the next write-back.
    void failForGoodFromEachCall(const Operation& operation)
    {
        long calls = callsOf(operation);
        ASSERT_GT(calls, 0);
        for (long call = 0; call < calls; ++call) {
            SCOPED_TRACE("lasting fault from call " + std::to_string(call));
            restore();
            FaultyFileSystem faulty;
            auto data = openTable(path, Sharing::Shared, faulty);
            readEverything(*data);
            faulty.plan.arm(Fault::ShortTransfer, call, true);
            std::string message = failureOf([&] { operation(*data); });
            ASSERT_TRUE(faulty.plan.fired);
            EXPECT_FALSE(message.empty());
            faulty.plan.disarm();
            data->writeBack();
            data->close();
            auto reopened = openTable(path);
            EXPECT_TRUE(contentOf(*reopened) == pristineContent);
            EXPECT_EQ(checkDataFile(*reopened), std::vector<std::string>{});
            EXPECT_EQ(checkMemoFile(*reopened), std::vector<std::string>{});
        }
    }

    std::vector<std::string> contentAfter(const Operation& operation, Sharing sharing)
    {
        restore();
        auto data = openTable(path, sharing);
        operation(*data);
        data->close();
        return contentOf(*openTable(path));
    }

    // An I/O error from call N on (once, or for good), for N = 0 up to the
    // first N at which no fault fires, in an operation and the close that
    // writes an exclusive open back. Each run ends with the store's message
    // or with success, and the table, opened again, is whole and holds the
    // rows it held before, or after when the run succeeded.
    void failFromEachCall(const Operation& operation, Sharing sharing, bool forGood)
    {
        const std::vector<std::string> after = contentAfter(operation, sharing);
        for (long call = 0;; ++call) {
            SCOPED_TRACE((forGood ? "lasting fault from call " : "fault at call ") + std::to_string(call));
            restore();
            FaultyFileSystem faulty;
            auto data = openTable(path, sharing, faulty);
            readEverything(*data);
            faulty.plan.arm(Fault::Error, call, forGood);
            std::string message = failureOf([&] {
                operation(*data);
                data->close();
            });
            bool fired = faulty.plan.fired;
            faulty.plan.disarm();
            data.reset();
            if (!message.empty()) {
                EXPECT_TRUE(message == "Error reading from data file " + path ||
                            message == "Error writing to data file " + path)
                    << message;
            }
            auto reopened = openTable(path);
            EXPECT_FALSE(systemFileSystem().exists(dir.file("t.JNL")));
            EXPECT_TRUE(contentOf(*reopened) == (message.empty() ? after : pristineContent))
                << (message.empty() ? "succeeded" : message) << " with the fault on " << faulty.plan.firedOn;
            EXPECT_EQ(checkDataFile(*reopened), std::vector<std::string>{});
            EXPECT_EQ(checkMemoFile(*reopened), std::vector<std::string>{});
            if (!fired || HasFailure()) return;
        }
    }

    void failFromEachCallEveryWay(const Operation& operation, bool shared = true)
    {
        for (bool forGood : {false, true}) {
            if (shared) failFromEachCall(operation, Sharing::Shared, forGood);
            failFromEachCall(operation, Sharing::Exclusive, forGood);
        }
    }

    TempDir dir;
    std::string path = dir.file("t.dat");
    std::vector<std::vector<std::uint8_t>> pristine;
    std::vector<std::string> pristineState;
    std::vector<std::string> pristineContent;
};

Operation appending()
{
    return [](DataFile& data) {
        Row row = data.newRow();
        data.setValue(row, 1, std::string("new"));
        data.setValue(row, 2, std::int64_t{99});
        data.writeBlob(row, 3, memoText(2000, 'n'));
        try {
            data.append(row);
        } catch (...) {
            data.release(row);
            throw;
        }
    };
}

Operation changing(std::int32_t slot, std::size_t length)
{
    return [=](DataFile& data) {
        Row row = data.readRow(slot);
        data.setValue(row, 1, std::string("changed"));
        data.writeBlob(row, 3, memoText(length, 'c'));
        try {
            data.change(row);
        } catch (...) {
            data.release(row);
            throw;
        }
    };
}

Operation deleting(std::int32_t slot)
{
    return [=](DataFile& data) { data.remove(slot); };
}

Operation emptying()
{
    return [](DataFile& data) { data.empty(); };
}

}  // namespace

TEST_P(FaultyOperations, AFailedAppendLeavesTheTableAsItWas) { failEachCall(appending()); }

TEST_P(FaultyOperations, AFailedChangeThatGrowsAMemoLeavesTheTableAsItWas) { failEachCall(changing(2, 1600)); }

TEST_P(FaultyOperations, AFailedChangeThatShortensAMemoLeavesTheTableAsItWas) { failEachCall(changing(1, 100)); }

TEST_P(FaultyOperations, AFailedDeleteLeavesTheTableAsItWas) { failEachCall(deleting(4)); }

TEST_P(FaultyOperations, WhatARollbackCouldNotWriteReachesTheFilesLater)
{
    failForGoodFromEachCall(appending());
    failForGoodFromEachCall(changing(2, 1600));
    failForGoodFromEachCall(deleting(4));
}

INSTANTIATE_TEST_SUITE_P(PrimaryIndex, FaultyOperations, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WithKeyColumns" : "WithoutKeyColumns"; });

TEST_P(FaultyOperations, AnAppendLandsWholeOrNotAtAllWhereverTheDiskFails)
{
    failFromEachCallEveryWay(appending());
}

TEST_P(FaultyOperations, AChangeLandsWholeOrNotAtAllWhereverTheDiskFails)
{
    failFromEachCallEveryWay(changing(2, 1600));
    failFromEachCallEveryWay(changing(1, 100));
}

TEST_P(FaultyOperations, ADeleteLandsWholeOrNotAtAllWhereverTheDiskFails) { failFromEachCallEveryWay(deleting(4)); }

TEST_P(FaultyOperations, EmptyingLandsWholeOrNotAtAllWhereverTheDiskFails)
{
    failFromEachCallEveryWay(emptying(), false);
}

// A journal whose one record fails its checksum, under a sound header: the
// rollback must not write that record's image into the table, and the
// journal stays for repair.
TEST(JournalRollback, ARecordWhoseChecksumFailsIsNeverApplied)
{
    TempDir dir;
    const std::string path = dir.file("t.DAT");
    createNamesTable(path);
    const TableFileNames names = tableFileNames(path);
    const std::vector<std::uint8_t> before = readFile(names.data);

    std::vector<std::uint8_t> record = {tablefile::Data, journalrecord::BeforeImage, 0, 0};
    for (std::uint8_t byte : littleEndian(0, 8)) record.push_back(byte);
    for (std::uint8_t byte : littleEndian(8, 4)) record.push_back(byte);
    const std::vector<std::uint8_t> image(8, 0xEE);
    std::vector<std::uint8_t> summed = record;
    summed.insert(summed.end(), image.begin(), image.end());
    for (std::uint8_t byte : littleEndian(std::int64_t(journalChecksum(summed.data(), summed.size()) ^ 1u), 4))
        record.push_back(byte);
    record.insert(record.end(), image.begin(), image.end());

    std::vector<std::uint8_t> journal(std::begin(journalheader::Signature), std::end(journalheader::Signature));
    for (std::uint8_t byte : littleEndian(JournalFormatVersion, 4)) journal.push_back(byte);
    for (std::uint8_t byte : littleEndian(1, 4)) journal.push_back(byte);
    for (std::uint8_t byte : littleEndian(std::int64_t(record.size()), 8)) journal.push_back(byte);
    for (std::uint8_t byte : littleEndian(journalChecksum(journal.data(), journal.size()), 4)) journal.push_back(byte);
    for (std::uint8_t byte : littleEndian(0, 4)) journal.push_back(byte);
    journal.insert(journal.end(), record.begin(), record.end());
    writeFile(names.journal, journal);

    EXPECT_EQ(failureOf([&] { recoverTable(systemFileSystem(), names, Sharing::Shared); }),
              "the journal of " + path + " is damaged; the table may be half written: run tabletool repair");
    EXPECT_EQ(readFile(names.data), before);
    EXPECT_EQ(readFile(names.journal), journal);
}

namespace {

// A folder where no new file can be made, as one the user may not write.
class NoNewFiles final : public FileSystem {
public:
    std::unique_ptr<File> open(const std::string& path, Access access, Sharing sharing, bool writeThrough,
                               OpenStatus& status) override
    {
        return systemFileSystem().open(path, access, sharing, writeThrough, status);
    }
    std::unique_ptr<File> create(const std::string&, OpenStatus& status) override
    {
        status = OpenStatus::AccessDenied;
        return nullptr;
    }
    bool exists(const std::string& path) override { return systemFileSystem().exists(path); }
    bool isReadOnly(const std::string& path) override { return systemFileSystem().isReadOnly(path); }
    bool remove(const std::string&) override { return false; }
};

}  // namespace

// Without a journal nothing of a write-back may reach the table, not even
// the index's change counter; the message names the journal.
TEST(JournalFolder, APostWhereNoJournalCanBeMadeSaysSoAndWritesNothing)
{
    TempDir dir;
    const std::string path = dir.file("t.DAT");
    createNamesTable(path);
    const TableFileNames names = tableFileNames(path);
    const std::vector<std::string> files = {names.data, names.index, names.memo};
    std::vector<std::vector<std::uint8_t>> before;
    for (const std::string& file : files) before.push_back(readFile(file));
    for (Sharing sharing : {Sharing::Shared, Sharing::Exclusive}) {
        NoNewFiles refusing;
        auto data = openTable(path, sharing, refusing);
        Row row = data->newRow();
        data->setValue(row, 1, std::string("nobody"));
        std::string message = failureOf([&] {
            data->append(row);
            data->close();
        });
        EXPECT_EQ(message, "The journal " + names.journal + " cannot be made: its folder is not writable");
        data.reset();
        for (std::size_t i = 0; i < files.size(); ++i) EXPECT_EQ(readFile(files[i]), before[i]) << files[i];
    }
}
