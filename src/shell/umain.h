// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The main window: the program's only top-level window, shown maximised for
// the whole run. It carries the menus, the toolbar with the clock, and the
// status bar that shows the current hint of the whole application. Every
// other window is opened from one of its commands, modally. The
// administrative commands first pass the password gate.

#include <array>

#include <QMainWindow>

class ClockPanel;
class FlatButton;
class HintTracker;
class QLabel;
class QMenu;
class WindowSlot;
struct WindowSet;

class Tzmain : public QMainWindow {
    Q_OBJECT

public:
    explicit Tzmain(WindowSet& windows, QWidget* parent = nullptr);

    // The administrator-password gate: true at once when no password is set,
    // otherwise whether the password entry dialog accepted the password.
    bool getpassword();

    // The application's hint handler: writes the current hint into the
    // first panel of the status bar.
    void displayhint(const QString& hint);

    // The commands.
    void Alphanumeric1Click();
    void numeric1Click();
    void Importnumeric1Click();
    void Importinvoices1Click();
    void Restoreinvoices1Click();
    void resultsbtnClick();
    void Exit1Click();
    void exitbtnClick();
    void Real1Click();
    void Practise1Click();
    void Real2Click();
    void Practice1Click();
    void Realmode1Click();
    void Practice2Click();
    void Password1Click();
    void Settings1Click();
    void Criteria1Click();
    void Contents1Click();
    void About1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();

    void buildMenus();
    void buildToolbar();
    FlatButton* addToolButton(const QString& name, const QString& hint, void (Tzmain::*handler)());
    QAction* addCommand(QMenu* menu, const QString& name, const QString& caption, const QString& hint,
                        void (Tzmain::*handler)());

    void openGated(WindowSlot& window);
    void openTest(WindowSlot& window, bool realMode, bool askName);
    // numeric, alphanumeric, alpha
    std::array<WindowSlot*, 3> testWindows() const;
    void scaleTestWindows();

    WindowSet& windows;
    HintTracker* hints = nullptr;
    QLabel* hintPanel = nullptr;
    ClockPanel* clock = nullptr;
    bool shownOnce = false;
};
