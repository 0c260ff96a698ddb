// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/indexfile.h"

#include "store/storeerror.h"
#include "support/indextestsupport.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace store;
using namespace testing_support;

namespace {

// A primary index over three strings of 250 characters: 756-byte keys, five
// to a page.
class WideKeys : public ::testing::Test {
protected:
    WideKeys()
    {
        for (const char* name : {"a", "b", "c"}) layout.add(name, FieldType::String, 250);
        IndexDescriptor primary;
        primary.columns = {1, 2, 3};
        writeIndexFile(path, indexHeaderFor(layout, primary, {}));
        file = std::make_unique<IndexFile>(openForWriting(path), "t.dat", layout.columns());
    }

    static Key key(int n)
    {
        Key key(756, 0);
        key[0] = 1;
        key[1] = static_cast<std::uint8_t>('A' + n);
        return key;
    }
    void insert(std::initializer_list<int> keys)
    {
        for (int n : keys) file->insert(PrimaryIndex, key(n), n);
    }
    IndexPage page(std::int32_t offset) { return file->pageCopy(PrimaryIndex, offset); }
    IndexPage root() { return page(file->descriptor(PrimaryIndex).root); }
    static std::vector<std::int32_t> slotsOf(const IndexPage& page) { return page.values; }

    TempDir dir;
    std::string path = dir.file("t.IDX");
    SlotLayout layout;
    std::unique_ptr<IndexFile> file;
};

// A table with one integer column, its primary key.
IndexHeader integerKeyed(SlotLayout& layout)
{
    layout.add("n", FieldType::Integer);
    IndexDescriptor primary;
    primary.columns = {1};
    return indexHeaderFor(layout, primary, {});
}

}  // namespace

TEST_F(WideKeys, ANewIndexFileIsOneHeaderPageAndOpensEmpty)
{
    EXPECT_EQ(std::filesystem::file_size(path), 4096u);
    EXPECT_EQ(file->keyCount(PrimaryIndex), 0);
    EXPECT_EQ(file->rowCount(), 0);
    EXPECT_FALSE(file->first(PrimaryIndex));
    EXPECT_EQ(file->pageFormat(PrimaryIndex).leafCapacity(), 5);
}

TEST_F(WideKeys, TheFirstKeyMakesARootLeafAndAFullLeafOfFiveSplitsIntoThreeAndTwo)
{
    insert({1});
    EXPECT_EQ(root().kind, PageKind::RootLeaf);
    insert({2, 3, 4, 5});
    EXPECT_EQ(root().count(), 5);
    std::int32_t leafOffset = file->descriptor(PrimaryIndex).root;

    insert({6});  // past the last key: it joins the new page
    IndexPage top = root();
    EXPECT_EQ(top.kind, PageKind::RootInterior);
    ASSERT_EQ(top.count(), 2);
    IndexPage left = page(top.values[0]);
    IndexPage right = page(top.values[1]);
    EXPECT_EQ(top.values[0], leafOffset);
    EXPECT_EQ(left.kind, PageKind::Leaf);
    EXPECT_EQ(right.kind, PageKind::Leaf);
    EXPECT_EQ(slotsOf(left), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(slotsOf(right), (std::vector<std::int32_t>{4, 5, 6}));
    EXPECT_EQ(top.counts, (std::vector<std::int32_t>{3, 3}));
    EXPECT_EQ(Key(top.key(1), top.key(1) + 756), key(4));  // the lowest key of its child
    EXPECT_EQ(left.next, right.offset);
    EXPECT_EQ(right.previous, left.offset);
    EXPECT_EQ(left.previous, 0);
    EXPECT_EQ(right.next, 0);

    insert({0});  // below every key: it becomes the lowest key of the left leaf
    top = root();
    EXPECT_EQ(Key(top.key(0), top.key(0) + 756), key(0));
    EXPECT_EQ(top.counts, (std::vector<std::int32_t>{4, 3}));
}

TEST_F(WideKeys, AKeyBelowAFullLeafStaysInTheOldPageAndTheNewOneTakesTheLastTwo)
{
    insert({1, 2, 3, 4, 5, 0});
    IndexPage top = root();
    EXPECT_EQ(slotsOf(page(top.values[0])), (std::vector<std::int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(slotsOf(page(top.values[1])), (std::vector<std::int32_t>{4, 5}));
}

TEST_F(WideKeys, EmptiedPagesGoToTheFreeChainAndARootWithOneChildHandsOver)
{
    insert({1, 2, 3, 4, 5, 6});
    std::int32_t oldRoot = file->descriptor(PrimaryIndex).root;
    std::int32_t left = root().values[0];
    std::int32_t right = root().values[1];
    for (int n : {4, 5, 6}) file->remove(PrimaryIndex, key(n));

    EXPECT_EQ(file->descriptor(PrimaryIndex).root, left);
    EXPECT_EQ(root().kind, PageKind::RootLeaf);
    EXPECT_EQ(root().next, 0);
    EXPECT_EQ(file->descriptor(PrimaryIndex).freePage, oldRoot);
    EXPECT_EQ(page(oldRoot).next, right);
    EXPECT_EQ(page(right).next, 0);
    file->writeBack();
    std::int64_t length = file->fileLength();

    insert({4, 5, 6});  // the split takes its pages from the chain
    file->writeBack();
    EXPECT_EQ(file->fileLength(), length);
    EXPECT_EQ(file->descriptor(PrimaryIndex).freePage, 0);
    EXPECT_EQ(file->keyCount(PrimaryIndex), 6);

    for (int n : {1, 2, 3, 4, 5, 6}) file->remove(PrimaryIndex, key(n));
    EXPECT_EQ(file->descriptor(PrimaryIndex).root, 0);
    EXPECT_FALSE(file->first(PrimaryIndex));
    EXPECT_EQ(messageOf([&] { file->remove(PrimaryIndex, key(1)); }),
              "Key not found in index Primary of data file t.dat");
}

TEST_F(WideKeys, SearchesAndWalksCrossPagesInKeyOrder)
{
    for (int n = 0; n < 40; n += 2) file->insert(PrimaryIndex, key(n), n);
    EXPECT_EQ(file->first(PrimaryIndex)->slot, 0);
    EXPECT_EQ(file->last(PrimaryIndex)->slot, 38);
    EXPECT_EQ(file->atOrAfter(PrimaryIndex, key(7))->slot, 8);
    EXPECT_EQ(file->atOrAfter(PrimaryIndex, key(8))->slot, 8);
    EXPECT_EQ(file->after(PrimaryIndex, key(8))->slot, 10);
    EXPECT_EQ(file->before(PrimaryIndex, key(8))->slot, 6);
    EXPECT_EQ(file->atOrBefore(PrimaryIndex, key(9))->slot, 8);
    EXPECT_FALSE(file->after(PrimaryIndex, key(38)));
    EXPECT_FALSE(file->before(PrimaryIndex, key(0)));
    EXPECT_EQ(file->rank(PrimaryIndex, key(9)).before, 5);
    EXPECT_FALSE(file->rank(PrimaryIndex, key(9)).present);
    EXPECT_EQ(file->rank(PrimaryIndex, key(30)).before, 15);
    EXPECT_EQ(file->keyCount(PrimaryIndex), 20);
    std::vector<std::int32_t> walked;
    for (auto entry = file->first(PrimaryIndex); entry; entry = file->after(PrimaryIndex, entry->key))
        walked.push_back(entry->slot);
    EXPECT_EQ(walked.size(), 20u);
    EXPECT_TRUE(std::is_sorted(walked.begin(), walked.end()));
    EXPECT_EQ(messageOf([&] { file->insert(PrimaryIndex, key(8), 99); }),
              "Duplicate key found in index Primary of data file t.dat");
}

// A walk finds each next entry where the one before it stood; a change
// between two steps sends the next one down from the root again.
TEST_F(WideKeys, AWalkStepsOnFromTheEntryItHadAndDescendsAgainAfterAChange)
{
    for (int n = 0; n < 40; n += 2) file->insert(PrimaryIndex, key(n), n);
    std::vector<std::int32_t> expected, walked;
    for (int n = 0; n < 40; n += 2) expected.push_back(n == 12 ? 11 : n);
    std::int64_t descents = file->descents();
    for (auto entry = file->first(PrimaryIndex); entry; entry = file->after(PrimaryIndex, entry->key)) {
        walked.push_back(entry->slot);
        if (entry->slot != 10) continue;
        insert({11});
        file->remove(PrimaryIndex, key(12));
        IndexFile::Change undone(*file);
        file->remove(PrimaryIndex, key(11));
    }
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(file->descents() - descents, 4);  // the insert, two removals and the step after them

    walked.clear();
    descents = file->descents();
    for (auto entry = file->last(PrimaryIndex); entry; entry = file->before(PrimaryIndex, entry->key))
        walked.push_back(entry->slot);
    EXPECT_EQ(walked, std::vector<std::int32_t>(expected.rbegin(), expected.rend()));
    EXPECT_EQ(file->descents(), descents);
}

TEST_F(WideKeys, WriteBackWritesTheHeaderWithItsCounterIncreasedOnlyAfterAChange)
{
    file->writeBack();
    EXPECT_EQ(file->storedChangeCounter(), 0);
    insert({1, 2, 3, 4, 5, 6});
    file->writeBack();
    EXPECT_EQ(file->storedChangeCounter(), 1);
    file->writeBack();
    EXPECT_EQ(file->storedChangeCounter(), 1);
    file->remove(PrimaryIndex, key(2));
    file->writeBack();
    EXPECT_EQ(file->storedChangeCounter(), 2);

    IndexFile again(openForWriting(path), "t.dat", layout.columns());
    EXPECT_EQ(again.keyCount(PrimaryIndex), 5);
    EXPECT_EQ(again.changeCounter(), 2);
}

TEST_F(WideKeys, EmptyingCutsTheFileBackToItsHeaderPage)
{
    for (int n = 0; n < 30; ++n) file->insert(PrimaryIndex, key(n), n);
    file->writeBack();
    EXPECT_GT(file->fileLength(), 4096);
    file->empty();
    file->writeBack();
    EXPECT_EQ(std::filesystem::file_size(path), 4096u);
    EXPECT_EQ(file->descriptor(PrimaryIndex).root, 0);
    EXPECT_EQ(file->header().endOfFile, 4096);
    insert({3});
    EXPECT_EQ(file->keyCount(PrimaryIndex), 1);
}

TEST_F(WideKeys, AFailedChangeIsUndoneWhole)
{
    insert({1, 2, 3, 4, 5});
    file->writeBack();
    std::vector<std::uint8_t> before = bytesOf(path);
    {
        IndexFile::Change change(*file);
        insert({6, 7, 8});
        file->remove(PrimaryIndex, key(1));
    }  // not committed
    EXPECT_EQ(file->keyCount(PrimaryIndex), 5);
    EXPECT_EQ(root().kind, PageKind::RootLeaf);
    file->writeBack();
    EXPECT_EQ(bytesOf(path), before);
}

TEST(IndexFileOpening, ChecksTheVersionAndThatTheDescriptorsFitTheColumns)
{
    TempDir dir;
    SlotLayout layout;
    IndexHeader header = integerKeyed(layout);
    header.version = 4;
    writeIndexFile(dir.file("old.IDX"), header);
    EXPECT_EQ(messageOf([&] { IndexFile(openForWriting(dir.file("old.IDX")), "old.dat", layout.columns()); }),
              "Data file old.dat is not the correct version");

    header.version = 3;
    header.descriptors[0].keyLength = 9;
    writeIndexFile(dir.file("odd.IDX"), header);
    EXPECT_EQ(messageOf([&] { IndexFile(openForWriting(dir.file("odd.IDX")), "odd.dat", layout.columns()); }),
              "Header information corrupt in data file odd.dat");
}

TEST(IndexFileOpening, IndexesAreSelectedByNameInAnyLetterCase)
{
    TempDir dir;
    SlotLayout layout;
    layout.add("KPH", FieldType::Float);
    layout.add("NKPH", FieldType::Float);
    IndexDescriptor kph, netkph;
    kph.name = "KPH";
    kph.columns = {1};
    netkph.name = "NETKPH";
    netkph.columns = {2};
    writeIndexFile(dir.file("r.IDX"), indexHeaderFor(layout, IndexDescriptor(), {kph, netkph}));
    IndexFile file(openForWriting(dir.file("r.IDX")), "results.dat", layout.columns());
    EXPECT_EQ(file.findIndex("NetKPH"), 2);
    EXPECT_EQ(file.findIndex("netkph"), 2);
    EXPECT_EQ(file.findIndex("kph"), 1);
    EXPECT_EQ(file.findIndex(""), PrimaryIndex);
    EXPECT_EQ(file.displayName(PrimaryIndex), "Primary");
    EXPECT_FALSE(file.primaryHasKeyColumns());
    EXPECT_EQ(messageOf([&] { file.findIndex("Sys Deleted"); }),
              "Invalid secondary index name Sys Deleted specified for data file results.dat");
}

TEST(IndexFileLimits, TheFileMayNotGrowPastTwoBillionBytes)
{
    TempDir dir;
    SlotLayout layout;
    IndexHeader header = integerKeyed(layout);
    header.endOfFile = 1999998976;  // a page here would end past 2000000000 bytes
    writeIndexFile(dir.file("big.IDX"), header);
    IndexFile file(openForWriting(dir.file("big.IDX")), "big.dat", layout.columns());
    EXPECT_EQ(messageOf([&] { file.insert(PrimaryIndex, Key{1, 0x80, 0, 0, 1}, 1); }),
              "The data file big.dat is full and cannot contain any more data");
    EXPECT_EQ(file.header().endOfFile, 1999998976);
    EXPECT_EQ(file.keyCount(PrimaryIndex), 0);
    file.writeBack();
    EXPECT_EQ(std::filesystem::file_size(dir.file("big.IDX")), 4096u);
}

TEST(PageCacheTest, APageIsPinnedAtMostSixtyFourTimesAndAllPinnedBuffersFail)
{
    int reads = 0;
    PageCache cache("t.dat", [&](std::int32_t offset, IndexPage& page, std::vector<std::uint8_t>*) { page.offset = offset, ++reads; },
                    [](const IndexPage&) {});
    for (int i = 0; i < PageCache::MaxPins; ++i) cache.pin(4096);
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(messageOf([&] { cache.pin(4096); }), "Index page buffers corrupt in data file t.dat");
    for (int i = 1; i < PageCache::Buffers; ++i) cache.pin(4096 * (i + 1));
    EXPECT_EQ(messageOf([&] { cache.pin(4096 * 100); }), "Index page buffers corrupt in data file t.dat");
}

TEST(PageCacheTest, TheLeastRecentlyUsedBufferIsReusedAndWrittenBackWhenChanged)
{
    std::vector<std::int32_t> written;
    PageCache cache("t.dat", [](std::int32_t offset, IndexPage& page, std::vector<std::uint8_t>*) { page.offset = offset; },
                    [&](const IndexPage& page) { written.push_back(page.offset); });
    for (int i = 0; i < PageCache::Buffers; ++i) {
        cache.pin(4096 * (i + 1));
        cache.unpin(4096 * (i + 1));
    }
    cache.setChanged(4096, true);
    cache.pin(8192);  // now the most recent
    cache.unpin(8192);
    cache.pin(4096 * 40);
    EXPECT_EQ(written, (std::vector<std::int32_t>{4096}));
    EXPECT_EQ(cache.find(4096), nullptr);
    cache.pin(4096 * 41);  // unchanged 12288 goes without a write
    EXPECT_EQ(written.size(), 1u);
    EXPECT_EQ(cache.find(12288), nullptr);
    EXPECT_NE(cache.find(8192), nullptr);
}

TEST_F(WideKeys, EveryPageReadRunsInsideTheReadGuardWhichMayNotDropTheCache)
{
    insert({1, 2, 3, 4, 5, 6, 7, 8, 9});
    file->writeBack();
    file->dropCache();
    int guarded = 0;
    file->setReadGuard([&](const std::function<void()>& read) {
        ++guarded;
        read();
    });
    std::int64_t before = file->pageReads();
    EXPECT_EQ(file->last(PrimaryIndex)->slot, 9);
    EXPECT_EQ(guarded, file->pageReads() - before);
    EXPECT_EQ(guarded, 2);

    file->dropCache();
    file->setReadGuard([&](const std::function<void()>& read) {
        file->dropCache();
        read();
    });
    EXPECT_EQ(messageOf([&] { file->first(PrimaryIndex); }), "Index page buffers corrupt in data file t.dat");
}
