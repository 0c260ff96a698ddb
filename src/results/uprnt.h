// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The printed results list: one line per row in view in the results window,
// in that window's order and filter, on US Letter landscape with 12.7 mm
// margins. Page 1 starts with the title band, every page with the band of
// column captions, then one detail band per row while it fits above the
// bottom margin. Each band is 10.6 mm high, its texts 4.2 mm below its top.
// With no row in view the list is one page of title and captions.
//
// With pass criteria in force the title band names them from 80 mm on, and
// the caption and detail bands are 4.4 mm higher: a second line, from the
// left edge, carries the caption "Result" and each row's verdict.
//
// The holder is built once at start-up and never shown; building it sets the
// program-wide short date format "mm/dd/yy". The list has no table of its
// own: it walks the results window's handle, which afterwards stands at its
// end mark on the last row.

#include <QObject>
#include <QString>

#include "scoring/criteria.h"

class QPrinter;
class QWidget;

namespace store {
class StoreTable;
}

class Tprintresultsform : public QObject {
    Q_OBJECT

public:
    explicit Tprintresultsform(QObject* parent = nullptr);

    // Shows the list in a modal preview with page browsing, zoom and
    // printing; returns when the preview closes. Where no printer exists,
    // printing starts out as a PDF file.
    void preview(store::StoreTable& table, QWidget* parent, const scoring::CriteriaSet& criteria = {});

    // Draws the whole list onto the printer's pages, which it sets to the
    // list's paper and margins. The preview, the printer and a PDF file all
    // get their pages from here.
    void renderPages(store::StoreTable& table, QPrinter& printer, const scoring::CriteriaSet& criteria = {}) const;

    // "#,##0.00" with separator, "0.00" without: two decimals, rounded.
    static QString formatMask(double value, bool thousands);
};
