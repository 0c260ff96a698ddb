// SPDX-License-Identifier: GPL-3.0-or-later
// tabletool repair run as a program on tables damaged on purpose: each comes
// back verified, with every live row and its memo, and a copy of each file
// it rewrote.

#include "store/storetable.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/wait.h>

using testing_support::TempDir;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

std::string slurp(const std::string& path)
{
    std::vector<std::uint8_t> bytes = testing_support::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

const char* const logSchema = R"({
  "description": "logs", "memo_block_size": 512,
  "columns": [{"name": "ID", "type": "integer"}, {"name": "NAME", "type": "string", "size": 40},
              {"name": "ERRORS", "type": "memo"}],
  "primary": ["ID"],
  "indexes": [{"name": "NAME", "columns": ["NAME"], "unique": false, "caseinsensitive": true,
               "descending": [false], "compression": 3}]})";

constexpr int Rows = 300;

class TableRepair : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::writeFile(schema, std::vector<std::uint8_t>(logSchema, logSchema + std::strlen(logSchema)));
        ASSERT_EQ(run("create " + schema + " " + table).status, 0);
        std::string input;
        for (int row = 1; row <= Rows; ++row)
            input += "{\"ID\": " + std::to_string(row) + ", \"NAME\": \"name " + std::to_string(row) +
                     "\", \"ERRORS\": \"log " + std::to_string(row) + std::string(static_cast<std::size_t>(row * 3), 'x') +
                     "\"}\n";
        ASSERT_EQ(run("insert " + table, input).out, std::to_string(Rows) + "\n");
        // Every tenth row deleted: a deleted-slot chain and free memo blocks.
        store::StoreTable handle("logsdb");
        handle.setTableName(table);
        handle.setActive(true);
        for (int row = 10; row <= Rows; row += 10) {
            handle.GoToVisibleRow(row - row / 10);
            ASSERT_EQ(handle.ReadText("ID"), std::to_string(row));
            handle.DeleteRow();
        }
        handle.setActive(false);
        ASSERT_EQ(run("verify " + table).out, "OK\n");
        rowsBefore = run("dump " + table).out;
    }

    Outcome run(const std::string& arguments, const std::string& input = "")
    {
        std::string in = dir.file("stdin"), out = dir.file("stdout");
        testing_support::writeFile(in, std::vector<std::uint8_t>(input.begin(), input.end()));
        std::string command = std::string(TABLETOOL) + " " + arguments + " < " + in + " > " + out + " 2>&1";
        int status = std::system(command.c_str());
        return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out)};
    }

    // Repairs the damaged table: verify fails before and passes after, every
    // row is there as before, and the file named kept its damaged copy.
    std::string expectRepaired(const std::string& backedUp)
    {
        EXPECT_NE(run("verify " + table).status, 0);
        std::vector<std::uint8_t> damaged = testing_support::readFile(backedUp);
        Outcome repaired = run("repair " + table);
        EXPECT_EQ(repaired.status, 0) << repaired.out;
        EXPECT_EQ(run("verify " + table).out, "OK\n") << repaired.out;
        EXPECT_EQ(run("dump " + table).out, rowsBefore);
        EXPECT_EQ(testing_support::readFile(backedUp + ".bak"), damaged);
        return repaired.out;
    }

    TempDir dir;
    std::string schema = dir.file("schema.json");
    std::string table = dir.file("logs.dat");
    std::string index = dir.file("logs.IDX");
    std::string memo = dir.file("logs.BLB");
    std::string rowsBefore;
};

}  // namespace

TEST_F(TableRepair, RebuildsAnIndexFileWhosePagesWereZeroed)
{
    std::size_t length = std::filesystem::file_size(index);
    ASSERT_GT(length, 3u * 4096);
    testing_support::patchFile(index, 4096, std::vector<std::uint8_t>(length - 4096, 0));
    std::string out = expectRepaired(index);
    EXPECT_NE(out.find("Found: Index Primary"), std::string::npos) << out;
    EXPECT_NE(out.find("Changed: Rebuilt " + index), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(table + ".bak"));  // the data file needed nothing
    // The rebuilt orders are whole: a name found by its index, in its order.
    store::StoreTable handle("logsdb");
    handle.setTableName(table);
    handle.setIndexName("NAME");
    handle.setActive(true);
    EXPECT_EQ(handle.RowCount(), Rows - Rows / 10);
    handle.GoFirst();
    EXPECT_EQ(handle.ReadText("NAME"), "name 1");
    handle.GoNext();
    EXPECT_EQ(handle.ReadText("NAME"), "name 101");  // name 10 and name 100 are deleted
}

TEST_F(TableRepair, SetsAWrongRowCountRight)
{
    testing_support::patchFile(index, 3974, testing_support::littleEndian(Rows + 7, 4));
    std::string out = expectRepaired(index);
    EXPECT_NE(out.find("Found: The row count is " + std::to_string(Rows + 7)), std::string::npos) << out;
}

TEST_F(TableRepair, FreesOrphanedMemoBlocks)
{
    std::size_t length = std::filesystem::file_size(memo);
    std::vector<std::uint8_t> orphans(3 * 512, 0x5a);
    testing_support::patchFile(memo, length, orphans);
    testing_support::patchFile(memo, 13, testing_support::littleEndian(static_cast<std::int64_t>(length) + 3 * 512, 4));
    std::string out = expectRepaired(memo);
    EXPECT_NE(out.find("Found: 3 memo blocks are neither in a value nor free"), std::string::npos) << out;
    EXPECT_NE(out.find("3 of them neither in a value nor free before"), std::string::npos) << out;
    // The freed blocks take new values again.
    ASSERT_EQ(run("insert " + table, "{\"ID\": 1000, \"NAME\": \"new\", \"ERRORS\": \"fresh\"}\n").status, 0);
    EXPECT_EQ(run("verify " + table).out, "OK\n");
    EXPECT_EQ(std::filesystem::file_size(memo), length + 3 * 512);
}

TEST_F(TableRepair, GivesAValueItsBlocksBackWhenTheirOwnerIsWrong)
{
    // The first value stored, row 1's, starts at the first block.
    testing_support::patchFile(memo, 512 + 10, testing_support::littleEndian(77, 4));
    std::string out = expectRepaired(memo);
    EXPECT_NE(out.find("Found: Slot 1, column ERRORS: block 512 belongs to slot 77"), std::string::npos) << out;
    EXPECT_NE(out.find("Changed: Slot 1, column ERRORS: mended the headers of its blocks"), std::string::npos) << out;
}

TEST_F(TableRepair, DropsAValueThatNoLongerReadsBackAndKeepsItsRow)
{
    testing_support::patchFile(memo, 512 + 14, testing_support::littleEndian(100000, 4));  // row 1's length
    EXPECT_NE(run("verify " + table).status, 0);
    Outcome repaired = run("repair " + table);
    EXPECT_EQ(repaired.status, 0) << repaired.out;
    EXPECT_NE(repaired.out.find("Changed: Slot 1, column ERRORS: its value did not read back and was dropped"),
              std::string::npos) << repaired.out;
    EXPECT_EQ(run("verify " + table).out, "OK\n");
    std::string rows = run("dump " + table).out;
    std::string firstBefore = rowsBefore.substr(0, rowsBefore.find('\n') + 1);
    EXPECT_EQ(rows.substr(rows.find('\n') + 1), rowsBefore.substr(firstBefore.size()));  // every other row as it was
    EXPECT_EQ(rows.substr(0, rows.find('\n') + 1), R"({"ID":"1","NAME":"name 1","ERRORS":""})" "\n");
}

TEST_F(TableRepair, RebuildsABrokenDeletedSlotChain)
{
    testing_support::patchFile(table, 9, testing_support::littleEndian(0, 4));  // the chain's head
    std::string out = expectRepaired(table);
    EXPECT_NE(out.find("Found: " + std::to_string(Rows / 10) + " deleted slots are not in the deleted-slot chain"),
              std::string::npos) << out;
    EXPECT_NE(out.find("Changed: Rebuilt the deleted-slot chain through " + std::to_string(Rows / 10)),
              std::string::npos) << out;
    // A new row goes into a deleted slot, not at the end.
    std::size_t length = std::filesystem::file_size(table);
    ASSERT_EQ(run("insert " + table, "{\"ID\": 1000, \"NAME\": \"new\"}\n").status, 0);
    EXPECT_EQ(std::filesystem::file_size(table), length);
    EXPECT_EQ(run("verify " + table).out, "OK\n");
}

TEST_F(TableRepair, RefusesATableAnotherCopyHolds)
{
    store::StoreTable handle("logsdb");
    handle.setTableName(table);
    handle.setActive(true);
    std::vector<std::uint8_t> indexBefore = testing_support::readFile(index);
    Outcome refused = run("repair " + table);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, run("insert " + table, "{}\n").out);  // the message of an exclusive open
    EXPECT_NE(refused.out.find(table), std::string::npos) << refused.out;
    EXPECT_EQ(testing_support::readFile(index), indexBefore);
    EXPECT_FALSE(std::filesystem::exists(index + ".bak"));
}

namespace {

// Where a column of a slot lies in the data file.
std::size_t placeOf(const std::string& table, std::int32_t slot, const std::string& column)
{
    auto data = testing_support::openTable(table);
    return static_cast<std::size_t>(data->slotOffset(slot) + data->column(data->findColumn(column)).offset);
}

std::size_t rowIdPlace(const std::string& table, std::int32_t slot)
{
    return static_cast<std::size_t>(testing_support::openTable(table)->slotOffset(slot) + store::slot::RowId);
}

std::map<std::string, std::vector<std::uint8_t>> filesIn(const std::filesystem::path& folder)
{
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().find("std") != 0)
            files[entry.path().filename().string()] = testing_support::readFile(entry.path().string());
    return files;
}

}  // namespace

// Damage that leaves every row's place but spoils what is in it: repair
// mends or blanks it, and verify accepts the table afterwards.
TEST_F(TableRepair, EndsWithATableVerifyAccepts)
{
    const auto pristine = filesIn(dir.path());
    const std::size_t memoLength = std::filesystem::file_size(memo);
    const struct {
        const char* damage;
        std::function<void()> make;
        const char* change;
    } cases[] = {
        {"a presence byte of 7", [&] { testing_support::patchFile(table, placeOf(table, 2, "NAME"), {7}); },
         "Changed: Slot 2, column NAME: its value (presence byte 7) was blanked"},
        {"a string without its end",
         [&] {
             std::size_t size = static_cast<std::size_t>(testing_support::openTable(table)->column(2).physicalSize);
             testing_support::patchFile(table, placeOf(table, 3, "NAME") + 1, std::vector<std::uint8_t>(size, 'z'));
         },
         "Changed: Slot 3, column NAME: its value (does not end within its place) was blanked"},
        {"a row id twice",
         [&] {
             std::int32_t first = testing_support::readI32(table, rowIdPlace(table, 4));
             testing_support::patchFile(table, rowIdPlace(table, 5), testing_support::littleEndian(first, 4));
         },
         "Changed: Slot 5: row id "},
        {"part of a block at the end of the memo file",
         [&] { testing_support::patchFile(memo, memoLength, std::vector<std::uint8_t>(100, 0x33)); },
         "Changed: Cut the memo file to "},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.damage);
        for (const auto& [name, bytes] : pristine) testing_support::writeFile(dir.file(name), bytes);
        for (const char* copy : {"logs.dat.bak", "logs.IDX.bak", "logs.BLB.bak"}) std::filesystem::remove(dir.file(copy));
        example.make();
        EXPECT_NE(run("verify " + table).status, 0);
        Outcome repaired = run("repair " + table);
        EXPECT_EQ(repaired.status, 0) << repaired.out;
        EXPECT_NE(repaired.out.find(example.change), std::string::npos) << repaired.out;
        EXPECT_EQ(run("verify " + table).out, "OK\n") << repaired.out;
    }
}

// A sound table, with or without key columns and with deleted slots, is
// left as it was to the byte, and no copy is made.
TEST_F(TableRepair, LeavesASoundTableAsItWas)
{
    const char* const keyless = R"({"description": "plain", "columns": [{"name": "N", "type": "integer"}], "primary": []})";
    std::string plain = dir.file("plain.dat"), plainSchema = dir.file("plain.json");
    testing_support::writeFile(plainSchema, std::vector<std::uint8_t>(keyless, keyless + std::strlen(keyless)));
    ASSERT_EQ(run("create " + plainSchema + " " + plain).status, 0);
    ASSERT_EQ(run("insert " + plain, "{\"N\": 1}\n{\"N\": 2}\n{\"N\": 3}\n{\"N\": 4}\n").status, 0);
    {
        auto data = testing_support::openTable(plain);
        data->remove(2);
        data->remove(3);
        data->close();
    }
    for (const std::string& sound : {table, plain}) {
        SCOPED_TRACE(sound);
        const auto before = filesIn(dir.path());
        Outcome repaired = run("repair " + sound);
        EXPECT_EQ(repaired.out, "Found: no problem\n");
        EXPECT_TRUE(filesIn(dir.path()) == before);
    }
}
