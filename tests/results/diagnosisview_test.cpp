// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnosis in the results window: the error pane beside the log, from
// diagnosis.dat or marked as read from the logged fields, and "Diagnosis of
// this view", whose sums are those of the rows the view shows.

#include <QAction>
#include <QTest>
#include <QTimer>

#include "results/udiagview.h"
#include "schemafile.h"
#include "scoring/diagnosispicture.h"
#include "scoring/diagnosistable.h"
#include "store/createtable.h"
#include "support/resultswindow.h"

using testing_support::ResultRow;
using testing_support::ResultsDesk;
using testing_support::sampleResult;

namespace {

const QString FromLogMark = QStringLiteral("(from the logged fields only)");

// A log of one wrong field, as scoring writes it.
std::string logOf(const std::string& keyed, const std::string& source)
{
    return "Record no.: 1, Field no.: 1, 1 errors.\r\nKeyed    >" + keyed + "\r\nOn Record>" + source + "\r\n\r\n";
}

// A result of that kind, time and name whose log holds one transposed pair.
ResultRow loggedResult(int number, const std::string& testtype, const std::string& time)
{
    ResultRow row = sampleResult(number, testtype);
    row.testtime = time;
    row.errors = logOf("15987732", "15897732");
    return row;
}

// A diagnosis unlike anything the logs above hold: two omitted and n doubled digits.
scoring::Diagnosis storedDiagnosis(int doubled)
{
    scoring::Diagnosis diagnosis;
    diagnosis.addField("438", "43881", scoring::Keyboard::numericKeypad);
    for (int field = 0; field < doubled; ++field) diagnosis.addField("22", "2", scoring::Keyboard::numericKeypad);
    return diagnosis;
}

void makeDiagnosisTable()
{
    store::createTable(store::systemFileSystem(), ProgramDir + scoring::DiagnosisTableName,
                       tools::readSchemaFile(MOVARA_TABLE_SCHEMAS "/diagnosis.json"));
}

void insertDiagnosis(const ResultRow& result, const scoring::Diagnosis& diagnosis)
{
    const char* const classColumns[] = {"TRANSPOSED", "OMITTED", "EXTRA", "DOUBLED", "NEIGHBOUR", "OTHER", "BLANK"};
    store::StoreTable table("fill");
    table.setTableName(ProgramDir + scoring::DiagnosisTableName);
    table.setActive(true);
    table.BeginInsert();
    table.WriteValue("NAME", result.name);
    table.WriteValue("TESTDATE", std::get<std::string>(result.testdate));
    table.WriteValue("TESTTIME", std::get<std::string>(result.testtime));
    table.WriteValue("TESTTYPE", result.testtype);
    for (int kind = 0; kind < scoring::EditClassCount; ++kind)
        table.WriteValue(classColumns[kind], diagnosis.counts[std::size_t(kind)]);
    table.WriteValue("KEYS", scoring::keysMemo(diagnosis));
    table.PostRow();
}

DiagnosisView* paneDiagnosis(ResultsDesk& desk)
{
    return desk.form.findChild<DiagnosisView*>(QStringLiteral("ErrorDiagnosis1"));
}

}  // namespace

class DiagnosisViewTest : public QObject {
    Q_OBJECT

private slots:
    void errorPaneShowsStoredOrLoggedDiagnosis();
    void viewSumsAreThoseOfTheFilteredRows();
    void olderFolderSumsTheLogsOfTheRowsInView();
};

void DiagnosisViewTest::errorPaneShowsStoredOrLoggedDiagnosis()
{
    ResultsDesk desk;
    makeDiagnosisTable();
    const std::vector<ResultRow> rows{loggedResult(1, "numeric", "9:00:00 AM"), loggedResult(2, "numeric", "9:00:00 AM"),
                                      loggedResult(3, "alpha", "9:00:01 AM")};
    testing_support::insertResults(desk.tablePath(), rows);
    // Another result of the same second before it, which must not be taken for it.
    insertDiagnosis(rows[1], storedDiagnosis(3));
    insertDiagnosis(rows[0], storedDiagnosis(1));
    struct Case {
        QString words;
        bool keypad;
    };
    const Case cases[] = {
        {QStringLiteral("2 omitted digits, 1 doubled digit"), true},
        {QStringLiteral("2 omitted digits, 3 doubled digits"), true},
        {QStringLiteral("1 transposed pair\n") + FromLogMark, false},
    };
    desk.open([&] {
        desk.choose(QStringLiteral("ComboBox1"), QStringLiteral("Name"));
        desk.grid()->setFocus();
        for (const Case& expected : cases) {
            QCOMPARE(paneDiagnosis(desk)->words(), expected.words);
            QCOMPARE(paneDiagnosis(desk)->showsKeypad(), expected.keypad);
            QTest::keyClick(desk.grid(), Qt::Key_Down);
            QCoreApplication::processEvents();
        }
    });
}

void DiagnosisViewTest::viewSumsAreThoseOfTheFilteredRows()
{
    ResultsDesk desk;
    makeDiagnosisTable();
    std::vector<ResultRow> rows{loggedResult(1, "numeric", "9:00:00 AM"), loggedResult(2, "numeric", "9:00:00 AM"),
                                loggedResult(3, "alpha", "9:00:00 AM"),   loggedResult(4, "numeric", "8:59:59 AM"),
                                loggedResult(5, "numeric", "9:00:02 AM"), loggedResult(6, "alpha", "9:00:02 AM")};
    rows[1].errors += logOf("", "3307") + logOf("4381", "43881");
    testing_support::insertResults(desk.tablePath(), rows);
    insertDiagnosis(rows[3], storedDiagnosis(1));
    insertDiagnosis(rows[2], storedDiagnosis(5));
    insertDiagnosis(rows[0], storedDiagnosis(2));
    // Left behind by a result since deleted.
    ResultRow gone = loggedResult(7, "numeric", "9:00:00 AM");
    insertDiagnosis(gone, storedDiagnosis(9));

    // Numeric: rows 4 and 1 stored, rows 2 and 5 from their logs.
    scoring::Diagnosis expected;
    for (const scoring::Diagnosis& stored : {storedDiagnosis(1), storedDiagnosis(2)}) expected.add(stored);
    for (int transposed = 0; transposed < 2; ++transposed)
        expected.addField("15987732", "15897732", scoring::Keyboard::numericKeypad);
    expected.addField("", "3307", scoring::Keyboard::numericKeypad);
    expected.addField("4381", "43881", scoring::Keyboard::numericKeypad);

    results::ViewDiagnosis shown;
    QString words;
    auto* poll = new QTimer(&desk.form);
    poll->setInterval(5);
    connect(poll, &QTimer::timeout, [&] {
        auto* view = qobject_cast<TdiagviewForm*>(QApplication::activeModalWidget());
        if (!view) return;
        poll->stop();
        shown = view->sums();
        words = view->words();
        view->accept();
    });
    desk.open([&] {
        desk.choose(QStringLiteral("ComboBox1"), QStringLiteral("KPH"));
        desk.choose(QStringLiteral("ComboBox2"), QStringLiteral("Numeric"));
        auto* action = desk.form.findChild<QAction*>(QStringLiteral("DiagnosisOfView1"));
        QVERIFY(desk.grid()->actions().contains(action));
        QVERIFY(!action->statusTip().isEmpty());
        poll->start();
        QVERIFY(QTest::qWaitForWindowActive(&desk.form));
        desk.grid()->setFocus();
        QTest::keyClick(desk.grid(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    });
    QCOMPARE(shown.results, 4);
    QCOMPARE(shown.numericResults, 4);
    QCOMPARE(shown.fromLog, 2);
    QVERIFY(shown.classes == expected);
    QVERIFY(shown.keypad == expected);
    QVERIFY2(words.startsWith(QStringLiteral("4 results in view: Numeric, by KPH\n2 of them from the logged fields only")),
             qPrintable(words));
}

void DiagnosisViewTest::olderFolderSumsTheLogsOfTheRowsInView()
{
    ResultsDesk desk;
    std::vector<ResultRow> rows{loggedResult(1, "alpha", "9:00:00 AM"), loggedResult(2, "numeric", "9:00:00 AM"),
                                loggedResult(3, "alpha", "9:00:01 AM")};
    rows[2].errors = logOf("SMTIH", "SMITH") + logOf("SNITH", "SMITH");
    testing_support::insertResults(desk.tablePath(), rows);
    scoring::Diagnosis expected;
    for (const char* keyed : {"15987732", "SMTIH", "SNITH"})
        expected.addField(keyed, keyed[0] == '1' ? "15897732" : "SMITH", scoring::Keyboard::usKeyboard);
    store::StoreTable& view = desk.form.resultsdb;
    view.setTableName(desk.tablePath());
    view.setFilter("TESTTYPE='alpha'");
    view.setFiltered(true);
    view.setActive(true);
    const auto sums = results::diagnoseView(view, ProgramDir + scoring::DiagnosisTableName);
    QVERIFY(sums);
    QCOMPARE(sums->results, 2);
    QCOMPARE(sums->fromLog, 2);
    QCOMPARE(sums->numericResults, 0);
    QVERIFY(sums->classes == expected);
    // A row test of the view ("Failed only") narrows the sum as it narrows the grid.
    view.setRowTest({"TESTTIME"}, [](const std::vector<std::string>& texts) { return texts[0] == "9:00:01 AM"; });
    const auto narrowed = results::diagnoseView(view, ProgramDir + scoring::DiagnosisTableName);
    QVERIFY(narrowed && narrowed->results == 1);
}

QTEST_MAIN(DiagnosisViewTest)
#include "diagnosisview_test.moc"
