// SPDX-License-Identifier: GPL-3.0-or-later
// The two test generation windows run against real tables in a fresh folder:
// what they write, what they leave alone, how they meet a table another
// process holds and a failure part way, and pictures of both mid-run.

#include <algorithm>
#include <cmath>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "config/programstate.h"
#include "generation/unewan.h"
#include "generation/unewnum.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "store/values.h"
#include "support/faultyfilesystem.h"
#include "support/recordingmessages.h"
#include "support/tableholder.h"
#include "support/tempdir.h"
#include "widgets/help.h"
#include "widgets/progressgauge.h"

using testing_support::BoxKind;
using testing_support::RecordingMessages;
using testing_support::TableHolder;
using testing_support::TempDir;

namespace {

using Rows = std::vector<std::vector<std::string>>;

const QString NumericCreated = QStringLiteral("New numeric test created successfully.");
const QString NumericRefused = QStringLiteral("Could not get exclusive use of database. Try later.");
const QString InvoicesCreated = QStringLiteral("New test has been created.");
const QString InvoicesRefused = QStringLiteral("Unable to get exclusive use of database. Rewrite cancelled.");
const std::vector<std::string> FixedColumns{"recordid", "FIRST", "LAST", "STREET", "CITY"};
const std::vector<std::string> DrawnColumns{"idxkey", "INVOICE", "DATE", "AMOUNT"};

// Makes ProgramDir the test's folder and a table there from a shipped schema.
void makeTable(const TempDir& folder, const QString& schema)
{
    ProgramDir = folder.path().string() + "/";
    const QString path = QString::fromStdString(ProgramDir) + schema + QStringLiteral(".dat");
    const int status = QProcess::execute(
        QStringLiteral(TABLETOOL), {QStringLiteral("create"),
                                    QStringLiteral(MOVARA_TABLE_SCHEMAS "/") + schema + QStringLiteral(".json"), path});
    QCOMPARE(status, 0);
}

std::string tablePath(const char* name)
{
    return ProgramDir + name;
}

void insertInvoices(int rows)
{
    store::StoreTable table("fill");
    table.setTableName(tablePath("invsort.dat"));
    table.setActive(true);
    for (int row = 1; row <= rows; ++row) {
        const std::string number = std::to_string(row);
        table.BeginInsert();
        table.WriteValue("recordid", row);
        table.WriteValue("idxkey", number);
        table.WriteValue("INVOICE", "12345678");
        table.WriteValue("DATE", "01/02/03");
        table.WriteValue("AMOUNT", "1234.56");
        table.WriteValue("FIRST", "First" + number);
        table.WriteValue("LAST", "Last" + number);
        table.WriteValue("STREET", number + " Main Street");
        table.WriteValue("CITY", "City" + number);
    }
    table.PostRow();
}

void insertNumbers(int rows)
{
    store::StoreTable table("fill");
    table.setTableName(tablePath("numeric.dat"));
    table.setActive(true);
    for (int row = 1; row <= rows; ++row) {
        table.BeginInsert();
        table.WriteValue("n1", row);
    }
    table.PostRow();
}

Rows readRows(const char* name, const std::vector<std::string>& columns, const std::string& index = "")
{
    store::StoreTable table("read");
    table.setTableName(tablePath(name));
    table.setIndexName(index);
    table.setActive(true);
    return table.VisibleRows(columns);
}

std::vector<std::string> numericColumns(const char* prefix)
{
    std::vector<std::string> names;
    for (int field = 1; field <= 25; ++field) names.push_back(prefix + std::to_string(field));
    return names;
}

bool openableExclusively(const char* name)
{
    store::StoreTable table("check");
    table.setTableName(tablePath(name));
    table.setExclusive(true);
    try {
        table.setActive(true);
    } catch (const store::StoreError&) {
        return false;
    }
    return true;
}

// Watches a window's gauge while it runs: records the position at every
// repaint the run lets through, and saves one picture of the window once the
// gauge has passed a mark.
class RunWatcher : public QObject {
public:
    RunWatcher(QDialog& window, int mark, QString picture)
        : window(window), gauge(window.findChild<ProgressGauge*>(QStringLiteral("Gauge1"))), mark(mark),
          picture(std::move(picture))
    {
        gauge->installEventFilter(this);
    }

    // Whether the gauge was painted strictly between the two positions.
    bool sawBetween(int first, int last) const
    {
        return std::any_of(positions.begin(), positions.end(),
                           [first, last](int position) { return position > first && position < last; });
    }

    std::vector<int> positions;
    bool saved = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != gauge || event->type() != QEvent::Paint) return false;
        const int position = gauge->position();
        if (positions.empty() || positions.back() != position) positions.push_back(position);
        if (!pictureAsked && position >= mark) {
            // Not from inside a paint event: at the next events the run lets through.
            pictureAsked = true;
            QTimer::singleShot(0, this, [this] { save(); });
        }
        return false;
    }

private:
    void save()
    {
        QDir().mkpath(QStringLiteral(MOVARA_SCREENSHOT_DIR));
        saved = window.grab().save(QStringLiteral(MOVARA_SCREENSHOT_DIR "/") + picture + QStringLiteral(".png"));
    }

    QDialog& window;
    ProgressGauge* gauge;
    int mark;
    QString picture;
    bool pictureAsked = false;
};

bool isWholeCents(double value)
{
    return std::abs(value * 100 - std::round(value * 100)) < 1e-6;
}

}  // namespace

class GenerationWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { Settings = SettingsRecord(); }

    void bothWindowsAreBorderlessWithTheirTextsAndHelp();
    void numericTestHoldsTwoHundredRowsByTheRulesOfEveryWidth();
    void numericGaugeMovesDuringTheRun();
    void regenerationRewritesOnlyKeysInvoicesDatesAndAmounts();
    void regenerationOfAnEmptyTableStillReportsANewTest();
    void tableHeldByAnotherProcessIsRefusedAndLeftAsItWas();
    void failurePartWayIsShownAndLeavesTheTableClosed_data();
    void failurePartWayIsShownAndLeavesTheTableClosed();
    void numericRowsThatCannotReachTheDiskAtTheCloseAreNoSuccess();
};

void GenerationWindowTest::bothWindowsAreBorderlessWithTheirTextsAndHelp()
{
    Tnewnumerictestform numeric;
    Trewritean invoices;
    QCOMPARE(numeric.findChild<QLabel*>(QStringLiteral("Label1"))->text(),
             QStringLiteral("Creating new numeric data entry test. Please wait..."));
    QCOMPARE(invoices.findChild<QLabel*>(QStringLiteral("Label1"))->text(),
             QStringLiteral("Generating new alphanumeric/alpha tests. Please wait..."));
    for (QDialog* window : {static_cast<QDialog*>(&numeric), static_cast<QDialog*>(&invoices)}) {
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(helpContextOf(window), 4000);
        QCOMPARE(window->findChild<QTimer*>(QStringLiteral("Timer1"))->interval(), 1000);
        QVERIFY(!window->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
    }
    QVERIFY(invoices.findChild<ProgressGauge*>(QStringLiteral("Gauge1"))->framed());
}

void GenerationWindowTest::numericTestHoldsTwoHundredRowsByTheRulesOfEveryWidth()
{
    RecordingMessages recorder;
    TempDir folder;
    makeTable(folder, QStringLiteral("numeric"));
    insertNumbers(250);
    // One window serves every use, as in the program.
    Tnewnumerictestform window;
    for (int width : {0, 4, 5, 6, 7, 8}) {
        Settings.width = width;
        recorder.clear();
        window.exec();
        QCOMPARE(recorder.texts(BoxKind::Message), QStringList{NumericCreated});
        QCOMPARE(recorder.shown.size(), std::size_t(1));

        const std::int64_t low = width == 0 ? 2 : std::int64_t(std::pow(10, width - 1)) + 1;
        const std::int64_t high = width == 0 ? 99999998 : std::int64_t(std::pow(10, width)) - 2;
        const double lowDecimal = width == 0 ? 1.0 : std::pow(10, width - 4);
        const double highDecimal = width == 0 ? 99999.99 : std::pow(10, width - 3) - 0.01;
        const Rows integers = readRows("numeric.dat", numericColumns("n"));
        const Rows decimals = readRows("numeric.dat", numericColumns("nd"));
        QCOMPARE(integers.size(), std::size_t(200));
        for (std::size_t row = 0; row < integers.size(); ++row) {
            for (std::size_t field = 0; field < 25; ++field) {
                const std::int64_t whole = std::stoll(integers[row][field]);
                const double decimal = std::stod(decimals[row][field]);
                QVERIFY2(whole >= low && whole <= high, integers[row][field].c_str());
                QVERIFY2(decimal >= lowDecimal && decimal <= highDecimal + 1e-9, decimals[row][field].c_str());
                QVERIFY2(isWholeCents(decimal), decimals[row][field].c_str());
            }
        }
        QVERIFY(openableExclusively("numeric.dat"));
    }
}

void GenerationWindowTest::numericGaugeMovesDuringTheRun()
{
    RecordingMessages recorder;
    TempDir folder;
    makeTable(folder, QStringLiteral("numeric"));
    Settings.width = 6;
    Tnewnumerictestform window;
    RunWatcher watcher(window, 100, QStringLiteral("generation-numeric"));
    window.exec();
    QVERIFY(watcher.saved);
    QCOMPARE(watcher.positions.front(), 1);
    QVERIFY(watcher.positions.size() > 50);
    QVERIFY(watcher.sawBetween(1, 201));
    QVERIFY(std::is_sorted(watcher.positions.begin(), watcher.positions.end()));
    QCOMPARE(window.findChild<ProgressGauge*>(QStringLiteral("Gauge1"))->maximum(), 200);
}

void GenerationWindowTest::regenerationRewritesOnlyKeysInvoicesDatesAndAmounts()
{
    RecordingMessages recorder;
    TempDir folder;
    makeTable(folder, QStringLiteral("invsort"));
    insertInvoices(300);
    const Rows fixedBefore = readRows("invsort.dat", FixedColumns);
    const Rows orderBefore = readRows("invsort.dat", {"recordid"}, "idxkey");
    store::formats().shortDateFormat = "dd.mm.yyyy";
    store::formats().dateSeparator = '.';

    Trewritean window;
    RunWatcher watcher(window, 150, QStringLiteral("generation-alphanumeric"));
    window.exec();

    QCOMPARE(recorder.texts(BoxKind::Message), QStringList{InvoicesCreated});
    QCOMPARE(recorder.shown.size(), std::size_t(1));
    QVERIFY(watcher.saved);
    QVERIFY(watcher.positions.size() > 50);
    QVERIFY(watcher.sawBetween(0, 300));
    QCOMPARE(window.findChild<ProgressGauge*>(QStringLiteral("Gauge1"))->maximum(), 300);
    QCOMPARE(readRows("invsort.dat", FixedColumns), fixedBefore);
    QVERIFY(readRows("invsort.dat", {"recordid"}, "idxkey") != orderBefore);

    const std::int32_t today = store::dateOf(store::currentDateTime()).day;
    const std::regex key("0|[1-9][0-9]{0,4}");
    const std::regex amount("[1-9][0-9]{3}\\.[0-9]{2}");
    const std::regex date("[0-9]{2}/[0-9]{2}/[0-9]{2}");
    for (const auto& row : readRows("invsort.dat", DrawnColumns)) {
        QVERIFY2(std::regex_match(row[0], key) && std::stoi(row[0]) <= 99998, row[0].c_str());
        QVERIFY2(row[1].size() == 8 && std::stoi(row[1]) >= 10000000 && std::stoi(row[1]) <= 99999998,
                 row[1].c_str());
        QVERIFY2(std::regex_match(row[2], date), row[2].c_str());
        const std::int32_t day = store::parseDate(row[2]).day;
        QVERIFY2(day <= today && day >= today - 699, row[2].c_str());
        QVERIFY2(std::regex_match(row[3], amount), row[3].c_str());
    }
    QVERIFY(openableExclusively("invsort.dat"));
}

void GenerationWindowTest::regenerationOfAnEmptyTableStillReportsANewTest()
{
    RecordingMessages recorder;
    TempDir folder;
    makeTable(folder, QStringLiteral("invsort"));
    Trewritean window;
    window.exec();
    QCOMPARE(recorder.texts(BoxKind::Message), QStringList{InvoicesCreated});
    QCOMPARE(recorder.shown.size(), std::size_t(1));
    QVERIFY(readRows("invsort.dat", {"recordid"}).empty());
}

void GenerationWindowTest::tableHeldByAnotherProcessIsRefusedAndLeftAsItWas()
{
    RecordingMessages recorder;
    TempDir folder;
    makeTable(folder, QStringLiteral("numeric"));
    makeTable(folder, QStringLiteral("invsort"));
    insertNumbers(3);
    insertInvoices(20);
    const Rows numbersBefore = readRows("numeric.dat", numericColumns("n"));
    const Rows invoicesBefore = readRows("invsort.dat", DrawnColumns);
    {
        TableHolder holder(tablePath("numeric.dat"));
        QVERIFY(holder.ready);
        Tnewnumerictestform window;
        window.exec();
        QVERIFY(!window.isVisible());
    }
    Trewritean invoices;
    {
        TableHolder holder(tablePath("invsort.dat"));
        QVERIFY(holder.ready);
        invoices.exec();
        QVERIFY(!invoices.isVisible());
    }
    QCOMPARE(recorder.texts(BoxKind::Error), (QStringList{NumericRefused, InvoicesRefused}));
    QCOMPARE(recorder.shown.size(), std::size_t(2));
    QCOMPARE(readRows("numeric.dat", numericColumns("n")), numbersBefore);
    QCOMPARE(readRows("invsort.dat", DrawnColumns), invoicesBefore);

    // Once the other process has let go, the same window works again.
    recorder.clear();
    invoices.exec();
    QCOMPARE(recorder.texts(BoxKind::Message), QStringList{InvoicesCreated});
    QVERIFY(readRows("invsort.dat", DrawnColumns) != invoicesBefore);
}

void GenerationWindowTest::failurePartWayIsShownAndLeavesTheTableClosed_data()
{
    QTest::addColumn<bool>("numeric");
    QTest::newRow("numeric") << true;
    QTest::newRow("alphanumeric") << false;
}

// The disk fills at the first file call after the open; the run must not
// claim success, and nobody may stay locked out of the table.
void GenerationWindowTest::failurePartWayIsShownAndLeavesTheTableClosed()
{
    QFETCH(bool, numeric);
    RecordingMessages recorder;
    TempDir folder;
    makeTable(folder, numeric ? QStringLiteral("numeric") : QStringLiteral("invsort"));
    if (!numeric) insertInvoices(200);
    const char* name = numeric ? "numeric.dat" : "invsort.dat";

    testing_support::FaultyFileSystem files;
    {
        store::StoreTable probe("probe", files);
        probe.setTableName(tablePath(name));
        probe.setExclusive(true);
        probe.setActive(true);
    }
    const long openCalls = files.plan.calls;
    files.plan.arm(testing_support::Fault::DiskFull, openCalls + 1);
    std::unique_ptr<QDialog> window;
    if (numeric)
        window = std::make_unique<Tnewnumerictestform>(files);
    else
        window = std::make_unique<Trewritean>(files);
    window->exec();

    QVERIFY(files.plan.fired);
    QCOMPARE(recorder.texts(BoxKind::ErrorDisplay).size(), 1);
    QCOMPARE(recorder.shown.size(), std::size_t(1));
    QVERIFY(!window->isVisible());
    QVERIFY(openableExclusively(name));
}

// An exclusive table writes its rows back when it is closed; a full disk
// then is the run's failure, not its success.
void GenerationWindowTest::numericRowsThatCannotReachTheDiskAtTheCloseAreNoSuccess()
{
    RecordingMessages recorder;
    TempDir folder;
    makeTable(folder, QStringLiteral("numeric"));
    testing_support::FaultyFileSystem files;
    {
        Tnewnumerictestform counted(files);
        counted.exec();
    }
    const long lastCall = files.plan.calls - 1;
    recorder.shown.clear();
    files.plan.arm(testing_support::Fault::DiskFull, lastCall);
    Tnewnumerictestform window(files);
    window.exec();

    QVERIFY(files.plan.fired);
    QCOMPARE(recorder.texts(BoxKind::ErrorDisplay).size(), 1);
    QCOMPARE(recorder.shown.size(), std::size_t(1));
    QVERIFY(!window.isVisible());
    store::StoreTable check("check");
    check.setTableName(tablePath("numeric.dat"));
    check.setExclusive(true);
    try {
        check.setActive(true);
    } catch (const store::StoreError& error) {
        QFAIL((std::string(error.what()) + " after a fault on " + files.plan.firedOn).c_str());
    }
}

QTEST_MAIN(GenerationWindowTest)
#include "generationwindow_test.moc"
