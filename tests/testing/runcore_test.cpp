// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "testing/fakerunwindow.h"
#include "testing/funcs.h"
#include "testing/runcore.h"

using testing_support::FakeClock;
using testing_support::FakeRunWindow;

namespace {

// A run of one kind over a fake window with a table of 200 rows.
class TestRun {
public:
    explicit TestRun(TestKind kind = TestKind::numeric, int rows = 200)
        : window(kindShape(kind).fields, rows), core(kind, window, clock)
    {
        window.attach(core);
    }

    void show(bool realMode = true, int minutes = 5, bool autoadvance = false)
    {
        RunSettings settings;
        settings.realMode = realMode;
        settings.realtime = minutes;
        settings.practicetime = minutes;
        settings.autoadvance = autoadvance;
        core.FormShow(settings);
    }
    void firstKey()
    {
        core.keyDown(window.focus, RunKey::Other);
    }
    void tickAfter(double seconds)
    {
        clock.now += seconds;
        core.Timer1Timer();
    }
    void keyRecordAndGoOn(const std::string& prefix)
    {
        window.fillRecord(prefix);
        core.nextscreenbtnClick();
    }
    RunState& state() { return core.state(); }

    FakeClock clock;
    FakeRunWindow window;
    RunCore core;
};

}  // namespace

TEST(Getseconds, CountsSecondsOfTheDayWithMilliseconds)
{
    EXPECT_DOUBLE_EQ(secondsOfDay(10, 0, 0, 50), 36000.05);
    EXPECT_DOUBLE_EQ(secondsOfDay(10, 0, 0, 500), 36000.5);
    EXPECT_DOUBLE_EQ(secondsOfDay(23, 59, 59, 999), 86399.999);
}

TEST(Getseconds, DifferenceOfTwoReadingsHoldsAcrossMidnight)
{
    EXPECT_DOUBLE_EQ(secondsBetween(100, 160.5), 60.5);
    EXPECT_NEAR(secondsBetween(86390, 20), 30, 1e-9);
}

TEST(Getseconds, LocalClockReadsATimeOfDay)
{
    const double now = getseconds();
    EXPECT_GE(now, 0);
    EXPECT_LT(now, 86400);
}

TEST(RunSetUp, StartsReadyOnRecordOneWithEmptyFields)
{
    TestRun run;
    run.window.fields[3] = "left over";
    run.show(true, 5);
    EXPECT_EQ(run.window.caption, "5 minute numeric real mode test in progress (Record: 1)");
    EXPECT_EQ(run.window.timeLabel, "Timer starts with first key pressed.");
    EXPECT_EQ(run.window.fields[3], "");
    EXPECT_TRUE(run.window.fieldsEnabled);
    EXPECT_FALSE(run.window.displaySuspended);
    EXPECT_FALSE(run.window.prevEnabled);
    EXPECT_TRUE(run.window.nextEnabled);
    EXPECT_EQ(run.window.errorLog, "");
    EXPECT_EQ(run.window.focus, 1);
    EXPECT_EQ(run.window.highlight, 1);
    EXPECT_EQ(run.state().ExpectedLength, 3);  // "1-1"
    EXPECT_FALSE(run.window.timerRunning);
    EXPECT_EQ(run.state().TestSeconds, 300);
}

TEST(RunSetUp, PracticeStartsOnRowFiftyAsRecordOne)
{
    TestRun run;
    run.show(false, 3);
    EXPECT_EQ(run.window.caption, "3 minute numeric practice mode test in progress (Record: 1)");
    EXPECT_EQ(run.window.row, 50);
    EXPECT_EQ(run.state().HighestRow, 50);
    EXPECT_EQ(run.window.sourceText(1), "50-1");
}

TEST(RunSetUp, EmptiesWhatThePreviousRunKeyed)
{
    TestRun run;
    run.show();
    run.keyRecordAndGoOn("a");
    run.show();
    EXPECT_EQ(run.state().KeyedValues.cell(1, 1), "");
    EXPECT_EQ(run.state().RecordNumber, 1);
    EXPECT_EQ(run.state().HighestRecord, 1);
}

TEST(RunState, OutlivesTheWindowObject)
{
    {
        TestRun run;
        run.show();
        run.keyRecordAndGoOn("kept");
    }
    TestRun rebuilt;
    EXPECT_EQ(rebuilt.state().KeyedValues.cell(1, 25), "kept25");
    EXPECT_EQ(rebuilt.state().HighestRecord, 2);
}

TEST(Countdown, FirstTickOneSecondAfterTheFirstKeyOfAFiveMinuteRun)
{
    TestRun run;
    run.show(true, 5);
    run.firstKey();
    EXPECT_TRUE(run.window.timerRunning);
    run.tickAfter(1);
    EXPECT_EQ(run.window.timeLabel, "Time remaining: 4.98");
    EXPECT_TRUE(run.window.timerRunning);
    run.tickAfter(89);
    EXPECT_EQ(run.window.timeLabel, "Time remaining: 3.50");
}

TEST(Countdown, OnlyTheFirstKeyStartsIt)
{
    TestRun run;
    run.show(true, 5);
    run.firstKey();
    run.clock.now += 30;
    run.firstKey();
    run.tickAfter(1);
    EXPECT_DOUBLE_EQ(run.state().ElapsedSeconds, 31);
}

TEST(Countdown, ZeroMinutesEndsAtTheFirstTick)
{
    TestRun run;
    run.show(true, 0);
    run.window.type(1, "7");
    run.firstKey();
    run.tickAfter(1);
    EXPECT_EQ(run.window.timeLabel, "Time remaining: 0.00");
    EXPECT_EQ(run.window.messages, std::vector<std::string>{"Test is complete..."});
    EXPECT_EQ(run.window.scored, 1);
    EXPECT_FALSE(run.window.timerRunning);
    EXPECT_FALSE(run.window.fieldsEnabled);
    EXPECT_TRUE(run.window.displaySuspended);
    EXPECT_FALSE(run.window.prevEnabled);
    EXPECT_FALSE(run.window.nextEnabled);
    // Scoring saves the current record itself.
    EXPECT_EQ(run.window.fields[1], "7");
    EXPECT_EQ(run.state().KeyedValues.cell(1, 1), "");
}

TEST(Countdown, EndsWithTheStopTimeOfDay)
{
    TestRun run;
    run.show(true, 1);
    run.firstKey();
    run.tickAfter(60);
    EXPECT_GE(run.state().ElapsedSeconds, run.state().TestSeconds);
    EXPECT_DOUBLE_EQ(run.state().StopTime, 36060.0 / 86400);
}

TEST(Countdown, ARunAcrossMidnightEndsOnTime)
{
    TestRun run;
    run.show(true, 1);
    run.clock.now = 86370;
    run.firstKey();
    for (int tick = 1; tick < 60; ++tick) {
        run.clock.now += 1;
        if (run.clock.now >= 86400) run.clock.now -= 86400;
        run.core.Timer1Timer();
    }
    EXPECT_EQ(run.window.scored, 0);
    EXPECT_EQ(run.window.timeLabel, "Time remaining: 0.02");
    run.tickAfter(1);
    EXPECT_EQ(run.window.scored, 1);
    EXPECT_NEAR(run.state().ElapsedSeconds, 60, 1e-6);
    EXPECT_NEAR(run.state().StopTime, 30.0 / 86400, 1e-12);
}

TEST(Countdown, RecordButtonsDoNotStartIt)
{
    TestRun run;
    run.show();
    run.window.fillRecord("x");
    run.core.nextscreenbtnClick();
    run.core.prevscreenbtnClick();
    EXPECT_FALSE(run.state().TimerStarted);
    EXPECT_FALSE(run.window.timerRunning);
}

TEST(Records, CaptionFollowsTheRecordAndTheHighestIsKept)
{
    TestRun run;
    run.show(true, 5);
    for (const char* prefix : {"a", "b", "c"}) run.keyRecordAndGoOn(prefix);
    EXPECT_EQ(run.window.caption, "5 minute numeric real mode test in progress (Record: 4)");
    run.core.prevscreenbtnClick();
    EXPECT_EQ(run.window.caption, "5 minute numeric real mode test in progress (Record: 3)");
    EXPECT_EQ(run.state().RecordNumber, 3);
    EXPECT_EQ(run.state().HighestRecord, 4);
    EXPECT_EQ(run.state().HighestRow, 4);
    EXPECT_EQ(run.window.row, 3);
}

TEST(Records, VisitedRecordsComeBackAsSavedAndNewOnesEmpty)
{
    TestRun run;
    run.show();
    for (const char* prefix : {"a", "b", "c"}) run.keyRecordAndGoOn(prefix);
    run.core.prevscreenbtnClick();
    run.core.prevscreenbtnClick();
    EXPECT_EQ(run.window.fields[1], "b1");
    EXPECT_EQ(run.window.fields[25], "b25");
    run.core.nextscreenbtnClick();
    EXPECT_EQ(run.window.fields[7], "c7");
    run.core.nextscreenbtnClick();
    run.core.nextscreenbtnClick();
    EXPECT_EQ(run.state().RecordNumber, 4);
    run.window.fillRecord("d");
    run.core.nextscreenbtnClick();
    EXPECT_EQ(run.state().RecordNumber, 5);
    EXPECT_EQ(run.window.fields[1], "");
    EXPECT_EQ(run.window.focus, 1);
}

TEST(Records, PreviousSavesAPartlyKeyedRecord)
{
    TestRun run;
    run.show();
    run.keyRecordAndGoOn("a");
    run.window.type(1, "12");
    run.core.prevscreenbtnClick();
    EXPECT_EQ(run.state().KeyedValues.cell(2, 1), "12");
    EXPECT_EQ(run.state().KeyedValues.cell(2, 2), "");
    EXPECT_FALSE(run.window.prevEnabled);
    run.core.nextscreenbtnClick();
    EXPECT_EQ(run.window.fields[1], "12");
}

TEST(Records, NextRefusesWhileAFieldIsEmptyAndFocusesIt)
{
    TestRun run;
    run.show();
    run.window.fillRecord("a");
    run.window.type(9, "");
    run.window.type(12, "");
    run.core.nextscreenbtnClick();
    EXPECT_EQ(run.state().RecordNumber, 1);
    EXPECT_EQ(run.window.focus, 9);
    EXPECT_EQ(run.window.fields[9], "");
    EXPECT_EQ(run.window.fields[10], "a10");
    EXPECT_EQ(run.state().KeyedValues.cell(1, 1), "");
}

TEST(Records, NextAtTheTablesLastRowIsRefused)
{
    TestRun run(TestKind::numeric, 52);
    run.show(false);
    run.keyRecordAndGoOn("a");
    run.keyRecordAndGoOn("b");
    EXPECT_EQ(run.window.row, 52);
    run.window.fillRecord("c");
    run.window.focusField(25);
    run.core.nextscreenbtnClick();
    EXPECT_EQ(run.state().RecordNumber, 3);
    EXPECT_EQ(run.state().HighestRecord, 3);
    EXPECT_EQ(run.window.row, 52);
    EXPECT_EQ(run.window.focus, 1);
    EXPECT_EQ(run.window.fields[25], "c25");
    EXPECT_EQ(run.window.timeLabel, RunCore::LastRecordText);
    EXPECT_EQ(run.window.caption, "5 minute numeric practice mode test in progress (Record: 3)");
}

TEST(Records, RefusalAtTheLastRowOutlastsTheTicksAndTurnsNextOff)
{
    TestRun run(TestKind::numeric, 51);
    run.show(false);
    run.firstKey();
    run.keyRecordAndGoOn("a");
    run.keyRecordAndGoOn("b");
    EXPECT_FALSE(run.window.nextEnabled);
    run.tickAfter(10);
    EXPECT_EQ(run.window.timeLabel, RunCore::LastRecordText);
    run.core.prevscreenbtnClick();
    EXPECT_TRUE(run.window.nextEnabled);
    run.tickAfter(10);
    EXPECT_EQ(run.window.timeLabel.rfind("Time remaining: ", 0), 0u);
}

TEST(Records, HighestReachedSurvivesGoingBackToTheEnd)
{
    TestRun run;
    run.show();
    run.firstKey();
    for (const char* prefix : {"a", "b", "c"}) run.keyRecordAndGoOn(prefix);
    run.core.prevscreenbtnClick();
    run.core.prevscreenbtnClick();
    run.core.nextscreenbtnClick();
    run.tickAfter(301);
    EXPECT_EQ(run.window.scored, 1);
    EXPECT_EQ(run.state().RecordNumber, 3);
    EXPECT_EQ(run.state().HighestRecord, 4);
    EXPECT_EQ(run.state().HighestRow, 4);
}

TEST(Records, NextAtTheLastRecordOfTheKeyedValuesIsRefused)
{
    TestRun run(TestKind::numeric, 230);
    run.show();
    for (int record = 1; record < 200; ++record) run.keyRecordAndGoOn("r");
    EXPECT_EQ(run.state().RecordNumber, 200);
    run.window.fillRecord("last");
    run.core.nextscreenbtnClick();
    EXPECT_EQ(run.state().RecordNumber, 200);
    EXPECT_EQ(run.window.row, 200);
    EXPECT_EQ(run.window.fields[1], "last1");
    EXPECT_EQ(run.window.timeLabel, RunCore::LastRecordText);
}

TEST(FieldKeys, EnterMovesOnOnlyFromAFilledField)
{
    TestRun run;
    run.show();
    run.core.keyDown(1, RunKey::Enter);
    EXPECT_EQ(run.window.focus, 1);
    run.window.type(1, "5");
    run.core.keyDown(1, RunKey::Enter);
    EXPECT_EQ(run.window.focus, 2);
    EXPECT_EQ(run.state().ExpectedLength, 3);
}

TEST(FieldKeys, EnterInTheLastFilledFieldIsTheNextRecord)
{
    TestRun run;
    run.show();
    run.window.fillRecord("a");
    run.window.focusField(25);
    run.core.keyDown(25, RunKey::Enter);
    EXPECT_EQ(run.state().RecordNumber, 2);
    EXPECT_EQ(run.window.focus, 1);
}

TEST(FieldKeys, ArrowsWrapAroundTheFields)
{
    TestRun run;
    run.show();
    run.core.keyDown(1, RunKey::Up);
    EXPECT_EQ(run.window.focus, 25);
    run.core.keyDown(25, RunKey::Down);
    EXPECT_EQ(run.window.focus, 1);
    run.core.keyDown(1, RunKey::Down);
    EXPECT_EQ(run.window.focus, 2);
    run.core.keyDown(2, RunKey::Up);
    EXPECT_EQ(run.window.focus, 1);
}

TEST(AutoAdvance, MovesOnAtTheExpectedLengthWithTheCaretAtItsEnd)
{
    TestRun run;
    run.show(true, 5, true);
    run.window.type(1, "1-");
    run.core.autoAdvance(1);
    EXPECT_EQ(run.window.focus, 1);
    run.window.type(1, "1-1");
    run.window.carets[1] = 2;
    run.core.autoAdvance(1);
    EXPECT_EQ(run.window.focus, 1);
    run.window.carets[1] = 3;
    run.core.autoAdvance(1);
    EXPECT_EQ(run.window.focus, 2);
}

TEST(AutoAdvance, InTheLastFieldIsTheNextRecord)
{
    TestRun run;
    run.show(true, 5, true);
    run.window.fillRecord("a");
    run.window.focusField(25);
    run.window.type(25, "1-25");
    run.core.autoAdvance(25);
    EXPECT_EQ(run.state().RecordNumber, 2);
}

TEST(AutoAdvance, DoesNothingWhenSwitchedOff)
{
    TestRun run;
    run.show(true, 5, false);
    run.window.type(1, "1-1");
    run.core.autoAdvance(1);
    EXPECT_EQ(run.window.focus, 1);
}

TEST(Cancel, BeforeTheFirstKeyClosesWithoutScoringOrStoring)
{
    TestRun run;
    run.show();
    run.window.type(1, "9");
    run.core.BitBtn1Click();
    EXPECT_TRUE(run.window.closed);
    run.core.FormClose();
    EXPECT_EQ(run.window.scored, 0);
    EXPECT_FALSE(run.window.tableOpen);
    EXPECT_EQ(run.state().KeyedValues.cell(1, 1), "");
}

TEST(Cancel, RefusedByTheGateTheRunGoesOn)
{
    TestRun run;
    run.show();
    run.firstKey();
    run.window.passwordAnswer = false;
    run.core.BitBtn1Click();
    EXPECT_FALSE(run.window.closed);
    EXPECT_TRUE(run.window.timerRunning);
}

TEST(Cancel, AnEndedRunWithoutScoringStaysLockedUntilCancel)
{
    TestRun run;
    run.show(false, 0);
    run.firstKey();
    run.tickAfter(1);
    EXPECT_FALSE(run.window.closed);
    EXPECT_FALSE(run.window.fieldsEnabled);
    EXPECT_EQ(run.window.timeLabel, "Time remaining: 0.00");
    run.core.BitBtn1Click();
    EXPECT_TRUE(run.window.closed);
}

TEST(KindRules, AlphaClearsToASpaceAndKeepsTrimmedTexts)
{
    TestRun run(TestKind::alpha);
    run.show();
    EXPECT_EQ(run.window.caption, "5 minute alpha real mode test in progress (Record: 1)");
    EXPECT_EQ(run.window.fields[2], " ");
    run.window.type(1, "  Ann ");
    run.window.type(2, "Lee");
    run.core.nextscreenbtnClick();
    EXPECT_EQ(run.window.fields[3], "  ");
    EXPECT_EQ(run.window.focus, 3);
    run.window.type(3, "Rome");
    run.core.nextscreenbtnClick();
    EXPECT_EQ(run.state().KeyedValues.cell(1, 1), "Ann");
    EXPECT_EQ(run.state().KeyedValues.cell(1, 4), "");
}

TEST(KindRules, AlphanumericStoresUnfilledMasksEmptyAndTreatsThemAsBlank)
{
    TestRun run(TestKind::alphanumeric);
    run.show();
    run.window.fillRecord("v");
    run.window.type(2, "  /  /  ");
    run.window.type(3, " . ");
    run.window.focusField(2);
    run.core.keyDown(2, RunKey::Enter);
    EXPECT_EQ(run.window.focus, 2);
    run.core.nextscreenbtnClick();
    EXPECT_EQ(run.state().RecordNumber, 2);
    EXPECT_EQ(run.state().KeyedValues.cell(1, 2), "");
    EXPECT_EQ(run.state().KeyedValues.cell(1, 3), "");
    EXPECT_EQ(run.state().KeyedValues.cell(1, 7), "v7");
}

TEST(KindRules, TextChangesAdvanceOnlyOutsideRecordChanges)
{
    TestRun run(TestKind::alpha);
    run.show(true, 5, true);
    // Record 1 keyed exactly as its source, so that loading it fills every
    // field to its expected length, the last one included.
    for (int field = 1; field <= 3; ++field) run.window.type(field, "1-" + std::to_string(field));
    run.core.nextscreenbtnClick();
    run.window.fillRecord("y");
    run.core.prevscreenbtnClick();
    EXPECT_EQ(run.state().RecordNumber, 1);
    EXPECT_EQ(run.window.focus, 1);
    EXPECT_FALSE(run.state().Navigating);
    run.window.type(1, " 1-1 ");
    run.core.fieldChanged(1);
    EXPECT_EQ(run.window.focus, 2);
}

TEST(KindRules, NumericIgnoresTextChanges)
{
    TestRun run(TestKind::numeric);
    run.show(true, 5, true);
    run.window.type(1, "1-1");
    run.core.fieldChanged(1);
    EXPECT_EQ(run.window.focus, 1);
}
