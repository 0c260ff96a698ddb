// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The alphanumeric and alpha test regeneration window: gives every row of
// invsort.dat a new random sort key (idxkey), invoice date, invoice number
// and amount, so the next alphanumeric and alpha tests show the same names,
// streets and cities in a new order with new figures. The rows are walked in
// the table's default order, so changing the keys does not disturb the walk.

#include <string>

#include "generation/generationwindow.h"
#include "store/storetable.h"

class Trewritean : public GenerationWindow {
    Q_OBJECT

public:
    explicit Trewritean(store::FileSystem& files = store::systemFileSystem(), QWidget* parent = nullptr);

protected:
    void FormShow() override;
    void Timer1Timer() override;
    void FormClose() override;

private:
    void rewriteRows();
    void rewriteRow();

    store::StoreTable inv;
    // Set when the run did not complete: exclusive use was refused, or the
    // pass failed part way. The closing message is shown only without it.
    bool cancelled = false;
};
