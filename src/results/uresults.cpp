// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/uresults.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>

#include "config/programstate.h"
#include "results/csvexport.h"
#include "results/resultsselection.h"
#include "results/udiagview.h"
#include "results/uhistory.h"
#include "results/viewdiagnosis.h"
#include "results/uprnt.h"
#include "scoring/diagnosispicture.h"
#include "scoring/diagnosistable.h"
#include "scoring/resultscolumns.h"
#include "scoring/testresults.h"
#include "scoring/ushowit.h"
#include "store/storeerror.h"
#include "widgets/boundcontrols.h"
#include "widgets/boundgrid.h"
#include "widgets/flatbutton.h"
#include "widgets/help.h"
#include "widgets/hints.h"
#include "widgets/messages.h"

namespace {

const QColor PaleGreen(192, 220, 192);
const QColor Teal(0, 128, 128);
const QColor Yellow(255, 255, 0);
constexpr int ResultsHelpContext = 5000;
const QString DeleteAllQuestion = QStringLiteral("Do you really wish to delete ALL test results?");
const QString NoExclusiveUse = QStringLiteral("Unable to get exclusive use of table.  Please try later.");

QStringList gridHeaders()
{
    QStringList headers;
    for (const std::string& title : scoring::gridTitles()) headers.append(QString::fromStdString(title));
    return headers;
}

const QString ResultTitle = QStringLiteral("Result");

// The grid's look per column: alignment of values and titles, and the net
// rate in red, a little larger than the rest. Where a kind has pass
// criteria, a last column "Result" gives each row's verdict from the figures
// the grid shows.
class ResultsGridModel : public BoundGridModel {
public:
    ResultsGridModel(store::StoreTable& table, QObject* parent)
        : BoundGridModel(table, scoring::gridColumnNames(), gridHeaders(), parent),
          larger(QApplication::font()),
          columns(scoring::gridColumns())
    {
        larger.setPointSizeF(larger.pointSizeF() + 2);
    }

    void setCriteria(const scoring::CriteriaSet& criteria)
    {
        beginResetModel();
        verdicts = criteria;
        endResetModel();
    }

    int columnCount(const QModelIndex& parent = {}) const override
    {
        return BoundGridModel::columnCount(parent) + (verdicts.any() ? 1 : 0);
    }

    // The verdict of the row shown at that place; empty without one.
    QString verdictAt(int row) const
    {
        const auto text = [&](const char* name) {
            return BoundGridModel::data(index(row, int(scoring::gridPlace(name))), Qt::DisplayRole).toString().toStdString();
        };
        const auto verdict = scoring::verdictOfTexts(verdicts, text("TESTTYPE"), text("NKPH"), text("ACCURACY"));
        return verdict ? QString::fromStdString(*verdict) : QString();
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid()) return {};
        if (index.column() >= int(columns.size())) return role == Qt::DisplayRole ? QVariant(verdictAt(index.row())) : QVariant();
        const bool netKph = std::string_view(columns[std::size_t(index.column())]->name) == "NKPH";
        switch (role) {
        case Qt::TextAlignmentRole: return alignment(index.column());
        case Qt::ForegroundRole: return netKph ? QVariant(QColor(Qt::red)) : QVariant();
        case Qt::FontRole: return netKph ? QVariant(larger) : QVariant();
        default: return BoundGridModel::data(index, role);
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && section >= int(columns.size()))
            return role == Qt::DisplayRole ? QVariant(ResultTitle) : QVariant();
        if (role == Qt::TextAlignmentRole && orientation == Qt::Horizontal) return alignment(section);
        return BoundGridModel::headerData(section, orientation, role);
    }

private:
    QVariant alignment(int column) const
    {
        const bool left = columns[static_cast<std::size_t>(column)]->grid.alignment == scoring::Alignment::left;
        return int((left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    }

    QFont larger;
    std::vector<const scoring::ResultsColumn*> columns;
    scoring::CriteriaSet verdicts;
};

QString textOf(const std::exception& error)
{
    return QString::fromUtf8(error.what());
}

}  // namespace

TresultsForm::TresultsForm(const ResultsSelection& initial, std::function<Tprintresultsform&()> printresultsform,
                           ReportWindow showitForm, store::FileSystem& files, QWidget* parent)
    : QDialog(parent),
      resultsdb("resultsdb", files),
      files(files),
      initial(initial),
      printresultsform(std::move(printresultsform)),
      showitForm(std::move(showitForm)),
      diagnosisdb("diagnosisdb", files)
{
    setObjectName(QStringLiteral("resultsForm"));
    setWindowTitle(QStringLiteral("Test Results"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    setHelpContext(this, ResultsHelpContext);

    buildGrid();
    DBRichEdit1 = new BoundMemo(resultsdb, "ERRORS", this);
    DBRichEdit1->setObjectName(QStringLiteral("DBRichEdit1"));
    DBRichEdit1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    DBRichEdit1->setLineWrapMode(QTextEdit::NoWrap);
    DBRichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DBRichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette pane = DBRichEdit1->palette();
    pane.setColor(QPalette::Base, PaleGreen);
    DBRichEdit1->setPalette(pane);

    auto* upper = new QHBoxLayout;
    upper->addWidget(DBGrid1, 1);
    upper->addWidget(buildPanel());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(upper, 3);
    layout->addWidget(buildErrorPane(), 1);
    addDiagnosisAction();
    resize(1024, 700);
}

TresultsForm::~TresultsForm()
{
    // The bound controls leave the handle before it goes.
    diagnosisLink.reset();
    delete DBRichEdit1;
    delete DBGrid1;
    delete gridModel;
    delete DBNavigator1;
}

void TresultsForm::buildGrid()
{
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    gridModel = new ResultsGridModel(resultsdb, this);
    gridModel->attach(DBGrid1);
    // The keyboard moves the cursor as a click does; queued, so the grid has
    // finished with the key before the rows it shows are read again.
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, gridModel,
            [this](const QModelIndex& current) { gridModel->chooseRow(current.row()); }, Qt::QueuedConnection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    DBGrid1->setWordWrap(false);
    setGridWidths();
    DBGrid1->setStyleSheet(QStringLiteral("QTableView { background: rgb(192, 220, 192); }"
                                          "QHeaderView::section { background: rgb(0, 128, 128); color: yellow;"
                                          " border: 1px solid rgb(0, 96, 96); padding: 2px 4px; }"));
    DBGrid1->installEventFilter(this);

    auto* exportAction = new QAction(QStringLiteral("&Export to CSV..."), DBGrid1);
    exportAction->setObjectName(QStringLiteral("ExportCsv1"));
    exportAction->setStatusTip(QStringLiteral("Save the results in view as a CSV file"));
    connect(exportAction, &QAction::triggered, this, &TresultsForm::exportClick);
    DBGrid1->addAction(exportAction);
    HistoryAction = new QAction(QStringLiteral("&History..."), DBGrid1);
    HistoryAction->setObjectName(QStringLiteral("History1"));
    HistoryAction->setStatusTip(QStringLiteral("Chart every result of this testee"));
    connect(HistoryAction, &QAction::triggered, this, &TresultsForm::historyClick);
    DBGrid1->addAction(HistoryAction);
    DBGrid1->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TresultsForm::setGridWidths()
{
    constexpr int Padding = 16;  // the cell's margins and the grid line
    const std::vector<const scoring::ResultsColumn*> columns = scoring::gridColumns();
    for (int column = 0; column < int(columns.size()); ++column) {
        const scoring::GridPlace& described = columns[std::size_t(column)]->grid;
        const QFontMetrics header(DBGrid1->horizontalHeader()->font());
        QFont cellFont = DBGrid1->font();
        // Net KPH is drawn two points larger (see ResultsGridModel).
        if (std::string_view(columns[std::size_t(column)]->name) == "NKPH")
            cellFont.setPointSizeF(cellFont.pointSizeF() + 2);
        const QFontMetrics cell(cellFont);
        const int width = std::max(header.horizontalAdvance(QString::fromLatin1(described.title)),
                                   cell.horizontalAdvance(QString::fromUtf8(described.typical)));
        DBGrid1->setColumnWidth(column, width + Padding);
    }
}

QWidget* TresultsForm::buildPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setAutoFillBackground(true);
    panel->setFixedWidth(170);
    QPalette colours = panel->palette();
    colours.setColor(QPalette::Window, Teal);
    colours.setColor(QPalette::WindowText, Yellow);
    panel->setPalette(colours);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(8, 8, 8, 8);

    BitBtn1 = addButton(panel, QStringLiteral("BitBtn1"), QStringLiteral("Close"),
                        QStringLiteral("Close the results window"), &TresultsForm::BitBtn1Click);
    BitBtn2 = addButton(panel, QStringLiteral("BitBtn2"), QStringLiteral("Print"), QStringLiteral("Print entire list"),
                        &TresultsForm::BitBtn2Click);
    BitBtn3 = addButton(panel, QStringLiteral("BitBtn3"), QStringLiteral("Print all"),
                        QStringLiteral("Print selected only"), &TresultsForm::BitBtn3Click);
    BitBtn4 = addButton(panel, QStringLiteral("BitBtn4"), QStringLiteral("Delete all"),
                        QStringLiteral("Delete all results records"), &TresultsForm::BitBtn4Click);
    BitBtn5 = addButton(panel, QStringLiteral("BitBtn5"), QStringLiteral("Hide errors"),
                        QStringLiteral("View/hide error window"), &TresultsForm::BitBtn5Click);
    BitBtn6 = addButton(panel, QStringLiteral("BitBtn6"), QStringLiteral("History"), HistoryAction->statusTip(),
                        &TresultsForm::historyClick);
    ComboBox1 = addBox(panel, QStringLiteral("ComboBox1"), QStringLiteral("Sort by"), ResultsSelection::SortItems,
                       &TresultsForm::ComboBox1Change);
    ComboBox2 = addBox(panel, QStringLiteral("ComboBox2"), QStringLiteral("Filter"), ResultsSelection::FilterItems,
                       &TresultsForm::ComboBox2Change);
    CheckBox1 = new QCheckBox(QStringLiteral("Failed only"), panel);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    setHint(CheckBox1, QStringLiteral("Show only the results that fail the pass criteria"));
    connect(CheckBox1, &QCheckBox::clicked, this, &TresultsForm::CheckBox1Click);
    column->addWidget(CheckBox1);
    column->addStretch(1);

    DBNavigator1 = new NavigatorBar(resultsdb, panel);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    setHint(DBNavigator1->first, QStringLiteral("First record"));
    setHint(DBNavigator1->prior, QStringLiteral("Prior record"));
    setHint(DBNavigator1->next, QStringLiteral("Next record"));
    setHint(DBNavigator1->last, QStringLiteral("Last record"));
    setHint(DBNavigator1->remove, QStringLiteral("Delete record"));
    column->addWidget(DBNavigator1);
    return panel;
}

FlatButton* TresultsForm::addButton(QWidget* panel, const QString& name, const QString& caption, const QString& hint,
                                    void (TresultsForm::*handler)())
{
    auto* button = new FlatButton(caption, panel);
    button->setObjectName(name);
    button->setHint(hint);
    button->setFaceColor(Teal);
    button->setCaptionColor(Yellow);
    QFont captionFont = button->font();
    captionFont.setBold(true);
    captionFont.setItalic(true);
    button->setFont(captionFont);
    connect(button, &FlatButton::clicked, this, handler);
    panel->layout()->addWidget(button);
    return button;
}

QComboBox* TresultsForm::addBox(QWidget* panel, const QString& name, const QString& caption, const QStringList& items,
                                void (TresultsForm::*handler)())
{
    auto* label = new QLabel(caption, panel);
    auto* box = new QComboBox(panel);
    box->setObjectName(name);
    box->addItems(items);
    box->setCurrentIndex(-1);
    box->setEditable(false);
    label->setBuddy(box);
    // Only a choice the user makes runs the handler, not one set by the program.
    connect(box, &QComboBox::activated, this, handler);
    panel->layout()->addWidget(label);
    panel->layout()->addWidget(box);
    return box;
}

void TresultsForm::takeInitialSelection()
{
    if (initialTaken) return;
    initialTaken = true;
    ComboBox1->setCurrentIndex(initial.sortIndex);
    ComboBox2->setCurrentIndex(initial.filterIndex);
    resultsdb.setIndexName(initial.indexName.toStdString());
}

int TresultsForm::exec()
{
    takeInitialSelection();
    try {
        FormShow();
    } catch (const store::StoreError& error) {
        showErrorDisplay(textOf(error));
        return Rejected;
    }
    setWindowState(windowState() | Qt::WindowMaximized);
    return QDialog::exec();
}

void TresultsForm::FormShow()
{
    resultsdb.setActive(false);
    resultsdb.setTableName(ProgramDir + "results.dat");
    resultsdb.setActive(true);
    criteria = criteriaInForce();
    static_cast<ResultsGridModel*>(gridModel)->setCriteria(criteria);
    CheckBox1->setEnabled(criteria.any());
    if (!criteria.any()) CheckBox1->setChecked(false);
    applyFailedOnly();
    DBGrid1->setFocus();
}

void TresultsForm::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TresultsForm::FormClose()
{
    try {
        resultsdb.setActive(false);
    } catch (const store::StoreError& error) {
        showErrorDisplay(textOf(error));
    }
}

void TresultsForm::BitBtn1Click()
{
    done(Accepted);
}

QString TresultsForm::reportText()
{
    const auto line = [this](const scoring::ResultsColumn* column) {
        return QString::fromLatin1(column->report.caption) + QString::fromStdString(resultsdb.ReadText(column->name));
    };
    QStringList lines{QString::fromStdString(scoring::ReportTitle), QString()};
    for (const scoring::ResultsColumn* column : scoring::reportColumns(scoring::ReportBlock::heading)) {
        if (column->type != scoring::ColumnType::date) {
            lines << line(column);
            continue;
        }
        try {
            if (!resultsdb.ReadText(column->name).empty()) lines << line(column);
        } catch (const store::StoreError&) {
            // A date that cannot be shown leaves its line out; the rest still helps.
        }
    }
    lines << QString();
    for (const scoring::ResultsColumn* column : scoring::reportColumns(scoring::ReportBlock::measures)) lines << line(column);
    lines << QString();
    for (const std::string& text : scoring::ReportLogHeading) lines << QString::fromStdString(text);
    QString text = lines.join(QLatin1Char('\n')) + QLatin1Char('\n') + QString::fromStdString(resultsdb.ReadText("ERRORS"));
    if (const auto verdict = scoring::verdictOfTexts(criteria, resultsdb.ReadText("TESTTYPE"), resultsdb.ReadText("NKPH"),
                                                     resultsdb.ReadText("ACCURACY")))
        text += QString::fromStdString(scoring::ResultLineCaption + *verdict);
    return text;
}

void TresultsForm::BitBtn2Click()
{
    if (resultsdb.AtEnd()) return;
    QString text;
    try {
        text = reportText();
    } catch (const store::StoreError& error) {
        showErrorDisplay(textOf(error));
        return;
    }
    if (showitForm) showitForm(text);
}

void TresultsForm::BitBtn3Click()
{
    printresultsform().preview(resultsdb, this, criteria);
}

void TresultsForm::BitBtn4Click()
{
    if (!messages().confirmBox(DeleteAllQuestion, ConfirmButtons::YesNoDefaultNo)) return;
    try {
        resultsdb.setActive(false);
        resultsdb.setExclusive(true);
        resultsdb.setActive(true);
        resultsdb.RemoveAllRows();
        resultsdb.setActive(false);
        resultsdb.setExclusive(false);
        resultsdb.setActive(true);
    } catch (const store::StoreError&) {
        try {
            resultsdb.setActive(false);
        } catch (const store::StoreError&) {
            // Closing always closes; the failure shown is the one above.
        }
        resultsdb.setExclusive(false);
        // Behind the refusal the grid keeps showing the rows, which are all
        // still there; the window's close step closes the handle again.
        try {
            resultsdb.setActive(true);
        } catch (const store::StoreError&) {
            // Then the grid stays empty; the refusal is still the news.
        }
        messages().errorBox(NoExclusiveUse);
        done(Rejected);
    }
}

void TresultsForm::BitBtn5Click()
{
    const bool show = BitBtn5->caption() == QStringLiteral("View errors");
    BitBtn5->setCaption(show ? QStringLiteral("Hide errors") : QStringLiteral("View errors"));
    errorPane->setVisible(show);
}

void TresultsForm::ComboBox1Change()
{
    try {
        resultsdb.setIndexName(ComboBox1->currentText().toUpper().toStdString());
    } catch (const store::StoreError& error) {
        showErrorDisplay(textOf(error));
    }
}

void TresultsForm::ComboBox2Change()
{
    try {
        if (ComboBox2->currentIndex() <= 0) {
            resultsdb.setFiltered(false);
            return;
        }
        resultsdb.setFilter("TESTTYPE='" + ComboBox2->currentText().toLower().toStdString() + "'");
        resultsdb.setFiltered(true);
    } catch (const store::StoreError& error) {
        showErrorDisplay(textOf(error));
    }
}

void TresultsForm::CheckBox1Click()
{
    try {
        applyFailedOnly();
    } catch (const store::StoreError& error) {
        showErrorDisplay(textOf(error));
    }
}

void TresultsForm::applyFailedOnly()
{
    if (!CheckBox1->isChecked()) {
        if (resultsdb.RowTested()) resultsdb.setRowTest({}, {});
        return;
    }
    resultsdb.setRowTest(scoring::VerdictColumns, [criteria = criteria](const std::vector<std::string>& texts) {
        return scoring::failsOfTexts(criteria, texts);
    });
}

bool TresultsForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress) return DBGrid1KeyDown(static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool TresultsForm::DBGrid1KeyDown(QKeyEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier) || !resultsdb.Active()) return false;
    switch (event->key()) {
    case Qt::Key_Home: resultsdb.GoFirst(); return true;
    case Qt::Key_End: resultsdb.GoLast(); return true;
    case Qt::Key_Delete: DBNavigator1->remove->click(); return true;
    default: return false;
    }
}

void TresultsForm::exportClick()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export results"),
                                                      QDir(folder).filePath(QStringLiteral("results.csv")),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty()) exportCsv(path);
}

void TresultsForm::historyClick()
{
    if (!resultsdb.Active() || !resultsdb.HasRow()) return;
    ThistoryForm history(this);
    try {
        history.load(ProgramDir + "results.dat", QString::fromStdString(resultsdb.ReadText("NAME")), criteria, files);
    } catch (const store::StoreError& error) {
        showErrorDisplay(textOf(error));
        return;
    }
    history.exec();
}

bool TresultsForm::exportCsv(const QString& path)
{
    std::string document;
    try {
        std::vector<std::string> titles = scoring::gridTitles();
        std::vector<std::vector<std::string>> rows = resultsdb.VisibleRows(scoring::gridColumnNames());
        if (criteria.any()) {
            titles.push_back(ResultTitle.toStdString());
            for (std::vector<std::string>& row : rows)
                row.push_back(scoring::verdictOfTexts(criteria, row[scoring::gridPlace("TESTTYPE")],
                                                      row[scoring::gridPlace("NKPH")], row[scoring::gridPlace("ACCURACY")])
                                  .value_or(std::string()));
        }
        document = results::csvDocument(titles, rows);
    } catch (const store::StoreError& error) {
        messages().errorBox(textOf(error));
        return false;
    }
    // Written aside and put in place whole, so a failure leaves any earlier
    // file of that name as it was.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(document.data(), qint64(document.size())) == qint64(document.size()) &&
        file.commit())
        return true;
    messages().errorBox(QStringLiteral("Unable to write ") + QDir::toNativeSeparators(path) + QStringLiteral(": ") +
                        file.errorString());
    return false;
}

TresultsForm::ReportWindow reportWindowOf(TshowitForm& showitForm)
{
    return [&showitForm](const QString& text) {
        showitForm.clearText();
        showitForm.setText(text);
        showitForm.showModal();
    };
}

QWidget* TresultsForm::buildErrorPane()
{
    errorPane = new QWidget(this);
    errorPane->setObjectName(QStringLiteral("ErrorPane1"));
    DiagnosisView1 = new DiagnosisView(errorPane);
    DiagnosisView1->setObjectName(QStringLiteral("ErrorDiagnosis1"));
    DiagnosisView1->setPalette(DBRichEdit1->palette());
    DiagnosisView1->setBackgroundRole(QPalette::Base);
    DiagnosisView1->setMinimumWidth(320);
    auto* row = new QHBoxLayout(errorPane);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(DBRichEdit1, 1);
    row->addWidget(DiagnosisView1);
    diagnosisLink = std::make_unique<ColumnLink>(resultsdb, "ERRORS", [this] { showDiagnosis(); });
    return errorPane;
}

void TresultsForm::addDiagnosisAction()
{
    diagviewForm = new TdiagviewForm(this);
    auto* action = new QAction(QStringLiteral("&Diagnosis of this view..."), DBGrid1);
    action->setObjectName(QStringLiteral("DiagnosisOfView1"));
    action->setStatusTip(QStringLiteral("Sum the kinds of field errors over the results in view"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this, &TresultsForm::diagnosisClick);
    DBGrid1->addAction(action);
}

void TresultsForm::showDiagnosis()
{
    if (!resultsdb.Active() || !resultsdb.HasRow()) {
        DiagnosisView1->setDiagnosis(QString(), nullptr);
        return;
    }
    try {
        const results::ResultDiagnosis found =
            results::diagnoseResult(resultsdb, diagnosisdb, ProgramDir + scoring::DiagnosisTableName);
        const bool numeric = results::isNumeric(resultsdb.ReadText("TESTTYPE"));
        QString words = QString::fromStdString(scoring::countsInWords(found.diagnosis, numeric));
        if (found.fromLog) words += QStringLiteral("\n(from the logged fields only)");
        DiagnosisView1->setDiagnosis(words, numeric ? &found.diagnosis : nullptr);
    } catch (const store::StoreError& error) {
        // Shown in place rather than in a box, which every move would raise again.
        DiagnosisView1->setDiagnosis(QStringLiteral("No diagnosis: ") + textOf(error), nullptr);
    }
}

QString TresultsForm::viewName() const
{
    QString name = ComboBox2->currentIndex() > 0 ? ComboBox2->currentText() : ResultsSelection::FilterItems[0];
    if (resultsdb.RowTested()) name += QStringLiteral(", failed only");
    if (!ComboBox1->currentText().isEmpty()) name += QStringLiteral(", by ") + ComboBox1->currentText();
    return name;
}

void TresultsForm::diagnosisClick()
{
    if (resultsdb.Active()) diagviewForm->showView(resultsdb, viewName());
}
