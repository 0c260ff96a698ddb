// SPDX-License-Identifier: GPL-3.0-or-later
#include "testing/runcore.h"

#include <algorithm>
#include <utility>

const std::string RunCore::TimerStartsText = "Timer starts with first key pressed.";
const std::string RunCore::CompleteText = "Test is complete...";
const std::string RunCore::LastRecordText = "This is the last record of the test.";

RunCore::RunCore(TestKind kind, RunWindow& window, Clock& clock)
    : run(runState(kind)), description(kindDescription(kind)), window(window), clock(clock)
{
}

void RunCore::FormShow(const RunSettings& settings)
{
    tableOpen = false;
    lastRecordShown = false;
    window.prepareRun();
    run.Navigating = false;
    autoadvance = settings.autoadvance;
    window.clearErrorLog();
    window.enablePrevButton(false);
    window.enableNextButton(true);
    window.setTimeLabel(TimerStartsText);
    enableedits();
    clearedits();
    window.openTestTable();
    tableOpen = true;
    run.TestSeconds = (settings.realMode ? settings.realtime : settings.practicetime) * 60;
    run.StartRow = settings.realMode ? 1 : PracticeStartRow;
    run.CaptionBase = std::to_string(run.TestSeconds / 60) + " minute " + description.rules.name +
                      (settings.realMode ? " real mode test " : " practice mode test ") + "in progress";
    window.setCaption(run.CaptionBase + " (Record: 1)");
    run.KeyedValues.emptyCells(description.shape.fields);
    window.goFirst();
    if (!settings.realMode) window.skip(run.StartRow - 1);
    run.RecordNumber = 1;
    run.HighestRow = window.rowNumber();
    run.HighestRecord = 1;
    run.TimerStarted = false;
    window.prepareFields();
    window.focusField(1);
}

void RunCore::FormClose()
{
    window.stopTimer();
    tableOpen = false;
    window.closeTables();
}

void RunCore::fieldEnter(int field)
{
    run.ExpectedLength = characterCount(window.sourceText(field));
    window.highlightSource(field, true);
}

void RunCore::fieldExit(int field)
{
    window.highlightSource(field, false);
}

void RunCore::startCountdown()
{
    if (run.TimerStarted) return;
    run.TimerStarted = true;
    window.startTimer();
    run.StartSeconds = clock.getseconds();
}

void RunCore::keyDown(int field, RunKey key)
{
    startCountdown();
    const int last = description.shape.fields;
    switch (key) {
    case RunKey::Enter:
        if (description.isBlank(window.fieldText(field))) return;
        if (field < last)
            window.focusField(field + 1);
        else
            nextscreenbtnClick();
        return;
    case RunKey::Down: window.focusField(field < last ? field + 1 : 1); return;
    case RunKey::Up: window.focusField(field > 1 ? field - 1 : last); return;
    case RunKey::Other: return;
    }
}

void RunCore::autoAdvance(int field)
{
    if (!autoadvance) return;
    const std::string text = window.fieldText(field);
    const int length = characterCount(description.rules.trimmedAdvance ? trimmed(text) : text);
    if (length < run.ExpectedLength || window.caretPosition(field) < run.ExpectedLength) return;
    if (field < description.shape.fields)
        window.focusNextControl();
    else
        nextscreenbtnClick();
}

void RunCore::fieldChanged(int field)
{
    if (description.rules.advancesOnChange && !run.Navigating && tableOpen) autoAdvance(field);
}

int RunCore::firstEmptyField()
{
    for (int field = 1; field <= description.shape.fields; ++field)
        if (description.isEmpty(window.fieldText(field))) return field;
    return 0;
}

// Past the table's last row there is no source to key from, and past the
// last row of the keyed values nowhere to keep what was keyed.
bool RunCore::atLastRecord()
{
    return run.RecordNumber >= run.KeyedValues.records() || window.rowNumber() >= window.rowCount();
}

void RunCore::showRecord()
{
    window.setCaption(run.CaptionBase + " (Record: " + std::to_string(run.RecordNumber) + ")");
    run.HighestRecord = std::max(run.HighestRecord, run.RecordNumber);
    window.enablePrevButton(run.RecordNumber > 1);
    if (std::exchange(lastRecordShown, false)) window.enableNextButton(true);
    loadedits();
    window.focusField(1);
    run.Navigating = false;
}

void RunCore::nextscreenbtnClick()
{
    if (description.rules.navigating) run.Navigating = true;
    if (const int empty = firstEmptyField()) {
        if (description.rules.markEmpty) window.setFieldText(empty, description.rules.emptyMark);
        window.focusField(empty);
        run.Navigating = false;
        return;
    }
    if (atLastRecord()) {
        // The refusal stays in view over the countdown's ticks, and Next
        // stays off, until the testee goes back.
        lastRecordShown = true;
        window.setTimeLabel(LastRecordText);
        window.enableNextButton(false);
        window.focusField(1);
        run.Navigating = false;
        return;
    }
    updatekeyed();
    clearedits();
    window.skip(1);
    ++run.RecordNumber;
    run.HighestRow = std::max(run.HighestRow, window.rowNumber());
    showRecord();
}

void RunCore::prevscreenbtnClick()
{
    // The button is enabled only past record 1; a stray call must not leave
    // the records.
    if (run.RecordNumber <= 1) return;
    if (description.rules.navigating) run.Navigating = true;
    updatekeyed();
    clearedits();
    window.skip(-1);
    --run.RecordNumber;
    showRecord();
}

void RunCore::Timer1Timer()
{
    window.stopTimer();
    run.ElapsedSeconds = secondsBetween(run.StartSeconds, clock.getseconds());
    if (double(run.TestSeconds) > run.ElapsedSeconds) {
        if (!lastRecordShown)
            window.setTimeLabel("Time remaining: " + formatTwoDecimals((run.TestSeconds - run.ElapsedSeconds) / 60));
        window.startTimer();
        return;
    }
    endRun();
}

void RunCore::endRun()
{
    run.StopTime = clock.getseconds() / (24 * 60 * 60);
    disableedits();
    window.setTimeLabel("Time remaining: 0.00");
    window.showMessage(CompleteText);
    window.scoretest();
}

void RunCore::BitBtn1Click()
{
    if (window.getpassword()) window.closeWindow();
}

void RunCore::updatekeyed()
{
    for (int field = 1; field <= description.shape.fields; ++field)
        run.KeyedValues.cell(run.RecordNumber, field) = description.kept(field, window.fieldText(field));
}

void RunCore::loadedits()
{
    for (int field = 1; field <= description.shape.fields; ++field)
        window.setFieldText(field, run.KeyedValues.cell(run.RecordNumber, field));
}

void RunCore::clearedits()
{
    for (int field = 1; field <= description.shape.fields; ++field) window.setFieldText(field, description.rules.cleared);
}

void RunCore::enableedits()
{
    window.enableFields(true);
    window.resumeDisplay();
}

void RunCore::disableedits()
{
    window.enableFields(false);
    window.suspendDisplay();
    window.enablePrevButton(false);
    window.enableNextButton(false);
}
