// SPDX-License-Identifier: GPL-3.0-or-later
// The classifier of field errors: the kinds of edits it names, the cost of
// its alignment against an exhaustive search, and the per-key memo.

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "scoring/diagnosis.h"
#include "testing/textrules.h"

using namespace scoring;

namespace {

using Counts = std::map<EditClass, int>;

Counts countsOf(const std::vector<Edit>& edits)
{
    Counts counts;
    for (const Edit& edit : edits) ++counts[edit.kind];
    return counts;
}

struct ClassCase {
    const char* source;
    const char* keyed;
    Keyboard keyboard;
    Counts expected;
};

constexpr Keyboard Keypad = Keyboard::numericKeypad;
constexpr Keyboard Us = Keyboard::usKeyboard;
using enum EditClass;

const ClassCase ClassCases[] = {
    {"15897732", "15987732", Keypad, {{transposedPair, 1}}},
    {"27122166", "27122163", Keypad, {{neighbourKey, 1}}},
    {"27122166", "27122160", Keypad, {{otherSubstitution, 1}}},  // 0 is two rows below 6
    {"4381", "43881", Keypad, {{doubledCharacter, 1}}},
    {"SMITH", "SMTIH", Us, {{transposedPair, 1}}},
    {"4381", "481", Keypad, {{omittedCharacter, 1}}},
    {"4381", "43871", Keypad, {{extraCharacter, 1}}},
    {"4381", "", Keypad, {{leftBlank, 1}}},
    {"12.5", "12.6", Keypad, {{neighbourKey, 1}}},
    {"100", "1.0", Keypad, {{neighbourKey, 1}}},  // the point is beside the wide 0
    {"SMITH", "SNITH", Us, {{neighbourKey, 1}}},
    {"SMITH", "smith", Us, {{otherSubstitution, 5}}},  // case is a different key press
    {"SMITH", "SPITH", Us, {{otherSubstitution, 1}}},
    {"MAIN ST", "MAINST", Us, {{omittedCharacter, 1}}},
    {"JONES", "JINESS", Us, {{neighbourKey, 1}, {doubledCharacter, 1}}},
    {"15897732", "519877", Keypad, {{transposedPair, 2}, {omittedCharacter, 2}}},
    {"SMITH", "SMIHTT", Us, {{transposedPair, 1}, {doubledCharacter, 1}}},
    {"Zoë", "Zëo", Us, {{transposedPair, 1}}},
};

TEST(Diagnosis, NamesEachEditOfTheCheapestAlignment)
{
    for (const ClassCase& test : ClassCases) {
        const std::vector<Edit> edits = classifyField(test.keyed, test.source, test.keyboard);
        EXPECT_EQ(countsOf(edits), test.expected) << test.source << " keyed " << test.keyed;
    }
}

TEST(Diagnosis, LastFieldIsAlignedWithWhatWasReachedOfItsSource)
{
    const std::pair<const char*, Counts> cases[] = {
        {"158", {}},
        {"1598", {{transposedPair, 1}}},
        {"15877", {{omittedCharacter, 1}}},
        {"15889", {{doubledCharacter, 1}}},
        {"", {}},
    };
    for (const auto& [keyed, expected] : cases)
        EXPECT_EQ(countsOf(classifyField(keyed, "15897732", Keypad, true)), expected) << keyed;
}

// The least cost by an exhaustive search over every first edit of the two
// texts, memoised on the remaining suffixes.
int searchedCost(const std::u32string& keyed, const std::u32string& source,
                 std::map<std::pair<std::u32string, std::u32string>, int>& known)
{
    if (keyed.empty() || source.empty()) return int(keyed.size() + source.size());
    const auto key = std::make_pair(keyed, source);
    if (const auto found = known.find(key); found != known.end()) return found->second;
    int best = 1 + searchedCost(keyed.substr(1), source, known);         // extra character
    best = std::min(best, 1 + searchedCost(keyed, source.substr(1), known));  // omitted character
    best = std::min(best, (keyed[0] == source[0] ? 0 : 1) + searchedCost(keyed.substr(1), source.substr(1), known));
    if (keyed.size() > 1 && source.size() > 1 && keyed[0] == source[1] && keyed[1] == source[0])
        best = std::min(best, 1 + searchedCost(keyed.substr(2), source.substr(2), known));
    known[key] = best;
    return best;
}

// Source with the edits applied, last first so earlier positions hold.
std::u32string applied(std::u32string text, const std::vector<Edit>& edits)
{
    for (auto edit = edits.rbegin(); edit != edits.rend(); ++edit) {
        const std::size_t at = std::size_t(edit->sourcePosition);
        switch (edit->kind) {
        case transposedPair: std::swap(text[at], text[at + 1]); break;
        case omittedCharacter: text.erase(at, 1); break;
        case extraCharacter:
        case doubledCharacter: text.insert(at, 1, edit->typed); break;
        case leftBlank: text.clear(); break;
        default: text[at] = edit->typed;
        }
    }
    return text;
}

TEST(Diagnosis, AlignmentCostsLeastAndItsEditsMakeTheKeyedText)
{
    std::mt19937 random(2026);
    const std::u32string alphabet = U"0123";
    const auto randomText = [&] {
        std::u32string text(std::uniform_int_distribution<std::size_t>(0, 12)(random), U'0');
        for (char32_t& character : text) character = alphabet[random() % alphabet.size()];
        return text;
    };
    for (int pair = 0; pair < 10000; ++pair) {
        const std::u32string keyed = randomText();
        const std::u32string source = randomText();
        std::map<std::pair<std::u32string, std::u32string>, int> known;
        const int cost = alignmentCost(keyed, source);
        ASSERT_EQ(cost, searchedCost(keyed, source, known)) << textOf(source) << " keyed " << textOf(keyed);
        const std::vector<Edit> edits = classifyField(textOf(keyed), textOf(source), Keypad);
        ASSERT_EQ(applied(source, edits), keyed) << textOf(source) << " keyed " << textOf(keyed);
        const int blank = keyed.empty() && !source.empty() ? int(source.size()) - 1 : 0;
        ASSERT_EQ(int(edits.size()) + blank, cost);
    }
}

TEST(Diagnosis, CountsKeysAndRoundTripsThroughItsMemo)
{
    Diagnosis diagnosis;
    diagnosis.addField("15987732", "15897732", Keypad);
    diagnosis.addField("481", "4381", Keypad);
    diagnosis.addField("4382", "4381", Keypad);
    diagnosis.addField("43881", "4381", Keypad);
    EXPECT_EQ(diagnosis.keys[U'8'].expected, 4);
    EXPECT_EQ(diagnosis.keys[U'8'].wrong, 1);
    EXPECT_EQ(diagnosis.keys[U'1'].wrong, 1);
    EXPECT_EQ(diagnosis.keys[U'1'].typedInstead, (std::map<std::u32string, std::int32_t>{{U"2", 1}}));
    EXPECT_EQ(diagnosis.keys[U'3'].typedInstead, (std::map<std::u32string, std::int32_t>{{U"", 1}}));
    EXPECT_EQ(countsInWords(diagnosis, true),
              "1 transposed pair, 1 omitted digit, 1 doubled digit, 1 neighbour-key substitution");

    Diagnosis text;
    text.addField("", "SMITH", Us);
    text.addField("JAN ES", "JON ES", Us);
    EXPECT_EQ(countsInWords(text, false), "1 other substitution, 1 field left blank");
    EXPECT_EQ(keysFromMemo(keysMemo(text)), text.keys);
    EXPECT_EQ(keysFromMemo(keysMemo(diagnosis) + "bad line\r\nx\t1\r\n"), diagnosis.keys);
}

}  // namespace

TEST(Diagnosis, StoredLogIsDiagnosedFieldByFieldAsScoringLoggedIt)
{
    const std::string log = "Record no.: 2, Field no.: 4, 2 errors. (Last field keyed)\r\n"
                            "Keyed    >1598\r\nOn Record>15897732\r\n\r\n"
                            "Record no.: 1, Field no.: 9, 2 errors.\r\n"
                            "Keyed    >15987732\r\nOn Record>15897732\r\n\r\n"
                            "Record no.: 1, Field no.: 2, 4 errors.\r\n"
                            "Keyed    >\r\nOn Record>3307\r\n\r\n"
                            "Keyed    >77\r\n"
                            "Field errors in excess of 50. Logging stopped...\r\n";
    const Diagnosis diagnosis = diagnosisOfLog(log, Keypad);
    EXPECT_EQ(diagnosis.count(transposedPair), 2);
    EXPECT_EQ(diagnosis.count(leftBlank), 1);
    EXPECT_EQ(diagnosis.count(omittedCharacter), 0);  // the last field is not charged for what was not reached
    EXPECT_EQ(diagnosis.keys.at(U'7').expected, 2);
    EXPECT_EQ(diagnosis.keys.at(U'8').wrong, 2);
    EXPECT_EQ(diagnosisOfLog("", Keypad), Diagnosis());
}
