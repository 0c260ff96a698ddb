// SPDX-License-Identifier: GPL-3.0-or-later
// The results window over a real results table in a fresh folder: its look,
// its order and filter and their keeping between openings, the one-result
// report, the error pane, single and total deletion (also against another
// process holding the table), and the CSV export of the rows in view.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "support/criteriatable.h"
#include "support/resultswindow.h"
#include "results/csvexport.h"
#include "scoring/ucriteria.h"
#include "scoring/ushowit.h"
#include "store/storeerror.h"
#include "support/recordingmessages.h"
#include "support/tableholder.h"
#include "widgets/boundgrid.h"
#include "widgets/flatbutton.h"
#include "widgets/hints.h"

using testing_support::BoxKind;
using testing_support::RecordingMessages;
using testing_support::ResultRow;
using testing_support::ResultsDesk;
using testing_support::sampleResult;

namespace {

constexpr int NameColumn = 0;
constexpr int NetKphColumn = 2;
constexpr int TypeColumn = 9;
const QString NoExclusiveUse = QStringLiteral("Unable to get exclusive use of table.  Please try later.");

FlatButton* button(ResultsDesk& desk, const char* name)
{
    return desk.form.findChild<FlatButton*>(QString::fromLatin1(name));
}

QTextEdit* errorPane(ResultsDesk& desk)
{
    return desk.form.findChild<QTextEdit*>(QStringLiteral("DBRichEdit1"));
}

NavigatorBar* navigator(ResultsDesk& desk)
{
    return desk.form.findChild<NavigatorBar*>(QStringLiteral("DBNavigator1"));
}

int storedRows(const std::string& path)
{
    store::StoreTable table("count");
    table.setTableName(path);
    table.setActive(true);
    return table.RowCount();
}

void pressInGrid(ResultsDesk& desk, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(desk.grid(), static_cast<Qt::Key>(key), modifiers);
    QCoreApplication::processEvents();
}

std::vector<ResultRow> mixedKinds()
{
    return {sampleResult(1, "alpha"), sampleResult(2, "alphanumeric"), sampleResult(3, "numeric"),
            sampleResult(4, "alpha"), sampleResult(5, "numeric")};
}

// Keeps the table open, shared, in another process while it lives.
struct TableHolder {
    explicit TableHolder(const std::string& path)
    {
        process.start(QStringLiteral(HOLDTABLE), {QString::fromStdString(path)});
        ready = process.waitForStarted() && process.waitForReadyRead(10000) &&
                process.readLine().trimmed() == QByteArray("ready");
    }
    ~TableHolder()
    {
        process.closeWriteChannel();
        process.waitForFinished(10000);
    }

    QProcess process;
    bool ready = false;
};

// A reader of RFC 4180 records written for the test, apart from the export's
// own code: quoted fields with doubled quotes, CR LF between records.
std::vector<std::vector<std::string>> parseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record.push_back(field);
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            record.push_back(field);
            records.push_back(record);
            record.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return records;
}

std::vector<std::vector<std::string>> csvRecordsOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return parseCsv(content.str());
}

}  // namespace

class ResultsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void commandPanelAndGridLook();
    void gridShowsTypicalStoredTextsWholeOnOneLine();
    void alphaFilterShowsOnlyAlphaRows();
    void orderAndFilterKeptAfterReopening();
    void firstOpeningTakesTheMainWindowsChoice();
    void printDoesNothingWithoutARow();
    void printDoesNothingAfterLastRowButton();
    void reportShowsStoredTextsUnrounded();
    void reportOpensInTheReportWindow();
    void errorPaneFollowsRowAndToggles();
    void gridKeysMoveAndDelete();
    void navigatorDeleteAsksFirst();
    void deleteAllAnsweredNoChangesNothing();
    void deleteAllEmptiesTheTable();
    void deleteAllAgainstAnotherProcess();
    void deleteAllIsRefusedByEnterAndKeepsRowsBehindItsRefusal();
    void missingTableKeepsWindowShut();
    void printAllPreviewsAndLeavesTheEndMark();
    void csvExportOfFilteredView();
    void csvExportFailureIsShown();
    void csvFieldsAreQuotedAndFormulasNeutralised();
    void verdictsOfTheCriteriaInGridReportAndCsv();
    void criteriaHeldElsewhereAreReportedAndKept();
    void failedOnlyNarrowsTheKindInViewToItsFailingRows();
    // For review by eye, in the build's screenshots folder.
    void pictureOfTheWindow();
};

void ResultsWindowTest::commandPanelAndGridLook()
{
    ResultsDesk desk;
    const QList<std::pair<const char*, QStringList>> panel{
        {"BitBtn1", {"Close", "Close the results window"}},
        {"BitBtn2", {"Print", "Print entire list"}},
        {"BitBtn3", {"Print all", "Print selected only"}},
        {"BitBtn4", {"Delete all", "Delete all results records"}},
        {"BitBtn5", {"Hide errors", "View/hide error window"}},
    };
    for (const auto& [name, texts] : panel) {
        QCOMPARE(button(desk, name)->caption(), texts[0]);
        QCOMPARE(button(desk, name)->hint(), texts[1]);
        QVERIFY(button(desk, name)->font().bold() && button(desk, name)->font().italic());
        QCOMPARE(button(desk, name)->captionColor(), QColor(Qt::yellow));
    }
    NavigatorBar* bar = navigator(desk);
    QCOMPARE(hintOf(bar->first), QStringLiteral("First record"));
    QCOMPARE(hintOf(bar->prior), QStringLiteral("Prior record"));
    QCOMPARE(hintOf(bar->next), QStringLiteral("Next record"));
    QCOMPARE(hintOf(bar->last), QStringLiteral("Last record"));
    QCOMPARE(hintOf(bar->remove), QStringLiteral("Delete record"));

    QAbstractItemModel* model = desk.grid()->model();
    QStringList titles;
    for (int column = 0; column < model->columnCount(); ++column)
        titles.append(model->headerData(column, Qt::Horizontal).toString());
    QCOMPARE(titles, QStringList({"Testee Name", "Gross KPH", "Net KPH", "Accuracy", "Total KS", "Total Flds",
                                  "Total KS Err", "Total Fld Err", "Duration", "Test Type", "Test Date"}));
    const auto aligned = [model](int column) {
        return Qt::Alignment(model->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).toInt()) &
               Qt::AlignHorizontal_Mask;
    };
    for (int column : {0, 9, 10}) QCOMPARE(aligned(column), Qt::AlignLeft);
    for (int column = 1; column <= 8; ++column) QCOMPARE(aligned(column), Qt::AlignRight);

    testing_support::insertResults(desk.tablePath(), {sampleResult(1, "numeric")});
    desk.open([&] {
        QVERIFY(desk.form.windowState() & Qt::WindowMaximized);
        QCOMPARE(desk.form.windowTitle(), QStringLiteral("Test Results"));
        const QModelIndex net = model->index(0, NetKphColumn);
        QCOMPARE(net.data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
        QVERIFY(net.data(Qt::FontRole).value<QFont>().pointSizeF() > desk.grid()->font().pointSizeF());
        QCOMPARE(Qt::Alignment(model->index(0, 1).data(Qt::TextAlignmentRole).toInt()) & Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
        QCOMPARE(desk.grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(desk.grid()->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(desk.grid()->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
        QVERIFY(errorPane(desk)->isReadOnly());
        QCOMPARE(errorPane(desk)->lineWrapMode(), QTextEdit::NoWrap);
        QVERIFY(QFontInfo(errorPane(desk)->font()).fixedPitch());
    });
}

void ResultsWindowTest::gridShowsTypicalStoredTextsWholeOnOneLine()
{
    ResultsDesk desk;
    ResultRow row = testing_support::measuredResult();
    row.kph = 1618.94765342960;
    row.accuracy = 98.3870967741935;
    row.name = "Fitzgerald-Montgomery, Alexandra";
    testing_support::insertResults(desk.tablePath(), {row});
    desk.open([&] {
        QTableView* grid = desk.grid();
        QVERIFY(!grid->wordWrap());
        const QAbstractItemModel* model = grid->model();
        for (int column = 0; column < model->columnCount(); ++column) {
            const QModelIndex cell = model->index(0, column);
            const QVariant font = cell.data(Qt::FontRole);
            const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : grid->font());
            const QString text = cell.data().toString();
            QVERIFY2(grid->columnWidth(column) > metrics.horizontalAdvance(text), qPrintable(text));
        }
    });
}

void ResultsWindowTest::alphaFilterShowsOnlyAlphaRows()
{
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), mixedKinds());
    desk.open([&] {
        desk.choose(QStringLiteral("ComboBox2"), QStringLiteral("Alpha"));
        QCOMPARE(desk.shown(TypeColumn), QStringList({"alpha", "alpha"}));
        desk.choose(QStringLiteral("ComboBox2"), QStringLiteral("Alphanumeric"));
        QCOMPARE(desk.shown(TypeColumn), QStringList({"alphanumeric"}));
        desk.choose(QStringLiteral("ComboBox2"), QStringLiteral("All results"));
        QCOMPARE(desk.shown(TypeColumn).size(), 5);
    });
}

void ResultsWindowTest::orderAndFilterKeptAfterReopening()
{
    ResultsDesk desk;
    std::vector<ResultRow> rows = mixedKinds();
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].nkph = 1000.0 + double((i * 3) % 5) * 100;
    testing_support::insertResults(desk.tablePath(), rows);
    QStringList numericByNet;
    std::vector<ResultRow> numeric;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(numeric),
                 [](const ResultRow& row) { return row.testtype == "numeric"; });
    std::sort(numeric.begin(), numeric.end(), [](const ResultRow& a, const ResultRow& b) { return a.nkph > b.nkph; });
    for (const ResultRow& row : numeric) numericByNet.append(QString::fromStdString(row.name));

    desk.open([&] {
        desk.choose(QStringLiteral("ComboBox1"), QStringLiteral("NetKPH"));
        desk.choose(QStringLiteral("ComboBox2"), QStringLiteral("Numeric"));
        QCOMPARE(desk.shown(NameColumn), numericByNet);
    });
    QVERIFY(!desk.form.resultsdb.Active());
    desk.open([&] {
        QCOMPARE(desk.form.findChild<QComboBox*>(QStringLiteral("ComboBox1"))->currentText(), QStringLiteral("NetKPH"));
        QCOMPARE(desk.form.findChild<QComboBox*>(QStringLiteral("ComboBox2"))->currentText(), QStringLiteral("Numeric"));
        QCOMPARE(desk.shown(NameColumn), numericByNet);
    });
}

void ResultsWindowTest::firstOpeningTakesTheMainWindowsChoice()
{
    std::vector<ResultRow> rows{sampleResult(1, "alpha"), sampleResult(2, "alpha"), sampleResult(3, "alpha")};
    rows[0].nkph = 100;
    rows[1].nkph = 300;
    rows[2].nkph = 200;
    {
        ResultsDesk desk;
        desk.selection = {2, 0, QStringLiteral("NetKPH")};
        testing_support::insertResults(desk.tablePath(), rows);
        desk.open([&] {
            QCOMPARE(desk.form.findChild<QComboBox*>(QStringLiteral("ComboBox1"))->currentText(), QStringLiteral("NetKPH"));
            QCOMPARE(desk.form.findChild<QComboBox*>(QStringLiteral("ComboBox2"))->currentText(),
                     QStringLiteral("All results"));
            QCOMPARE(desk.shown(NetKphColumn), QStringList({"300", "200", "100"}));
        });
    }
    ResultsDesk unsorted;
    testing_support::insertResults(unsorted.tablePath(), rows);
    unsorted.open([&] {
        QCOMPARE(unsorted.form.findChild<QComboBox*>(QStringLiteral("ComboBox1"))->currentText(), QString());
        QCOMPARE(unsorted.shown(NetKphColumn), QStringList({"100", "300", "200"}));
    });
}

void ResultsWindowTest::printDoesNothingWithoutARow()
{
    ResultsDesk desk;
    desk.open([&] { button(desk, "BitBtn2")->click(); });
    QVERIFY(desk.reports.isEmpty());

    testing_support::insertResults(desk.tablePath(), {sampleResult(1, "numeric")});
    desk.open([&] {
        desk.choose(QStringLiteral("ComboBox2"), QStringLiteral("Alpha"));
        button(desk, "BitBtn2")->click();
        QVERIFY(desk.reports.isEmpty());
        desk.choose(QStringLiteral("ComboBox2"), QStringLiteral("All results"));
        button(desk, "BitBtn2")->click();
        QCOMPARE(desk.reports.size(), 1);
    });
}

void ResultsWindowTest::printDoesNothingAfterLastRowButton()
{
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), {sampleResult(1, "numeric"), sampleResult(2, "numeric"),
                                                      sampleResult(3, "numeric")});
    desk.open([&] {
        navigator(desk)->last->click();
        button(desk, "BitBtn2")->click();
        QVERIFY(desk.reports.isEmpty());
        navigator(desk)->prior->click();
        button(desk, "BitBtn2")->click();
        QCOMPARE(desk.reports.size(), 1);
        QVERIFY(desk.reports[0].contains(QStringLiteral("Testee: Tester2, Pat\n")));
    });
}

void ResultsWindowTest::reportShowsStoredTextsUnrounded()
{
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), {testing_support::measuredResult()});
    desk.open([&] { button(desk, "BitBtn2")->click(); });
    QCOMPARE(desk.reports.size(), 1);
    QCOMPARE(desk.reports[0], QStringLiteral("Test Results\n\nTestee: Smith, Ann\nTest date: 11/28/26\n"
                                             "Real mode, test type: alphanumeric\n\n"
                                             "Gross keystrokes per hour: 12345.678\n"
                                             "Net keystrokes per hour: 9876.5\nAccuracy: 98.7654\n"
                                             "Duration (minutes): 5.03333333333333\nTotal keystrokes: 4321\n"
                                             "Keystroke errors: 17\nTotal fields: 210\nTotal field errors: 9\n\n"
                                             "Error logging:\n==============\n\n"
                                             "Record 1, field 2\r\nRecord 4, field 7\r\n"));
}

void ResultsWindowTest::reportOpensInTheReportWindow()
{
    ResultsDesk desk;
    TshowitForm showit;
    desk.reportWindow = reportWindowOf(showit);
    ResultRow row = sampleResult(1, "alpha");
    row.time = 5 + 2.0 / 60;
    row.errors = "Record 1, field 2: keyed SMIT, expected SMITH\r\n";
    testing_support::insertResults(desk.tablePath(), {row});
    showit.setText(QStringLiteral("left over from the last report"));
    QString shown;
    desk.open([&] {
        auto* poll = new QTimer(&desk.form);
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, [&shown, &showit, poll] {
            if (QApplication::activeModalWidget() != &showit) return;
            poll->stop();
            shown = showit.text();
            showit.reject();
        });
        poll->start();
        button(desk, "BitBtn2")->click();
    });
    QVERIFY2(shown.startsWith(QStringLiteral("Test Results\n\nTestee: Tester1, Pat\n")), qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("\nDuration (minutes): 5.03333333333333\n")));
    QVERIFY(shown.endsWith(QStringLiteral("==============\n\nRecord 1, field 2: keyed SMIT, expected SMITH\n")));
}

void ResultsWindowTest::errorPaneFollowsRowAndToggles()
{
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), {sampleResult(1, "numeric"), sampleResult(2, "numeric")});
    desk.open([&] {
        QTextEdit* pane = errorPane(desk);
        QCOMPARE(pane->toPlainText().trimmed(), QStringLiteral("Record 1, field 3: keyed 12, expected 13"));
        desk.grid()->setFocus();
        pressInGrid(desk, Qt::Key_Down);
        QCOMPARE(pane->toPlainText().trimmed(), QStringLiteral("Record 2, field 3: keyed 12, expected 13"));

        FlatButton* toggle = button(desk, "BitBtn5");
        QVERIFY(pane->isVisible());
        toggle->click();
        QCOMPARE(toggle->caption(), QStringLiteral("View errors"));
        QVERIFY(!pane->isVisible());
        toggle->click();
        QCOMPARE(toggle->caption(), QStringLiteral("Hide errors"));
        QVERIFY(pane->isVisible());
        toggle->click();
    });
    // The toggle keeps its state for the next opening.
    desk.open([&] {
        QCOMPARE(button(desk, "BitBtn5")->caption(), QStringLiteral("View errors"));
        QVERIFY(!errorPane(desk)->isVisible());
    });
}

void ResultsWindowTest::gridKeysMoveAndDelete()
{
    RecordingMessages boxes;
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), {sampleResult(1, "numeric"), sampleResult(2, "numeric"),
                                                      sampleResult(3, "numeric")});
    desk.open([&] {
        desk.grid()->setFocus();
        pressInGrid(desk, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(desk.grid()->currentIndex().row(), 2);
        QVERIFY(desk.form.resultsdb.AtEnd());
        pressInGrid(desk, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(desk.grid()->currentIndex().row(), 0);
        QVERIFY(desk.form.resultsdb.AtStart());
        boxes.answers = {true};
        pressInGrid(desk, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(boxes.texts(BoxKind::Confirm), QStringList({"Delete record?"}));
        QCOMPARE(desk.shown(NameColumn), QStringList({"Tester2, Pat", "Tester3, Pat"}));
    });
}

void ResultsWindowTest::navigatorDeleteAsksFirst()
{
    RecordingMessages boxes;
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), {sampleResult(1, "numeric"), sampleResult(2, "numeric")});
    desk.open([&] {
        boxes.answers = {false, true};
        navigator(desk)->remove->click();
        QCOMPARE(desk.shown(NameColumn).size(), 2);
        navigator(desk)->remove->click();
        QCOMPARE(desk.shown(NameColumn), QStringList({"Tester2, Pat"}));
    });
    QCOMPARE(boxes.texts(BoxKind::Confirm), QStringList({"Delete record?", "Delete record?"}));
    QCOMPARE(storedRows(desk.tablePath()), 1);
}

void ResultsWindowTest::deleteAllAnsweredNoChangesNothing()
{
    RecordingMessages boxes;
    boxes.answers = {false};
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), mixedKinds());
    desk.open([&] {
        desk.choose(QStringLiteral("ComboBox2"), QStringLiteral("Alpha"));
        button(desk, "BitBtn4")->click();
        QVERIFY(desk.form.isVisible());
        QCOMPARE(desk.shown(TypeColumn), QStringList({"alpha", "alpha"}));
    });
    QCOMPARE(boxes.texts(BoxKind::Confirm), QStringList({"Do you really wish to delete ALL test results?"}));
    QCOMPARE(storedRows(desk.tablePath()), 5);
}

void ResultsWindowTest::deleteAllEmptiesTheTable()
{
    RecordingMessages boxes;
    boxes.answers = {true};
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), mixedKinds());
    desk.open([&] {
        desk.choose(QStringLiteral("ComboBox1"), QStringLiteral("KPH"));
        button(desk, "BitBtn4")->click();
        QVERIFY(desk.form.isVisible());
        QVERIFY(desk.shown(NameColumn).isEmpty());
        QVERIFY(desk.form.resultsdb.Active());
        QVERIFY(!desk.form.resultsdb.Exclusive());
        QCOMPARE(QString::fromStdString(desk.form.resultsdb.IndexName()), QStringLiteral("KPH"));
    });
    QVERIFY(boxes.texts(BoxKind::Error).isEmpty());
    QCOMPARE(storedRows(desk.tablePath()), 0);
}

void ResultsWindowTest::deleteAllAgainstAnotherProcess()
{
    RecordingMessages boxes;
    boxes.answers = {true};
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), mixedKinds());
    bool closedByFailure = false;
    {
        TableHolder holder(desk.tablePath());
        QVERIFY(holder.ready);
        const int result = desk.open([&] {
            button(desk, "BitBtn4")->click();
            closedByFailure = !desk.form.isVisible();
        });
        QCOMPARE(result, int(QDialog::Rejected));
    }
    QVERIFY(closedByFailure);
    QCOMPARE(boxes.texts(BoxKind::Error), QStringList({NoExclusiveUse}));
    QVERIFY(!desk.form.resultsdb.Active());
    QVERIFY(!desk.form.resultsdb.Exclusive());
    QCOMPARE(storedRows(desk.tablePath()), 5);
    // The next opening starts from a freshly opened table.
    desk.open([&] { QCOMPARE(desk.shown(NameColumn).size(), 5); });
}

// Counts the rows the grid shows when the refusal comes up.
class RowsAtRefusal : public RecordingMessages {
public:
    explicit RowsAtRefusal(ResultsDesk& desk) : desk(desk) {}
    void errorBox(const QString& text) override
    {
        rows = desk.grid()->model()->rowCount();
        RecordingMessages::errorBox(text);
    }
    ResultsDesk& desk;
    int rows = -1;
};

void ResultsWindowTest::deleteAllIsRefusedByEnterAndKeepsRowsBehindItsRefusal()
{
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), mixedKinds());
    // The boxes on screen: Enter alone answers the question.
    QTimer answer;
    answer.setInterval(5);
    connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            answer.stop();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    answer.start();
    desk.open([&] { button(desk, "BitBtn4")->click(); });
    QVERIFY(!answer.isActive());
    QCOMPARE(storedRows(desk.tablePath()), 5);

    RowsAtRefusal boxes(desk);
    TableHolder holder(desk.tablePath());
    QVERIFY(holder.ready);
    desk.open([&] { button(desk, "BitBtn4")->click(); });
    QCOMPARE(boxes.texts(BoxKind::Error), QStringList({NoExclusiveUse}));
    QCOMPARE(boxes.rows, 5);
    QVERIFY(!desk.form.resultsdb.Active());
}

void ResultsWindowTest::missingTableKeepsWindowShut()
{
    RecordingMessages boxes;
    ResultsDesk desk;
    std::filesystem::remove(desk.tablePath());
    bool opened = false;
    QTimer::singleShot(2000, &desk.form, [&] {
        opened = desk.form.isVisible();
        desk.form.done(QDialog::Accepted);
    });
    QCOMPARE(desk.form.exec(), int(QDialog::Rejected));
    QVERIFY(!opened);
    const QStringList shown = boxes.texts(BoxKind::ErrorDisplay);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith(QStringLiteral("Invalid path or file name for data file")), qPrintable(shown[0]));
}

void ResultsWindowTest::printAllPreviewsAndLeavesTheEndMark()
{
    ResultsDesk desk;
    std::vector<ResultRow> rows;
    for (int number = 1; number <= 20; ++number) rows.push_back(sampleResult(number, "numeric"));
    testing_support::insertResults(desk.tablePath(), rows);
    int pages = 0;
    desk.open([&] {
        auto* poll = new QTimer(&desk.form);
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, [&pages, poll] {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            if (!preview) return;
            poll->stop();
            pages = preview->findChild<QPrintPreviewWidget*>()->pageCount();
            preview->reject();
        });
        poll->start();
        button(desk, "BitBtn3")->click();
        QCOMPARE(desk.grid()->currentIndex().row(), 19);
        button(desk, "BitBtn2")->click();
        QVERIFY(desk.reports.isEmpty());
    });
    // 15 rows under the title and captions of page 1, the other 5 on page 2.
    QCOMPARE(pages, 2);
}

void ResultsWindowTest::csvExportOfFilteredView()
{
    ResultsDesk desk;
    std::vector<ResultRow> rows = mixedKinds();
    rows[2].name = "O\"Brien, Pat \"P\"";
    rows[4].name = "Müller, Zoë, Jr.";
    rows[4].errors = "line one\r\nline, two\r\n";
    testing_support::insertResults(desk.tablePath(), rows);
    const std::string path = desk.folder.file("view.csv");
    std::vector<std::vector<std::string>> expected;
    desk.open([&] {
        QVERIFY(desk.grid()->actions().contains(desk.form.findChild<QAction*>(QStringLiteral("ExportCsv1"))));
        QCOMPARE(desk.grid()->contextMenuPolicy(), Qt::ActionsContextMenu);
        desk.choose(QStringLiteral("ComboBox1"), QStringLiteral("KPH"));
        desk.choose(QStringLiteral("ComboBox2"), QStringLiteral("Numeric"));
        const QAbstractItemModel* model = desk.grid()->model();
        std::vector<std::string> header;
        for (int column = 0; column < model->columnCount(); ++column)
            header.push_back(model->headerData(column, Qt::Horizontal).toString().toStdString());
        expected.push_back(header);
        for (int row = 0; row < model->rowCount(); ++row) {
            std::vector<std::string>& texts = expected.emplace_back();
            for (int column = 0; column < model->columnCount(); ++column)
                texts.push_back(model->index(row, column).data().toString().toStdString());
        }
        QVERIFY(desk.form.exportCsv(QString::fromStdString(path)));
    });
    const auto records = csvRecordsOf(path);
    QCOMPARE(records.size(), std::size_t(3));
    QVERIFY(records == expected);
    QCOMPARE(QString::fromStdString(records[1][0]), QStringLiteral("Müller, Zoë, Jr."));
    QCOMPARE(QString::fromStdString(records[2][0]), QStringLiteral("O\"Brien, Pat \"P\""));
}

void ResultsWindowTest::csvExportFailureIsShown()
{
    RecordingMessages boxes;
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), mixedKinds());
    const QString path = QString::fromStdString(desk.folder.file("missing/view.csv"));
    desk.open([&] { QVERIFY(!desk.form.exportCsv(path)); });
    const QStringList shown = boxes.texts(BoxKind::Error);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith(QStringLiteral("Unable to write ")), qPrintable(shown[0]));
    QVERIFY(!std::filesystem::exists(path.toStdString()));
}

void ResultsWindowTest::csvFieldsAreQuotedAndFormulasNeutralised()
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"Smith", "Smith"},
        {"line one\r\nline two", "\"line one\r\nline two\""},
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+1+2", "\"'+1+2\""},
        {"-A1", "\"'-A1\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"\tcmd", "\"'\tcmd\""},
        {"\rcmd", "\"'\rcmd\""},
        {"-12.5", "-12.5"},
        {"a=b", "a=b"},
    };
    for (const auto& [text, written] : cases) QCOMPARE(results::csvField(text), written);
}

void ResultsWindowTest::verdictsOfTheCriteriaInGridReportAndCsv()
{
    ResultsDesk desk;
    testing_support::makeNumericCriteria();
    std::vector<ResultRow> rows{sampleResult(1, "numeric"), sampleResult(2, "numeric"), sampleResult(3, "alpha")};
    rows[0].nkph = 7999.5;
    rows[0].accuracy = 99;
    rows[1].nkph = 9000;
    rows[1].accuracy = 95;
    testing_support::insertResults(desk.tablePath(), rows);
    const std::string path = desk.folder.file("view.csv");
    desk.open([&] {
        desk.choose(QStringLiteral("ComboBox1"), QStringLiteral("Name"));
        const QAbstractItemModel* model = desk.grid()->model();
        QCOMPARE(model->headerData(11, Qt::Horizontal).toString(), QStringLiteral("Result"));
        QCOMPARE(desk.shown(11), (QStringList{QStringLiteral("Fail (net KPH below 8,000.00)"), QStringLiteral("Pass"),
                                              QString()}));
        desk.form.resultsdb.GoFirst();
        QVERIFY(desk.form.reportText().endsWith(QStringLiteral("expected 13\r\nResult: Fail (net KPH below 8,000.00)")));
        desk.form.resultsdb.GoLast();
        QVERIFY(desk.form.reportText().endsWith(QStringLiteral("expected 13\r\n")));
        QVERIFY(desk.form.exportCsv(QString::fromStdString(path)));
    });
    const auto records = csvRecordsOf(path);
    QCOMPARE(records.size(), std::size_t(4));
    QCOMPARE(records[0].back(), std::string("Result"));
    QCOMPARE(records[2].back(), std::string("Pass"));
}

void ResultsWindowTest::criteriaHeldElsewhereAreReportedAndKept()
{
    ResultsDesk desk;
    testing_support::makeNumericCriteria();
    RecordingMessages recorder;
    TcriteriaForm form;
    bool ran = false;
    QTimer::singleShot(0, &form, [&] {
        QCOMPARE(form.NetKphEdits[0]->text(), QStringLiteral("8000.00"));
        form.NetKphEdits[0]->setText(QStringLiteral("9000"));
        testing_support::TableHolder holder(ProgramDir + scoring::CriteriaTableName, true);
        QVERIFY(holder.ready);
        form.SaveBtn->click();
        QCOMPARE(recorder.texts(testing_support::BoxKind::Error).size(), qsizetype(1));
        QVERIFY(form.isVisible());
        ran = true;
        form.reject();
    });
    form.exec();
    QVERIFY(ran);
    store::StoreTable criteriadb("criteriadb");
    QCOMPARE(scoring::readCriteria(criteriadb, ProgramDir + scoring::CriteriaTableName).of(TestKind::numeric).minimumNetKph,
             8000.0);
}

void ResultsWindowTest::failedOnlyNarrowsTheKindInViewToItsFailingRows()
{
    ResultsDesk desk;
    std::vector<ResultRow> rows{sampleResult(1, "numeric"), sampleResult(2, "numeric"), sampleResult(3, "numeric"),
                                sampleResult(4, "alpha")};
    const double figures[][2] = {{9000, 99}, {7000, 99}, {9000, 94.99}, {100, 10}};
    for (std::size_t row = 0; row < rows.size(); ++row) std::tie(rows[row].nkph, rows[row].accuracy) = std::pair(figures[row][0], figures[row][1]);
    testing_support::insertResults(desk.tablePath(), rows);
    auto* failedOnly = desk.form.findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    desk.open([&] { QVERIFY(!failedOnly->isEnabled()); });  // no criteria, nothing can fail
    testing_support::makeNumericCriteria();
    const QStringList failing{QStringLiteral("Tester2, Pat"), QStringLiteral("Tester3, Pat")};
    desk.open([&] {
        desk.choose(QStringLiteral("ComboBox1"), QStringLiteral("Name"));
        QVERIFY(failedOnly->isEnabled());
        failedOnly->click();
        QCOMPARE(desk.shown(NameColumn), failing);
        desk.choose(QStringLiteral("ComboBox2"), QStringLiteral("Alpha"));
        QCOMPARE(desk.shown(NameColumn), QStringList());
        desk.choose(QStringLiteral("ComboBox2"), QStringLiteral("Numeric"));
        QCOMPARE(desk.shown(NameColumn), failing);
    });
    desk.open([&] {
        QCOMPARE(desk.shown(NameColumn), failing);  // kept from one opening to the next
        failedOnly->click();
        QCOMPARE(desk.shown(NameColumn).size(), qsizetype(3));
    });
}

void ResultsWindowTest::pictureOfTheWindow()
{
    ResultsDesk desk;
    std::vector<ResultRow> rows = mixedKinds();
    for (int number = 6; number <= 30; ++number) rows.push_back(sampleResult(number, "numeric"));
    testing_support::insertResults(desk.tablePath(), rows);
    const QString folder = QStringLiteral(MOVARA_SCREENSHOT_DIR);
    QVERIFY(QDir().mkpath(folder));
    bool saved = false;
    desk.open([&] {
        desk.form.resize(1280, 800);
        navigator(desk)->next->click();
        saved = desk.form.grab().save(folder + QStringLiteral("/results-window.png"));
    });
    QVERIFY(saved);
}

QTEST_MAIN(ResultsWindowTest)
#include "results_test.moc"
