#pragma once

// What the alphanumeric and alpha test windows share: a white sunken source
// panel with a label and a bold display per field, an entry panel with the
// same labels and a masked entry field per field, and the bottom bar of every
// test window (Cancel, the status label and the two record buttons). The run
// itself is the run core's; this window is its RunWindow over the toolkit and
// over invsort.dat in the order of its index "idxkey".
//
// Each window names its fields (label, column, mask, place in the panels); the
// fields' handlers are shared, and each field is told apart by its number.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "store/storetable.h"
#include "testing/runcore.h"

class BoundLabel;
class MaskedEdit;
class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;
class QTextEdit;
class QTimer;
class QToolButton;

struct TextField {
    QString label;
    std::string column;
    QString mask;  // empty: no mask, no length limit
    int row;       // place in both panels
    int place;
};

// Where the help key in a field finds the help context of the test windows.
enum class HelpPanel { source, entry };

class TextTestForm : public QDialog, public RunWindow {
    Q_OBJECT

public:
    static constexpr int HelpContext = 3000;

    using PasswordGate = std::function<bool()>;

    // The gate is the main window's administrator-password gate.
    TextTestForm(TestKind kind, std::vector<TextField> fields, HelpPanel helpPanel, PasswordGate gate, Clock& clock,
                 QWidget* parent);
    ~TextTestForm() override;

    store::StoreTable& testTable() { return testdb; }
    QTextEdit* errorLog() const { return RichEdit1; }
    MaskedEdit* field(int number) const { return MaskEdits[std::size_t(number - 1)]; }

    // The handlers, shared by every field; f is the field's number.
    void MaskEdit1Enter(int f);
    void MaskEdit1Exit(int f);
    // True when the key is used up here (Enter inserts nothing).
    bool MaskEdit1KeyDown(int f, QKeyEvent* key);
    void MaskEdit1Change(int f);
    void nextscreenbtnClick();
    void prevscreenbtnClick();
    void BitBtn1Click();
    void Timer1Timer();

    // Escape closes nothing: only Cancel, behind the password gate, leaves a run.
    void reject() override;
    // Scoring lets events run while it still reads the test table; a close
    // asked for meanwhile waits until scoring is done.
    void done(int result) override;

    // RunWindow
    void setCaption(const std::string& caption) override;
    void setTimeLabel(const std::string& text) override;
    std::string fieldText(int f) override;
    void setFieldText(int f, const std::string& text) override;
    void focusField(int f) override;
    void focusNextControl() override;
    int caretPosition(int f) override;
    void enableFields(bool enabled) override;
    void enablePrevButton(bool enabled) override;
    void enableNextButton(bool enabled) override;
    void highlightSource(int f, bool highlighted) override;
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
    std::string sourceText(int f) override;
    void suspendDisplay() override;
    void resumeDisplay() override;
    void prepareRun() override;
    void prepareFields() override;
    bool getpassword() override;
    void closeWindow() override;
    void scoretest() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QFrame* makeSourcePanel();
    QFrame* makeEntryPanel();
    QWidget* makeBottomBar();
    int numberOf(QObject* watched) const;
    // Runs the exit of the field left and the enter of field f (0: none),
    // once for each change, however the focus moved.
    void enterField(int f);

    std::vector<TextField> layout;
    store::StoreTable testdb;
    store::StoreTable resultsdb;
    std::vector<BoundLabel*> DBTexts;
    std::vector<MaskedEdit*> MaskEdits;
    QPushButton* BitBtn1 = nullptr;
    QLabel* timeLabel = nullptr;
    QToolButton* prevscreenbtn = nullptr;
    QToolButton* nextscreenbtn = nullptr;
    QTimer* Timer1 = nullptr;
    QTextEdit* RichEdit1 = nullptr;
    PasswordGate gate;
    RunCore run;
    int enteredField = 0;
    bool scoring = false;
    bool closeDeferred = false;
};
