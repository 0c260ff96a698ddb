// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every test window is over the run core: the run's window toward the
// toolkit and the test table, the bottom bar (Cancel, the status label and
// the two record buttons), the hidden error log, the countdown timer, the
// ways out of a run and the hand-over to scoring. A window adds its fields,
// its source displays and how they look, its test table and its own keys.
//
// A test window has no close box and Escape closes nothing: a run is left
// only through Cancel, behind the administrator-password gate, or by scoring
// at its end.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "store/storetable.h"
#include "testing/runcore.h"

class ColumnLink;
class QAbstractButton;
class QKeyEvent;
class QFocusEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QTimer;

class TestWindow : public QDialog, public RunWindow {
    Q_OBJECT

public:
    static constexpr int HelpContext = 3000;

    using PasswordGate = std::function<bool()>;

    ~TestWindow() override;

    store::StoreTable& testTable() { return testdb; }
    QTextEdit* errorLog() const { return RichEdit1; }

    void nextscreenbtnClick();
    void prevscreenbtnClick();
    void BitBtn1Click();
    void Timer1Timer();

    // Navy while its field has the focus, black otherwise.
    static void colourSource(QWidget* display, bool highlighted);

    void reject() override;
    // Scoring lets events run while it still reads the test table; a close
    // asked for meanwhile waits until scoring is done.
    void done(int result) override;

    // RunWindow: what is the same in every test window.
    void setCaption(const std::string& caption) override;
    void setTimeLabel(const std::string& text) override;
    int caretPosition(int field) override;
    void enableFields(bool enabled) override;
    void enablePrevButton(bool enabled) override;
    void enableNextButton(bool enabled) override;
    void showMessage(const std::string& text) override;
    void startTimer() override;
    void stopTimer() override;
    void clearErrorLog() override;
    void closeTables() override;
    void goFirst() override;
    void skip(int rows) override;
    int rowNumber() override;
    int rowCount() override;
    std::string sourceText(int field) override;
    void suspendDisplay() override;
    void resumeDisplay() override;
    bool getpassword() override;
    void closeWindow() override;
    // Scores the ended run, stores and reports it, and closes the window; a
    // practice run without its report stays on screen, locked, until Cancel.
    void scoretest() override;

protected:
    // gate: the main window's administrator-password gate; none lets Cancel through.
    TestWindow(TestKind kind, PasswordGate gate, Clock& clock, QWidget* parent);

    // Entry field f, 1 .. the kind's field count.
    virtual QLineEdit* entryField(int field) const = 0;
    // The test-table column source display f shows, from the kind's
    // description.
    const std::string& sourceColumn(int field) const;

    // Names the record buttons, gives them their hints and ties them to
    // their handlers; the window makes and places them.
    void setRecordButtons(QAbstractButton* previous, QAbstractButton* next);
    // Tells assistive technology each field's source value, following the
    // test table's cursor as the source displays do; the window calls it
    // once its test table is open. The fields' names are the window's own.
    void describeFields();
    // Hands a key that went down in field f to the run; true when the key
    // was used up there (Enter, the arrows).
    bool fieldKeyDown(int field, const QKeyEvent* key);
    // The focus comes and goes with the window too; a field is entered and
    // left only when the focus moves within the window.
    static bool movesWithinWindow(const QFocusEvent* event);

    void FormShow();
    void FormClose();

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    store::StoreTable testdb{"testdb"};
    store::StoreTable resultsdb{"resultsdb"};
    RunCore run;
    // The numeric sources with decimals, as the run was set up.
    bool decimalSource = false;
    QPushButton* BitBtn1 = nullptr;
    QLabel* timeLabel = nullptr;
    QAbstractButton* prevscreenbtn = nullptr;
    QAbstractButton* nextscreenbtn = nullptr;
    QTextEdit* RichEdit1 = nullptr;
    QTimer* Timer1 = nullptr;

private:
    void describeField(int field);
    void closeGate();

    // One a field, from field 1; they go before testdb.
    std::vector<std::unique_ptr<ColumnLink>> sourceLinks;
    PasswordGate passwordGate;
    bool scoring = false;
    bool closeDeferred = false;
    bool gateOpen = false;
};
