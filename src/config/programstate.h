// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program-wide state of a run: the in-memory copy of the configuration
// row, the program's folder, the mode of the next test and the outcome of the
// last password entry.

#include <cstdint>
#include <string>

#include <QString>

// One member per column of the configuration row, named after its column. No
// defaults exist in the program: until the first load every number is 0,
// every flag false and every text empty.
struct SettingsRecord {
    std::int32_t realtime = 0;      // minutes of a real-mode test
    std::int32_t practicetime = 0;  // minutes of a practice-mode test
    QString fname;                  // the current (or last) testee
    QString lname;
    QString password;               // upper case; empty or blank: no password
    bool useuppercase = false;      // alphanumeric and alpha tests keyed in upper case
    bool usedecimal = false;        // numeric values with a decimal point
    bool presults = false;          // score a practice test and show its report
    bool rresults = false;          // show the report of a real test
    bool showinstructions = false;  // loaded with the row; nothing uses it
    bool remembername = false;      // store the testee's name when the program ends
    std::int32_t scalefactor = 0;   // test windows at (100 + scalefactor) % of their designed size
    std::int32_t width = 0;         // characters of a generated numeric value, 0: variable
    std::int32_t sort = 0;          // first order of the results: 0 name, 1 KPH, 2 net KPH, 3 date
    std::int32_t filter = 0;        // loaded with the row; nothing uses it
    bool autoadvance = false;       // move on when a field is filled, without Enter
};

extern SettingsRecord Settings;

// The folder of the running program with a trailing '/'. Every table and the
// help file are opened as ProgramDir followed by the file name. Kept in the
// store's own string form, since table names are its main use.
extern std::string ProgramDir;

// True when the next test run is in real mode, false for practice.
extern bool RealMode;

// The outcome of the last password entry dialog: false when it opens, true
// after a correct entry.
extern bool PasswordAccepted;
