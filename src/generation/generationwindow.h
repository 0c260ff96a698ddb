// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the two test generation windows share: a small borderless window,
// centred on the screen, with a progress gauge across its top and a label
// under it and no buttons. Showing it starts a one-second timer whose first
// tick runs the generation, so the window is on screen before the work
// begins. The window closes itself when the work has ended or was refused;
// neither Esc nor the window system can close it, since a run abandoned half
// way would leave a test only partly made.
//
// Both runs let pending events through at fixed points so the gauge repaints.
// A failure after the table was opened ends the run: the table is closed
// first, so that nobody stays locked out while the error is on screen, then
// the error is shown by the application-wide error display and the window
// closes.

#include <exception>
#include <string>

#include <QDialog>

class ProgressGauge;
class QLabel;
class QTimer;

namespace store {
class StoreTable;
}

class GenerationWindow : public QDialog {
    Q_OBJECT

public:
    // Closes the window, after its close step.
    void done(int result) override;

protected:
    GenerationWindow(const QString& text, QWidget* parent);

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    virtual void FormShow() = 0;
    virtual void Timer1Timer() = 0;
    virtual void FormClose() = 0;

    // Lets the window system process pending events.
    void processEvents();
    // Ends a run that failed after its table was opened.
    void endAfterFailure(store::StoreTable& table, const std::exception& error);

    ProgressGauge* Gauge1;
    QLabel* Label1;
    QTimer* Timer1;
};

// Opens the table of that file name in ProgramDir for exclusive use; false,
// with the handle closed, when it cannot be had (open elsewhere, or missing).
bool openExclusively(store::StoreTable& table, const std::string& fileName);
// Closes the handle and clears its exclusive flag, as every generation run
// leaves its table.
void releaseTable(store::StoreTable& table);
// The same after a failure, when even the close may fail.
void closeAfterFailure(store::StoreTable& table);
