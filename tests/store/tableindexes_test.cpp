// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/tableindexes.h"

#include "store/indexverify.h"
#include "store/storeerror.h"
#include "support/indextestsupport.h"
#include "support/faultyfilesystem.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <random>

using namespace store;
using namespace testing_support;

namespace {

// Columns of the test table.
enum : int { Id = 1, Name, City, Amount, Day, Code, Note };
// Its secondary indexes, in descriptor order.
enum : int { ByName = 1, ByCity, ByAmountDay, ByNote, ByCode };

struct ModelRow {
    std::int32_t id = 0;
    std::optional<std::string> name, city, note;
    std::optional<double> amount;
    std::optional<std::int32_t> day;
    std::optional<std::int16_t> code;
    std::int32_t rowId = 0;
};

template <class T>
int order(const std::optional<T>& left, const std::optional<T>& right)
{
    if (!left || !right) return static_cast<int>(left.has_value()) - static_cast<int>(right.has_value());
    return *left < *right ? -1 : *right < *left ? 1 : 0;
}

std::optional<std::string> upper(std::optional<std::string> text)
{
    if (text)
        for (char& character : *text) character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    return text;
}

// The order each index must give, worked out from the values themselves.
bool before(int index, const ModelRow& left, const ModelRow& right)
{
    int by = 0;
    switch (index) {
    case PrimaryIndex: return left.id < right.id;
    case ByName: by = order(upper(left.name), upper(right.name)); break;
    case ByCity:
        by = -order(left.city, right.city);  // descending: empty last
        if (by == 0) by = order(left.name, right.name);
        break;
    case ByAmountDay:
        by = order(left.amount, right.amount);
        if (by == 0) by = order(left.day, right.day);
        break;
    case ByNote:  // the whole index descends, row ids included
        by = -order(left.note, right.note);
        return by != 0 ? by < 0 : left.rowId > right.rowId;
    case ByCode: return order(left.code, right.code) < 0;
    }
    return by != 0 ? by < 0 : left.rowId < right.rowId;
}

SlotLayout testLayout()
{
    SlotLayout layout;
    layout.add("id", FieldType::Integer);
    // Wide strings keep the pages short, so that the trees grow several levels.
    layout.add("name", FieldType::String, 250);
    layout.add("city", FieldType::String, 120);
    layout.add("amount", FieldType::Float);
    layout.add("day", FieldType::Date);
    layout.add("code", FieldType::SmallInt);
    layout.add("note", FieldType::String, 250);
    return layout;
}

IndexDescriptor secondary(const std::string& name, std::vector<std::uint16_t> columns, Compression compression)
{
    IndexDescriptor index;
    index.name = name;
    index.columns = std::move(columns);
    index.compression = compression;
    return index;
}

IndexHeader testHeader(const SlotLayout& layout, bool primaryKeys = true)
{
    IndexDescriptor primary;
    if (primaryKeys) primary.columns = {Id};
    IndexDescriptor names = secondary("Name", {Name}, Compression::None);
    names.caseInsensitive = true;
    IndexDescriptor cities = secondary("City", {City, Name}, Compression::Leading);
    cities.columnDescending = {true, false};
    IndexDescriptor amounts = secondary("AmountDay", {Amount, Day}, Compression::Trailing);
    IndexDescriptor notes = secondary("Note", {Note}, Compression::Both);
    notes.descending = true;
    IndexDescriptor codes = secondary("Code", {Code}, Compression::None);
    codes.unique = true;
    return indexHeaderFor(layout, primary, {names, cities, amounts, notes, codes});
}

// The data file's side, kept in memory: slots, the deleted-slot chain, row
// ids, and the slot images the index file is checked against.
class ModelTable {
public:
    explicit ModelTable(bool primaryKeys = true) : primaryKeys_(primaryKeys) {}

    SlotLayout layout = testLayout();
    std::map<std::int32_t, ModelRow> live;
    std::vector<std::vector<std::uint8_t>> slots;  // slot n at n - 1

    std::vector<std::uint8_t> imageOf(const ModelRow& row, std::int32_t slot) const
    {
        auto image = layout.image(slot, row.rowId);
        layout.setInteger(image, Id, row.id);
        if (row.name) layout.setString(image, Name, *row.name);
        if (row.city) layout.setString(image, City, *row.city);
        if (row.amount) layout.setFloat(image, Amount, *row.amount);
        if (row.day) layout.setInteger(image, Day, *row.day);
        if (row.code) layout.setSmallInt(image, Code, *row.code);
        if (row.note) layout.setString(image, Note, *row.note);
        return image;
    }

    bool clashes(const ModelRow& row, std::int32_t ownSlot) const
    {
        for (const auto& [slot, other] : live)
            if (slot != ownSlot && ((primaryKeys_ && other.id == row.id) || order(other.code, row.code) == 0))
                return true;
        return false;
    }

    // checked: ask checkUnique first, as the data file does; unchecked, the
    // index changes themselves must refuse a duplicate and change nothing.
    void append(TableIndexes& indexes, ModelRow row, bool checked = true)
    {
        row.rowId = lastRowId_ + 1;
        bool reuse = primaryKeys_ && chainHead_ != 0;
        auto slot = reuse ? chainHead_ : static_cast<std::int32_t>(slots.size() + 1);
        std::vector<std::uint8_t> deleted = reuse ? slots[slot - 1] : std::vector<std::uint8_t>();
        auto image = imageOf(row, slot);
        if (checked) indexes.checkUnique(slot, nullptr, image.data());
        indexes.rowAppended(slot, image.data(), reuse ? deleted.data() : nullptr);
        lastRowId_ = row.rowId;
        if (reuse)
            chainHead_ = bytes::getI32(deleted.data() + 1);
        else
            slots.emplace_back();
        slots[slot - 1] = image;
        live[slot] = row;
    }

    void change(TableIndexes& indexes, std::int32_t slot, ModelRow row, bool checked = true)
    {
        row.rowId = live.at(slot).rowId;
        auto image = imageOf(row, slot);
        if (checked) indexes.checkUnique(slot, slots[slot - 1].data(), image.data());
        indexes.rowChanged(slot, slots[slot - 1].data(), image.data());
        slots[slot - 1] = image;
        live[slot] = row;
    }

    void remove(TableIndexes& indexes, std::int32_t slot)
    {
        indexes.rowDeleted(slot, slots[slot - 1].data());
        std::vector<std::uint8_t>& image = slots[slot - 1];
        image[0] = SlotDeleted;
        bytes::putI32(image.data() + 1, primaryKeys_ ? chainHead_ : 0);
        chainHead_ = slot;
        live.erase(slot);
    }

    std::vector<std::int32_t> expectedOrder(int index) const
    {
        std::vector<std::int32_t> order;
        for (const auto& entry : live) order.push_back(entry.first);
        std::sort(order.begin(), order.end(),
                  [&](std::int32_t left, std::int32_t right) { return before(index, live.at(left), live.at(right)); });
        return order;
    }

private:
    bool primaryKeys_;
    std::int32_t chainHead_ = 0;
    std::int32_t lastRowId_ = 0;
};

std::vector<std::int32_t> walkForward(TableIndexes& indexes, int order)
{
    std::vector<std::int32_t> slots;
    for (auto entry = indexes.first(order); entry; entry = indexes.next(order, entry->key)) slots.push_back(entry->slot);
    return slots;
}

std::vector<std::int32_t> walkBackward(TableIndexes& indexes, int order)
{
    std::vector<std::int32_t> slots;
    for (auto entry = indexes.last(order); entry; entry = indexes.prior(order, entry->key)) slots.push_back(entry->slot);
    std::reverse(slots.begin(), slots.end());
    return slots;
}

class RandomRows {
public:
    explicit RandomRows(unsigned seed) : random_(seed) {}

    ModelRow row()
    {
        static const std::vector<std::string> names{"ann", "Ann", "ANN", "bob", "Bob", "carl", "Dora", "eve", "Zed"};
        static const std::vector<std::string> cities{"A", "AB", "ABC", "ABD", "B", "Berlin", "Bern", "Rome"};
        static const std::vector<std::string> notes{"x", "alpha", "alphabet", "beta", "", "omega"};
        static const std::vector<double> amounts{-2.0, -1.0, -0.0, 0.0, 1.0, 1e9, -1e-9, 2.5};
        ModelRow row;
        row.id = pick(-5000, 5000);
        row.name = maybe(names);
        row.city = maybe(cities);
        row.note = maybe(notes);
        if (row.note && row.note->empty()) row.note.reset();
        if (pick(0, 5)) row.amount = pick(0, 3) ? amounts[pick(0, 7)] : pick(-1000, 1000) / 8.0;
        if (pick(0, 5)) row.day = pick(730000, 730100);
        if (pick(0, 20)) row.code = static_cast<std::int16_t>(pick(-3000, 3000));
        return row;
    }
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

private:
    std::optional<std::string> maybe(const std::vector<std::string>& pool)
    {
        if (pick(0, 6) == 0) return std::nullopt;
        return pool[pick(0, static_cast<int>(pool.size()) - 1)];
    }

    std::mt19937 random_;
};

class TableIndexesTest : public ::testing::Test {
protected:
    void create(bool primaryKeys = true)
    {
        model = ModelTable(primaryKeys);
        writeIndexFile(path, testHeader(model.layout, primaryKeys));
        reopen();
    }
    void reopen(FileSystem& fileSystem = systemFileSystem())
    {
        indexes.reset();
        indexes = std::make_unique<TableIndexes>(openForWriting(path, fileSystem), "t.dat", model.layout.columns());
    }
    std::vector<int> orders() const { return {PrimaryIndex, ByName, ByCity, ByAmountDay, ByNote, ByCode}; }

    void checkEveryOrder()
    {
        ASSERT_EQ(indexes->rowCount(), static_cast<std::int32_t>(model.live.size()));
        for (int order : orders()) {
            std::vector<std::int32_t> expected = model.expectedOrder(order);
            ASSERT_EQ(walkForward(*indexes, order), expected) << "order " << order;
            ASSERT_EQ(walkBackward(*indexes, order), expected) << "order " << order;
            ASSERT_EQ(indexes->keyCount(order), static_cast<std::int32_t>(expected.size()));
        }
    }

    void checkRowNumbers(RandomRows& random)
    {
        if (model.live.empty()) return;
        int order = orders()[random.pick(0, 5)];
        std::vector<std::int32_t> expected = model.expectedOrder(order);
        for (int i = 0; i < 4; ++i) {
            std::size_t position = random.pick(0, static_cast<int>(expected.size()) - 1);
            std::int32_t slot = expected[position];
            Key key = indexes->keyOf(order, model.slots[slot - 1].data());
            ASSERT_EQ(indexes->rank(order, key), static_cast<std::int32_t>(position)) << "order " << order;
            ASSERT_EQ(indexes->atOrAfter(order, key)->slot, slot);
        }
    }

    // Appends random rows, leaving out those that would clash, until count are stored.
    void fill(RandomRows& random, std::size_t count)
    {
        while (model.live.size() < count) {
            ModelRow row = random.row();
            if (!model.clashes(row, 0)) model.append(*indexes, row);
        }
    }

    void checkFile()
    {
        indexes->writeBack();
        std::vector<std::string> problems = verifyIndexFile(indexes->file(), model.slots);
        for (const std::string& problem : problems) ADD_FAILURE() << problem;
    }

    TempDir dir;
    std::string path = dir.file("t.IDX");
    ModelTable model;
    std::unique_ptr<TableIndexes> indexes;
};

}  // namespace

TEST_F(TableIndexesTest, RandomAppendsChangesAndDeletesKeepEveryIndexInTheModelsOrder)
{
    create();
    RandomRows random(20261209);
    int refused = 0;
    for (int step = 1; step <= 6000; ++step) {
        // Grow, shrink almost to nothing (emptying pages, collapsing roots),
        // grow again from the free pages, then mix.
        int appends = step <= 2000 ? 6 : step <= 3500 ? 1 : step <= 5000 ? 6 : 4;
        int action = random.pick(0, 9);
        if (action < appends || model.live.size() < 3) {
            ModelRow row = random.row();
            if (model.clashes(row, 0)) {
                ++refused;
                std::string message = messageOf([&] { model.append(*indexes, row, refused % 2 == 0); });
                ASSERT_EQ(message.rfind("Duplicate key found in index ", 0), 0u) << message;
            } else {
                model.append(*indexes, row);
            }
        } else {
            auto slot = std::next(model.live.begin(), random.pick(0, static_cast<int>(model.live.size()) - 1))->first;
            if (action < appends + (10 - appends) / 3) {
                ModelRow row = model.live.at(slot);
                ModelRow changed = random.row();
                if (random.pick(0, 1)) row.name = changed.name;
                if (random.pick(0, 1)) row.city = changed.city;
                if (random.pick(0, 1)) row.amount = changed.amount;
                if (random.pick(0, 2) == 0) row.code = changed.code;
                if (random.pick(0, 2) == 0) row.note = changed.note;
                if (random.pick(0, 3) == 0) row.id = changed.id;
                if (model.clashes(row, slot)) {
                    ++refused;
                    std::string message = messageOf([&] { model.change(*indexes, slot, row, refused % 2 == 0); });
                    ASSERT_EQ(message.rfind("Duplicate key found in index ", 0), 0u) << message;
                } else {
                    model.change(*indexes, slot, row);
                }
            } else {
                model.remove(*indexes, slot);
            }
        }
        if (step % 10 == 0) checkRowNumbers(random);
        if (step % 250 == 0) checkEveryOrder();
        if (step % 1000 == 0) checkFile();
        if (step == 1500 || step == 3300 || step == 5200) {
            indexes->writeBack();
            reopen();
        }
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(refused, 10);
    EXPECT_GT(model.live.size(), 200u);
    checkEveryOrder();
    checkFile();
}

TEST_F(TableIndexesTest, ADuplicateKeyLeavesEveryIndexByteForByteUnchanged)
{
    create();
    RandomRows random(5);
    fill(random, 60);
    indexes->writeBack();
    std::vector<std::uint8_t> before = bytesOf(path);
    const ModelRow& existing = model.live.begin()->second;

    ModelRow sameCode = random.row();
    sameCode.id = 9999;
    sameCode.code = existing.code;
    EXPECT_EQ(messageOf([&] { model.append(*indexes, sameCode); }), "Duplicate key found in index Code of data file t.dat");
    EXPECT_EQ(messageOf([&] { model.append(*indexes, sameCode, false); }),
              "Duplicate key found in index Code of data file t.dat");
    ModelRow sameId = existing;
    sameId.code = 9999;
    EXPECT_EQ(messageOf([&] { model.append(*indexes, sameId, false); }),
              "Duplicate key found in index Primary of data file t.dat");
    std::int32_t other = std::next(model.live.begin())->first;
    ModelRow changed = model.live.at(other);
    changed.code = existing.code;
    changed.name = "changed";
    EXPECT_EQ(messageOf([&] { model.change(*indexes, other, changed, false); }),
              "Duplicate key found in index Code of data file t.dat");

    indexes->writeBack();
    EXPECT_EQ(bytesOf(path), before);
    checkEveryOrder();
}

// Deep enough that an insert changes the subtree counts of interior pages
// above its leaf: a failure in a later index puts those back too.
TEST_F(TableIndexesTest, ADuplicateKeyInTreesWithInteriorPagesLeavesEveryIndexByteForByteUnchanged)
{
    create();
    RandomRows random(9);
    fill(random, 3000);
    indexes->writeBack();
    std::vector<std::uint8_t> before = bytesOf(path);
    ASSERT_GT(before.size(), 40u * 4096);
    for (int attempt = 0; attempt < 20; ++attempt) {
        auto existing = std::next(model.live.begin(), attempt * 97 % static_cast<int>(model.live.size()));
        ModelRow sameCode = random.row();
        sameCode.id = 900000 + attempt;
        sameCode.code = existing->second.code;
        EXPECT_EQ(messageOf([&] { model.append(*indexes, sameCode, false); }),
                  "Duplicate key found in index Code of data file t.dat");
    }
    indexes->writeBack();
    EXPECT_EQ(bytesOf(path), before);
    checkEveryOrder();
    checkFile();
}

TEST_F(TableIndexesTest, EqualStringsOfANonUniqueIndexFollowRowIdOrderAndTheDeletedSlotIndexEverySlot)
{
    create();
    for (int id = 1; id <= 3; ++id) {
        ModelRow row;
        row.id = id;
        row.code = static_cast<std::int16_t>(id);
        row.name = id == 2 ? "ANN" : "ann";
        model.append(*indexes, row);
    }
    model.remove(*indexes, 1);
    ModelRow reused;  // row id 4 in slot 1
    reused.id = 4;
    reused.code = 4;
    reused.name = "Ann";
    model.append(*indexes, reused);
    EXPECT_EQ(walkForward(*indexes, ByName), (std::vector<std::int32_t>{2, 3, 1}));
    EXPECT_EQ(indexes->rowCount(), 3);

    std::vector<Key> deleted;
    for (auto entry = indexes->first(DeletedSlotDescriptor); entry;
         entry = indexes->next(DeletedSlotDescriptor, entry->key))
        deleted.push_back(entry->key);
    EXPECT_EQ(deleted, (std::vector<Key>{deletedSlotKey(0, 2), deletedSlotKey(0, 3), deletedSlotKey(0, 4)}));
    model.remove(*indexes, 3);
    EXPECT_TRUE(indexes->file().contains(DeletedSlotDescriptor, deletedSlotKey(SlotDeleted, 3)));
    EXPECT_EQ(indexes->rowCount(), 2);
    checkFile();
}

TEST_F(TableIndexesTest, ATableWithoutPrimaryKeysFollowsSlotOrderAndKeepsNoDeletedSlots)
{
    create(false);
    EXPECT_FALSE(indexes->primaryHasKeyColumns());
    EXPECT_TRUE(indexes->followsSlotOrder(PrimaryIndex));
    RandomRows random(11);
    for (int i = 0; i < 30; ++i) {
        ModelRow row = random.row();
        row.code = static_cast<std::int16_t>(i);
        model.append(*indexes, row);
    }
    model.remove(*indexes, 1);
    model.remove(*indexes, 7);
    EXPECT_EQ(indexes->rowCount(), 28);
    EXPECT_EQ(indexes->keyCount(DeletedSlotDescriptor), 0);
    EXPECT_EQ(indexes->keyCount(PrimaryIndex), 0);
    EXPECT_EQ(indexes->keyCount(ByName), 28);
    checkFile();
}

TEST_F(TableIndexesTest, RowNumberReadsOnlyThePagesOnThePathToTheRow)
{
    create();
    RandomRows random(3);
    for (int i = 0; i < 3000; ++i) {
        ModelRow row = random.row();
        row.id = i;
        row.code = static_cast<std::int16_t>(i - 1500);
        model.append(*indexes, row);
    }
    indexes->writeBack();
    reopen();
    IndexFile& file = indexes->file();
    std::int32_t slot = model.expectedOrder(ByName)[2100];
    Key key = indexes->keyOf(ByName, model.slots[slot - 1].data());
    std::int64_t readsBefore = file.pageReads();
    EXPECT_EQ(indexes->rank(ByName, key), 2100);
    std::int64_t reads = file.pageReads() - readsBefore;

    int depth = 0;
    for (std::int32_t offset = file.descriptor(ByName).root;;) {
        IndexPage page = file.pageCopy(ByName, offset);
        ++depth;
        if (page.isLeaf()) break;
        offset = page.values.front();
    }
    EXPECT_GE(depth, 2);
    EXPECT_EQ(reads, depth);
}

TEST_F(TableIndexesTest, InjectedFaultsFailWithAStoreMessageAndLeaveTheIndexesSound)
{
    create();
    RandomRows random(7);
    fill(random, 300);
    indexes->writeBack();
    indexes.reset();
    std::string pristine = dir.file("pristine.IDX");
    std::filesystem::copy_file(path, pristine);
    const ModelTable base = model;
    ModelRow extra = random.row();
    extra.id = 9999;
    extra.code = 9999;

    FaultyFileSystem faulty;
    int failures = 0;
    for (Fault fault : {Fault::Error, Fault::ShortTransfer, Fault::DiskFull}) {
        for (long call = 0;; ++call) {
            std::filesystem::copy_file(pristine, path, std::filesystem::copy_options::overwrite_existing);
            model = base;
            faulty.plan.disarm();
            reopen(faulty);
            faulty.plan.arm(fault, call);
            std::string message;
            try {
                model.append(*indexes, extra);
                model.remove(*indexes, model.live.begin()->first);
                indexes->writeBack();
            } catch (const StoreError& error) {
                message = error.what();
            }
            bool fired = faulty.plan.fired;
            faulty.plan.disarm();
            if (!fired) break;
            ++failures;
            EXPECT_NE(message, "") << "call " << call << " failed silently";
            checkFile();  // what failed was undone; what succeeded is written now
            if (HasFailure()) return;
        }
    }
    EXPECT_GT(failures, 30);
}

TEST_F(TableIndexesTest, EveryPlaceOfEveryOrderFoundByCountsIsThePlaceAWalkReaches)
{
    create();
    RandomRows random(20261210);
    fill(random, 1500);
    // Deletions spread over the whole key range leave pages of every size
    // and interior counts below a full page.
    while (model.live.size() > 900) {
        auto slot = std::next(model.live.begin(), random.pick(0, static_cast<int>(model.live.size()) - 1))->first;
        model.remove(*indexes, slot);
    }
    for (int order : orders()) {
        std::vector<std::int32_t> walked = walkForward(*indexes, order);
        ASSERT_EQ(walked, model.expectedOrder(order)) << "order " << order;
        const auto places = static_cast<std::int32_t>(walked.size());
        for (std::int32_t place = 0; place < places; ++place) {
            std::optional<IndexEntry> found = indexes->atPlace(order, place);
            ASSERT_TRUE(found) << "order " << order << " place " << place;
            ASSERT_EQ(found->slot, walked[static_cast<std::size_t>(place)]) << "order " << order << " place " << place;
        }
        EXPECT_FALSE(indexes->atPlace(order, places)) << "order " << order;
        EXPECT_FALSE(indexes->atPlace(order, -1)) << "order " << order;
    }
}
