// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The import window: a preview of an employer's own test content read from
// a CSV file (testimport.h) before it replaces a test table. It lists the
// first rows as they will be stored, the number of rows and every problem
// found with its line and column; Import stays disabled while any problem
// remains, and Cancel leaves the table as it was.
//
// Import holds the table exclusively, like the generations, and writes it
// as one unit: the store's journal of an exclusive open puts the old table
// back when the program dies before the table is closed. A gauge follows the
// rows written; while it runs the window cannot be closed.
//
// The shipped invoice rows are kept inside the program, read-only, as a CSV
// file of the same form; restoring them goes through the same window.

#include <string>

#include <QDialog>

#include "generation/testimport.h"
#include "store/storetable.h"

class ProgressGauge;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

enum class ImportKind { Numeric, Invoices };

class Timportform : public QDialog {
    Q_OBJECT

public:
    explicit Timportform(ImportKind kind, store::FileSystem& files = store::systemFileSystem(),
                         QWidget* parent = nullptr);

    // Reads and checks a file for the preview; false, with the reason shown
    // in an error box, when the file cannot be imported at all.
    bool loadFile(const QString& path);
    // The same for the shipped invoice rows.
    bool loadShipped();

    void importbtnClick();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool load(const std::string& bytes, int mostRows);
    bool readWidths(generation::InvoiceWidths& widths);
    void showPreview();
    void showNumericRows();
    void showInvoiceRows();
    void writeTable();
    int rowCount() const;
    const std::vector<generation::CsvProblem>& problems() const;

    ImportKind kind;
    store::StoreTable table;
    generation::NumericImport numeric;
    generation::InvoiceImport invoices;
    bool writing = false;

    QTableWidget* Grid1;
    QLabel* rowslabel;
    QListWidget* problemslist;
    ProgressGauge* Gauge1;
    QPushButton* importbtn;
    QPushButton* cancelbtn;
};

// File > Import: asks for the file, then shows the preview.
void importFromCsv(ImportKind kind, QWidget* parent);
// File > Import > Restore: after a confirmation whose default is No, writes
// the shipped invoice rows back.
void restoreShippedInvoices(QWidget* parent);
