// SPDX-License-Identifier: GPL-3.0-or-later
// The import window against real tables in a fresh folder: a file with a
// problem changes nothing, good files land whole and pass the table check,
// a table another copy holds is refused, the shipped rows come back, and a
// real alphanumeric test on imported names is scored.

#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "generation/uimport.h"
#include "support/invoicetable.h"
#include "support/output.h"
#include "support/recordingmessages.h"
#include "support/tableholder.h"
#include "support/tables.h"
#include "testing/fakerunwindow.h"
#include "testing/ualpphanum.h"

using namespace testing_support;
using namespace testing_support::invoices;

namespace {

using Rows = std::vector<std::vector<std::string>>;
const std::vector<std::string> Names{"recordid", "FIRST", "LAST", "STREET", "CITY"};

Rows readRows(const std::string& file, const std::vector<std::string>& columns, const std::string& index = "")
{
    store::StoreTable table("read");
    table.setTableName(ProgramDir + file);
    table.setIndexName(index);
    table.setActive(true);
    return table.VisibleRows(columns);
}

// The file's rows: numbers when numeric, else names made from the row number.
std::string writeFile(bool numeric, int rows, const std::function<std::string(int)>& line = {})
{
    const std::string path = ProgramDir + "import.csv";
    std::ofstream file(path);
    if (!numeric) file << "LAST,FIRST,CITY,STREET\n";
    for (int row = 1; row <= rows; ++row) {
        const std::string n = std::to_string(row);
        if (line)
            file << line(row) << "\n";
        else if (!numeric)
            file << "Lee" << n << ",Ann" << n << ",Town" << n << "," << n << " Elm St\n";
        else
            for (int field = 1; field <= 25; ++field) file << row * 1000 + field << (field < 25 ? "," : "\n");
    }
    return path;
}

QPushButton* button(QWidget& form, const char* name)
{
    return form.findChild<QPushButton*>(QString::fromLatin1(name));
}

std::string verified(const std::string& file)
{
    return outputOf(std::string(TABLETOOL) + " verify " + ProgramDir + file);
}

}  // namespace

class ImportWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder = std::make_unique<TempDir>();
        ProgramDir = folder->path().string() + "/";
        QCOMPARE(std::system((std::string(MAKETABLES) + " " + MOVARA_DATA_DIR + " " + ProgramDir + " >/dev/null").c_str()), 0);
        Settings = SettingsRecord();
    }
    void cleanup() { folder.reset(); }

    void aProblemKeepsImportDisabledAndCancelChangesNothing();
    void goodFilesLandWhole_data();
    void goodFilesLandWhole();
    void aTableAnotherCopyHoldsIsRefused();
    void restoreAsksFirstAndPutsBackTheShippedRows();
    void anAlphanumericTestOnImportedNamesIsScored();

private:
    std::unique_ptr<TempDir> folder;
};

void ImportWindowTest::aProblemKeepsImportDisabledAndCancelChangesNothing()
{
    RecordingMessages recorder;
    const std::vector<std::uint8_t> before = readFile(ProgramDir + "invsort.dat");
    Timportform form(ImportKind::Invoices);
    QVERIFY(form.loadFile(QString::fromStdString(writeFile(false, 60, [](int row) {
        return row == 7 ? std::string("Lee,Ann,Town,\"1 Elm St") : "Lee,Ann" + std::to_string(row) + ",Town,1 Elm St";
    }))));
    QVERIFY(!button(form, "importbtn")->isEnabled());
    auto* problems = form.findChild<QListWidget*>(QStringLiteral("problemslist"));
    QCOMPARE(problems->item(0)->text(), QStringLiteral("line 8, column 4: the quoted field is not closed"));
    button(form, "cancelbtn")->click();
    QCOMPARE(readFile(ProgramDir + "invsort.dat"), before);
    QVERIFY(recorder.shown.empty());
}

void ImportWindowTest::goodFilesLandWhole_data()
{
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<int>("rows");
    QTest::newRow("51 numeric rows") << true << 51;
    QTest::newRow("200 numeric rows") << true << 200;
    QTest::newRow("1,900 invoice rows") << false << 1900;
}

void ImportWindowTest::goodFilesLandWhole()
{
    QFETCH(bool, numeric);
    QFETCH(int, rows);
    RecordingMessages recorder;
    Timportform form(numeric ? ImportKind::Numeric : ImportKind::Invoices);
    QVERIFY(form.loadFile(QString::fromStdString(writeFile(numeric, rows))));
    button(form, "importbtn")->click();
    QCOMPARE(recorder.shown.size(), std::size_t(1));
    QVERIFY(recorder.shown[0].text.contains(QString::number(rows)));
    const std::string file = numeric ? "numeric.dat" : "invsort.dat";
    QCOMPARE(verified(file), std::string("OK\n"));
    const Rows stored = readRows(file, numeric ? std::vector<std::string>{"n1", "n25", "nd1"} : Names);
    QCOMPARE(int(stored.size()), rows);
    for (int row = 1; row <= rows; ++row) {
        const std::string n = std::to_string(row);
        const std::vector<std::string>& values = stored[std::size_t(row - 1)];
        if (numeric)
            QCOMPARE(values, (std::vector<std::string>{std::to_string(row * 1000 + 1), std::to_string(row * 1000 + 25),
                                                         store::formatFloat(double(row))}));
        else
            QCOMPARE(values, (std::vector<std::string>{n, "Ann" + n, "Lee" + n, n + " Elm St", "Town" + n}));
    }
    if (!numeric)
        for (const auto& drawn : readRows(file, {"INVOICE", "AMOUNT"}))
            QVERIFY(drawn[0] >= "10000000" && drawn[0] <= "99999998" && drawn[1].size() == 7);
}

void ImportWindowTest::aTableAnotherCopyHoldsIsRefused()
{
    RecordingMessages recorder;
    const Rows before = readRows("invsort.dat", Names);
    Timportform form(ImportKind::Invoices);
    QVERIFY(form.loadFile(QString::fromStdString(writeFile(false, 51))));
    {
        TableHolder holder(ProgramDir + "invsort.dat");
        QVERIFY(holder.ready);
        button(form, "importbtn")->click();
    }
    QVERIFY(button(form, "importbtn")->isEnabled());
    {
        TableHolder holder(ProgramDir + "invsort.dat", true);
        QVERIFY(holder.ready);
        QVERIFY(!Timportform(ImportKind::Invoices).loadFile(QString::fromStdString(ProgramDir + "import.csv")));
    }
    const QString refused = QStringLiteral("Could not get exclusive use of database. Try later.");
    QCOMPARE(recorder.texts(BoxKind::Error), (QStringList{refused, refused}));
    QCOMPARE(readRows("invsort.dat", Names), before);
}

void ImportWindowTest::restoreAsksFirstAndPutsBackTheShippedRows()
{
    RecordingMessages recorder;
    const Rows shipped = readRows("invsort.dat", Names);
    Timportform form(ImportKind::Invoices);
    QVERIFY(form.loadFile(QString::fromStdString(writeFile(false, 51))));
    button(form, "importbtn")->click();
    recorder.answers = {false, true};
    restoreShippedInvoices(nullptr);
    QCOMPARE(readRows("invsort.dat", Names).size(), std::size_t(51));
    restoreShippedInvoices(nullptr);
    QCOMPARE(readRows("invsort.dat", Names), shipped);
    QCOMPARE(recorder.texts(BoxKind::Confirm).size(), 2);
    QCOMPARE(verified("invsort.dat"), std::string("OK\n"));
}

// The first record in the test's order keyed whole, one letter of the last
// name wrong.
void ImportWindowTest::anAlphanumericTestOnImportedNamesIsScored()
{
    RecordingMessages recorder;
    Timportform import(ImportKind::Invoices);
    QVERIFY(import.loadFile(QString::fromStdString(writeFile(false, 51))));
    button(import, "importbtn")->click();
    const std::vector<std::string> first =
        readRows("invsort.dat", {"INVOICE", "DATE", "AMOUNT", "FIRST", "LAST", "STREET", "CITY"}, "idxkey").front();
    Settings.realtime = 5;
    RealMode = true;
    FakeClock clock;
    keysSent() = 0;
    Talphanumerictestform form({}, clock);
    QVERIFY(showActive(form));
    std::string last = first[4];
    last[0] = last[0] == 'L' ? 'X' : 'L';
    const std::vector<std::string> keyed{first[0],        first[1].substr(0, 2) + first[1].substr(3, 2) + first[1].substr(6),
                                         first[2].substr(0, 4) + first[2].substr(5), first[3], last, first[5], first[6]};
    for (std::size_t field = 0; field < keyed.size(); ++field) {
        type(QString::fromStdString(keyed[field]));
        if (field + 1 < keyed.size()) press(Qt::Key_Return);
    }
    clock.now += 300.5;
    QVERIFY(QTest::qWaitFor([&form] { return !form.isVisible(); }, 5000));
    const Rows results = readRows("results.dat", {"TOTALKS", "TOTERRS", "TOTALFLDS", "FLDERRS", "ERRORS"});
    QCOMPARE(results.size(), std::size_t(1));
    // The last field, keyed whole, counts its Enter although none was pressed.
    QCOMPARE(results[0][0], std::to_string(keysSent() + 1));
    QCOMPARE((std::vector<std::string>{results[0][1], results[0][2], results[0][3]}),
             (std::vector<std::string>{"1", "7", "1"}));
    QVERIFY(results[0][4].find("Keyed    >" + last + "\r\nOn Record>" + first[4]) != std::string::npos);
}

QTEST_MAIN(ImportWindowTest)
#include "importwindow_test.moc"
