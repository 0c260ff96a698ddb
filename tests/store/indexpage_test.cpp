// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/indexpage.h"

#include "store/bytes.h"
#include "store/indexheader.h"

#include <gtest/gtest.h>

#include <array>

using namespace store;

namespace {

using Image = std::array<std::uint8_t, IndexPageSize>;

IndexPage leafOf(const PageFormat& format, const std::vector<std::vector<std::uint8_t>>& keys)
{
    IndexPage page;
    resetPage(format, page, PageKind::RootLeaf);
    for (std::size_t i = 0; i < keys.size(); ++i)
        insertEntry(format, page, static_cast<int>(i), keys[i].data(), static_cast<std::int32_t>(100 + i));
    return page;
}

IndexPage roundTrip(const PageFormat& format, const IndexPage& page, Image& image)
{
    encodePage(format, page, image.data());
    IndexPage decoded;
    EXPECT_TRUE(decodePage(format, image.data(), decoded));
    return decoded;
}

const std::uint8_t* entries(const Image& image) { return image.data() + pageheader::Entries; }

}  // namespace

TEST(IndexPage, LeadingCompressionStoresTheBytesAfterThoseSharedWithThePreviousKey)
{
    PageFormat format{6, Compression::Leading, false};
    IndexPage page = leafOf(format, {{1, 'A', 'B', 'C', 0, 0}, {1, 'A', 'B', 'D', 0, 0}});
    Image image;
    IndexPage decoded = roundTrip(format, page, image);
    EXPECT_EQ(decoded.keys, page.keys);
    EXPECT_EQ(decoded.values, page.values);
    const std::uint8_t* at = entries(image);
    EXPECT_EQ(bytes::getU16(at), 0);               // the first entry shares nothing
    EXPECT_EQ(bytes::getU16(at + 2 + 6 + 4), 3);   // the second shares "\1AB"
    EXPECT_EQ(at[12 + 2], 'D');
    EXPECT_EQ(bytes::getU16(image.data() + pageheader::EntryBytes), (2 + 6 + 4) + (2 + 3 + 4));
    EXPECT_EQ(page.entryBytes, (2 + 6 + 4) + (2 + 3 + 4));
}

TEST(IndexPage, TrailingCompressionKeepsTheRowIdSuffixAndDropsTheZerosBeforeIt)
{
    PageFormat format{10, Compression::Trailing, true};
    IndexPage page = leafOf(format, {{1, 'A', 0, 0, 0, 0, 0x80, 0, 0, 0}});
    Image image;
    IndexPage decoded = roundTrip(format, page, image);
    EXPECT_EQ(decoded.keys, page.keys);
    const std::uint8_t* at = entries(image);
    EXPECT_EQ(bytes::getU16(at), 4);
    EXPECT_EQ(std::vector<std::uint8_t>(at + 2, at + 8), (std::vector<std::uint8_t>{1, 'A', 0x80, 0, 0, 0}));
    EXPECT_EQ(bytes::getI32(at + 8), 100);

    PageFormat unique{10, Compression::Trailing, false};
    IndexPage whole = leafOf(unique, {{1, 'A', 0, 0, 0, 0, 0x80, 0, 0, 0}});
    encodePage(unique, whole, image.data());
    EXPECT_EQ(bytes::getU16(entries(image)), 3);  // the key's own last zeros
}

TEST(IndexPage, BothCompressionsCapTheirCountsAndKeepTheSuffixOnlyWhenFiveBytesRemain)
{
    std::vector<std::uint8_t> longKey(600, 0);
    longKey[0] = 1;
    longKey[596] = 0x80;
    std::vector<std::uint8_t> next = longKey;
    next[599] = 1;
    PageFormat format{600, Compression::Both, true};
    IndexPage page = leafOf(format, {longKey, next});
    Image image;
    IndexPage decoded = roundTrip(format, page, image);
    EXPECT_EQ(decoded.keys, page.keys);
    const std::uint8_t* at = entries(image);
    EXPECT_EQ(at[0], 0);
    EXPECT_EQ(at[1], 255);  // 595 zeros before the suffix, at most 255 dropped
    int first = 2 + (600 - 255) + 4;
    EXPECT_EQ(at[first], 255);      // shared bytes, at most 255
    EXPECT_EQ(at[first + 1], 255);  // zeros after them, before the suffix
    EXPECT_EQ(page.entryBytes, first + 2 + (600 - 255 - 255) + 4);

    PageFormat small{6, Compression::Both, true};
    IndexPage close = leafOf(small, {{1, 0, 0x80, 0, 0, 1}, {1, 0, 0x80, 0, 0, 2}});
    IndexPage again = roundTrip(small, close, image);
    EXPECT_EQ(again.keys, close.keys);
    at = entries(image) + (2 + 5 + 4);  // the first entry dropped the zero before its suffix
    EXPECT_EQ(at[0], 5);  // one byte remains after the shared ones: no suffix kept, no zeros to drop
    EXPECT_EQ(at[1], 0);
}

TEST(IndexPage, InteriorEntriesCarryKeyChildAndCount)
{
    PageFormat format{3, Compression::Both, false};  // interior pages are never compressed
    IndexPage page;
    resetPage(format, page, PageKind::RootInterior);
    std::uint8_t low[3] = {1, 0, 0}, high[3] = {1, 9, 9};
    insertEntry(format, page, 0, low, 8192, 40);
    insertEntry(format, page, 1, high, 12288, 2);
    Image image;
    IndexPage decoded = roundTrip(format, page, image);
    EXPECT_EQ(decoded.counts, (std::vector<std::int32_t>{40, 2}));
    EXPECT_EQ(decoded.subtreeCount(), 42);
    EXPECT_EQ(bytes::getI32(entries(image) + 3), 8192);
    EXPECT_EQ(bytes::getI32(entries(image) + 7), 40);
    EXPECT_EQ(bytes::getU16(image.data() + pageheader::EntryBytes), 0);
}

TEST(IndexPage, AFreePageIsZeroButForItsNextLink)
{
    PageFormat format{6, Compression::Leading, false};
    IndexPage page = leafOf(format, {{1, 'A', 'B', 'C', 0, 0}});
    page.previous = 4096;
    makeFreePage(page, 16384);
    Image image;
    encodePage(format, page, image.data());
    for (int i = 0; i < IndexPageSize; ++i)
        if (i < pageheader::Next || i >= pageheader::Next + 4) {
            ASSERT_EQ(image[i], 0) << "byte " << i;
        }
    EXPECT_EQ(bytes::getI32(image.data() + pageheader::Next), 16384);
}

TEST(IndexPage, ImagesThatAreNoPageOfTheFormatAreRefused)
{
    PageFormat format{6, Compression::Leading, false};
    Image image{};
    IndexPage page;
    image[pageheader::Kind] = 4;
    EXPECT_FALSE(decodePage(format, image.data(), page));
    image[pageheader::Kind] = 2;
    bytes::putI16(image.data() + pageheader::Count, -1);
    EXPECT_FALSE(decodePage(format, image.data(), page));
    bytes::putI16(image.data() + pageheader::Count, 1);
    bytes::putU16(image.data() + pageheader::Entries, 2);  // the first entry cannot share bytes
    EXPECT_FALSE(decodePage(format, image.data(), page));
    bytes::putI16(image.data() + pageheader::Count, 400);  // entries running past the page
    bytes::putU16(image.data() + pageheader::Entries, 0);
    EXPECT_FALSE(decodePage(format, image.data(), page));
}

TEST(IndexPage, ACompressedLeafIsFullWhenItsEntryBytesWouldPassTheSpace)
{
    PageFormat format{100, Compression::Trailing, false};
    IndexPage page;
    resetPage(format, page, PageKind::RootLeaf);
    std::vector<std::uint8_t> key(100, 0);
    key[0] = 1;
    int entries = 0;
    while (hasRoom(format, page, page.count(), key.data())) {
        insertEntry(format, page, page.count(), key.data(), entries++);
        key[0] = static_cast<std::uint8_t>(1 + entries % 200);
    }
    EXPECT_EQ(entries, PageEntrySpace / (2 + 1 + 4));
    EXPECT_LE(page.entryBytes, PageEntrySpace);
    EXPECT_GT(page.entryBytes + 7, PageEntrySpace);
    IndexPage right;
    resetPage(format, right, PageKind::Leaf);
    splitEntries(format, page, right);
    EXPECT_EQ(page.count(), (entries + 1) / 2);
    EXPECT_EQ(right.count(), entries / 2);
    EXPECT_EQ(page.entryBytes + right.entryBytes, entries * 7);
}
