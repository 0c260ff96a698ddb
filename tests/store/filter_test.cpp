#include "store/filter.h"
#include "store/storeerror.h"

#include <gtest/gtest.h>

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
