// SPDX-License-Identifier: GPL-3.0-or-later
// Scoring by the kind table: keystrokes, errors, fields and the log of each
// kind, on runs set up cell by cell over source rows held in memory.

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "scoring/results.h"
#include "scoring/scoretest.h"
#include "testing/textrules.h"

using namespace scoring;

namespace {

using Row = std::map<std::string, std::string>;

// Source rows in memory, with a cursor that stops at either end as the
// table's does.
class RowSource : public SourceReader {
public:
    explicit RowSource(std::vector<Row> rows) : rows(std::move(rows)) {}
    void GoFirst() override { place = 0; }
    void Skip(int count) override
    {
        place = std::clamp(place + count, 0, static_cast<int>(rows.size()) - 1);
    }
    std::string ReadText(const std::string& column) override
    {
        ++reads;
        return rows.at(std::size_t(place)).at(column);
    }

    std::vector<Row> rows;
    int place = -1;
    int reads = 0;
};

// A run of one kind: every source row alike unless a test changes it.
struct KeyedRun {
    explicit KeyedRun(TestKind kind, int rowCount = 3) : state(std::make_unique<RunState>(kind)), source(rowsOf(kind, rowCount))
    {
        state->RecordNumber = state->HighestRecord = 1;
        state->StartRow = state->HighestRow = 1;
        state->ElapsedSeconds = 60;
    }

    static std::vector<Row> rowsOf(TestKind kind, int count)
    {
        Row row;
        for (int field = 1; field <= kindShape(kind).fields; ++field) {
            row[sourceColumn(kind, field, false)] = kind == TestKind::numeric ? "12345" : "SMITH";
            if (kind == TestKind::numeric) row[sourceColumn(kind, field, true)] = "123.4";
        }
        if (kind == TestKind::alphanumeric) {
            row["DATE"] = "03/15/99";
            row["AMOUNT"] = "1234.67";
        }
        return std::vector<Row>(std::size_t(count), row);
    }

    // Ends the run on record highest, keyed up to there.
    void reach(int highest)
    {
        state->HighestRecord = state->RecordNumber = highest;
        state->HighestRow = state->StartRow - 1 + highest;
    }
    // Keys every field of a record with its source text.
    void keyAll(int record)
    {
        for (int field = 1; field <= fields(); ++field)
            cell(record, field) = source.rows.at(std::size_t(state->StartRow - 1 + record - 1)).at(column(field));
    }
    std::string& cell(int record, int field) { return state->KeyedValues.cell(record, field); }
    std::string column(int field) const { return sourceColumn(state->kind, field, settings.usedecimal); }
    int fields() const { return kindShape(state->kind).fields; }

    Score score() { return scoretest(*state, source, settings); }

    std::unique_ptr<RunState> state;
    RowSource source;
    ScoreSettings settings;
};

const TestKind AllKinds[] = {TestKind::numeric, TestKind::alphanumeric, TestKind::alpha};

// Field 5 of the alphanumeric kind and field 2 of the alpha kind hold LAST.
int lastNameField(TestKind kind) { return kind == TestKind::alphanumeric ? 5 : 2; }

}  // namespace

TEST(Scoring, NothingKeyedScoresNothingWithFullAccuracy)
{
    for (TestKind kind : AllKinds) {
        KeyedRun run(kind);
        const Score score = run.score();
        EXPECT_EQ(score.TOTALFLDS, 0);
        EXPECT_EQ(score.TOTALKS, 0);
        EXPECT_EQ(score.TOTERRS, 0);
        EXPECT_EQ(score.FLDERRS, 0);
        EXPECT_EQ(score.KPH, 0);
        EXPECT_EQ(score.NKPH, 0);
        EXPECT_EQ(score.ACCURACY, 100);
        EXPECT_TRUE(score.errorLog.empty());
    }
}

TEST(Scoring, NewRecordLeftEmptyIsSkippedAndTheOneBeforeScoredWhole)
{
    for (TestKind kind : AllKinds) {
        KeyedRun run(kind);
        run.keyAll(1);
        run.cell(1, 1).clear();  // a completed field, even empty, is scored
        run.reach(2);
        const Score score = run.score();
        EXPECT_EQ(score.TOTALFLDS, run.fields());
        const int expectedErrors = kind == TestKind::numeric ? 0 : 5;
        EXPECT_EQ(score.TOTERRS, expectedErrors) << int(kind);
    }
}

TEST(Scoring, ShortNumericTextIsFreeWhenLastButNotMissingEnterWhenCompleted)
{
    KeyedRun last(TestKind::numeric);
    last.cell(1, 1) = "123";
    Score score = last.score();
    EXPECT_EQ(score.TOTERRS, 0);
    EXPECT_EQ(score.TOTALKS, 3);
    EXPECT_EQ(score.TOTALFLDS, 1);

    KeyedRun completed(TestKind::numeric);
    completed.cell(1, 1) = "123";
    completed.cell(1, 2) = "12345";
    score = completed.score();
    EXPECT_EQ(score.TOTERRS, 0);
    EXPECT_EQ(score.TOTALKS, 4 + 6);
    EXPECT_EQ(score.TOTALFLDS, 2);
}

TEST(Scoring, NumericCompletedFieldsChargeExtraAndWrongDigitsButNotMissingOnes)
{
    KeyedRun run(TestKind::numeric);
    run.keyAll(1);
    run.cell(1, 1) = "1234567";
    run.cell(1, 2) = "12945";
    run.cell(1, 3) = "";
    run.cell(1, 4) = "123";
    const Score score = run.score();
    EXPECT_EQ(score.TOTERRS, 2 + 1);
    EXPECT_EQ(score.FLDERRS, 2);
    EXPECT_EQ(score.TOTALFLDS, 25);
    // Every field adds its Enter; field 3 nothing else.
    EXPECT_EQ(score.TOTALKS, 25 + 7 + 5 + 0 + 3 + 21 * 5);
}

// Errors and keystrokes of the LAST field keyed as given, the run ending on
// record 2 (the field completed) or in that field (the last field keyed).
static std::pair<int, int> lastNameScore(TestKind kind, bool autoadvance, const std::string& keyed, bool completed)
{
    const auto scoreWith = [&](const std::string& text) {
        KeyedRun run(kind);
        run.settings.autoadvance = autoadvance;
        run.keyAll(1);
        run.cell(1, lastNameField(kind)) = text;
        if (completed)
            run.reach(2);
        else
            for (int field = lastNameField(kind) + 1; field <= run.fields(); ++field) run.cell(1, field).clear();
        return run.score();
    };
    const Score score = scoreWith(keyed);
    const Score reference = scoreWith("SMITH");
    EXPECT_EQ(reference.TOTERRS, 0);
    const int referenceKeys = 5 + (autoadvance ? 0 : 1);
    return {score.TOTERRS, score.TOTALKS - reference.TOTALKS + referenceKeys};
}

TEST(Scoring, NameFieldsChargeMissingLettersWhenCompletedAndExtraOnesWhenLast)
{
    for (TestKind kind : {TestKind::alphanumeric, TestKind::alpha}) {
        for (bool autoadvance : {false, true}) {
            const int enter = autoadvance ? 0 : 1;
            EXPECT_EQ(lastNameScore(kind, autoadvance, "SMIT", true), std::pair(1, 4 + enter));
            EXPECT_EQ(lastNameScore(kind, autoadvance, "SMITHS", true), std::pair(0, 6 + enter));
            EXPECT_EQ(lastNameScore(kind, autoadvance, "", true), std::pair(5, enter));
            // No Enter for a last field shorter than its source.
            EXPECT_EQ(lastNameScore(kind, autoadvance, "SMIT", false), std::pair(0, 4));
            EXPECT_EQ(lastNameScore(kind, autoadvance, "SMITHS", false), std::pair(1, 6 + enter));
        }
    }
}

TEST(Scoring, EmptyCompletedNameIsOneFieldError)
{
    KeyedRun run(TestKind::alpha);
    run.keyAll(1);
    run.cell(1, 2).clear();
    run.reach(2);
    const Score score = run.score();
    EXPECT_EQ(score.FLDERRS, 1);
    EXPECT_EQ(score.TOTALFLDS, 3);
}

TEST(Scoring, MaskLiteralsOfDateAndAmountAreNoKeystrokes)
{
    for (bool autoadvance : {false, true}) {
        const int enter = autoadvance ? 0 : 1;
        KeyedRun run(TestKind::alphanumeric);
        run.settings.autoadvance = autoadvance;
        run.keyAll(1);
        run.cell(1, 1) = run.cell(1, 4) = run.cell(1, 5) = run.cell(1, 6) = run.cell(1, 7) = "";
        run.reach(2);
        Score score = run.score();
        // Five empty fields of five letters each.
        EXPECT_EQ(score.TOTERRS, 5 * 5);
        EXPECT_EQ(score.TOTALKS, 6 + enter + 6 + enter + 5 * enter);

        run.cell(1, 2) = "";
        run.cell(1, 3) = "12  .  ";
        score = run.score();
        EXPECT_EQ(score.TOTERRS, 5 * 5 + 8 + 4);
        EXPECT_EQ(score.TOTALKS, enter + 4 + enter + 5 * enter);
        EXPECT_EQ(score.FLDERRS, 7);
    }
}

TEST(Scoring, UpperCaseSettingUpperCasesTheSourceAsTheFieldsType)
{
    for (TestKind kind : {TestKind::alphanumeric, TestKind::alpha}) {
        KeyedRun run(kind);
        run.settings.useuppercase = true;
        const int field = lastNameField(kind);
        run.keyAll(1);
        for (Row& row : run.source.rows) row["LAST"] = "Smith-\xc3\xa4z";
        run.cell(1, field) = "SMITH-\xc3\x84Y";
        run.reach(2);
        const Score score = run.score();
        EXPECT_EQ(score.TOTERRS, 1);
        ASSERT_EQ(score.errorLog.size(), 4u);
        EXPECT_EQ(score.errorLog[2], "On Record>SMITH-\xc3\x84Z");
        EXPECT_EQ(sourceText(kind, "Smith", false), "Smith");
    }
    EXPECT_EQ(sourceText(TestKind::numeric, "1e5", true), "1e5");
}

TEST(Scoring, LettersOutsideAsciiAreOneKeystrokeAndOneCharacterEach)
{
    KeyedRun run(TestKind::alpha);
    run.settings.useuppercase = true;
    for (Row& row : run.source.rows) row["FIRST"] = "M\xc3\xbcller";  // Müller
    run.cell(1, 1) = "M\xc3\x9cLLEX";                                  // MÜLLEX
    run.cell(1, 2) = "SMITH";
    const Score score = run.score();
    // ü is upper-cased to Ü as the field types it: only the X differs.
    EXPECT_EQ(score.TOTERRS, 1);
    EXPECT_EQ(score.TOTALKS, 6 + 1 + 5 + 1);
    ASSERT_EQ(score.errorLog.size(), 4u);
    EXPECT_EQ(score.errorLog[2], "On Record>M\xc3\x9cLLER");
    EXPECT_EQ(completedFieldErrors(TestKind::alpha, "M\xc3\xbc", "M\xc3\xbcX"), 1);
    EXPECT_EQ(lastFieldErrors("\xc3\xbc\xff", "\xc3\xbc"), 1);
}

TEST(Scoring, AccuracyBelowZeroIsZeroAndSoIsTheNetRate)
{
    for (TestKind kind : {TestKind::alphanumeric, TestKind::alpha}) {
        KeyedRun run(kind, 20);
        run.settings.autoadvance = true;
        run.cell(1, 1) = "S";  // every other field of records 1 to 9 blank
        run.reach(10);
        run.cell(10, 1) = "SMITH";
        const Score score = run.score();
        EXPECT_GT(score.TOTERRS, score.TOTALKS);
        EXPECT_EQ(score.ACCURACY, 0);
        EXPECT_EQ(score.NKPH, 0);
        EXPECT_GT(score.KPH, 0);
    }
}

TEST(Scoring, LogStopsAfterTheFiftyFirstFieldErrorWhileCountingGoesOn)
{
    for (TestKind kind : AllKinds) {
        KeyedRun run(kind, 100);
        const int perRecord = kind == TestKind::alpha ? 3 : 5;
        const int records = 60 / perRecord;
        int errorFields = 0;
        for (int record = 1; record <= records; ++record) {
            run.keyAll(record);
            for (int field = 1; errorFields < 60 && field <= perRecord; ++field, ++errorFields)
                run.cell(record, run.fields() - field + 1)[0] = '#';
        }
        run.reach(records + 1);
        run.keyAll(records + 1);
        const Score score = run.score();
        EXPECT_EQ(score.FLDERRS, 60);
        ASSERT_EQ(score.errorLog.size(), 51u * 4 + 1);
        EXPECT_EQ(score.errorLog.back(), "Field errors in excess of 50. Logging stopped...");
        EXPECT_EQ(score.errorLog.front().rfind("Record no.: " + std::to_string(records) + ", Field no.: " +
                                                   std::to_string(run.fields()) + ", ",
                                               0),
                  0u);
    }
}

TEST(Scoring, LogEntriesNameRecordFieldAndErrorsHighestFirst)
{
    KeyedRun run(TestKind::numeric);
    run.keyAll(1);
    run.cell(1, 3) = "12399";
    run.cell(1, 7) = "2";
    run.reach(2);
    run.cell(2, 1) = "1";
    run.cell(2, 2) = "9";
    const Score score = run.score();
    const std::vector<std::string> expected{
        "Record no.: 2, Field no.: 2, 1 errors. (Last field keyed)", "Keyed    >9", "On Record>12345", "",
        "Record no.: 1, Field no.: 7, 1 errors.", "Keyed    >2", "On Record>12345", "",
        "Record no.: 1, Field no.: 3, 2 errors.", "Keyed    >12399", "On Record>12345", ""};
    EXPECT_EQ(score.errorLog, expected);
    EXPECT_EQ(errorsText({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

TEST(Scoring, RecordsAreComparedWithTheirOwnRowsFromWhereTheRunStarted)
{
    KeyedRun run(TestKind::numeric, 60);
    run.settings.usedecimal = true;
    for (int row = 0; row < 60; ++row) run.source.rows[std::size_t(row)]["nd1"] = std::to_string(row + 1) + ".5";
    run.state->StartRow = 50;
    run.reach(3);
    for (int record = 1; record <= 3; ++record) run.cell(record, 1) = std::to_string(49 + record) + ".5";
    int breaks = 0;
    const Score score = scoretest(*run.state, run.source, run.settings, [&] { ++breaks; });
    EXPECT_EQ(score.TOTERRS, 0);
    EXPECT_EQ(score.TOTALFLDS, 1 + 2 * 25);
    EXPECT_EQ(breaks, 2);
}

TEST(Scoring, MeasuresAreUnroundedRatesOfTheElapsedTime)
{
    KeyedRun run(TestKind::alpha, 200);
    run.settings.autoadvance = true;
    // 40 records of three five-letter fields, all right: 600 keystrokes.
    for (int record = 1; record <= 40; ++record) run.keyAll(record);
    run.reach(40);
    run.state->ElapsedSeconds = 300.5;
    Score score = run.score();
    EXPECT_EQ(score.TOTALKS, 600);
    EXPECT_DOUBLE_EQ(score.KPH, 600 * 3600 / 300.5);
    EXPECT_EQ(formatTwoDecimals(score.KPH), "7188.02");
    EXPECT_DOUBLE_EQ(score.TIME, 300.5 / 60);
    EXPECT_EQ(score.NKPH, score.KPH);

    run.cell(40, 3) = "SMITX";
    score = run.score();
    EXPECT_DOUBLE_EQ(score.ACCURACY, 100 - 1.0 / 600 * 100);
    EXPECT_DOUBLE_EQ(score.NKPH, 599 * 3600 / 300.5);

    run.state->ElapsedSeconds = -5;  // a run across midnight
    score = run.score();
    EXPECT_EQ(score.KPH, 0);
    EXPECT_EQ(score.NKPH, 0);
}

TEST(Scoring, TextRules)
{
    // The source is upper-cased as the entry fields type: "é" as "É", "ÿ" as
    // "Ÿ", "ж" as "Ж"; a stray byte passes unchanged.
    EXPECT_EQ(upperCased("abc xyz {}`@ \xc3\xa9 \xc3\xbf \xd0\xb6 \xff"),
              "ABC XYZ {}`@ \xc3\x89 \xc5\xb8 \xd0\x96 \xff");
    EXPECT_EQ(keyedText(TestKind::numeric, " 12 "), " 12 ");
    EXPECT_EQ(keyedText(TestKind::alpha, " 12 "), "12");
}

// 3 errors in 32 keystrokes leave an accuracy of exactly 90.625, a half
// that a reader rounds up, not to the even digit.
TEST(Scoring, ReportFiguresRoundExactHalvesAwayFromZero)
{
    const struct {
        double value;
        const char* twoDecimals;
        const char* thousands;
    } cases[] = {
        {100 - 3.0 / 32 * 100, "90.63", "90.63"},
        {-90.625, "-90.63", "-90.63"},
        {1234.125, "1234.13", "1,234.13"},
        {0.125, "0.13", "0.13"},
        {1.005, "1.00", "1.00"},  // just below the half in binary
        {7188.0199, "7188.02", "7,188.02"},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(formatTwoDecimals(each.value), each.twoDecimals) << each.value;
        EXPECT_EQ(formatThousands(each.value), each.thousands) << each.value;
    }
}

TEST(Scoring, DiagnosisCoversEveryChargedFieldBeyondTheLog)
{
    KeyedRun names(TestKind::alpha, 100);
    for (int record = 1; record <= 60; ++record) {
        names.keyAll(record);
        names.cell(record, 1) = "SMTIH";
    }
    names.cell(60, 2).clear();
    names.cell(60, 3) = "SMITHS";  // not charged on a completed name field
    names.reach(61);
    names.cell(61, 1) = "SMI";     // where the run ended: no error
    Score score = names.score();
    EXPECT_EQ(score.diagnosis.count(EditClass::transposedPair), 60);
    EXPECT_EQ(score.diagnosis.count(EditClass::leftBlank), 1);
    EXPECT_EQ(score.diagnosis.count(EditClass::extraCharacter), 0);
    EXPECT_EQ(score.diagnosis.keys[U'I'].wrong, 60);
    EXPECT_EQ(score.diagnosis.keys[U'I'].expected, 60 * 3 - 1 + 1);

    KeyedRun digits(TestKind::numeric);
    digits.keyAll(1);
    digits.cell(1, 1).clear();     // an empty numeric field is no error
    digits.cell(1, 2) = "12245";
    digits.reach(2);
    digits.cell(2, 1) = "19";
    score = digits.score();
    EXPECT_EQ(countsInWords(score.diagnosis, true), "1 neighbour-key substitution, 1 other substitution");
    EXPECT_EQ(score.diagnosis.keys[U'1'].expected, 24 + 1);
}
