// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the alphanumeric and alpha test windows share: a white sunken source
// panel with a label and a bold display per field, an entry panel with the
// same labels and a masked entry field per field, and the bottom bar of every
// test window laid out below them. The test table is invsort.dat in the order
// of its index "idxkey".
//
// Each window places its fields in the panels; their labels, columns and
// masks are the kind's. The fields' handlers are shared, and each field is
// told apart by its number.

#include <string>
#include <vector>

#include "testing/testwindow.h"

class BoundLabel;
class MaskedEdit;
class QFrame;
class QKeyEvent;

// Where field f stands in both panels.
struct FieldPlace {
    int row;
    int place;
};

// Where the help key in a field finds the help context of the test windows.
enum class HelpPanel { source, entry };

class TextTestForm : public TestWindow {
    Q_OBJECT

public:
    // The gate is the main window's administrator-password gate.
    TextTestForm(TestKind kind, std::vector<FieldPlace> places, HelpPanel helpPanel, PasswordGate gate, Clock& clock,
                 QWidget* parent);

    MaskedEdit* field(int number) const { return MaskEdits[std::size_t(number - 1)]; }

    // The handlers, shared by every field; f is the field's number.
    void MaskEdit1Enter(int f);
    void MaskEdit1Exit(int f);
    // True when the key is used up here (Enter inserts nothing).
    bool MaskEdit1KeyDown(int f, QKeyEvent* key);
    void MaskEdit1Change(int f);

    // RunWindow, where this window differs.
    std::string fieldText(int f) override;
    void setFieldText(int f, const std::string& text) override;
    void focusField(int f) override;
    void focusNextControl() override;
    void highlightSource(int f, bool highlighted) override;
    void openTestTable() override;
    void prepareRun() override;
    void prepareFields() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    QLineEdit* entryField(int f) const override;

private:
    QFrame* makeSourcePanel();
    QFrame* makeEntryPanel();
    QWidget* makeBottomBar();
    int numberOf(QObject* watched) const;
    // Runs the exit of the field left and the enter of field f (0: none),
    // once for each change, however the focus moved.
    void enterField(int f);

    std::vector<FieldPlace> layout;
    std::vector<BoundLabel*> DBTexts;
    std::vector<MaskedEdit*> MaskEdits;
    int enteredField = 0;
};
