// SPDX-License-Identifier: GPL-3.0-or-later
#include "generation/testdata.h"

#include <gtest/gtest.h>

#include <set>

using namespace generation;

TEST(RandomGenerator, FollowsItsExactSequenceFromStateZero)
{
    RandomState = 0;
    EXPECT_EQ(randomint(10), 0u);
    EXPECT_EQ(RandomState, 1u);
    EXPECT_EQ(randomint(10), 0u);
    EXPECT_EQ(RandomState, 134775814u);
    EXPECT_EQ(randomint(10), 8u);
    EXPECT_EQ(RandomState, 3698175007u);
}

TEST(RandomGenerator, SeedsFromMillisecondsSinceMidnight)
{
    seedrandomAt(12, 0, 0, 0);
    EXPECT_EQ(RandomState, 43200000u);
    seedrandomAt(23, 59, 59, 999);
    EXPECT_EQ(RandomState, 86399999u);
    seedrandom();
    EXPECT_LT(RandomState, 86400000u);
}

TEST(NumericRules, EveryWidthKeepsItsDigitCountAndBounds)
{
    RandomState = 12345;
    for (int width : {4, 5, 6, 7, 8}) {
        for (int i = 0; i < 5000; ++i) {
            std::string whole = std::to_string(drawInteger(width));
            ASSERT_EQ(static_cast<int>(whole.size()), width) << whole;
            ASSERT_NE(whole, std::string(width, '9'));
            ASSERT_NE(whole, "1" + std::string(width - 1, '0'));
            std::string decimal = drawDecimalText(width);
            ASSERT_EQ(static_cast<int>(decimal.size()), width) << decimal;
            ASSERT_EQ(decimal[decimal.size() - 3], '.');
            ASSERT_GE(decimalValue(decimal), width == 4 ? 1.0 : 10.0);
        }
    }
}

TEST(NumericRules, VariableWidthSpansOneToEightDigits)
{
    RandomState = 777;
    std::set<std::size_t> lengths;
    for (int i = 0; i < 200000; ++i) {
        std::int32_t whole = drawInteger(0);
        ASSERT_GE(whole, 2);
        ASSERT_LE(whole, 99999998);
        lengths.insert(std::to_string(whole).size());
        double decimal = decimalValue(drawDecimalText(0));
        ASSERT_GE(decimal, 1.0);
        ASSERT_LE(decimal, 99999.99);
    }
    // Every value is equally likely, so short numbers are rare but present.
    for (std::size_t digits : {5u, 6u, 7u, 8u}) EXPECT_TRUE(lengths.count(digits)) << digits;
}

TEST(NumericRules, DecimalTextDropsTheLastDigitAndKeepsTwoDecimals)
{
    EXPECT_EQ(decimalTextOf(123456), "123.45");
    EXPECT_EQ(decimalTextOf(12345678), "12345.67");
    EXPECT_DOUBLE_EQ(decimalValue(decimalTextOf(12345678)), 12345.67);
    EXPECT_EQ(decimalTextOf(10000009), "10000.00");
    EXPECT_EQ(decimalValue(decimalTextOf(10000009)), 10000.0);
    EXPECT_EQ(decimalTextOf(1001), "1.00");
    EXPECT_EQ(decimalTextOf(123), "0.12");
    EXPECT_EQ(decimalTextOf(5), "0.00");
    EXPECT_EQ(decimalValue("not a number"), 1.23);
}

TEST(InvoiceRules, KeysInvoicesDatesAndAmountsStayInRange)
{
    RandomState = 99;
    for (int i = 0; i < 20000; ++i) {
        std::string key = drawSortKey();
        ASSERT_TRUE(key == "0" || key[0] != '0');
        ASSERT_LE(std::stol(key), 99998);
        int days = drawDaysAgo();
        ASSERT_GE(days, 0);
        ASSERT_LE(days, 699);
        std::int32_t invoice = drawInvoice();
        ASSERT_GE(invoice, 10000000);
        ASSERT_LE(invoice, 99999998);
        std::string amount = drawAmount();
        ASSERT_EQ(amount.size(), 7u);
        ASSERT_EQ(amount[4], '.');
        ASSERT_GE(std::stod(amount), 1000.0);
    }
    EXPECT_EQ(amountTextOf(1234567), "1234.67");
}
