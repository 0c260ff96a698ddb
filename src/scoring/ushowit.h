// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The result report window: a read-only, fixed-pitch text pane with Close and
// Print. Built once at start-up and reused by the test windows and the
// results window; every use replaces its text before showing it.
//
// After a test it has a second page, Diagnosis: the kinds of the run's field
// errors in words and, for a numeric test, the keypad shaded by its weak keys.
// The page is printed after the text.

#include <QDialog>
#include <QString>

#include "scoring/diagnosis.h"

class QPlainTextEdit;
class QPainter;
class QPrinter;
class QLabel;
class QPushButton;
class QTabWidget;
class KeypadView;

class TshowitForm : public QDialog {
    Q_OBJECT

public:
    explicit TshowitForm(QWidget* parent = nullptr);
    ~TshowitForm() override;

    // Also takes the Diagnosis page away until setDiagnosis gives it back.
    void clearText();
    void setDiagnosis(const scoring::Diagnosis& diagnosis, bool numeric);
    void appendLine(const QString& line);
    QString text() const;
    void setText(const QString& text);
    // Returns when the window has been closed.
    void showModal();

    // Print: the whole text to the default printer, or where the machine has
    // none, to a PDF file the user names. The window stays open.
    void BitBtn2Click();
    // The whole text as one job on printer, in the pane's font, a page at a
    // time. A failure goes to the general error display; false then.
    bool printOn(QPrinter& printer);

    // Where the PDF of the report is offered to go first.
    static QString defaultPdfPath();

private:
    void saveAsPdf();
    void printDiagnosis(QPainter& painter, QPrinter& printer) const;

    QTabWidget* PageControl1;
    QPlainTextEdit* RichEdit1;
    QLabel* DiagnosisLabel;
    KeypadView* Keypad1;
    scoring::Diagnosis diagnosis;
    bool numericDiagnosis = false;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};

// The program's report window while it exists.
extern TshowitForm* ShowitForm;
