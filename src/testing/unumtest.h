// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The numeric test window: each record is one row of numeric.dat, 25 numbers
// shown as a 5 × 5 grid of source values above a 5 × 5 grid of entry fields in
// the same places. The testee keys each number into the field under it,
// mostly on the keypad, so Num Lock is kept on for the whole run. The run
// itself is the run core's; this window adds its layout, its source columns
// ("n1" .. "n25", or "nd1" .. "nd25" with the decimal point), the character
// filter, auto-advance on the release of a digit key and the large display
// of the focused field's source value.

#include <array>
#include <bitset>
#include <string>

#include "testing/testwindow.h"

class QKeyEvent;
class QLineEdit;
class RebindableLabel;

class Tnumerictestform : public TestWindow {
    Q_OBJECT

public:
    static constexpr int Fields = NumericShape.fields;

    explicit Tnumerictestform(PasswordGate getpassword, QWidget* parent = nullptr);

    // "nd" with the decimal point, "n" without.
    std::string sourcePrefix() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void Edit1Enter(int field);
    void Edit1Exit(int field);
    // Both return true when the key was used up.
    bool Edit1KeyDown(int field, QKeyEvent* event);
    bool Edit1KeyPress(QKeyEvent* event);
    void Edit1KeyUp(int field, QKeyEvent* event);
    void numlockon();

    void buildSourceGrid();
    void buildEntryGrid();
    void buildBottomBar();
    int fieldOf(QObject* object) const;

    QLineEdit* entryField(int field) const override;

    // The run's window, where this one differs.
    std::string fieldText(int field) override;
    void setFieldText(int field, const std::string& text) override;
    void focusField(int field) override;
    void focusNextControl() override;
    void highlightSource(int field, bool highlighted) override;
    void openTestTable() override;
    void prepareRun() override;

    std::bitset<256> allowed;

    std::array<RebindableLabel*, Fields + 1> DBText{};  // from index 1
    std::array<QLineEdit*, Fields + 1> Edit{};          // from index 1
    RebindableLabel* dbshowfield = nullptr;
};
