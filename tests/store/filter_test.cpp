// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/filter.h"
#include "store/storeerror.h"
#include "store/values.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace store;

TEST(FilterText, ReadsTheColumnAndTheConstantWithBlanksAndDoubledQuotes)
{
    auto condition = parseFilter("  testtype =  'it''s'  ");
    ASSERT_TRUE(condition);
    EXPECT_EQ(condition->column, "testtype");
    EXPECT_EQ(condition->constant, "it's");
    EXPECT_EQ(parseFilter("TESTTYPE=''")->constant, "");
    EXPECT_EQ(parseFilter("Test_Type2='alpha'")->column, "Test_Type2");
}

TEST(FilterText, EmptyOrBlankTextMeansNoFilter)
{
    EXPECT_FALSE(parseFilter(""));
    EXPECT_FALSE(parseFilter("   "));
}

TEST(FilterText, RefusesEveryOtherFormWithAMessageQuotingIt)
{
    for (const char* text : {"TESTTYPE", "TESTTYPE='alpha", "TESTTYPE=alpha", "1TYPE='a'", "TESTTYPE<>'a'",
                             "TESTTYPE='a' and x='b'", "='a'", "TEST TYPE='a'", "TESTTYPE=\"a\""}) {
        try {
            parseFilter(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const StoreError& error) {
            EXPECT_NE(std::string(error.what()).find(text), std::string::npos) << error.what();
        }
    }
}

TEST(FilterJudging, MatchesWholeValuesWithLetterCaseCounting)
{
    FilterCondition alpha{"TESTTYPE", "alpha"};
    EXPECT_TRUE(passesFilter(alpha, "alpha"));
    EXPECT_FALSE(passesFilter(alpha, "alphanumeric"));
    EXPECT_FALSE(passesFilter(alpha, "Alpha"));
    EXPECT_FALSE(passesFilter(alpha, "alph"));
    EXPECT_FALSE(passesFilter(FilterCondition{"TESTTYPE", "Numeric"}, "numeric"));
}

namespace {

Column stringColumn(std::uint8_t size)
{
    Column column;
    column.name = "TESTTYPE";
    column.type = FieldType::String;
    column.size = size;
    column.physicalSize = size + 1;
    return column;
}

// Judged where it stands in a slot, a value must pass exactly when its text
// form would.
void expectSameJudgement(const FilterCondition& condition, const Column& column, const std::uint8_t* place)
{
    bool byText = passesFilter(condition, textOf(column, decodeValue(column, place)));
    EXPECT_EQ(passesFilterAt(condition, column, place), byText)
        << "constant '" << condition.constant << "', value '" << textOf(column, decodeValue(column, place)) << "'";
}

}  // namespace

TEST(FilterJudging, InASlotJudgesAsTheTextFormDoes)
{
    Column text = stringColumn(12);
    std::vector<std::uint8_t> place(1 + text.physicalSize);
    for (const char* constant : {"alpha", "alphanumeric", "Alpha", "alph", ""}) {
        FilterCondition condition{"TESTTYPE", constant};
        for (const char* value : {"alpha", "alphanumeric", "alph", "", "alpha  "}) {
            encodeValue(text, Value(std::string(value)), place.data());
            expectSameJudgement(condition, text, place.data());
        }
        // Present but empty, and a value that fills its place with no zero after it.
        std::fill(place.begin(), place.end(), 0);
        place[0] = 1;
        expectSameJudgement(condition, text, place.data());
        std::fill(place.begin() + 1, place.end(), 'a');
        expectSameJudgement(condition, text, place.data());
    }
    Column number;
    number.name = "KPH";
    number.type = FieldType::Float;
    number.physicalSize = 8;
    std::uint8_t real[9];
    encodeValue(number, Value(1234.5), real);
    EXPECT_TRUE(passesFilterAt(FilterCondition{"KPH", "1234.5"}, number, real));
    EXPECT_FALSE(passesFilterAt(FilterCondition{"KPH", "1234.50"}, number, real));
}
