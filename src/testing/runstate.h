// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The run state of a test kind: what a test window keeps for one run, owned
// by the kind rather than the window object, so that it lives for the whole
// program and survives a rebuild of its window. Written by the test windows
// through the run core, read by scoring after the run.

#include <cstdint>
#include <string>
#include <vector>

#include "testing/testkinds.h"

// R × W texts in one flat array made once at its full size and never
// reallocated; a run only empties and overwrites cells. Cell (r, f), both
// counted from 1, is element (r - 1) × W + (f - 1). An empty text means
// nothing keyed.
class KeyedValueArray {
public:
    KeyedValueArray(int records, int cells);

    std::string& cell(int record, int field);
    const std::string& cell(int record, int field) const;

    int records() const { return records_; }
    int cells() const { return cells_; }

    // Empties cells 1 .. usedCells of every row; the others are never written.
    void emptyCells(int usedCells);

private:
    std::size_t offset(int record, int field) const;

    int records_;
    int cells_;
    std::vector<std::string> texts;
};

struct RunState {
    explicit RunState(TestKind kind);

    const TestKind kind;
    std::int32_t RecordNumber = 0;   // record on screen, from 1
    std::int32_t HighestRecord = 0;  // never decreases within a run
    std::int32_t HighestRow = 0;     // 1-based row of HighestRecord in the table's order
    std::int32_t StartRow = 0;       // 1 real, 50 practice
    std::int32_t TestSeconds = 0;
    double StartSeconds = 0;    // getseconds at the first key
    double ElapsedSeconds = 0;  // at the latest tick
    double StopTime = 0;        // time of day in days, zero date part
    bool TimerStarted = false;
    std::int32_t ExpectedLength = 0;
    bool Navigating = false;  // alphanumeric and alpha only
    std::string CaptionBase;
    KeyedValueArray KeyedValues;
};

// The program-wide run state of each kind.
RunState& runState(TestKind kind);
