// SPDX-License-Identifier: GPL-3.0-or-later
// Whole numeric runs in the test window, keyed with key events until the
// clock runs out: the results row a real run leaves and the report, a
// practice run that stores nothing, a real run without its report, and a
// close asked for while scoring still reads the test table.

#include <memory>
#include <string>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include "config/programstate.h"
#include "schemafile.h"
#include "scoring/criteria.h"
#include "scoring/diagnosistable.h"
#include "scoring/ushowit.h"
#include "store/createtable.h"
#include "store/storetable.h"
#include "support/modal.h"
#include "support/numerictable.h"
#include "support/recordingmessages.h"
#include "support/tableholder.h"
#include "testing/unumtest.h"

using testing_support::NumericTable;
using testing_support::RecordingMessages;

namespace {

const QString Complete = QStringLiteral("Test is complete...");

// Acknowledges "Test is complete..." and, when asked, clicks Cancel as soon
// as scoring lets events run.
class EndOfRun : public RecordingMessages {
public:
    void messageBox(const QString& text) override
    {
        RecordingMessages::messageBox(text);
        if (text == Complete && cancelDuringScoring)
            QMetaObject::invokeMethod(cancelDuringScoring, "click", Qt::QueuedConnection);
    }
    QPushButton* cancelDuringScoring = nullptr;
};

int resultRows()
{
    store::StoreTable table("count");
    table.setTableName(ProgramDir + "results.dat");
    table.setActive(true);
    return table.RowCount();
}

}  // namespace

class ScoredRunTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void realRunStoresOneRowThatIsItsScore();
    void practiceRunIsReportedButNotStored();
    void realRunWithoutReportIsStoredAndCloses();
    void closeDuringScoringWaitsUntilScoringIsDone();
    void resultsHeldElsewhereAreReportedAndTheWindowStillCloses();
    void reportEndsWithTheVerdictOfTheKindsCriteria_data();
    void reportEndsWithTheVerdictOfTheKindsCriteria();
    void plantedErrorsOfEachKindAreShownAndStored();

private:
    void showWindow();
    // Types the texts into the fields from the focused one on, Enter after
    // each but the last; the clock is left running.
    void type(const QStringList& texts, bool enterAfterLast = false);
    // Waits for the clock to run out and the window to close.
    bool runEnds();

    std::unique_ptr<EndOfRun> recorder;
    std::unique_ptr<NumericTable> table;
    std::unique_ptr<TshowitForm> report;
    std::unique_ptr<Tnumerictestform> window;
    QString reportText;
    int passwordAsked = 0;
};

void ScoredRunTest::init()
{
    recorder = std::make_unique<EndOfRun>();
    Settings = SettingsRecord();
    Settings.lname = QStringLiteral(" Lee ");
    Settings.fname = QStringLiteral("Ann");
    Settings.rresults = true;
    Settings.presults = true;
    RealMode = true;
    reportText.clear();
    passwordAsked = 0;
    table = std::make_unique<NumericTable>(200);
    store::createTable(store::systemFileSystem(), ProgramDir + "results.dat",
                       tools::readSchemaFile(MOVARA_TABLE_SCHEMAS "/results.json"));
    report = std::make_unique<TshowitForm>();
    testing_support::whenModalOpens([this](QWidget* modal) {
        reportText = report->text();
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
    });
}

void ScoredRunTest::cleanup()
{
    testing_support::forgetModalActions();
    window.reset();
    report.reset();
    table.reset();
    recorder.reset();
}

void ScoredRunTest::showWindow()
{
    window = std::make_unique<Tnumerictestform>([this] {
        ++passwordAsked;
        return true;
    });
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void ScoredRunTest::type(const QStringList& texts, bool enterAfterLast)
{
    for (qsizetype at = 0; at < texts.size(); ++at) {
        QWidget* field = QApplication::focusWidget();
        QVERIFY(qobject_cast<QLineEdit*>(field));
        QTest::keyClicks(field, texts[at]);
        if (at + 1 < texts.size() || enterAfterLast) QTest::keyClick(field, Qt::Key_Return);
    }
}

bool ScoredRunTest::runEnds()
{
    return QTest::qWaitFor([this] { return !window->isVisible(); }, 5000) &&
           recorder->texts(testing_support::BoxKind::Message) == QStringList{Complete};
}

void ScoredRunTest::realRunStoresOneRowThatIsItsScore()
{
    Settings.realtime = 0;  // over at the first tick after the first key
    showWindow();
    // Record 1 (row 1 holds 101 .. 125): field 3 one digit too many, field 7
    // two digits swapped; record 2 ends in field 2.
    QStringList first;
    for (int field = 1; field <= 25; ++field) first.append(QString::number(100 + field));
    first[2] = QStringLiteral("1039");
    first[6] = QStringLiteral("170");
    type(first, true);
    type({QStringLiteral("201"), QStringLiteral("2")});
    QVERIFY(runEnds());

    const RunState& state = runState(TestKind::numeric);
    // Record 1: 25 × (3 digits + Enter) + 1; record 2: 201 and Enter, then 2
    // without Enter; its empty fields after the last one keyed do not count.
    const int keystrokes = 101 + 4 + 1;
    store::StoreTable results("check");
    results.setTableName(ProgramDir + "results.dat");
    results.setActive(true);
    QCOMPARE(results.RowCount(), 1);
    results.GoFirst();
    QCOMPARE(results.ReadText("NAME"), std::string("Lee, Ann"));
    QCOMPARE(results.ReadInteger("TOTALKS"), keystrokes);
    QCOMPARE(results.ReadInteger("TOTERRS"), 3);
    QCOMPARE(results.ReadInteger("TOTALFLDS"), 27);
    QCOMPARE(results.ReadInteger("FLDERRS"), 2);
    QCOMPARE(results.ReadFloat("TIME"), state.ElapsedSeconds / 60);
    QCOMPARE(results.ReadFloat("KPH"), double(keystrokes * 60) / (state.ElapsedSeconds / 60));
    QCOMPARE(results.ReadFloat("ACCURACY"), 100 - 3.0 / keystrokes * 100);
    QCOMPARE(results.ReadFloat("NKPH"), results.ReadFloat("KPH") * results.ReadFloat("ACCURACY") / 100);
    QCOMPARE(results.ReadText("TESTTYPE"), std::string("numeric"));
    QCOMPARE(results.ReadText("TESTDATE"), store::formatDate(store::dateOf(store::currentDateTime())));
    const auto stopped = store::TimeOfDay{std::int32_t(std::lround(state.StopTime * store::MillisecondsPerDay))};
    QCOMPARE(results.ReadText("TESTTIME"), store::formatTime(stopped));
    const std::string log = "Record no.: 1, Field no.: 7, 2 errors.\r\nKeyed    >170\r\nOn Record>107\r\n\r\n"
                            "Record no.: 1, Field no.: 3, 1 errors.\r\nKeyed    >1039\r\nOn Record>103\r\n\r\n";
    QCOMPARE(results.ReadText("ERRORS"), log);

    QCOMPARE(window->findChild<QTextEdit*>(QStringLiteral("RichEdit1"))->toPlainText(),
             QString::fromStdString(log).remove(QLatin1Char('\r')).chopped(1));
    QVERIFY(reportText.contains(QStringLiteral("Testee name: Lee, Ann\nTest type: Numeric, real mode")));
    QVERIFY(reportText.contains(QStringLiteral("Total keystrokes: %1\n").arg(keystrokes)));
    QVERIFY(reportText.endsWith(QStringLiteral("On Record>103\n")));
}

void ScoredRunTest::reportEndsWithTheVerdictOfTheKindsCriteria_data()
{
    QTest::addColumn<double>("netKph");
    QTest::addColumn<QString>("lastLine");
    QTest::newRow("short of it") << 9999999.0 << QStringLiteral("Result: Fail (net KPH below 9,999,999.00)");
    QTest::newRow("above it") << 1.0 << QStringLiteral("Result: Pass");
}

void ScoredRunTest::reportEndsWithTheVerdictOfTheKindsCriteria()
{
    QFETCH(double, netKph);
    QFETCH(QString, lastLine);
    const std::string path = ProgramDir + scoring::CriteriaTableName;
    store::createTable(store::systemFileSystem(), path, tools::readSchemaFile(MOVARA_TABLE_SCHEMAS "/criteria.json"));
    scoring::CriteriaSet criteria;
    criteria.of(TestKind::numeric) = {netKph, 95};
    store::StoreTable criteriadb("criteriadb");
    scoring::writeCriteria(criteriadb, path, criteria);
    Settings.realtime = 0;
    showWindow();
    type({QStringLiteral("101")});
    QVERIFY(runEnds());
    QVERIFY2(reportText.endsWith(QStringLiteral("==============\n\n") + lastLine), qPrintable(reportText));
}

void ScoredRunTest::practiceRunIsReportedButNotStored()
{
    RealMode = false;
    Settings.practicetime = 0;
    showWindow();
    type({QStringLiteral("5001")});
    QVERIFY(runEnds());
    QCOMPARE(resultRows(), 0);
    QVERIFY(reportText.contains(QStringLiteral("Test type: Numeric, practice mode")));
    QVERIFY(reportText.contains(QStringLiteral("Keystroke errors: 0\n")));
    QVERIFY(!reportText.contains(QStringLiteral("Testee name")));
}

void ScoredRunTest::realRunWithoutReportIsStoredAndCloses()
{
    Settings.rresults = false;
    Settings.realtime = 0;
    showWindow();
    type({QStringLiteral("1")});
    QVERIFY(runEnds());
    QCOMPARE(resultRows(), 1);
    QVERIFY(reportText.isNull());
    QCOMPARE(window->result(), int(QDialog::Accepted));
}

void ScoredRunTest::closeDuringScoringWaitsUntilScoringIsDone()
{
    Settings.rresults = false;
    Settings.realtime = 0;
    showWindow();
    recorder->cancelDuringScoring = window->findChild<QPushButton*>(QStringLiteral("BitBtn1"));
    QStringList record;
    for (int field = 1; field <= 25; ++field) record.append(QStringLiteral("9"));
    type(record, true);
    type(record, true);
    type({QStringLiteral("9")});
    QVERIFY(runEnds());
    QCOMPARE(passwordAsked, 1);
    // Every record was read to the end: 2 × 25 fields and the last one keyed.
    store::StoreTable results("check");
    results.setTableName(ProgramDir + "results.dat");
    results.setActive(true);
    QCOMPARE(results.RowCount(), 1);
    results.GoFirst();
    QCOMPARE(results.ReadInteger("TOTALFLDS"), 51);
    QCOMPARE(results.ReadInteger("FLDERRS"), 51);
}

void ScoredRunTest::resultsHeldElsewhereAreReportedAndTheWindowStillCloses()
{
    Settings.realtime = 0;
    {
        testing_support::TableHolder holder(ProgramDir + "results.dat", true);
        QVERIFY(holder.ready);
        showWindow();
        type({QStringLiteral("101")});
        QVERIFY(runEnds());
    }
    QCOMPARE(recorder->texts(testing_support::BoxKind::Error),
             QStringList{QStringLiteral("Error writing results to the database.")});
    QVERIFY(reportText.contains(QStringLiteral("Total keystrokes: 4\n")));
    QCOMPARE(resultRows(), 0);
}

void ScoredRunTest::plantedErrorsOfEachKindAreShownAndStored()
{
    store::createTable(store::systemFileSystem(), ProgramDir + scoring::DiagnosisTableName,
                       tools::readSchemaFile(MOVARA_TABLE_SCHEMAS "/diagnosis.json"));
    QString diagnosisText;
    testing_support::forgetModalActions();
    testing_support::whenModalOpens([&](QWidget* modal) {
        diagnosisText = report->findChild<QLabel*>(QStringLiteral("DiagnosisLabel"))->text();
        auto* keypad = report->findChild<QWidget*>(QStringLiteral("KeypadView"));
        keypad->resize(240, 320);
        keypad->grab().save(QCoreApplication::applicationDirPath() + QStringLiteral("/diagnosis-keypad.png"));
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
    });
    Settings.realtime = 0;
    showWindow();
    // Row 1 holds 101 .. 125.
    QStringList first;
    for (int field = 1; field <= 25; ++field) first.append(QString::number(100 + field));
    first[0] = QStringLiteral("110");   // 0 and 1 swapped
    first[1] = QStringLiteral("12");    // 0 left out
    first[2] = QStringLiteral("1033");  // 3 twice
    first[3] = QStringLiteral("1074");  // a 7 between
    first[4] = QStringLiteral("106");   // 6 beside 5
    first[5] = QStringLiteral("100");   // 0 far from 6
    type(first, true);
    type({QStringLiteral("201")});
    QVERIFY(runEnds());

    QCOMPARE(diagnosisText, QStringLiteral("1 transposed pair, 1 omitted digit, 1 extra digit, 1 doubled digit, "
                                           "1 neighbour-key substitution, 1 other substitution"));
    store::StoreTable results("check");
    results.setTableName(ProgramDir + "results.dat");
    results.setActive(true);
    QCOMPARE(results.RowCount(), 1);
    results.GoFirst();
    store::StoreTable diagnosisdb("diagnosisdb");
    const auto stored = scoring::readDiagnosisRow(diagnosisdb, ProgramDir + scoring::DiagnosisTableName,
                                                  results.ReadText("NAME"), results.ReadText("TESTDATE"),
                                                  results.ReadText("TESTTIME"), results.ReadText("TESTTYPE"));
    QVERIFY(stored);
    QCOMPARE(QString::fromStdString(scoring::countsInWords(*stored, true)), diagnosisText);
    QCOMPARE(stored->keys.at(U'6').wrong, 1);
    QCOMPARE(stored->keys.at(U'5').typedInstead.at(U"6"), 1);
}

QTEST_MAIN(ScoredRunTest)
#include "scoredrun_test.moc"
