// SPDX-License-Identifier: GPL-3.0-or-later
// The numeric test window over a real numeric.dat in a fresh folder: its
// character filter, auto-advance on the release of a digit key, the field
// length, the large display, the ways out of a run, and its place in the
// main window's commands and rescale.

#include <functional>
#include <memory>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "config/programstate.h"
#include "support/modal.h"
#include "support/numerictable.h"
#include "support/recordingmessages.h"
#include "testing/unumtest.h"
#include "../shell/standins.h"

using testing_support::NumericTable;
using testing_support::RecordingMessages;

namespace {

QLineEdit* edit(QWidget* window, int field)
{
    return window->findChild<QLineEdit*>(QStringLiteral("Edit%1").arg(field));
}

QString textOf(QWidget* window, const char* name)
{
    return window->findChild<QLabel*>(QString::fromLatin1(name))->text();
}

}  // namespace

class NumericTestFormTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void withoutTheDecimalPointOnlyDigitsAreTyped();
    void withTheDecimalPointThePointIsTypedAndDecimalsShown();
    void ctrlVPastesAndCtrlCIsDiscarded();
    void releasingTheLastDigitAdvances();
    void releasingTheLastDigitOfField25GoesToTheNextRecord();
    void releasingThePointNeverAdvances();
    void aFieldTakesSixteenCharactersAtMost();
    void largeDisplayFollowsTheFocus();
    void onlyCancelPastTheGateEndsTheRun();
    void theEndedRunStaysLockedOnScreen();
    void mainWindowOpensTheWindowAndRescaleRebuildsIt();

private:
    // Shows a fresh window over a table whose row r, field f holds value(r, f).
    void showWindow(std::function<int(int, int)> value = {});

    std::unique_ptr<RecordingMessages> recorder;
    std::unique_ptr<NumericTable> table;
    std::unique_ptr<Tnumerictestform> window;
    bool passwordAccepted = true;
    int passwordAsked = 0;
};

void NumericTestFormTest::init()
{
    recorder = std::make_unique<RecordingMessages>();
    Settings = SettingsRecord();
    Settings.realtime = 5;
    Settings.practicetime = 2;
    RealMode = true;
    passwordAccepted = true;
    passwordAsked = 0;
}

void NumericTestFormTest::cleanup()
{
    testing_support::forgetModalActions();
    window.reset();
    table.reset();
    recorder.reset();
}

void NumericTestFormTest::showWindow(std::function<int(int, int)> value)
{
    table = std::make_unique<NumericTable>(200, std::move(value));
    window = std::make_unique<Tnumerictestform>([this] {
        ++passwordAsked;
        return passwordAccepted;
    });
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QCOMPARE(QApplication::focusWidget(), edit(window.get(), 1));
}

void NumericTestFormTest::withoutTheDecimalPointOnlyDigitsAreTyped()
{
    showWindow();
    QTest::keyClicks(edit(window.get(), 1), QStringLiteral("1a.2 x-3"));
    QCOMPARE(edit(window.get(), 1)->text(), QStringLiteral("123"));
    QCOMPARE(textOf(window.get(), "DBText1"), QStringLiteral("101"));
    QCOMPARE(textOf(window.get(), "DBText25"), QStringLiteral("125"));
}

void NumericTestFormTest::withTheDecimalPointThePointIsTypedAndDecimalsShown()
{
    Settings.usedecimal = true;
    showWindow();
    QTest::keyClicks(edit(window.get(), 1), QStringLiteral("1a.2"));
    QCOMPARE(edit(window.get(), 1)->text(), QStringLiteral("1.2"));
    QCOMPARE(window->sourcePrefix(), std::string("nd"));
    QCOMPARE(textOf(window.get(), "DBText1"), QStringLiteral("10.1"));
    // Enter types nothing, even where the filter lets it through.
    QTest::keyClick(edit(window.get(), 1), Qt::Key_Return);
    QCOMPARE(edit(window.get(), 1)->text(), QStringLiteral("1.2"));
}

void NumericTestFormTest::ctrlVPastesAndCtrlCIsDiscarded()
{
    showWindow();
    QLineEdit* first = edit(window.get(), 1);
    QApplication::clipboard()->setText(QStringLiteral("987"));
    QTest::keyClick(first, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(first->text(), QStringLiteral("987"));
    first->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("unchanged"));
    QTest::keyClick(first, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("unchanged"));
    QCOMPARE(first->text(), QStringLiteral("987"));
}

void NumericTestFormTest::releasingTheLastDigitAdvances()
{
    Settings.autoadvance = true;
    showWindow([](int row, int field) { return row == 1 && field == 1 ? 40712 : 7; });
    QTest::keyClicks(edit(window.get(), 1), QStringLiteral("4071"));
    QCOMPARE(QApplication::focusWidget(), edit(window.get(), 1));
    QTest::keyPress(edit(window.get(), 1), Qt::Key_2);
    QCOMPARE(QApplication::focusWidget(), edit(window.get(), 1));
    QTest::keyRelease(edit(window.get(), 1), Qt::Key_2);
    QCOMPARE(QApplication::focusWidget(), edit(window.get(), 2));
    QCOMPARE(textOf(window.get(), "dbshowfield"), QStringLiteral("7"));
}

void NumericTestFormTest::releasingTheLastDigitOfField25GoesToTheNextRecord()
{
    Settings.autoadvance = true;
    showWindow([](int row, int field) { return row * 10 + field % 10; });
    for (int field = 1; field <= 24; ++field) edit(window.get(), field)->setText(QStringLiteral("1"));
    edit(window.get(), 25)->setFocus();
    QTest::keyClicks(edit(window.get(), 25), QStringLiteral("15"));
    QVERIFY(window->windowTitle().endsWith(QStringLiteral("(Record: 2)")));
    QCOMPARE(QApplication::focusWidget(), edit(window.get(), 1));
    QCOMPARE(edit(window.get(), 25)->text(), QString());
    QCOMPARE(textOf(window.get(), "DBText1"), QStringLiteral("21"));
    QCOMPARE(runState(TestKind::numeric).KeyedValues.cell(1, 25), std::string("15"));
}

void NumericTestFormTest::releasingThePointNeverAdvances()
{
    Settings.usedecimal = true;
    Settings.autoadvance = true;
    showWindow([](int row, int field) { return row == 1 && field == 1 ? 125 : 7; });
    QCOMPARE(runState(TestKind::numeric).ExpectedLength, 4);
    QTest::keyClicks(edit(window.get(), 1), QStringLiteral("12."));
    QCOMPARE(QApplication::focusWidget(), edit(window.get(), 1));
    QTest::keyClick(edit(window.get(), 1), Qt::Key_Backspace);
    QTest::keyClicks(edit(window.get(), 1), QStringLiteral(".5"));
    QCOMPARE(QApplication::focusWidget(), edit(window.get(), 2));
}

void NumericTestFormTest::aFieldTakesSixteenCharactersAtMost()
{
    showWindow();
    QTest::keyClicks(edit(window.get(), 3), QStringLiteral("12345678901234567890"));
    QCOMPARE(edit(window.get(), 3)->text(), QStringLiteral("1234567890123456"));
    QCOMPARE(edit(window.get(), 3)->property("tag").toInt(), 3);
}

void NumericTestFormTest::largeDisplayFollowsTheFocus()
{
    showWindow();
    QCOMPARE(textOf(window.get(), "dbshowfield"), QStringLiteral("101"));
    QTest::keyClick(edit(window.get(), 1), Qt::Key_Up);
    QCOMPARE(textOf(window.get(), "dbshowfield"), QStringLiteral("125"));
    auto* display = window->findChild<QLabel*>(QStringLiteral("DBText25"));
    QVERIFY(display->font().bold());
    window->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->setFocus(Qt::MouseFocusReason);
    QCOMPARE(textOf(window.get(), "dbshowfield"), QString());
    QVERIFY(!display->font().bold());
}

void NumericTestFormTest::onlyCancelPastTheGateEndsTheRun()
{
    showWindow();
    QTest::keyClick(edit(window.get(), 1), Qt::Key_5);
    QTest::keyClick(edit(window.get(), 1), Qt::Key_Escape);
    window->close();
    QVERIFY(window->isVisible());

    passwordAccepted = false;
    auto* cancel = window->findChild<QPushButton*>(QStringLiteral("BitBtn1"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QCOMPARE(passwordAsked, 1);
    QVERIFY(window->isVisible());
    QVERIFY(window->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());

    passwordAccepted = true;
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), int(QDialog::Rejected));
    QVERIFY(!window->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
    QVERIFY(recorder->shown.empty());
}

void NumericTestFormTest::theEndedRunStaysLockedOnScreen()
{
    // A practice run without its report is not scored and not closed.
    RealMode = false;
    Settings.practicetime = 0;
    showWindow();
    QTest::keyClick(edit(window.get(), 1), Qt::Key_4);
    QTRY_COMPARE_WITH_TIMEOUT(recorder->texts(testing_support::BoxKind::Message),
                              QStringList{QStringLiteral("Test is complete...")}, 3000);
    QVERIFY(window->isVisible());
    QVERIFY(!edit(window.get(), 1)->isEnabled());
    QVERIFY(!window->findChild<QPushButton*>(QStringLiteral("nextscreenbtn"))->isEnabled());
    QCOMPARE(textOf(window.get(), "timeLabel"), QStringLiteral("Time remaining: 0.00"));
    QCOMPARE(edit(window.get(), 1)->text(), QStringLiteral("4"));
}

void NumericTestFormTest::mainWindowOpensTheWindowAndRescaleRebuildsIt()
{
    testing_support::StandInProgram program(false, true);
    program.dbfuncs->row.practicetime = 2;
    program.zmain().show();
    QDialog* first = program.windows.numerictestform.window();
    QVERIFY(qobject_cast<Tnumerictestform*>(first));
    const QSize designed = first->size();

    // Rebuilt, the window names the table in the folder ProgramDir now holds.
    table = std::make_unique<NumericTable>();
    program.settingsSave = [] { Settings.scalefactor = 20; };
    program.zmain().Settings1Click();
    QDialog* rebuilt = program.windows.numerictestform.window();
    QVERIFY(qobject_cast<Tnumerictestform*>(rebuilt));
    QCOMPARE(rebuilt->size(), designed * 1.2);

    QString caption;
    testing_support::whenModalOpens([&caption](QWidget* modal) {
        caption = modal->windowTitle();
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
    });
    program.zmain().Practice1Click();
    QCOMPARE(caption, QStringLiteral("2 minute numeric practice mode test in progress (Record: 1)"));
    QVERIFY(!RealMode);
}

QTEST_MAIN(NumericTestFormTest)
#include "numerictestform_test.moc"
