// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/indexverify.h"

#include "store/tableindexes.h"
#include "support/indextestsupport.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace store;
using namespace testing_support;

namespace {

class DamagedFile : public ::testing::Test {
protected:
    DamagedFile()
    {
        layout.add("id", FieldType::Integer);
        IndexDescriptor primary;
        primary.columns = {1};
        writeIndexFile(path, indexHeaderFor(layout, primary, {}));
        TableIndexes indexes(openForWriting(path), "t.dat", layout.columns());
        for (std::int32_t slot = 1; slot <= 1000; ++slot) {
            auto image = layout.image(slot, slot);
            layout.setInteger(image, 1, slot * 3);
            indexes.rowAppended(slot, image.data(), nullptr);
            slots.push_back(image);
        }
        indexes.writeBack();
        root = indexes.file().descriptor(PrimaryIndex).root;
        firstLeaf = indexes.file().pageCopy(PrimaryIndex, root).values[0];
    }

    void patch(std::int64_t offset, std::int32_t value)
    {
        auto file = openForWriting(path);
        std::uint8_t bytes[4];
        bytes::putI32(bytes, value);
        ASSERT_TRUE(writeExact(*file, offset, bytes, 4));
    }

    std::vector<std::string> problems()
    {
        IndexFile file(openForWriting(path), "t.dat", layout.columns());
        return verifyIndexFile(file, slots);
    }

    bool reported(const std::string& text)
    {
        std::vector<std::string> found = problems();
        bool seen = std::find(found.begin(), found.end(), text) != found.end();
        if (!seen)
            for (const std::string& problem : found) ADD_FAILURE() << "reported instead: " << problem;
        return seen;
    }

    TempDir dir;
    std::string path = dir.file("t.IDX");
    SlotLayout layout;
    std::vector<std::vector<std::uint8_t>> slots;
    std::int32_t root = 0;
    std::int32_t firstLeaf = 0;
};

}  // namespace

TEST_F(DamagedFile, ASoundFileHasNoProblems) { EXPECT_EQ(problems(), std::vector<std::string>()); }

TEST_F(DamagedFile, AWrongSubtreeCountIsReported)
{
    std::int64_t entry = root + pageheader::Entries;
    IndexFile file(openForWriting(path), "t.dat", layout.columns());
    std::int32_t count = file.pageCopy(PrimaryIndex, root).counts[0];
    patch(entry + 5 + 4, count + 1);
    EXPECT_TRUE(reported("Index Primary: page " + std::to_string(root) + " entry 0 counts " +
                         std::to_string(count + 1) + " keys, its subtree holds " + std::to_string(count)));
}

TEST_F(DamagedFile, ABrokenLevelLinkIsReported)
{
    std::int32_t next = IndexFile(openForWriting(path), "t.dat", layout.columns()).pageCopy(PrimaryIndex, firstLeaf).next;
    patch(firstLeaf + pageheader::Next, 0);
    EXPECT_TRUE(reported("Index Primary: page " + std::to_string(firstLeaf) + " links to 0 and 0 instead of 0 and " +
                         std::to_string(next)));
}

TEST_F(DamagedFile, RowsWhoseKeysAreMissingOrStaleAreReported)
{
    bytes::putI32(slots[9].data() + 10, -7);  // slot 10's row now holds -7
    EXPECT_TRUE(reported("Index Primary lacks the key of slot 10"));
    EXPECT_TRUE(reported("Index Primary holds a key that no row has, naming slot 10"));
    slots[20][0] = SlotDeleted;
    EXPECT_TRUE(reported("The row count is 1000 but 999 slots are in use"));
    EXPECT_TRUE(reported("Index Sys Deleted lacks the key of slot 21"));
}

TEST_F(DamagedFile, APageOfNoIndexAndAFreePageInATreeAreReported)
{
    IndexFile before(openForWriting(path), "t.dat", layout.columns());
    std::int32_t end = before.header().endOfFile;
    {
        auto file = openForWriting(path);
        std::vector<std::uint8_t> empty(IndexPageSize, 0);
        ASSERT_TRUE(writeExact(*file, end, empty.data(), IndexPageSize));
    }
    patch(indexheader::EndOfFile, end + IndexPageSize);
    EXPECT_TRUE(reported("The index file's page " + std::to_string(end) + " belongs to no index"));

    // The first leaf named as the head of the primary's free-page chain.
    patch(indexheader::Descriptors + 90, firstLeaf);
    EXPECT_TRUE(reported("Index Primary: free page " + std::to_string(firstLeaf) +
                         " is reached again, it belongs to Index Primary already"));
}
