// SPDX-License-Identifier: GPL-3.0-or-later
// More page buffers per index for an exclusive open: the same rows inserted
// in random key order leave the same files, byte for byte, as with the
// default 31 buffers, which evict pages all along.

#include "store/storetable.h"
#include "store/tablecheck.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <random>

using namespace store;
using namespace testing_support;

namespace {

// The data file's last-update stamp is the clock's, not the rows'.
std::vector<std::uint8_t> withoutStamp(std::vector<std::uint8_t> bytes)
{
    std::fill(bytes.begin() + dataheader::LastUpdate, bytes.begin() + dataheader::LastUpdate + 8, 0);
    return bytes;
}

void fill(const std::string& path, int buffers)
{
    TableSchema schema = schemaOf({columnSchema("NAME", "string", 40), columnSchema("KPH", "integer"),
                                   columnSchema("ERRORS", "memo")});
    IndexSchema names, speeds;
    names.name = "NAME";
    names.columns = {"NAME"};
    speeds.name = "KPH";
    speeds.columns = {"KPH"};
    schema.indexes = {names, speeds};
    createTable(systemFileSystem(), path, schema);
    StoreTable table("Results");
    table.setTableName(path);
    table.setExclusive(true);
    table.setExclusiveIndexBuffers(buffers);
    table.setActive(true);
    std::mt19937 random(11);
    for (int number = 1; number <= 8000; ++number) {
        table.BeginInsert();
        table.WriteValue("NAME", "typist " + std::to_string(random() % 100000) + " of " + std::to_string(number));
        table.WriteValue("KPH", static_cast<int>(random() % 20000));
        table.WriteValue("ERRORS", std::string(100 + random() % 300, static_cast<char>('a' + number % 26)));
        table.PostRow();
    }
    table.setActive(false);
}

TEST(ExclusiveIndexBuffers, MoreBuffersLeaveTheSameFilesAsTheDefault)
{
    TempDir dir;
    const std::string usual = dir.file("usual.dat"), roomy = dir.file("roomy.dat");
    fill(usual, 0);
    fill(roomy, 4096);
    std::vector<std::uint8_t> index = readFile(dir.file("usual.IDX"));
    ASSERT_GT(index.size(), 31u * 2 * 4096) << "too few pages to need evictions";
    EXPECT_EQ(readFile(dir.file("roomy.IDX")), index);
    EXPECT_EQ(readFile(dir.file("roomy.BLB")), readFile(dir.file("usual.BLB")));
    EXPECT_EQ(withoutStamp(readFile(roomy)), withoutStamp(readFile(usual)));
    auto data = openTable(roomy);
    EXPECT_EQ(checkIndexFile(*data), std::vector<std::string>{});
}

// A tree of more than one level needs a few pages pinned at once.
TEST(ExclusiveIndexBuffers, FewerBuffersThanTheDefaultStillFillADeepTree)
{
    TempDir dir;
    const std::string few = dir.file("few.dat");
    fill(few, 2);
    auto data = openTable(few);
    EXPECT_EQ(data->slotCount(), 8000);
    EXPECT_EQ(checkIndexFile(*data), std::vector<std::string>{});
}

}  // namespace
