// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/keys.h"

#include "store/storeerror.h"
#include "support/indextestsupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace store;
using testing_support::SlotLayout;

namespace {

Key part(const Key& key, int from, int length) { return Key(key.begin() + from, key.begin() + from + length); }

struct OneColumn {
    SlotLayout layout;
    int column;
    KeyBuilder keys;

    OneColumn(FieldType type, int size = 0, IndexDescriptor options = {}, bool secondary = false,
              TableLocale locale = TableLocale())
        : column(layout.add("value", type, size)), keys(build(options, secondary, std::move(locale)))
    {
    }

    KeyBuilder build(IndexDescriptor options, bool secondary, TableLocale locale)
    {
        options.columns = {static_cast<std::uint16_t>(column)};
        return KeyBuilder(layout.columns(), layout.finish(options, secondary), secondary, std::move(locale));
    }

    template <class Set>
    Key keyOf(Set set, std::int32_t rowId = 1)
    {
        auto image = layout.image(1, rowId);
        set(image);
        return keys.build(image.data());
    }
    Key integer(std::int32_t value) { return keyOf([&](auto& image) { layout.setInteger(image, column, value); }); }
    Key real(double value) { return keyOf([&](auto& image) { layout.setFloat(image, column, value); }); }
    Key text(const std::string& value, std::int32_t rowId = 1)
    {
        return keyOf([&](auto& image) { layout.setString(image, column, value); }, rowId);
    }
    Key empty() { return keyOf([](auto&) {}); }
    bool less(const Key& left, const Key& right) const { return keys.compare(left.data(), right.data()) < 0; }
};

}  // namespace

TEST(Keys, IntegersAreBigEndianWithTheSignBitInvertedAfterThePresenceByte)
{
    OneColumn table(FieldType::Integer);
    EXPECT_EQ(table.integer(-1), (Key{1, 0x7F, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(table.integer(0), (Key{1, 0x80, 0x00, 0x00, 0x00}));
    EXPECT_EQ(table.integer(1), (Key{1, 0x80, 0x00, 0x00, 0x01}));
    EXPECT_TRUE(table.less(table.integer(-1), table.integer(0)));
    EXPECT_TRUE(table.less(table.integer(0), table.integer(1)));
    EXPECT_TRUE(table.less(table.integer(INT32_MIN), table.integer(-1)));
    EXPECT_TRUE(table.less(table.empty(), table.integer(INT32_MIN)));
    EXPECT_EQ(table.empty(), (Key{0, 0, 0, 0, 0}));
}

TEST(Keys, FloatsSortByValueAndNegativeZeroEqualsZero)
{
    OneColumn table(FieldType::Float);
    std::vector<double> values{-1e300, -2.0, -1.0, -1e-300, 0.0, 1e-300, 1.0, 2.5, 1e300};
    for (std::size_t i = 1; i < values.size(); ++i)
        EXPECT_TRUE(table.less(table.real(values[i - 1]), table.real(values[i]))) << values[i - 1] << " " << values[i];
    EXPECT_EQ(table.real(-0.0), table.real(0.0));
    EXPECT_EQ(table.real(0.0), (Key{1, 0x80, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(table.real(-2.0), (Key{1, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));

    OneColumn stamps(FieldType::Timestamp);
    EXPECT_TRUE(stamps.less(stamps.real(-86400000.0), stamps.real(86400000.0)));
}

TEST(Keys, NarrowAndFixedPointKindsFollowTheirEncodings)
{
    OneColumn small(FieldType::SmallInt);
    Key minusTwo = small.keyOf([&](auto& image) { small.layout.setSmallInt(image, small.column, -2); });
    EXPECT_EQ(minusTwo, (Key{1, 0x7F, 0xFE}));

    OneColumn word(FieldType::Word);
    Key big = word.keyOf([&](auto& image) { word.layout.setWord(image, word.column, 0xABCD); });
    EXPECT_EQ(big, (Key{1, 0xAB, 0xCD}));

    OneColumn flag(FieldType::Boolean);
    Key yes = flag.keyOf([&](auto& image) { flag.layout.setWord(image, flag.column, 1); });
    EXPECT_EQ(yes, (Key{1, 0x00, 0x01}));

    OneColumn decimal(FieldType::Decimal);
    Key minus = decimal.keyOf([&](auto& image) { decimal.layout.setDecimal(image, decimal.column, -150); });
    Key plus = decimal.keyOf([&](auto& image) { decimal.layout.setDecimal(image, decimal.column, 150); });
    EXPECT_EQ(minus, (Key{1, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x6A}));
    EXPECT_TRUE(decimal.less(minus, plus));
}

TEST(Keys, StringsAreZeroPaddedAndUpperCasedOnlyWhenTheIndexIgnoresCase)
{
    OneColumn exact(FieldType::String, 5);
    EXPECT_EQ(exact.text("ab"), (Key{1, 'a', 'b', 0, 0, 0, 0}));
    EXPECT_TRUE(exact.less(exact.text("B"), exact.text("a")));

    IndexDescriptor ignoring;
    ignoring.caseInsensitive = true;
    OneColumn folded(FieldType::String, 5, ignoring);
    EXPECT_EQ(folded.text("ab"), folded.text("AB"));
    EXPECT_TRUE(folded.less(folded.text("a"), folded.text("B")));
}

TEST(Keys, DescendingColumnInvertsItsPartButNotTheLastByteOfAString)
{
    IndexDescriptor downwards;
    downwards.columnDescending = {true};
    OneColumn text(FieldType::String, 3, downwards);
    EXPECT_EQ(text.text("AB"), (Key{0xFE, 0xBE, 0xBD, 0xFF, 0x00}));
    EXPECT_TRUE(text.less(text.text("ABC"), text.text("AB")));
    EXPECT_TRUE(text.less(text.text("AB"), text.text("A")));
    EXPECT_TRUE(text.less(text.text("A"), text.empty()));

    OneColumn number(FieldType::Integer, 0, downwards);
    EXPECT_EQ(number.integer(0), (Key{0xFE, 0x7F, 0xFF, 0xFF, 0xFF}));
    EXPECT_TRUE(number.less(number.integer(5), number.integer(-5)));
}

TEST(Keys, NonUniqueSecondaryKeysEndInTheRowIdAndEqualValuesSortByIt)
{
    OneColumn names(FieldType::String, 4, IndexDescriptor(), true);
    EXPECT_EQ(names.keys.keyLength(), 1 + 5 + 4);
    EXPECT_TRUE(names.keys.hasRowIdSuffix());
    Key first = names.text("Ann", 7);
    EXPECT_EQ(part(first, 6, 4), (Key{0x80, 0, 0, 7}));
    EXPECT_TRUE(names.less(first, names.text("Ann", 300)));
    EXPECT_TRUE(names.less(names.text("Ann", 300), names.text("Bob", 2)));

    IndexDescriptor unique;
    unique.unique = true;
    OneColumn codes(FieldType::String, 4, unique, true);
    EXPECT_FALSE(codes.keys.hasRowIdSuffix());
    EXPECT_EQ(codes.keys.keyLength(), 6);
}

TEST(Keys, AutoIncrementColumnsAndTheDeletedSlotIndexUseTheRowId)
{
    SlotLayout layout;
    int id = layout.add("id", FieldType::Integer, 0, subtype::AutoIncrement);
    IndexDescriptor primary;
    primary.columns = {static_cast<std::uint16_t>(id)};
    KeyBuilder keys(layout.columns(), layout.finish(primary, false), false, TableLocale());
    auto image = layout.image(3, 258);
    EXPECT_EQ(keys.build(image.data()), (Key{1, 0x80, 0, 1, 2}));

    KeyBuilder deleted;
    image[0] = SlotDeleted;
    EXPECT_EQ(deleted.build(image.data()), (Key{1, 0x80, 0, 1, 2}));
    EXPECT_EQ(deletedSlotKey(SlotInUse, -1), (Key{0, 0x7F, 0xFF, 0xFF, 0xFF}));
}

TEST(Keys, OnlyColumnsThatCanBeIndexedAreAccepted)
{
    SlotLayout layout;
    int memo = layout.add("memo", FieldType::Blob, 0, subtype::Memo);
    int number = layout.add("number", FieldType::Integer);
    IndexDescriptor index;
    index.columns = {static_cast<std::uint16_t>(number)};
    EXPECT_TRUE(KeyBuilder::keyColumnsValid(layout.columns(), index));
    index.columns = {static_cast<std::uint16_t>(memo)};
    EXPECT_FALSE(KeyBuilder::keyColumnsValid(layout.columns(), index));
    index.columns = {9};
    EXPECT_FALSE(KeyBuilder::keyColumnsValid(layout.columns(), index));
}

TEST(TableLocaleTest, AnUnknownIdentifierPairIsNotAvailable)
{
    EXPECT_TRUE(localeAvailable(0, 0));
    EXPECT_FALSE(localeAvailable(0x0409, 77));
    try {
        TableLocale::forTable(0x0409, 77, "results.dat");
        FAIL() << "opened a locale that does not exist";
    } catch (const StoreError& error) {
        EXPECT_STREQ(error.what(), "The language driver for data file results.dat is not available or installed");
    }
    EXPECT_FALSE(TableLocale::forTable(0, 0, "results.dat").active());
}

TEST(TableLocaleTest, StringsOfALocaleTableAreMappedAndCollatedByTheLocale)
{
    ASSERT_TRUE(localeAvailable(0x007F, 0)) << "this machine lacks the C.UTF-8 locale";
    TableLocale invariant = TableLocale::forTable(0x007F, 0, "t.dat");
    EXPECT_EQ(invariant.mapText("\xEF\xBC\xA1" "b\xE3\x80\x80" "c", false, 20), "Ab c");  // full-width A, ideographic space
    EXPECT_EQ(invariant.mapText("abc", true, 2), "AB");
    EXPECT_EQ(invariant.mapText("a\xFF" "b", true, 10), "A\xFF" "B");  // a stray byte stays as it is
    EXPECT_LT(invariant.compareText("A", "B"), 0);
    EXPECT_EQ(invariant.compareText("A", "A"), 0);

    IndexDescriptor options;
    options.caseInsensitive = true;
    options.columnDescending = {true};
    OneColumn table(FieldType::String, 6, options, false, invariant);
    EXPECT_EQ(table.text("abc"), (Key{1, 'A', 'B', 'C', 0, 0, 0, 0}));  // not inverted in a locale table
    EXPECT_EQ(table.text("\xEF\xBC\xA1"), table.text("a"));
    EXPECT_TRUE(table.less(table.text("b"), table.text("a")));
    EXPECT_TRUE(table.less(table.text("a"), table.empty()));
}
