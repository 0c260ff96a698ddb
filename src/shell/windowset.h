// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window set: every window of the run, built at start-up in its fixed
// order and kept until the run ends, each held by a reference of its own.
// The main window is built first, so it is the program's main window.
//
// Windows held by a WindowSlot are opened through the slot. Each slot starts
// with the factory of its window class (tests put stand-ins in its place); a
// slot whose window class has not joined the program yet holds nothing, and
// opening it does nothing. The three test windows are the only ones ever discarded and
// built again (after a change of the window scale).

#include <functional>
#include <memory>

#include <QDialog>

#include "results/resultsselection.h"

class Tzmain;
class Tdbfuncs;
class TgetpasswordForm;
class Tpasswordchangeform;
class Tgetnameform;
class Taboutform;
class TshowitForm;
class Tprintresultsform;

class WindowSlot {
public:
    using Factory = std::function<std::unique_ptr<QDialog>()>;

    void setFactory(Factory make);
    bool hasFactory() const { return bool(factory); }

    // Builds the window afresh, from its designed size; the window held
    // before is discarded first.
    void build();
    QDialog* window() const { return held.get(); }

    // Shows the window modally and returns its result; QDialog::Rejected
    // when there is no window.
    int exec();

private:
    Factory factory;
    std::unique_ptr<QDialog> held;
};

struct WindowSet {
    WindowSet();
    ~WindowSet();
    WindowSet(const WindowSet&) = delete;
    WindowSet& operator=(const WindowSet&) = delete;

    std::unique_ptr<Tzmain> zmain;                            // 1
    WindowSlot settingsform;                                  // 2 Tsettingsform
    std::unique_ptr<Tdbfuncs> dbfuncs;                        // 3
    std::unique_ptr<TgetpasswordForm> getpasswordForm;        // 4
    std::unique_ptr<Tpasswordchangeform> passwordchangeform;  // 5
    WindowSlot numerictestform;                               // 6 Tnumerictestform
    WindowSlot newnumerictestform;                            // 7 Tnewnumerictestform
    // 8, the result report window: opened by the test and results windows
    // only, through the program-wide ShowitForm.
    std::unique_ptr<TshowitForm> showitForm;
    WindowSlot resultsForm;  // 9 TresultsForm
    ResultsSelection resultsSelection;
    std::unique_ptr<Tgetnameform> getnameform;  // 10
    WindowSlot alphanumerictestform;            // 11 Talphanumerictestform
    WindowSlot alphatestform;                   // 12 Talphatestform
    // 13 The holder of the printed list: sets the short date format when it
    //    is built.
    std::unique_ptr<Tprintresultsform> printresultsform;
    WindowSlot rewritean;                   // 14 Trewritean
    std::unique_ptr<Taboutform> aboutform;  // 15
};

// Builds every window in the fixed order, each slot that has a factory
// included; the settings dialog's and the numeric test window's slots get the
// program's own windows unless a test put others in place. A configuration
// access module already in place (a test's own) is kept.
void buildWindowSet(WindowSet& windows);
