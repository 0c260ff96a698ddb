#pragma once

// The numeric test window: each record is one row of numeric.dat, 25 numbers
// shown as a 5 × 5 grid of source values above a 5 × 5 grid of entry fields in
// the same places. The testee keys each number into the field under it,
// mostly on the keypad, so Num Lock is kept on for the whole run. The run
// itself is the run core's; this window adds its layout, its source columns
// ("n1" .. "n25", or "nd1" .. "nd25" with the decimal point), the character
// filter, auto-advance on the release of a digit key and the large display
// of the focused field's source value.
//
// The window has no close box; it is left only through Cancel, behind the
// administrator-password gate, or by scoring at the end of the run.

#include <array>
#include <bitset>
#include <functional>
#include <string>

#include <QDialog>

#include "store/storetable.h"
#include "testing/runcore.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QTimer;
class RebindableLabel;

class Tnumerictestform : public QDialog, private RunWindow {
    Q_OBJECT

public:
    static constexpr int Fields = 25;
    static constexpr int MaxLength = 16;

    // getpassword: the main window's administrator-password gate.
    explicit Tnumerictestform(std::function<bool()> getpassword, QWidget* parent = nullptr);

    // Closes the window, after its close step.
    void done(int result) override;

    // "nd" with the decimal point, "n" without.
    const std::string& sourcePrefix() const { return SourcePrefix; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void Edit1Enter(int field);
    void Edit1Exit(int field);
    // Both return true when the key was used up.
    bool Edit1KeyDown(int field, QKeyEvent* event);
    bool Edit1KeyPress(QKeyEvent* event);
    void Edit1KeyUp(int field, QKeyEvent* event);
    void nextscreenbtnClick();
    void prevscreenbtnClick();
    void Timer1Timer();
    void BitBtn1Click();
    void numlockon();

    void buildSourceGrid();
    void buildEntryGrid();
    void buildBottomBar();
    int fieldOf(QObject* object) const;

    // The run's window.
    void setCaption(const std::string& caption) override;
    void setTimeLabel(const std::string& text) override;
    std::string fieldText(int field) override;
    void setFieldText(int field, const std::string& text) override;
    void focusField(int field) override;
    void focusNextControl() override;
    int caretPosition(int field) override;
    void enableFields(bool enabled) override;
    void enablePrevButton(bool enabled) override;
    void enableNextButton(bool enabled) override;
    void highlightSource(int field, bool highlighted) override;
    void showMessage(const std::string& text) override;
    void startTimer() override;
    void stopTimer() override;
    void clearErrorLog() override;
    void openTestTable() override;
    void closeTables() override;
    void goFirst() override;
    void skip(int rows) override;
    int rowNumber() override;
    int rowCount() override;
    std::string sourceText(int field) override;
    void suspendDisplay() override;
    void resumeDisplay() override;
    void prepareRun() override;
    bool getpassword() override;
    void closeWindow() override;
    // Scores the ended run, stores and reports it, and closes the window;
    // a practice run without its report stays on screen, locked, until Cancel.
    void scoretest() override;

    store::StoreTable testdb{"testdb"};
    store::StoreTable resultsdb{"resultsdb"};
    RunCore run;
    std::function<bool()> passwordGate;
    std::string SourcePrefix = "n";
    std::bitset<256> allowed;
    // Scoring lets events run while it still reads testdb; a close asked for
    // meanwhile waits until scoring is done.
    bool scoring = false;
    bool closeDeferred = false;

    std::array<RebindableLabel*, Fields + 1> DBText{};  // from index 1
    std::array<QLineEdit*, Fields + 1> Edit{};          // from index 1
    RebindableLabel* dbshowfield = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QLabel* timeLabel = nullptr;
    QPushButton* prevscreenbtn = nullptr;
    QPushButton* nextscreenbtn = nullptr;
    QTextEdit* RichEdit1 = nullptr;
    QTimer* Timer1 = nullptr;
};
