// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The test run the three test windows share: set-up at show, the countdown
// from the first key, record navigation over the test table, the field keys,
// auto-advance, and the hand-over to scoring at the end. It keeps its state
// in the run state of its kind (runState), so a rebuilt window finds it
// untouched, and reaches its window only through RunWindow. Where the kinds
// differ, their descriptions say how.
//
// Fields are numbered 1 .. F; texts are UTF-8 and their lengths are counted
// in characters, as the window counts its caret position.

#include <string>

#include "testing/funcs.h"
#include "testing/runstate.h"
#include "testing/textrules.h"

// What the run needs of its window and of the window's test table.
class RunWindow {
public:
    virtual ~RunWindow() = default;

    virtual void setCaption(const std::string& caption) = 0;
    virtual void setTimeLabel(const std::string& text) = 0;
    virtual std::string fieldText(int field) = 0;
    virtual void setFieldText(int field, const std::string& text) = 0;
    // The window runs RunCore::fieldExit for the field that had the focus and
    // RunCore::fieldEnter for this one.
    virtual void focusField(int field) = 0;
    // The next control in tab order; from field f that is field f + 1.
    virtual void focusNextControl() = 0;
    // The index of the first selected character.
    virtual int caretPosition(int field) = 0;
    virtual void enableFields(bool enabled) = 0;
    virtual void enablePrevButton(bool enabled) = 0;
    virtual void enableNextButton(bool enabled) = 0;
    // Highlighted: navy (the numeric window: bold too, and its large
    // display shows the value); otherwise black and regular.
    virtual void highlightSource(int field, bool highlighted) = 0;
    // Modal, with an OK button; returns when it is dismissed.
    virtual void showMessage(const std::string& text) = 0;
    // The 1000 ms countdown timer; each of its events calls RunCore::Timer1Timer.
    virtual void startTimer() = 0;
    virtual void stopTimer() = 0;
    // The hidden buffer scoring writes its error log into.
    virtual void clearErrorLog() = 0;

    // The test table, in its test order. Opening it binds the source displays.
    virtual void openTestTable() = 0;
    virtual void closeTables() = 0;
    virtual void goFirst() = 0;
    virtual void skip(int rows) = 0;
    virtual int rowNumber() = 0;
    virtual int rowCount() = 0;
    // The current row's value for the field, as its source display shows it.
    virtual std::string sourceText(int field) = 0;
    virtual void suspendDisplay() = 0;
    virtual void resumeDisplay() = 0;

    // The kind's own set-up steps: first of all, and just before the focus
    // goes to field 1.
    virtual void prepareRun() {}
    virtual void prepareFields() {}

    // The administrator-password gate of the main window.
    virtual bool getpassword() = 0;
    virtual void closeWindow() = 0;
    // Scoring of the ended run.
    virtual void scoretest() = 0;
};

// What the run reads of the settings when it starts.
struct RunSettings {
    bool realMode = false;
    int realtime = 0;      // minutes
    int practicetime = 0;  // minutes
    bool autoadvance = false;
};

enum class RunKey { Enter, Down, Up, Other };

class RunCore {
public:
    static const std::string TimerStartsText;  // "Timer starts with first key pressed."
    static const std::string CompleteText;     // "Test is complete..."
    static const std::string LastRecordText;
    static constexpr int PracticeStartRow = 50;

    RunCore(TestKind kind, RunWindow& window, Clock& clock = systemClock());

    RunState& state() const { return run; }
    const KindDescription& kind() const { return description; }
    const KindRules& rules() const { return description.rules; }
    int fieldCount() const { return description.shape.fields; }

    // The handlers, named as the window's own.
    void FormShow(const RunSettings& settings);
    void FormClose();
    void fieldEnter(int field);
    void fieldExit(int field);
    void keyDown(int field, RunKey key);
    void nextscreenbtnClick();
    void prevscreenbtnClick();
    void Timer1Timer();
    void BitBtn1Click();

    // Moves on when field f holds its expected length and the caret is at
    // its end or beyond; the window decides when to ask.
    void autoAdvance(int field);
    // A change of field f's text, for the kinds that auto-advance on it.
    void fieldChanged(int field);

    void updatekeyed();
    void loadedits();
    void clearedits();
    void enableedits();
    void disableedits();

private:
    void startCountdown();
    void endRun();
    void showRecord();
    int firstEmptyField();
    bool atLastRecord();

    RunState& run;
    const KindDescription& description;
    RunWindow& window;
    Clock& clock;
    bool autoadvance = false;
    bool tableOpen = false;
    // The refusal at the last record is on show.
    bool lastRecordShown = false;
};
