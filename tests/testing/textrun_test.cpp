// SPDX-License-Identifier: GPL-3.0-or-later
// Whole real-mode runs of the alphanumeric and alpha windows, keyed with key
// events, ended by the countdown, scored, stored in results.dat and reported;
// each stored row is held against a count of what the test typed.

#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "../shell/standins.h"
#include "scoring/ushowit.h"
#include "store/storeerror.h"
#include "support/modal.h"
#include "support/recordingmessages.h"
#include "testing/fakerunwindow.h"
#include "support/invoicetable.h"
#include "testing/ualpha.h"
#include "testing/ualpphanum.h"
#include "widgets/maskededit.h"

using testing_support::FakeClock;
using testing_support::RecordingMessages;
using testing_support::TempDir;
using namespace testing_support::invoices;

namespace {

constexpr double RunSeconds = 300.5;  // a 5-minute run, ended by the tick after its last second

// A field as the test keys it, against the source value it is keyed from.
struct Keyed {
    QString typed;
    std::string source;
};

// Sends what the testee types, each field left by Enter unless the window
// moves on by itself; the last record's last field is left as it is.
void keyRecords(const std::vector<std::vector<Keyed>>& records, bool enter)
{
    for (std::size_t record = 0; record < records.size(); ++record)
        for (std::size_t field = 0; field < records[record].size(); ++field) {
            type(records[record][field].typed);
            const bool lastOfRun = record + 1 == records.size() && field + 1 == records[record].size();
            if (enter && !lastOfRun) press(Qt::Key_Return);
        }
}

// The source as keyed: the mask puts in the separators and the point.
std::string digitsOf(const std::string& text)
{
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits += c;
    return digits;
}

struct Counted {
    int fields = 0;
    int errors = 0;
    int fieldErrors = 0;
};

// Fields keyed and characters typed differently from the source, over what
// was typed: every typed value here is as long as its source or, on the
// last field of the run, shorter. The alphanumeric date and amount are keyed
// as their digits.
Counted countOf(const std::vector<std::vector<Keyed>>& records, bool alphanumeric, bool upperCase)
{
    Counted counted;
    for (const auto& record : records)
        for (std::size_t field = 0; field < record.size(); ++field) {
            const bool masked = alphanumeric && (field == 1 || field == 2);
            const QString source = QString::fromStdString(masked ? digitsOf(record[field].source)
                                                                 : record[field].source);
            const QString typed = record[field].typed;
            int errors = 0;
            for (qsizetype at = 0; at < typed.size(); ++at)
                errors += upperCase ? typed[at].toUpper() != source[at].toUpper() : typed[at] != source[at];
            ++counted.fields;
            counted.errors += errors;
            counted.fieldErrors += errors > 0;
        }
    return counted;
}

std::vector<std::string> storedRow()
{
    store::StoreTable results("read");
    results.setTableName(ProgramDir + "results.dat");
    results.setActive(true);
    const auto rows = results.VisibleRows({"NAME", "TOTALKS", "TOTERRS", "TOTALFLDS", "FLDERRS", "TIME", "KPH",
                                           "NKPH", "ACCURACY", "TESTTYPE", "ERRORS"});
    return rows.size() == 1 ? rows.front() : std::vector<std::string>();
}

// Counts the boxes and runs a step when the end-of-run message shows.
class EndOfRunMessages : public RecordingMessages {
public:
    void messageBox(const QString& text) override
    {
        RecordingMessages::messageBox(text);
        if (text == QStringLiteral("Test is complete...") && atEnd) atEnd();
    }
    std::function<void()> atEnd;
};

}  // namespace

class TextRunTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void alphanumericRealRunIsScoredStoredAndReported();
    void alphaRealRunWithAutoAdvanceAndUpperCaseIsStored();
    void practiceRunWithoutItsReportStaysLockedUntilCancel();
    void failedScoringLeavesCancelWorking();
    void passwordBoxGoesWhenTheRunEndsUnderIt();
    void mainWindowOpensTheWindowsAndRescaleRebuildsThem();

private:
    // Ends the run by the countdown and waits for scoring to close the window.
    bool endRun(TextTestForm& form);
    void compareRow(const std::vector<std::string>& row, const Counted& counted, const char* testType);

    std::unique_ptr<TempDir> folder;
    std::unique_ptr<EndOfRunMessages> recorder;
    FakeClock clock;
};

void TextRunTest::init()
{
    folder = std::make_unique<TempDir>();
    QVERIFY(makeTables(*folder));
    recorder = std::make_unique<EndOfRunMessages>();
    Settings = SettingsRecord();
    Settings.realtime = 5;
    Settings.fname = QStringLiteral("Ann");
    Settings.lname = QStringLiteral("Lee");
    RealMode = true;
    clock.now = 36000;
    keysSent() = 0;
}

void TextRunTest::cleanup()
{
    testing_support::forgetModalActions();
    recorder.reset();
    folder.reset();
}

bool TextRunTest::endRun(TextTestForm& form)
{
    clock.now += RunSeconds;
    return QTest::qWaitFor([&form] { return !form.isVisible(); }, 5000);
}

void TextRunTest::compareRow(const std::vector<std::string>& row, const Counted& counted, const char* testType)
{
    QCOMPARE(row.size(), std::size_t(11));
    const int keystrokes = keysSent();
    QCOMPARE(row[0], std::string("Lee, Ann"));
    QCOMPARE(std::stoi(row[1]), keystrokes);
    QCOMPARE(std::stoi(row[2]), counted.errors);
    QCOMPARE(std::stoi(row[3]), counted.fields);
    QCOMPARE(std::stoi(row[4]), counted.fieldErrors);
    QCOMPARE(std::stod(row[5]), RunSeconds / 60);
    QCOMPARE(std::stod(row[6]), keystrokes * 3600 / RunSeconds);
    QCOMPARE(std::stod(row[7]), (keystrokes - counted.errors) * 3600 / RunSeconds);
    QCOMPARE(std::stod(row[8]), 100 - 100.0 * counted.errors / keystrokes);
    QCOMPARE(row[9], std::string(testType));
}

void TextRunTest::alphanumericRealRunIsScoredStoredAndReported()
{
    Settings.rresults = true;
    TshowitForm report;
    QString reported;
    testing_support::whenModalOpens([&reported, &report](QWidget* modal) {
        reported = report.text();
        modal->close();
    });
    int gateAsked = 0;
    Talphanumerictestform form(
        [&gateAsked] {
            ++gateAsked;
            return true;
        },
        clock);
    // A Cancel accepted while scoring lets events run waits for scoring: the
    // row is stored and the report shown all the same.
    bool cancelBeforeStoring = false;
    recorder->atEnd = [&] {
        QTimer::singleShot(0, &form, [&] {
            cancelBeforeStoring = form.isVisible() && storedRow().empty();
            form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
        });
    };
    QVERIFY(showActive(form));

    const Invoice& first = Invoices[0];
    const Invoice& second = Invoices[1];
    const Invoice& third = Invoices[2];
    const std::vector<std::vector<Keyed>> records{
        {{"12345678", first.invoice}, {"031599", first.date}, {"123456", first.amount}, {"Ann", first.first},
         {"Smiht", first.last}, {"1 Oak St", first.street}, {"Boston", first.city}},
        {{"87654321", second.invoice}, {"120198", second.date}, {"004310", second.amount}, {"Bob", second.first},
         {"Jones", second.last}, {"22 Elm Rd", second.street}, {"Denver", second.city}},
        {{"11112222", third.invoice}, {"070497", third.date}, {"999999", third.amount}, {"Cy", third.first},
         {"Le", third.last}},
    };
    keyRecords(records, true);
    QCOMPARE(form.windowTitle(), QStringLiteral("5 minute alphanumeric real mode test in progress (Record: 3)"));
    QVERIFY(endRun(form));

    const Counted counted = countOf(records, true, false);
    QCOMPARE(counted.errors, 3);
    const std::vector<std::string> row = storedRow();
    compareRow(row, counted, "alphanumeric");
    QCOMPARE(row[10], std::string("Record no.: 2, Field no.: 3, 1 errors.\r\nKeyed    >0043.10\r\n"
                                  "On Record>0042.10\r\n\r\n"
                                  "Record no.: 1, Field no.: 5, 2 errors.\r\nKeyed    >Smiht\r\n"
                                  "On Record>Smith\r\n\r\n"));
    QVERIFY(form.errorLog()->toPlainText().contains(QStringLiteral("Keyed    >Smiht")));
    QVERIFY(reported.contains(QStringLiteral("Total keystrokes: %1").arg(keysSent())));
    QVERIFY(reported.contains(QStringLiteral("Total field errors: 2")));
    QCOMPARE(recorder->texts(testing_support::BoxKind::Message), QStringList{QStringLiteral("Test is complete...")});
    QVERIFY(cancelBeforeStoring);
    QCOMPARE(gateAsked, 1);
}

void TextRunTest::alphaRealRunWithAutoAdvanceAndUpperCaseIsStored()
{
    Settings.autoadvance = true;
    Settings.useuppercase = true;
    Talphatestform form({}, clock);
    QVERIFY(showActive(form));
    const std::vector<std::vector<Keyed>> records{
        {{"ann", Invoices[0].first}, {"smith", Invoices[0].last}, {"boston", Invoices[0].city}},
        {{"bob", Invoices[1].first}, {"jomes", Invoices[1].last}, {"denver", Invoices[1].city}},
        {{"cy", Invoices[2].first}, {"le", Invoices[2].last}},
    };
    keyRecords(records, false);
    QCOMPARE(form.windowTitle(), QStringLiteral("5 minute alpha real mode test in progress (Record: 3)"));
    QVERIFY(endRun(form));

    const Counted counted = countOf(records, false, true);
    QCOMPARE(counted.errors, 1);
    const std::vector<std::string> row = storedRow();
    compareRow(row, counted, "alpha");
    QCOMPARE(row[10], std::string("Record no.: 2, Field no.: 2, 1 errors.\r\nKeyed    >JOMES\r\n"
                                  "On Record>JONES\r\n\r\n"));
    QCOMPARE(runState(TestKind::alpha).KeyedValues.cell(1, 3), std::string("BOSTON"));
}

void TextRunTest::practiceRunWithoutItsReportStaysLockedUntilCancel()
{
    RealMode = false;
    Talphanumerictestform form({}, clock);
    QVERIFY(showActive(form));
    type(QStringLiteral("12345678"));
    clock.now += RunSeconds;
    QVERIFY(QTest::qWaitFor([&form] { return !form.field(1)->isEnabled(); }, 5000));
    QTest::qWait(50);
    QVERIFY(form.isVisible());
    QCOMPARE(form.findChild<QLabel*>(QStringLiteral("timeLabel"))->text(), QStringLiteral("Time remaining: 0.00"));
    QVERIFY(storedRow().empty());
    form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    QVERIFY(!form.isVisible());
}

void TextRunTest::failedScoringLeavesCancelWorking()
{
    Talphatestform form({}, clock);
    QVERIFY(showActive(form));
    keyRecords({{{"Ann", Invoices[0].first}, {"Smith", Invoices[0].last}, {"Boston", Invoices[0].city}},
                {{"Bob", Invoices[1].first}}},
               true);
    // The test table fails while scoring lets events run after the last record.
    recorder->atEnd = [&form] { QTimer::singleShot(0, &form, [&form] { form.testTable().setActive(false); }); };
    clock.now += RunSeconds;
    QVERIFY_THROWS_EXCEPTION(store::StoreError, form.Timer1Timer());
    QVERIFY(storedRow().empty());
    form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    QVERIFY(!form.isVisible());
}

void TextRunTest::passwordBoxGoesWhenTheRunEndsUnderIt()
{
    QDialog passwordBox;
    // Should the box stay, it is answered with the right password at last.
    QTimer answer;
    answer.setSingleShot(true);
    connect(&answer, &QTimer::timeout, &passwordBox, &QDialog::accept);
    Talphatestform form(
        [&] {
            clock.now += RunSeconds;
            answer.start(3000);
            return passwordBox.exec() == QDialog::Accepted;
        },
        clock);
    QVERIFY(showActive(form));
    type(QStringLiteral("Ann"));
    bool openAtEnd = true;
    recorder->atEnd = [&] { openAtEnd = passwordBox.isVisible(); };
    form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    QVERIFY(!openAtEnd);
    QVERIFY(answer.isActive());
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
}

void TextRunTest::mainWindowOpensTheWindowsAndRescaleRebuildsThem()
{
    testing_support::StandInProgram program(false, false, true);
    // The main window made its own folder the program's; the tables are here.
    ProgramDir = folder->path().string() + "/";
    program.dbfuncs->row.practicetime = 2;
    program.zmain().show();
    WindowSlot& alphanumeric = program.windows.alphanumerictestform;
    WindowSlot& alpha = program.windows.alphatestform;
    QVERIFY(qobject_cast<Talphanumerictestform*>(alphanumeric.window()));
    QVERIFY(qobject_cast<Talphatestform*>(alpha.window()));
    const QSize designed = alpha.window()->size();

    program.settingsSave = [] { Settings.scalefactor = 20; };
    program.zmain().Settings1Click();
    QVERIFY(qobject_cast<Talphatestform*>(alpha.window()));
    QCOMPARE(alpha.window()->size(), designed * 1.2);

    QString caption;
    testing_support::whenModalOpens([&caption](QWidget* modal) {
        caption = modal->windowTitle();
        modal->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    });
    program.zmain().Practise1Click();
    QCOMPARE(caption, QStringLiteral("2 minute alphanumeric practice mode test in progress (Record: 1)"));
    QVERIFY(!RealMode);
}

QTEST_MAIN(TextRunTest)
#include "textrun_test.moc"
