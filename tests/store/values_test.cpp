// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/storeerror.h"
#include "store/values.h"
#include "support/tables.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

using namespace store;
using testing_support::failureOf;

namespace {

Column columnOf(FieldType type, const std::string& name = "C", std::uint8_t size = 0, std::uint8_t decimals = 0)
{
    Column column;
    column.name = name;
    column.type = type;
    column.size = size;
    column.decimals = decimals;
    column.physicalSize = type == FieldType::String ? size + 1 : 8;
    return column;
}

// Tests that change the program-wide formats put them back.
class TextFormats : public ::testing::Test {
protected:
    void TearDown() override { formats() = Formats(); }
};

}  // namespace

TEST(Calendar, DayNumbersCountFromTheFirstOfJanuaryOfYearOne)
{
    EXPECT_EQ(dayNumber(1, 1, 1), 1);
    EXPECT_EQ(dayNumber(1899, 12, 30), 693594);
    EXPECT_EQ(dayNumber(9999, 12, 31), LastDayOfYear9999);
    EXPECT_EQ(dayNumber(2000, 3, 1) - dayNumber(2000, 2, 28), 2);  // 2000 is a leap year
    EXPECT_EQ(dayNumber(1900, 3, 1) - dayNumber(1900, 2, 28), 1);  // 1900 is not
    EXPECT_FALSE(isValidDate(1900, 2, 29));
    EXPECT_TRUE(isValidDate(2000, 2, 29));
    for (std::int32_t day = 1; day <= LastDayOfYear9999; day += 1) {
        CivilDate civil = civilDate(day);
        ASSERT_TRUE(isValidDate(civil.year, civil.month, civil.day)) << day;
        ASSERT_EQ(dayNumber(civil.year, civil.month, civil.day), day);
    }
}

TEST(Calendar, LastUpdateStampCountsFrom1899MinusItsOffset)
{
    EXPECT_DOUBLE_EQ(lastUpdateStampOf(timestampOf(dayNumber(1899, 12, 30), 0)), -693594.0);
    Timestamp noon = timestampOf(dayNumber(2024, 1, 1), MillisecondsPerDay / 2);
    EXPECT_DOUBLE_EQ(lastUpdateStampOf(noon), 45292.5 - 693594);
    EXPECT_EQ(timestampOfLastUpdateStamp(lastUpdateStampOf(noon)), noon);
    // Before 1899 the time of day stays a positive fraction: -1.25 is 29 December 1899, 6:00.
    Timestamp early = timestampOf(dayNumber(1899, 12, 29), MillisecondsPerDay / 4);
    EXPECT_DOUBLE_EQ(lastUpdateStampOf(early), -1.25 - 693594);
    EXPECT_EQ(timestampOfLastUpdateStamp(-1.25 - 693594), early);
}

TEST(TextForms, FloatsReadInShortestGeneralFormOfFifteenDigits)
{
    EXPECT_EQ(formatFloat(1234.50), "1234.5");
    EXPECT_EQ(formatFloat(1234.00), "1234");
    EXPECT_EQ(formatFloat(0.1), "0.1");
    EXPECT_EQ(formatFloat(-0.0), "-0");
    EXPECT_EQ(formatFloat(1e20), "1E20");
    EXPECT_EQ(formatFloat(1.5e-7), "1.5E-7");
    EXPECT_EQ(formatFloat(DBL_MAX), "1.79769313486232E308");
    EXPECT_EQ(formatFloat(123456789012345678.0), "1.23456789012346E17");
    EXPECT_EQ(formatFloat(INFINITY), "INF");
    EXPECT_EQ(parseFloat(" 1234.5 "), 1234.5);
    EXPECT_EQ(parseFloat("+1E20"), 1e20);
    EXPECT_EQ(failureOf([] { parseFloat("1,5"); }), "'1,5' is not a valid floating point value");
}

TEST_F(TextFormats, DatesAndTimesFollowTheProgramWideFormats)
{
    Date march = Date{dayNumber(2024, 3, 7)};
    EXPECT_EQ(formatDate(march), "03/07/24");
    EXPECT_EQ(formatTime(TimeOfDay{(15 * 3600 + 5 * 60 + 9) * 1000}), "3:05:09 PM");
    EXPECT_EQ(formatTime(TimeOfDay{0}), "12:00:00 AM");
    EXPECT_EQ(formatTime(TimeOfDay{12 * 3600 * 1000}), "12:00:00 PM");
    EXPECT_EQ(formatTimestamp(timestampOf(march.day, 9000)), "03/07/24 12:00:09 AM");

    formats().shortDateFormat = "dd/mm/yyyy";
    formats().dateSeparator = '.';
    formats().longTimeFormat = "hh:nn:ss.zzz";
    EXPECT_EQ(formatDate(march), "07.03.2024");
    EXPECT_EQ(parseDate("7.3.2024"), march);
    EXPECT_EQ(formatTime(TimeOfDay{(15 * 3600 + 5 * 60 + 9) * 1000 + 42}), "15:05:09.042");
}

TEST_F(TextFormats, TextsAreParsedInTheCurrentFormats)
{
    EXPECT_EQ(parseDate("03/07/1999"), Date{dayNumber(1999, 3, 7)});
    EXPECT_EQ(parseDate("12/31/9999"), Date{LastDayOfYear9999});
    // Two-digit years fall within 50 years either side of the present.
    std::int64_t thisYear = civilDate(dateOf(currentDateTime()).day).year;
    for (const char* text : {"01/01/00", "01/01/34", "01/01/99"}) {
        std::int64_t year = civilDate(parseDate(text).day).year;
        EXPECT_GE(year, thisYear - 50) << text;
        EXPECT_LT(year, thisYear + 50) << text;
    }
    EXPECT_EQ(parseTime("3:05:09 PM"), TimeOfDay{(15 * 3600 + 5 * 60 + 9) * 1000});
    EXPECT_EQ(parseTime("12:00 am"), TimeOfDay{0});
    EXPECT_EQ(parseTime("23:59:59.999"), TimeOfDay{MillisecondsPerDay - 1});
    EXPECT_EQ(parseTimestamp("03/07/24 3:05:09 PM"),
              timestampOf(dayNumber(2024, 3, 7), (15 * 3600 + 5 * 60 + 9) * 1000));
    EXPECT_EQ(failureOf([] { parseDate("02/30/24"); }), "'02/30/24' is not a valid date");
    EXPECT_EQ(failureOf([] { parseTime("25:00"); }), "'25:00' is not a valid time");
    EXPECT_EQ(failureOf([] { parseTime("13:00 PM"); }), "'13:00 PM' is not a valid time");
    EXPECT_EQ(failureOf([] { parseTimestamp("03/07/24 x"); }), "'03/07/24 x' is not a valid date and time");
}

TEST(Conversions, WrittenValuesBecomeTheColumnsKindOrFailNamingIt)
{
    Column small = columnOf(FieldType::SmallInt, "S");
    EXPECT_EQ(valueFor(small, Value(std::string(" -10 "))), Value(std::int64_t{-10}));
    EXPECT_EQ(failureOf([&] { valueFromText(small, "70000"); }), "Value 70000 is out of range for field 'S'");
    EXPECT_EQ(failureOf([&] { valueFromText(small, "12a"); }), "'12a' is not a valid integer value");
    EXPECT_EQ(valueFromText(small, "  "), Value());  // an empty text empties the column
    EXPECT_EQ(failureOf([&] { valueFromBoolean(small, true); }), "Field 'S' cannot hold a boolean");

    Column text = columnOf(FieldType::String, "T", 20);
    EXPECT_EQ(valueFromInteger(text, 42), Value(std::string("42")));
    Column real = columnOf(FieldType::Float, "F");
    EXPECT_EQ(valueFromText(real, "1234.50"), Value(1234.5));
    EXPECT_EQ(valueFromInteger(real, 7), Value(7.0));
    EXPECT_EQ(textOf(real, Value(1234.0)), "1234");

    Timestamp moment = timestampOf(dayNumber(2024, 3, 7), 55000);
    EXPECT_EQ(valueFromDateTime(columnOf(FieldType::Date), moment), Value(Date{dayNumber(2024, 3, 7)}));
    EXPECT_EQ(valueFromDateTime(columnOf(FieldType::Time), moment), Value(TimeOfDay{55000}));
    Column flag = columnOf(FieldType::Boolean, "B");
    EXPECT_EQ(valueFromText(flag, "false"), Value(false));
    EXPECT_EQ(textOf(flag, Value(true)), "True");
    EXPECT_EQ(failureOf([&] { booleanOf(flag, Value(std::int64_t{1})); }), "Field 'B' cannot be read as a boolean");
    EXPECT_EQ(textOf(flag, Value()), "");
    EXPECT_EQ(integerOf(flag, Value()), 0);
}

TEST(Conversions, DecimalsKeepExactlyTheirPlaces)
{
    Column money = columnOf(FieldType::Decimal, "D", 0, 2);
    EXPECT_EQ(std::get<Decimal>(valueFromText(money, "1234.50")).units, 123450);
    EXPECT_EQ(std::get<Decimal>(valueFromText(money, "12.345")).units, 1235);
    EXPECT_EQ(std::get<Decimal>(valueFromText(money, "-0.005")).units, -1);
    EXPECT_EQ(std::get<Decimal>(valueFromText(money, ".5")).units, 50);
    EXPECT_EQ(textOf(money, Value(Decimal{123450, 2})), "1234.5");
    EXPECT_EQ(textOf(money, Value(Decimal{-5, 2})), "-0.05");
    EXPECT_EQ(textOf(money, Value(Decimal{700, 2})), "7");
    EXPECT_EQ(failureOf([&] { valueFromText(money, "99999999999999999999"); }),
              "Value 99999999999999999999 is out of range for field 'D'");
    EXPECT_EQ(floatOf(money, Value(Decimal{123450, 2})), 1234.5);
}

TEST(Conversions, ExtendedFloatsHoldEveryDouble)
{
    Column extended = columnOf(FieldType::Extended, "X");
    for (double value : {0.0, -0.0, 1.5, -2.25e-300, DBL_MAX, DBL_TRUE_MIN, 1e308}) {
        Value stored = valueFromFloat(extended, value);
        double back = floatOf(extended, stored);
        EXPECT_EQ(back, value);
        EXPECT_EQ(std::signbit(back), std::signbit(value));
    }
    EXPECT_EQ(textOf(extended, valueFromFloat(extended, 1234.5)), "1234.5");
}

TEST(Slots, StringsLoseTrailingBlanksAndAreCutToTheirSize)
{
    Column text = columnOf(FieldType::String, "T", 5);
    std::uint8_t place[7];
    encodeValue(text, Value(std::string("abc   ")), place);
    EXPECT_EQ(decodeValue(text, place), Value(std::string("abc")));
    encodeValue(text, Value(std::string("abcdefgh")), place);
    EXPECT_EQ(decodeValue(text, place), Value(std::string("abcde")));
    EXPECT_EQ(place[6], 0);
    encodeValue(text, Value(std::string("   ")), place);
    EXPECT_EQ(place[0], 0);
    EXPECT_TRUE(isEmpty(decodeValue(text, place)));
}
