// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The numeric test generation window: fills numeric.dat anew with 200 rows,
// each of 25 whole numbers (n1 .. n25) and 25 decimal numbers (nd1 .. nd25)
// drawn by the rules of the configured field width, holding the table
// exclusively for the whole run. A refused exclusive open leaves the table as
// it was.

#include <cstdint>

#include "generation/generationwindow.h"
#include "store/storetable.h"

class Tnewnumerictestform : public GenerationWindow {
    Q_OBJECT

public:
    explicit Tnewnumerictestform(store::FileSystem& files = store::systemFileSystem(), QWidget* parent = nullptr);

    // One value by the whole-number rule, one by the decimal rule.
    static std::int32_t getinteger();
    static double getdecimal();

protected:
    void FormShow() override;
    void Timer1Timer() override;
    void FormClose() override;

private:
    void writeRows();

    store::StoreTable numericdb;
};
