// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Admin > "Send results to server now": runs movara-sync on the program's
// folder in a process of its own, so the window stays usable and the
// program's table handles and text formats are untouched, and shows its
// progress lines in the status bar. Without a configured connection the
// command's hint and a message say how to configure one.

#include <QObject>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QProcess;
class QStatusBar;

class ResultsSender : public QObject {
    Q_OBJECT

public:
    // gate: the administrator-password gate the command passes first.
    ResultsSender(QMenu* admin, QStatusBar* status, std::function<bool()> gate);

    void SendResults1Click();

private:
    void updateHint();
    void showOutput();
    void finished(int exitCode);

    QAction* action = nullptr;
    QLabel* progress = nullptr;
    QProcess* process = nullptr;
    std::function<bool()> gate;
};
