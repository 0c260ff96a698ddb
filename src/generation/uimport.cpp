// SPDX-License-Identifier: GPL-3.0-or-later
#include "generation/uimport.h"

#include <limits>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "config/programstate.h"
#include "generation/generationwindow.h"
#include "generation/invoicedraws.h"
#include "store/storeerror.h"
#include "store/values.h"
#include "widgets/help.h"
#include "widgets/messages.h"
#include "widgets/progressgauge.h"

namespace {

constexpr int PreviewRows = 10;
constexpr int HelpContext = 4000;  // the topic of making tests, which tells of imports too
const QString Refused = QStringLiteral("Could not get exclusive use of database. Try later.");
const QString ShippedInvoices = QStringLiteral(":/data/shipped-invoices.csv");

const char* fileNameOf(ImportKind kind)
{
    return kind == ImportKind::Numeric ? "numeric.dat" : "invsort.dat";
}

QString text(const std::string& value)
{
    return QString::fromStdString(value);
}

}  // namespace

Timportform::Timportform(ImportKind kind, store::FileSystem& files, QWidget* parent)
    : QDialog(parent), kind(kind), table(kind == ImportKind::Numeric ? "numericdb" : "inv", files),
      Grid1(new QTableWidget(this)), rowslabel(new QLabel(this)), problemslist(new QListWidget(this)),
      Gauge1(new ProgressGauge(this)), importbtn(new QPushButton(QStringLiteral("Import"), this)),
      cancelbtn(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("importform"));
    setWindowTitle(kind == ImportKind::Numeric ? QStringLiteral("Import a numeric test")
                                               : QStringLiteral("Import invoice data"));
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->verticalHeader()->setVisible(false);
    rowslabel->setObjectName(QStringLiteral("rowslabel"));
    problemslist->setObjectName(QStringLiteral("problemslist"));
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setPosition(0);
    importbtn->setObjectName(QStringLiteral("importbtn"));
    importbtn->setToolTip(QStringLiteral("Replace the test data with these rows"));
    cancelbtn->setObjectName(QStringLiteral("cancelbtn"));
    cancelbtn->setToolTip(QStringLiteral("Leave the test data as they are"));
    connect(importbtn, &QPushButton::clicked, this, &Timportform::importbtnClick);
    connect(cancelbtn, &QPushButton::clicked, this, &Timportform::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid1, 3);
    layout->addWidget(rowslabel);
    layout->addWidget(problemslist, 2);
    layout->addWidget(Gauge1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(importbtn);
    buttons->addWidget(cancelbtn);
    layout->addLayout(buttons);
    resize(760, 520);
    importbtn->setEnabled(false);
    setHelpContext(this, HelpContext);
}

bool Timportform::loadFile(const QString& path)
{
    try {
        const int mostRows = kind == ImportKind::Numeric ? generation::MostNumericRows : generation::MostImportedInvoices;
        return load(generation::readCsvBytes(path.toStdString()), mostRows);
    } catch (const generation::ImportRefused& refused) {
        messages().errorBox(text(refused.what()));
        return false;
    }
}

bool Timportform::loadShipped()
{
    QFile shipped(ShippedInvoices);
    if (!shipped.open(QIODevice::ReadOnly)) {
        messages().errorBox(QStringLiteral("The shipped invoice data cannot be read."));
        return false;
    }
    return load(shipped.readAll().toStdString(), std::numeric_limits<int>::max());
}

// The invoice columns' sizes come from the table itself, so a table made
// with wider columns takes wider names.
bool Timportform::load(const std::string& bytes, int mostRows)
{
    try {
        const generation::CsvFile file = generation::parseCsv(bytes);
        if (kind == ImportKind::Numeric) {
            numeric = generation::checkNumericTest(file);
        } else {
            generation::InvoiceWidths widths{};
            if (!readWidths(widths)) return false;
            invoices = generation::checkInvoices(file, widths, mostRows);
        }
    } catch (const generation::ImportRefused& refused) {
        messages().errorBox(text(refused.what()));
        return false;
    } catch (const store::StoreError& error) {
        table.setActive(false);
        messages().errorBox(text(error.what()));
        return false;
    }
    showPreview();
    return true;
}

// A table another copy holds for itself cannot even be read; that is met
// with the message of the refused hold.
bool Timportform::readWidths(generation::InvoiceWidths& widths)
{
    table.setActive(false);
    table.setTableName(ProgramDir + fileNameOf(kind));
    try {
        table.setActive(true);
    } catch (const store::StoreError&) {
        messages().errorBox(Refused);
        return false;
    }
    widths = generation::invoiceWidths(table);
    table.setActive(false);
    return true;
}

int Timportform::rowCount() const
{
    return static_cast<int>(kind == ImportKind::Numeric ? numeric.rows.size() : invoices.rows.size());
}

const std::vector<generation::CsvProblem>& Timportform::problems() const
{
    return kind == ImportKind::Numeric ? numeric.problems : invoices.problems;
}

void Timportform::showPreview()
{
    Grid1->clear();
    if (kind == ImportKind::Numeric)
        showNumericRows();
    else
        showInvoiceRows();
    Grid1->resizeColumnsToContents();
    problemslist->clear();
    for (const generation::CsvProblem& problem : problems()) problemslist->addItem(text(problem.message()));
    const bool clean = problems().empty() && rowCount() > 0;
    rowslabel->setText(clean ? QStringLiteral("%1 rows will be imported.").arg(rowCount())
                             : QStringLiteral("%1 rows read; %2 problems must be put right before the import.")
                                   .arg(rowCount())
                                   .arg(problems().size()));
    importbtn->setEnabled(clean);
}

void Timportform::showNumericRows()
{
    QStringList titles;
    for (const char* prefix : {"n", "nd"})
        for (int field = 1; field <= generation::NumericFields; ++field)
            titles << QString::fromLatin1(prefix) + QString::number(field);
    const int shown = std::min(PreviewRows, rowCount());
    Grid1->setColumnCount(int(titles.size()));
    Grid1->setHorizontalHeaderLabels(titles);
    Grid1->setRowCount(shown);
    for (int row = 0; row < shown; ++row)
        for (int field = 0; field < generation::NumericFields; ++field) {
            const generation::NumericRow& values = numeric.rows[std::size_t(row)];
            Grid1->setItem(row, field, new QTableWidgetItem(QString::number(values.whole[std::size_t(field)])));
            Grid1->setItem(row, generation::NumericFields + field,
                           new QTableWidgetItem(text(store::formatFloat(values.decimal[std::size_t(field)]))));
        }
}

void Timportform::showInvoiceRows()
{
    QStringList titles{QStringLiteral("recordid")};
    for (const std::string& column : generation::InvoiceColumns) titles << text(column);
    const int shown = std::min(PreviewRows, rowCount());
    Grid1->setColumnCount(int(titles.size()));
    Grid1->setHorizontalHeaderLabels(titles);
    Grid1->setRowCount(shown);
    for (int row = 0; row < shown; ++row) {
        Grid1->setItem(row, 0, new QTableWidgetItem(QString::number(row + 1)));
        for (std::size_t column = 0; column < generation::InvoiceColumns.size(); ++column)
            Grid1->setItem(row, int(column) + 1, new QTableWidgetItem(text(invoices.rows[std::size_t(row)][column])));
    }
}

// A refused hold leaves the preview open, so the import can be tried again
// once the other copy has let go.
void Timportform::importbtnClick()
{
    if (!importbtn->isEnabled()) return;
    if (!openExclusively(table, fileNameOf(kind))) {
        messages().errorBox(Refused);
        return;
    }
    writing = true;
    importbtn->setEnabled(false);
    cancelbtn->setEnabled(false);
    try {
        writeTable();
        releaseTable(table);
    } catch (const std::exception& error) {
        closeAfterFailure(table);
        writing = false;
        showErrorDisplay(text(error.what()));
        QDialog::reject();
        return;
    }
    writing = false;
    messages().messageBox(kind == ImportKind::Numeric ? QStringLiteral("New numeric test imported: %1 rows.").arg(rowCount())
                                                      : QStringLiteral("New invoice data imported: %1 rows.").arg(rowCount()));
    accept();
}

void Timportform::writeTable()
{
    Gauge1->setMaximum(rowCount());
    Gauge1->setPosition(0);
    const generation::ImportProgress progress = [this](int rows) {
        Gauge1->setPosition(rows);
        QCoreApplication::processEvents();
    };
    if (kind == ImportKind::Numeric) {
        generation::writeNumericTest(table, numeric.rows, progress);
    } else {
        generation::useInvoiceDateFormat();
        generation::writeInvoices(table, invoices.rows, progress);
    }
}

void Timportform::reject()
{
    if (!writing) QDialog::reject();
}

void Timportform::closeEvent(QCloseEvent* event)
{
    if (writing) event->ignore();
    else QDialog::closeEvent(event);
}

void importFromCsv(ImportKind kind, QWidget* parent)
{
    const QString path = QFileDialog::getOpenFileName(parent, kind == ImportKind::Numeric
                                                                  ? QStringLiteral("Numeric test from CSV")
                                                                  : QStringLiteral("Invoice data from CSV"),
                                                      QString(), QStringLiteral("CSV files (*.csv *.txt);;All files (*)"));
    if (path.isEmpty()) return;
    Timportform form(kind, store::systemFileSystem(), parent);
    if (form.loadFile(path)) form.exec();
}

void restoreShippedInvoices(QWidget* parent)
{
    if (!messages().confirmBox(QStringLiteral("Put back the invoice data Movara shipped with? The names, streets and "
                                              "cities the alphanumeric and alpha tests use now are replaced."),
                               ConfirmButtons::YesNoDefaultNo))
        return;
    Timportform form(ImportKind::Invoices, store::systemFileSystem(), parent);
    if (!form.loadShipped()) return;
    QTimer::singleShot(0, &form, [&form] { form.importbtnClick(); });
    form.exec();
}
