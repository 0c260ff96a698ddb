// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// "Diagnosis of this view": the kinds of field errors summed over every
// result in view in the results window, in words, with the keypad of the
// numeric results among them, drawn as the report's Diagnosis page draws a
// diagnosis. Print puts the same drawing on paper, or into a PDF file where
// the machine has no printer. Results without a diagnosis row are summed
// from their logged fields, and the page says how many.
//
// Built by the results window and kept with it; every use sums the view
// afresh, showing its progress on a long run with a way to stop it.

#include <QDialog>
#include <QString>

#include "results/viewdiagnosis.h"

class DiagnosisView;
class QPainter;
class QPrinter;
class QPushButton;

namespace store {
class StoreTable;
}

class TdiagviewForm : public QDialog {
    Q_OBJECT

public:
    explicit TdiagviewForm(QWidget* parent = nullptr);

    // Sums the rows in view of view, an open results handle, named as the
    // user chose them (say "Numeric, by KPH"), and shows them modally.
    void showView(const store::StoreTable& view, const QString& viewName);
    // The sum alone, for the page; false, the page unchanged, when the user
    // stopped it or it failed (the failure shown).
    bool sumView(const store::StoreTable& view, const QString& viewName);

    const results::ViewDiagnosis& sums() const { return shown; }
    QString words() const;
    // The page on the printer, as on screen.
    void printOn(QPrinter& printer) const;

private:
    void BitBtn1Click();  // Close
    void BitBtn2Click();  // Print
    QString wordsOf(const results::ViewDiagnosis& sums, const QString& viewName) const;

    results::ViewDiagnosis shown;
    DiagnosisView* DiagnosisView1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};
