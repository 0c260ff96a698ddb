// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A test window without a toolkit for the run core, and a clock the test
// sets. The window keeps its test table as rows of texts in memory and records
// what the core did to it; its focus runs the core's field exit and enter, and
// a text set into a field its text change, as a real window does. Typing and
// setting a text put the caret at the end of the text.

#include <algorithm>
#include <string>
#include <vector>

#include "testing/runcore.h"

namespace testing_support {

class FakeClock : public Clock {
public:
    double getseconds() override { return now; }
    double now = 36000;
};

class FakeRunWindow : public RunWindow {
public:
    // A table of rowCount rows whose value for field f in row r reads "r-f"
    // unless the test sets rows itself.
    FakeRunWindow(int fields, int rowCount) : fields(std::size_t(fields) + 1), carets(std::size_t(fields) + 1)
    {
        for (int row = 1; row <= rowCount; ++row) {
            std::vector<std::string> values(std::size_t(fields) + 1);
            for (int field = 1; field <= fields; ++field) values[field] = std::to_string(row) + "-" + std::to_string(field);
            rows.push_back(values);
        }
    }

    void attach(RunCore& run) { core = &run; }

    // What the testee does.
    void type(int field, const std::string& text)
    {
        fields[field] = text;
        carets[field] = characterCount(text);
    }
    void fillRecord(const std::string& prefix)
    {
        for (std::size_t field = 1; field < fields.size(); ++field) type(int(field), prefix + std::to_string(field));
    }

    void setCaption(const std::string& text) override { caption = text; }
    void setTimeLabel(const std::string& text) override { timeLabel = text; }
    std::string fieldText(int field) override { return fields.at(field); }
    void setFieldText(int field, const std::string& text) override
    {
        // As an entry field does, the caret goes to the end.
        type(field, text);
        if (core) core->fieldChanged(field);
    }
    void focusField(int field) override
    {
        if (focus && core) core->fieldExit(focus);
        focus = field;
        if (core) core->fieldEnter(field);
    }
    void focusNextControl() override { focusField(focus < int(fields.size()) - 1 ? focus + 1 : 0); }
    int caretPosition(int field) override { return carets.at(field); }
    void enableFields(bool enabled) override { fieldsEnabled = enabled; }
    void enablePrevButton(bool enabled) override { prevEnabled = enabled; }
    void enableNextButton(bool enabled) override { nextEnabled = enabled; }
    void highlightSource(int field, bool highlighted) override { highlight = highlighted ? field : 0; }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void startTimer() override { timerRunning = true; }
    void stopTimer() override { timerRunning = false; }
    void clearErrorLog() override { errorLog.clear(); }

    void openTestTable() override { tableOpen = true; }
    void closeTables() override { tableOpen = false; }
    void goFirst() override { row = rows.empty() ? 0 : 1; }
    void skip(int count) override
    {
        if (rows.empty()) return;
        row = std::max(1, std::min(int(rows.size()), row + count));
    }
    int rowNumber() override { return row; }
    int rowCount() override { return int(rows.size()); }
    std::string sourceText(int field) override { return row ? rows[std::size_t(row) - 1].at(field) : std::string(); }
    void suspendDisplay() override { displaySuspended = true; }
    void resumeDisplay() override { displaySuspended = false; }

    bool getpassword() override
    {
        ++passwordAsked;
        return passwordAnswer;
    }
    void closeWindow() override { closed = true; }
    void scoretest() override { ++scored; }

    RunCore* core = nullptr;
    std::vector<std::vector<std::string>> rows;  // values from index 1
    int row = 0;
    std::vector<std::string> fields;  // texts from index 1
    std::vector<int> carets;
    int focus = 0;  // 0: no field has it
    int highlight = 0;
    std::string caption;
    std::string timeLabel;
    std::vector<std::string> messages;
    std::string errorLog = "left over";
    bool fieldsEnabled = false;
    bool prevEnabled = true;
    bool nextEnabled = false;
    bool timerRunning = false;
    bool tableOpen = false;
    bool displaySuspended = true;
    bool passwordAnswer = true;
    int passwordAsked = 0;
    bool closed = false;
    int scored = 0;
};

}  // namespace testing_support
