// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The results window: the administrator's view of the stored results. A grid
// over results.dat in the order of the sort box and the filter of the filter
// box, the error log of the current row in a pane below it, and a command
// panel along the right edge: Close, the one-result report ("Print"), the
// printed list of the rows in view ("Print all"), "Delete all", the error
// pane toggle, the two boxes, "Failed only" (with pass criteria in force)
// and the navigator.
//
// The window and its handle live for the whole run; the handle is open only
// while the window is. The boxes, the index name, the filter and the toggle
// keep their state from one opening to the next. The main window chooses the
// first order and filter at start-up; the window takes them over at its
// first opening, without running the boxes' change handlers.
//
// The grid's context menu exports the rows in view to a CSV file, and sums
// the diagnosis of the rows in view ("Diagnosis of this view..."). "History"
// (on the panel and in the context menu) charts the current row's testee.
//
// Beside the error log, the pane shows the current row's diagnosis: its row
// of diagnosis.dat, or where it has none, what its logged fields tell,
// marked so.

#include <functional>
#include <memory>

#include <QDialog>

#include "scoring/criteria.h"
#include "store/storetable.h"

class BoundGridModel;
class BoundMemo;
class ColumnLink;
class DiagnosisView;
class QAction;
class QCheckBox;
class FlatButton;
class NavigatorBar;
class QComboBox;
class QTableView;
class TdiagviewForm;
class Tprintresultsform;
class TshowitForm;
struct ResultsSelection;

class TresultsForm : public QDialog {
    Q_OBJECT

public:
    // Shows a report text in the result report window, modally.
    using ReportWindow = std::function<void(const QString& text)>;

    TresultsForm(const ResultsSelection& initial, std::function<Tprintresultsform&()> printresultsform,
                 ReportWindow showitForm, store::FileSystem& files = store::systemFileSystem(),
                 QWidget* parent = nullptr);
    ~TresultsForm() override;

    // Opens the table before the window shows; a table that cannot be opened
    // is reported by the error display and the window does not open.
    int exec() override;
    void done(int result) override;

    // The one-result report of the current row, as the report window shows it.
    QString reportText();
    // Writes the rows in view to a CSV file; false, with the failure shown,
    // when that cannot be done.
    bool exportCsv(const QString& path);

    store::StoreTable resultsdb;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void FormClose();
    void BitBtn1Click();  // Close
    void BitBtn2Click();  // Print: the one-result report
    void BitBtn3Click();  // Print all: the printed list
    void BitBtn4Click();  // Delete all
    void BitBtn5Click();  // Hide errors / View errors
    void ComboBox1Change();  // Sort by
    void ComboBox2Change();  // Filter
    void CheckBox1Click();   // Failed only
    bool DBGrid1KeyDown(QKeyEvent* event);
    void DBGrid1ContextMenu(const QPoint& place);
    void exportClick();
    void historyClick();
    void diagnosisClick();  // Diagnosis of this view

    void buildGrid();
    // Wide enough for the stored texts of typical rows.
    void setGridWidths();
    QWidget* buildPanel();
    FlatButton* addButton(QWidget* panel, const QString& name, const QString& caption, const QString& hint,
                          void (TresultsForm::*handler)());
    QComboBox* addBox(QWidget* panel, const QString& name, const QString& caption, const QStringList& items,
                      void (TresultsForm::*handler)());
    void takeInitialSelection();
    // Narrows the view to failing rows while "Failed only" is checked, by
    // the criteria read at this opening.
    void applyFailedOnly();
    QWidget* buildErrorPane();
    void addDiagnosisAction();
    // The diagnosis of the current row in the error pane.
    void showDiagnosis();
    // The filter and order as the boxes name them.
    QString viewName() const;

    store::FileSystem& files;
    const ResultsSelection& initial;
    bool initialTaken = false;
    std::function<Tprintresultsform&()> printresultsform;
    ReportWindow showitForm;
    // Read at each opening, so a change made at another copy shows then.
    scoring::CriteriaSet criteria;
    store::StoreTable diagnosisdb;

    QTableView* DBGrid1;
    BoundGridModel* gridModel;
    BoundMemo* DBRichEdit1;
    QWidget* errorPane;  // the log and the diagnosis beside it
    DiagnosisView* DiagnosisView1;
    std::unique_ptr<ColumnLink> diagnosisLink;
    TdiagviewForm* diagviewForm;
    FlatButton* BitBtn1;
    FlatButton* BitBtn2;
    FlatButton* BitBtn3;
    FlatButton* BitBtn4;
    FlatButton* BitBtn5;
    FlatButton* BitBtn6;
    QAction* HistoryAction;
    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QCheckBox* CheckBox1;
    NavigatorBar* DBNavigator1;
};

// Shows a report in the result report window: its text replaced, then the
// window shown modally, with its own Close and Print.
TresultsForm::ReportWindow reportWindowOf(TshowitForm& showitForm);
