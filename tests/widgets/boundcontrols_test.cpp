// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QButtonGroup>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include "store/storetable.h"
#include "support/faultyfilesystem.h"
#include "support/recordingmessages.h"
#include "support/tables.h"
#include "support/tempdir.h"
#include "widgets/boundcontrols.h"
#include "widgets/boundgrid.h"

using testing_support::BoxKind;
using testing_support::columnSchema;
using testing_support::RecordingMessages;

namespace {

// Three rows of a name, a count, a flag and a note, open at the first.
struct Table {
    Table()
    {
        const std::string path = folder.file("items.dat");
        store::createTable(store::systemFileSystem(), path,
                           testing_support::schemaOf({columnSchema("name", "string", 20), columnSchema("count", "integer"),
                                                      columnSchema("flag", "boolean"), columnSchema("note", "memo")}));
        handle.setTableName(path);
        handle.setActive(true);
        for (auto [name, count, flag, note] : {std::tuple{"alpha", 1, true, "first note"},
                                               std::tuple{"beta", 2, false, "second"},
                                               std::tuple{"gamma", 7, true, "third"}}) {
            handle.BeginInsert();
            handle.WriteValue("name", name);
            handle.WriteValue("count", std::int32_t(count));
            handle.WriteValue("flag", flag);
            handle.WriteValue("note", note);
            handle.PostRow();
        }
        handle.GoFirst();
    }
    testing_support::TempDir folder;
    store::StoreTable handle{"items"};
};

bool showActive(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

}  // namespace

class BoundControlsTest : public QObject {
    Q_OBJECT

private slots:
    void integerTextIsBlankOrAWholeNumberWithin32Bits();
    void controlsFollowTheCursorUnlessDisplayIsSuspended();
    void entryFieldWritesOnLeavingAndRefusesNonIntegers();
    void pickListAndOptionGroupShowOnlyTheirValuesAndWriteIntegers();
    void gridShowsVisibleRowsAndChoosingOneMovesTheCursor();
    void navigatorMovesAndDeletesOnlyAfterConfirmation();
    void gridMoveReadsRowsAgainOnlyWhenTheirNumberChanged();
    void gridReadsOnlyTheRowsItShows();

private:
    RecordingMessages recorder;
};

void BoundControlsTest::integerTextIsBlankOrAWholeNumberWithin32Bits()
{
    for (const char* text : {"", "  ", "0", "-10", "+5", " 12 ", "2147483647", "-2147483648"})
        QVERIFY2(isIntegerText(QString::fromLatin1(text)), text);
    for (const char* text : {"x", "4x", "1.5", "1e3", "2147483648", "--1", "1 2"})
        QVERIFY2(!isIntegerText(QString::fromLatin1(text)), text);
}

void BoundControlsTest::controlsFollowTheCursorUnlessDisplayIsSuspended()
{
    Table table;
    BoundLabel label(table.handle, "NAME");
    BoundMemo memo(table.handle, "note");
    BoundCheckBox flag(QStringLiteral("Flag"), table.handle, "flag");
    BoundEdit count(table.handle, "count");
    QCOMPARE(label.text(), QStringLiteral("alpha"));
    QCOMPARE(memo.toPlainText(), QStringLiteral("first note"));
    QVERIFY(flag.isChecked() && memo.isReadOnly());

    table.handle.GoNext();
    QCOMPARE(label.text(), QStringLiteral("beta"));
    QCOMPARE(count.text(), QStringLiteral("2"));
    QVERIFY(!flag.isChecked());

    table.handle.SuspendDisplay();
    table.handle.GoNext();
    QCOMPARE(label.text(), QStringLiteral("beta"));
    table.handle.ResumeDisplay();
    QCOMPARE(label.text(), QStringLiteral("gamma"));
    QCOMPARE(memo.toPlainText(), QStringLiteral("third"));

    flag.click();
    QCOMPARE(table.handle.EditState(), store::EditStates::Edit);
    QVERIFY(!table.handle.ReadBoolean("flag"));
    table.handle.CancelRow();
    QVERIFY(flag.isChecked());

    table.handle.setActive(false);
    QCOMPARE(label.text(), QString());
    QCOMPARE(count.text(), QString());
}

void BoundControlsTest::entryFieldWritesOnLeavingAndRefusesNonIntegers()
{
    Table table;
    QWidget window;
    auto* count = new BoundEdit(table.handle, "count", &window);
    auto* name = new BoundEdit(table.handle, "name", &window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(count);
    layout->addWidget(name);
    int exits = 0;
    connect(count, &BoundEdit::exited, [&exits] { ++exits; });
    QVERIFY(showActive(window));

    count->setFocus();
    count->selectAll();
    QTest::keyClicks(count, QStringLiteral("17"));
    QCOMPARE(table.handle.EditState(), store::EditStates::Edit);
    QCOMPARE(count->text(), QStringLiteral("17"));
    QCOMPARE(table.handle.ReadInteger("count"), 1);
    QTest::keyClick(count, Qt::Key_Tab);
    QCOMPARE(table.handle.ReadInteger("count"), 17);
    QCOMPARE(exits, 1);

    count->setFocus();
    QTest::keyClicks(count, QStringLiteral("x"));
    QTest::keyClick(count, Qt::Key_Tab);
    QCoreApplication::processEvents();
    QCOMPARE(recorder.texts(BoxKind::ErrorDisplay),
             QStringList{QStringLiteral("'17x' is not a valid integer value for field 'count'")});
    QCOMPARE(QApplication::focusWidget(), count);
    QCOMPARE(exits, 1);
    QCOMPARE(table.handle.ReadInteger("count"), 17);

    // A text column takes any text.
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral(" 4x"));
    count->setFocus();
    QCOMPARE(table.handle.ReadText("name"), std::string("alpha 4x"));
    table.handle.PostRow();
    QCOMPARE(name->text(), QStringLiteral("alpha 4x"));
}

void BoundControlsTest::pickListAndOptionGroupShowOnlyTheirValuesAndWriteIntegers()
{
    Table table;
    BoundPickList list({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("5")}, table.handle, "count");
    BoundOptionGroup group(QStringLiteral("Count"),
                           {QStringLiteral("none"), QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")},
                           table.handle, "count");
    QCOMPARE(list.currentText(), QStringLiteral("1"));
    QCOMPARE(group.buttons()->checkedId(), 1);

    table.handle.GoLast();
    QCOMPARE(list.currentIndex(), -1);
    QCOMPARE(group.buttons()->checkedButton(), nullptr);

    emit list.activated(2);
    QCOMPARE(table.handle.EditState(), store::EditStates::Edit);
    QCOMPARE(table.handle.ReadInteger("count"), 5);
    table.handle.PostRow();
    QCOMPARE(list.currentText(), QStringLiteral("5"));

    group.buttons()->button(3)->click();
    QCOMPARE(table.handle.ReadInteger("count"), 3);
    table.handle.PostRow();
    QCOMPARE(group.buttons()->checkedId(), 3);
    QCOMPARE(list.currentIndex(), -1);
    table.handle.GoFirst();
    QCOMPARE(group.buttons()->checkedId(), 1);
}

void BoundControlsTest::gridShowsVisibleRowsAndChoosingOneMovesTheCursor()
{
    Table table;
    BoundLabel label(table.handle, "name");
    BoundGridModel model(table.handle, {"name", "count"}, {QStringLiteral("Name")});
    QTableView view;
    model.attach(&view);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("beta"));
    QCOMPARE(model.data(model.index(2, 1)).toString(), QStringLiteral("7"));
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("count"));
    QCOMPARE(view.currentIndex().row(), 0);

    table.handle.GoLast();
    QCOMPARE(model.currentRow(), 2);
    QCOMPARE(view.currentIndex().row(), 2);
    emit view.clicked(model.index(1, 1));
    QCOMPARE(table.handle.RowNumber(), 2);
    QCOMPARE(label.text(), QStringLiteral("beta"));

    table.handle.setFilter("name='gamma'");
    table.handle.setFiltered(true);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.currentRow(), 0);
    QCOMPARE(label.text(), QStringLiteral("gamma"));

    table.handle.setActive(false);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.currentRow(), -1);
}

void BoundControlsTest::navigatorMovesAndDeletesOnlyAfterConfirmation()
{
    Table table;
    NavigatorBar bar(table.handle);
    bar.last->click();
    QCOMPARE(table.handle.ReadText("name"), std::string("gamma"));
    bar.prior->click();
    QCOMPARE(table.handle.ReadText("name"), std::string("beta"));

    recorder.answers = {false, true};
    bar.remove->click();
    QCOMPARE(table.handle.RowCount(), 3);
    bar.remove->click();
    QCOMPARE(recorder.texts(BoxKind::Confirm), QStringList(2, QStringLiteral("Delete record?")));
    QCOMPARE(table.handle.RowCount(), 2);
    QCOMPARE(table.handle.ReadText("name"), std::string("gamma"));
    bar.first->click();
    bar.next->click();
    QCOMPARE(table.handle.ReadText("name"), std::string("gamma"));
}

void BoundControlsTest::gridMoveReadsRowsAgainOnlyWhenTheirNumberChanged()
{
    Table table;
    BoundGridModel model(table.handle, {"name"}, {QStringLiteral("Name")});
    int resets = 0;
    connect(&model, &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    table.handle.GoLast();
    QCOMPARE(model.currentRow(), 2);
    table.handle.GoPrior();
    QCOMPARE(model.currentRow(), 1);
    QCOMPARE(resets, 0);

    // Another handle changes a value and adds a row: the change shows once
    // the number of rows differs.
    store::StoreTable other("other");
    other.setTableName(table.handle.TableName());
    other.setActive(true);
    other.GoFirst();
    other.BeginEdit();
    other.WriteValue("name", "aleph");
    other.PostRow();
    other.BeginInsert();
    other.WriteValue("name", "delta");
    other.PostRow();
    table.handle.GoNext();
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("aleph"));
    QCOMPARE(model.index(3, 0).data().toString(), QStringLiteral("delta"));
    QCOMPARE(model.currentRow(), 2);

    table.handle.setFilter("name='delta'");
    table.handle.setFiltered(true);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.currentRow(), 0);
}

// The file calls a grid over a table of that many rows makes to open, paint
// its first screen and show its last row, which it checks.
long callsToShowGrid(int rows)
{
    testing_support::TempDir folder;
    const std::string path = folder.file("many.dat");
    store::createTable(store::systemFileSystem(), path,
                       testing_support::schemaOf({columnSchema("number", "integer"), columnSchema("name", "string", 20)},
                                                 {"number"}));
    {
        store::StoreTable filling("filling");
        filling.setTableName(path);
        filling.setExclusive(true);
        filling.setActive(true);
        for (int number = 1; number <= rows; ++number) {
            filling.BeginInsert();
            filling.WriteValue("number", std::int32_t(number));
            filling.WriteValue("name", "row " + std::to_string(number));
            filling.PostRow();
        }
    }
    testing_support::FaultyFileSystem counting;
    store::StoreTable handle("many", counting);
    handle.setTableName(path);
    handle.setActive(true);
    const long before = counting.plan.calls;
    BoundGridModel model(handle, {"name"}, {QStringLiteral("Name")});
    QTableView view;
    model.attach(&view);
    view.resize(320, 240);
    view.grab();
    if (model.rowCount() != rows) return -1;
    if (model.index(rows - 1, 0).data().toString() != QStringLiteral("row %1").arg(rows)) return -1;
    return counting.plan.calls - before;
}

// A table a hundred times larger costs no more than a few index pages more.
void BoundControlsTest::gridReadsOnlyTheRowsItShows()
{
    const long small = callsToShowGrid(200);
    const long large = callsToShowGrid(20000);
    QVERIFY(small > 0);
    QVERIFY2(large > 0 && large <= small + 8, qPrintable(QStringLiteral("%1 calls against %2").arg(large).arg(small)));
}

QTEST_MAIN(BoundControlsTest)
#include "boundcontrols_test.moc"
