// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/indexheader.h"

#include <gtest/gtest.h>

#include <array>

using namespace store;

TEST(IndexHeader, NewHeaderHoldsOnlyTheDeletedSlotDescriptorAtItsOffsets)
{
    IndexHeader header = newIndexHeader(true);
    std::array<std::uint8_t, IndexPageSize> page{};
    encodeIndexHeader(header, page.data());
    EXPECT_EQ(page[8], 3);
    EXPECT_EQ(page[9] | page[10] << 8, 4096);
    EXPECT_EQ(page[3978], 1);
    const std::uint8_t* deleted = page.data() + 14 + 31 * 120;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(deleted + 1), deleted[0]), "Sys Deleted");
    EXPECT_EQ(deleted[31], 5);
    for (int i = 14; i < 14 + 31 * 120; ++i) ASSERT_EQ(page[i], 0) << "byte " << i;
}

TEST(IndexHeader, DescriptorsAndReservedBytesSurviveARoundTrip)
{
    std::array<std::uint8_t, IndexPageSize> page{};
    IndexHeader header = newIndexHeader(false);
    IndexDescriptor& names = header.descriptors[1];
    names.name = "NAME";
    names.keyLength = 46;
    names.caseInsensitive = true;
    names.compression = Compression::Both;
    names.columns = {1, 3};
    names.columnDescending = {false, true};
    names.root = 8192;
    header.secondaryCount = 1;
    header.rowCount = 77;
    header.image[3900] = 0xAB;  // a reserved byte somebody else wrote
    encodeIndexHeader(header, page.data());

    IndexHeader again = decodeIndexHeader(page.data());
    EXPECT_EQ(again.descriptors[1].name, "NAME");
    EXPECT_EQ(again.descriptors[1].keyLength, 46);
    EXPECT_TRUE(again.descriptors[1].caseInsensitive);
    EXPECT_EQ(again.descriptors[1].compression, Compression::Both);
    EXPECT_EQ(again.descriptors[1].columns, (std::vector<std::uint16_t>{1, 3}));
    EXPECT_EQ(again.descriptors[1].columnDescending, (std::vector<bool>{false, true}));
    EXPECT_EQ(again.descriptors[1].root, 8192);
    EXPECT_EQ(again.rowCount, 77);
    EXPECT_EQ(again.secondaryCount, 1);
    std::array<std::uint8_t, IndexPageSize> second{};
    encodeIndexHeader(again, second.data());
    EXPECT_EQ(page, second);
}
