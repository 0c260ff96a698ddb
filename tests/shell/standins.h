// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's window set for window tests: the configuration access module
// over a row in memory, and stand-ins for the windows whose classes have not
// joined the program yet. Each stand-in counts its openings and closes itself
// as soon as it is shown.

#include <functional>
#include <memory>

#include <QDialog>
#include <QLabel>
#include <QShowEvent>
#include <QTimer>

#include "config/programstate.h"
#include "shell/umain.h"
#include "shell/windowset.h"
#include "support/fakedbfuncs.h"

namespace testing_support {

class StandInWindow : public QDialog {
public:
    StandInWindow(int& openings, std::function<void()> onShow) : openings(openings), onShow(std::move(onShow)) {}

protected:
    void showEvent(QShowEvent* event) override
    {
        QDialog::showEvent(event);
        ++openings;
        if (onShow) onShow();
        QTimer::singleShot(0, this, &QDialog::accept);
    }

private:
    int& openings;
    std::function<void()> onShow;
};

// A test window at its designed size: 400 by 300 in a 10-point font, with one
// control that no layout places.
class StandInTestWindow : public StandInWindow {
public:
    explicit StandInTestWindow(int& openings) : StandInWindow(openings, {}), control(new QLabel(this))
    {
        QFont designed = font();
        designed.setPointSizeF(10);
        setFont(designed);
        resize(400, 300);
        control->setObjectName(QStringLiteral("control"));
        control->setGeometry(20, 30, 100, 20);
    }

    QLabel* control;
};

struct Openings {
    int settingsform = 0;
    int numerictestform = 0;
    int newnumerictestform = 0;
    int resultsForm = 0;
    int alphanumerictestform = 0;
    int alphatestform = 0;
    int rewritean = 0;
};

class StandInProgram {
public:
    // With realGeneration the two generation windows are the program's own,
    // with realNumericTest the numeric test window, with realTextTests the
    // alphanumeric and alpha test windows.
    explicit StandInProgram(bool realGeneration = false, bool realNumericTest = false, bool realTextTests = false)
    {
        auto fake = std::make_unique<FakeDbfuncs>();
        dbfuncs = fake.get();
        windows.dbfuncs = std::move(fake);
        windows.settingsform.setFactory([this] {
            return std::make_unique<StandInWindow>(opened.settingsform, [this] {
                if (settingsSave) settingsSave();
            });
        });
        if (!realGeneration) {
            standIn(windows.newnumerictestform, opened.newnumerictestform);
            standIn(windows.rewritean, opened.rewritean);
        }
        standIn(windows.resultsForm, opened.resultsForm);
        if (!realNumericTest) testWindow(windows.numerictestform, opened.numerictestform);
        if (!realTextTests) {
            testWindow(windows.alphanumerictestform, opened.alphanumerictestform);
            testWindow(windows.alphatestform, opened.alphatestform);
        }
        buildWindowSet(windows);
    }

    Tzmain& zmain() { return *windows.zmain; }

    WindowSet windows;
    FakeDbfuncs* dbfuncs = nullptr;
    Openings opened;
    // What the stand-in settings dialog does while it is open.
    std::function<void()> settingsSave;

private:
    void standIn(WindowSlot& slot, int& openings)
    {
        slot.setFactory([&openings] { return std::make_unique<StandInWindow>(openings, std::function<void()>()); });
    }
    void testWindow(WindowSlot& slot, int& openings)
    {
        slot.setFactory([&openings] { return std::make_unique<StandInTestWindow>(openings); });
    }
};

}  // namespace testing_support
