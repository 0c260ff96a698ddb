// SPDX-License-Identifier: GPL-3.0-or-later
#include <QTest>

#include "config/programstate.h"
#include "config/udbfuncs.h"
#include "support/configtable.h"
#include "support/recordingmessages.h"

using testing_support::BoxKind;
using testing_support::ConfigTable;
using testing_support::RecordingMessages;
using testing_support::TempDir;

class DbfuncsTest : public QObject {
    Q_OBJECT

private slots:
    void init();

    void loadHoldsEveryColumnWithThePasswordUpperCased();
    void tableWithoutFilterLoadsUpToSortAndKeepsTheRest();
    void missingTableIsReportedOnceAndChangesNothing();
    void namesAreStoredAsTypedAndAMissingTableIsSilent();
    void passwordSaveFailsOnlyWhileAnotherHandleHoldsTheTableExclusively();

private:
    bool readErrorShownOnlyOnce() const
    {
        return recorder.shown.size() == 1 &&
               recorder.texts(BoxKind::Error) == QStringList{QStringLiteral("Error reading config.dat")};
    }

    RecordingMessages recorder;
};

void DbfuncsTest::init()
{
    Settings = SettingsRecord();
    recorder.clear();
}

void DbfuncsTest::loadHoldsEveryColumnWithThePasswordUpperCased()
{
    auto row = testing_support::shippedConfigRow();
    row["password"] = "secret";
    row["fname"] = "Zoë";
    row["scalefactor"] = "-10";
    row["sort"] = "3";
    row["autoadvance"] = "true";
    ConfigTable table(row);
    Tdbfuncs dbfuncs;
    dbfuncs.getconfig();

    QVERIFY(recorder.shown.empty());
    QCOMPARE(Settings.realtime, 5);
    QCOMPARE(Settings.practicetime, 2);
    QCOMPARE(Settings.fname, QStringLiteral("Zoë"));
    QCOMPARE(Settings.password, QStringLiteral("SECRET"));
    QVERIFY(Settings.presults && Settings.rresults && Settings.showinstructions && Settings.remembername);
    QVERIFY(!Settings.useuppercase && !Settings.usedecimal);
    QCOMPARE(Settings.scalefactor, -10);
    QCOMPARE(Settings.sort, 3);
    QVERIFY(Settings.autoadvance);
    QVERIFY(!dbfuncs.configdb.Active());
    QCOMPARE(table.read("password"), std::string("secret"));
}

void DbfuncsTest::tableWithoutFilterLoadsUpToSortAndKeepsTheRest()
{
    auto row = testing_support::shippedConfigRow();
    row["password"] = "lower";
    row["sort"] = "2";
    ConfigTable table(row, {"filter"});
    Settings.filter = 3;
    Settings.autoadvance = true;
    Tdbfuncs dbfuncs;
    dbfuncs.getconfig();

    QVERIFY(readErrorShownOnlyOnce());
    QCOMPARE(Settings.realtime, 5);
    QCOMPARE(Settings.sort, 2);
    QCOMPARE(Settings.password, QStringLiteral("lower"));
    QCOMPARE(Settings.filter, 3);
    QVERIFY(Settings.autoadvance);
    QVERIFY(!dbfuncs.configdb.Active());
}

void DbfuncsTest::missingTableIsReportedOnceAndChangesNothing()
{
    TempDir empty;
    testing_support::pointProgramDirAt(empty);
    Settings.sort = 7;
    Tdbfuncs dbfuncs;
    dbfuncs.getconfig();
    QVERIFY(readErrorShownOnlyOnce());
    QCOMPARE(Settings.sort, 7);
    QCOMPARE(Settings.realtime, 0);
}

void DbfuncsTest::namesAreStoredAsTypedAndAMissingTableIsSilent()
{
    {
        ConfigTable table;
        Settings.fname = QStringLiteral("Søren");
        Settings.lname = QStringLiteral("O'Neil");
        Tdbfuncs dbfuncs;
        dbfuncs.savename();
        QCOMPARE(table.read("fname"), std::string("Søren"));
        QCOMPARE(table.read("lname"), std::string("O'Neil"));
        QCOMPARE(table.read("realtime"), std::string("5"));
        QVERIFY(!dbfuncs.configdb.Active());
    }
    TempDir empty;
    testing_support::pointProgramDirAt(empty);
    Tdbfuncs dbfuncs;
    dbfuncs.savename();
    QVERIFY(recorder.shown.empty());
    QCOMPARE(Settings.fname, QStringLiteral("Søren"));
    QVERIFY(!std::filesystem::exists(empty.file("config.dat")));
}

void DbfuncsTest::passwordSaveFailsOnlyWhileAnotherHandleHoldsTheTableExclusively()
{
    ConfigTable table;
    Tdbfuncs dbfuncs;
    Settings.password = QStringLiteral("first");
    QVERIFY(dbfuncs.savepassword());
    QCOMPARE(table.read("password"), std::string("first"));
    QVERIFY(!dbfuncs.configdb.Active());

    store::StoreTable holder("holder");
    holder.setTableName(table.path());
    holder.setExclusive(true);
    holder.setActive(true);
    Settings.password = QStringLiteral("second");
    QVERIFY(!dbfuncs.savepassword());
    holder.setActive(false);
    QCOMPARE(table.read("password"), std::string("first"));
    QVERIFY(recorder.shown.empty());

    QVERIFY(dbfuncs.savepassword());
    QCOMPARE(table.read("password"), std::string("second"));
}

QTEST_MAIN(DbfuncsTest)
#include "dbfuncs_test.moc"
