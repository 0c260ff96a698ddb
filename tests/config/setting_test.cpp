// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "config/programstate.h"
#include "config/udbfuncs.h"
#include "config/usetting.h"
#include "shell/application.h"
#include "shell/standins.h"
#include "support/configtable.h"
#include "support/modal.h"
#include "support/recordingmessages.h"
#include "support/tableholder.h"
#include "widgets/boundcontrols.h"
#include "widgets/help.h"
#include "widgets/hints.h"

using testing_support::BoxKind;
using testing_support::ConfigTable;
using testing_support::RecordingMessages;
using testing_support::TableHolder;

namespace {

class CountingDbfuncs : public Tdbfuncs {
public:
    void getconfig() override
    {
        ++getconfigCalls;
        Tdbfuncs::getconfig();
    }
    int getconfigCalls = 0;
};

std::map<std::string, std::string> rowWith(const std::string& column, const std::string& value)
{
    auto row = testing_support::shippedConfigRow();
    row[column] = value;
    return row;
}

bool openActive(QWidget& dialog)
{
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    return QTest::qWaitForWindowActive(&dialog);
}

// Types into a time field over what it holds and leaves it with Tab.
void typeAndTab(BoundEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Tab);
    QCoreApplication::processEvents();
}

// Clicks a check box on its box, where a click counts however wide the control.
void tick(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

void choose(BoundPickList* list, const QString& item)
{
    const int index = list->findText(item);
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// The program with its own settings dialog and configuration access, and
// stand-ins for the test windows.
struct Program {
    Program()
    {
        for (auto [slot, openings] : {std::pair{&windows.numerictestform, &opened.numerictestform},
                                      std::pair{&windows.alphanumerictestform, &opened.alphanumerictestform},
                                      std::pair{&windows.alphatestform, &opened.alphatestform}})
            slot->setFactory([this, openings] {
                ++builds;
                return std::make_unique<testing_support::StandInTestWindow>(*openings);
            });
        buildWindowSet(windows);
    }
    WindowSet windows;
    testing_support::Openings opened;
    int builds = 0;  // of test windows
};

}  // namespace

class SettingTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { testing_support::forgetModalActions(); }

    void captionHelpHintsAndTabOrder();
    void timeAbove30IsRefusedOnLeavingAnd30Or0Pass();
    void storedTimesAbove30AskOnceWhenTheFocusComesBack();
    void nonIntegerTimeIsReportedAndKeepsTheFocus();
    void saveStoresTheChangesAndReloadsSettings();
    void saveWithoutChangeDoesNotReload();
    void saveFromTheKeyboardStoresWhatTheControlsHoldWithoutTheTimeChecks();
    void enterPressesTheFocusedButtonOnly();
    void widthNotInTheListShowsEmptyAndIsKept();
    void cancelDropsTheChanges();
    void changeRefusedForAnotherCopyShowsTheStoredRowAgain();
    void failedPostIsReportedAndKeepsTheDialogOpenWithItsChanges();
    void tableThatCannotBeOpenedKeepsTheDialogShut();
    void scaleChangeSavedRebuildsTestWindowsAndCancelDoesNot();

private:
    RecordingMessages recorder;
    CountingDbfuncs dbfuncs;
    std::function<Tdbfuncs&()> module = [this]() -> Tdbfuncs& { return dbfuncs; };
};

void SettingTest::init()
{
    Settings = SettingsRecord();
    recorder.clear();
    dbfuncs.getconfigCalls = 0;
}

void SettingTest::captionHelpHintsAndTabOrder()
{
    ConfigTable table;
    Tsettingsform dialog(module);
    QVERIFY(openActive(dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Settings"));
    QCOMPARE(helpContextOf(dialog.DBComboBox2), 7000);
    QCOMPARE(hintOf(dialog.DBComboBox2), QStringLiteral("Increase/decrease the test window size"));
    QCOMPARE(dialog.DBEdit1->toolTip(), QStringLiteral("Sets the time allowed for real mode tests. Maximum is 30"));
    QVERIFY(!(dialog.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint)));

    const QList<QWidget*> expected{dialog.DBEdit2,     dialog.DBCheckBox1, dialog.DBCheckBox2, dialog.DBCheckBox3,
                                   dialog.DBCheckBox4, dialog.DBComboBox1, dialog.DBCheckBox5, dialog.DBCheckBox6,
                                   dialog.DBComboBox2, dialog.SaveBtn,     dialog.CancelBtn};
    QCOMPARE(QApplication::focusWidget(), dialog.DBEdit1);
    QList<QWidget*> visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCoreApplication::processEvents();
        visited.append(QApplication::focusWidget());
    }
    QCOMPARE(visited, expected);
    QVERIFY(recorder.shown.empty());
}

void SettingTest::timeAbove30IsRefusedOnLeavingAnd30Or0Pass()
{
    ConfigTable table;
    Tsettingsform dialog(module);
    QVERIFY(openActive(dialog));
    QCOMPARE(dialog.DBEdit1->text(), QStringLiteral("5"));

    typeAndTab(dialog.DBEdit1, QStringLiteral("31"));
    QCOMPARE(recorder.texts(BoxKind::Error), QStringList{QStringLiteral("Maximum time is 30")});
    QCOMPARE(QApplication::focusWidget(), dialog.DBEdit1);
    QCOMPARE(dialog.DBEdit1->text(), QStringLiteral("31"));
    QCOMPARE(dialog.configdb.EditState(), store::EditStates::Edit);

    recorder.clear();
    typeAndTab(dialog.DBEdit1, QStringLiteral("30"));
    QCOMPARE(QApplication::focusWidget(), dialog.DBEdit2);
    typeAndTab(dialog.DBEdit2, QStringLiteral("0"));
    QCOMPARE(QApplication::focusWidget(), dialog.DBCheckBox1);
    QVERIFY(recorder.shown.empty());
    QCOMPARE(dialog.configdb.ReadInteger("realtime"), 30);
    QCOMPARE(dialog.configdb.ReadInteger("practicetime"), 0);

    typeAndTab(dialog.DBEdit2, QStringLiteral("45"));
    QCOMPARE(recorder.texts(BoxKind::Error), QStringList{QStringLiteral("Maximum time is 30")});
    QCOMPARE(QApplication::focusWidget(), dialog.DBEdit2);

    // Clicking Save leaves the field too: the same refusal, and nothing stored.
    QTest::mouseClick(dialog.SaveBtn, Qt::LeftButton);
    QCoreApplication::processEvents();
    QCOMPARE(recorder.texts(BoxKind::Error).size(), 2);
    QVERIFY(dialog.isVisible());
    QCOMPARE(QApplication::focusWidget(), dialog.DBEdit2);
    QCOMPARE(table.read("practicetime"), std::string("2"));
}

void SettingTest::storedTimesAbove30AskOnceWhenTheFocusComesBack()
{
    auto row = rowWith("realtime", "31");
    row["practicetime"] = "40";
    ConfigTable table(row);
    Tsettingsform dialog(module);
    QVERIFY(openActive(dialog));
    QTest::keyClick(dialog.DBEdit1, Qt::Key_Tab);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(recorder.texts(BoxKind::Error), QStringList{QStringLiteral("Maximum time is 30")});
    QCOMPARE(QApplication::focusWidget(), dialog.DBEdit1);
}

void SettingTest::nonIntegerTimeIsReportedAndKeepsTheFocus()
{
    ConfigTable table;
    Tsettingsform dialog(module);
    QVERIFY(openActive(dialog));
    typeAndTab(dialog.DBEdit1, QStringLiteral("4x"));
    QCOMPARE(recorder.texts(BoxKind::ErrorDisplay),
             QStringList{QStringLiteral("'4x' is not a valid integer value for field 'realtime'")});
    QCOMPARE(recorder.shown.size(), std::size_t(1));
    QCOMPARE(QApplication::focusWidget(), dialog.DBEdit1);
    QCOMPARE(dialog.DBEdit1->selectedText(), QStringLiteral("4x"));
    QCOMPARE(dialog.configdb.ReadInteger("realtime"), 5);

    // Save does not store it either, and says why once; an emptied field
    // stores no value.
    QTest::mouseClick(dialog.SaveBtn, Qt::LeftButton);
    QCoreApplication::processEvents();
    QVERIFY(dialog.isVisible());
    QCOMPARE(recorder.texts(BoxKind::ErrorDisplay).size(), 2);
    QCOMPARE(QApplication::focusWidget(), dialog.DBEdit1);
    typeAndTab(dialog.DBEdit1, QString());
    QTest::mouseClick(dialog.SaveBtn, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(table.read("realtime"), std::string());
    QCOMPARE(Settings.realtime, 0);
}

void SettingTest::saveStoresTheChangesAndReloadsSettings()
{
    ConfigTable table(rowWith("password", "abc"));
    Tsettingsform dialog(module);
    QVERIFY(openActive(dialog));
    QVERIFY(dialog.DBCheckBox5->isChecked());
    typeAndTab(dialog.DBEdit2, QStringLiteral("12"));
    tick(dialog.DBCheckBox4);
    tick(dialog.DBCheckBox5);
    choose(dialog.DBComboBox1, QStringLiteral("6"));
    QTest::mouseClick(dialog.SaveBtn, Qt::LeftButton);

    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.configdb.Active());
    QCOMPARE(dbfuncs.getconfigCalls, 1);
    QCOMPARE(table.read("practicetime"), std::string("12"));
    QCOMPARE(table.read("width"), std::string("6"));
    QCOMPARE(Settings.practicetime, 12);
    QVERIFY(Settings.autoadvance);
    QVERIFY(!Settings.presults);
    QCOMPARE(Settings.width, 6);
    QCOMPARE(Settings.password, QStringLiteral("ABC"));
    QVERIFY(recorder.shown.empty());
}

void SettingTest::saveWithoutChangeDoesNotReload()
{
    ConfigTable table;
    Tsettingsform dialog(module);
    QVERIFY(openActive(dialog));
    QTest::keyClick(dialog.DBEdit1, Qt::Key_Tab);
    QTest::mouseClick(dialog.SaveBtn, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dbfuncs.getconfigCalls, 0);
    QVERIFY(!dialog.configdb.Active());
}

void SettingTest::saveFromTheKeyboardStoresWhatTheControlsHoldWithoutTheTimeChecks()
{
    ConfigTable table;
    Tsettingsform dialog(module);
    QVERIFY(openActive(dialog));
    tick(dialog.DBCheckBox1);
    // Typed but not left: Alt+S takes the text as it stands.
    dialog.DBEdit1->setFocus();
    dialog.DBEdit1->selectAll();
    QTest::keyClicks(dialog.DBEdit1, QStringLiteral("4x"));
    QTest::keyClick(dialog.DBEdit1, Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(recorder.texts(BoxKind::ErrorDisplay),
                 QStringList{QStringLiteral("'4x' is not a valid integer value for field 'realtime'")});
    QVERIFY(dialog.isVisible());
    QCOMPARE(QApplication::focusWidget(), dialog.DBEdit1);
    QCOMPARE(table.read("useuppercase"), std::string("False"));

    recorder.clear();
    dialog.DBEdit1->selectAll();
    QTest::keyClicks(dialog.DBEdit1, QStringLiteral("31"));
    QTest::keyClick(dialog.DBEdit1, Qt::Key_S, Qt::AltModifier);
    QTRY_VERIFY(!dialog.isVisible());
    QVERIFY(recorder.shown.empty());
    QCOMPARE(table.read("realtime"), std::string("31"));
    QCOMPARE(table.read("useuppercase"), std::string("True"));
    QCOMPARE(dbfuncs.getconfigCalls, 1);
    QCOMPARE(Settings.realtime, 31);
}

void SettingTest::enterPressesTheFocusedButtonOnly()
{
    ConfigTable table;
    Tsettingsform dialog(module);
    QVERIFY(openActive(dialog));
    typeAndTab(dialog.DBEdit2, QStringLiteral("7"));
    QTest::keyClick(dialog.DBCheckBox1, Qt::Key_Return);
    QVERIFY(dialog.isVisible());

    dialog.SaveBtn->setFocus();
    QTest::keyClick(dialog.SaveBtn, Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(table.read("practicetime"), std::string("7"));
    QCOMPARE(Settings.practicetime, 7);

    QVERIFY(openActive(dialog));
    tick(dialog.DBCheckBox6);
    dialog.CancelBtn->setFocus();
    QTest::keyClick(dialog.CancelBtn, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(table.read("rresults"), std::string("True"));
    QCOMPARE(dbfuncs.getconfigCalls, 1);
}

void SettingTest::widthNotInTheListShowsEmptyAndIsKept()
{
    ConfigTable table(rowWith("width", "3"));
    Tsettingsform dialog(module);
    QVERIFY(openActive(dialog));
    QCOMPARE(dialog.DBComboBox1->currentIndex(), -1);
    QCOMPARE(dialog.DBComboBox1->currentText(), QString());
    QCOMPARE(dialog.DBComboBox2->currentText(), QStringLiteral("0"));
    tick(dialog.DBCheckBox1);
    QTest::mouseClick(dialog.SaveBtn, Qt::LeftButton);
    QCOMPARE(table.read("width"), std::string("3"));
    QCOMPARE(table.read("useuppercase"), std::string("True"));
    QCOMPARE(Settings.width, 3);
}

void SettingTest::cancelDropsTheChanges()
{
    ConfigTable table;
    Tsettingsform dialog(module);
    QVERIFY(openActive(dialog));
    typeAndTab(dialog.DBEdit1, QStringLiteral("9"));
    choose(dialog.DBComboBox2, QStringLiteral("50"));
    dialog.DBEdit2->setFocus();
    QTest::keyClicks(dialog.DBEdit2, QStringLiteral("1x"));
    QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QVERIFY(recorder.shown.empty());
    QCOMPARE(table.read("realtime"), std::string("5"));
    QCOMPARE(table.read("scalefactor"), std::string("0"));
    QCOMPARE(dbfuncs.getconfigCalls, 0);

    // Opened again, the dialog shows the stored row.
    QVERIFY(openActive(dialog));
    QCOMPARE(dialog.DBEdit1->text(), QStringLiteral("5"));
    QCOMPARE(dialog.DBComboBox2->currentText(), QStringLiteral("0"));
}

void SettingTest::changeRefusedForAnotherCopyShowsTheStoredRowAgain()
{
    ConfigTable table;
    TableHolder holder(table.path(), TableHolder::Hold::FirstRowInEdit);
    QVERIFY(holder.ready);
    Tsettingsform dialog(module);
    QVERIFY(openActive(dialog));

    tick(dialog.DBCheckBox1);
    dialog.DBComboBox1->setFocus();
    QTest::keyClick(dialog.DBComboBox1, Qt::Key_Down);
    dialog.DBEdit2->setFocus();
    QTest::keyClick(dialog.DBEdit2, Qt::Key_9);
    const QStringList shown = recorder.texts(BoxKind::ErrorDisplay);
    QCOMPARE(shown.size(), 3);
    for (const QString& text : shown) {
        QVERIFY2(text.startsWith(QStringLiteral("Record in data file ")), qPrintable(text));
        QVERIFY2(text.endsWith(QStringLiteral(" is in use by another user.")), qPrintable(text));
    }
    QVERIFY(!dialog.DBCheckBox1->isChecked());
    QCOMPARE(dialog.DBComboBox1->currentText(), QStringLiteral("0"));
    QCOMPARE(dialog.DBEdit2->text(), QStringLiteral("2"));
    QCOMPARE(dialog.configdb.EditState(), store::EditStates::Browse);

    // Once the other copy lets go, the same change is taken and stored.
    holder.stop();
    recorder.clear();
    tick(dialog.DBCheckBox1);
    QVERIFY(dialog.DBCheckBox1->isChecked());
    QTest::mouseClick(dialog.SaveBtn, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QVERIFY(recorder.shown.empty());
    QCOMPARE(table.read("useuppercase"), std::string("True"));
    QCOMPARE(table.read("width"), std::string("0"));
}

void SettingTest::failedPostIsReportedAndKeepsTheDialogOpenWithItsChanges()
{
    ConfigTable table(testing_support::shippedConfigRow(), {}, {{"realtime", "20"}});
    Settings.realtime = 5;
    Tsettingsform dialog(module);
    QVERIFY(openActive(dialog));
    typeAndTab(dialog.DBEdit1, QStringLiteral("25"));
    QTest::mouseClick(dialog.SaveBtn, Qt::LeftButton);

    const QStringList shown = recorder.texts(BoxKind::ErrorDisplay);
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].startsWith(QStringLiteral("The value for the field realtime in data file ")));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dbfuncs.getconfigCalls, 0);
    QCOMPARE(Settings.realtime, 5);
    QCOMPARE(dialog.configdb.EditState(), store::EditStates::Edit);
    QCOMPARE(dialog.DBEdit1->text(), QStringLiteral("25"));

    QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(table.read("realtime"), std::string("5"));
}

void SettingTest::tableThatCannotBeOpenedKeepsTheDialogShut()
{
    testing_support::TempDir empty;
    testing_support::pointProgramDirAt(empty);
    Tsettingsform dialog(module);
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    const QStringList shown = recorder.texts(BoxKind::ErrorDisplay);
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].startsWith(QStringLiteral("Invalid path or file name for data file ")));
    QVERIFY(!dialog.isVisible());
}

void SettingTest::scaleChangeSavedRebuildsTestWindowsAndCancelDoesNot()
{
    Program program;  // sets ProgramDir to the program's own folder
    ConfigTable table;
    program.windows.dbfuncs->getconfig();
    QCOMPARE(program.builds, 3);
    for (const char* button : {"CancelBtn", "SaveBtn"}) {
        testing_support::whenModalOpens([button](QWidget* modal) {
            auto* dialog = qobject_cast<Tsettingsform*>(modal);
            QVERIFY(dialog);
            choose(dialog->DBComboBox2, QStringLiteral("20"));
            QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
        });
        program.windows.zmain->Settings1Click();
        if (QByteArray(button) == "CancelBtn") {
            QCOMPARE(program.builds, 3);
            QCOMPARE(Settings.scalefactor, 0);
            QCOMPARE(program.windows.numerictestform.window()->size(), QSize(400, 300));
        }
    }
    QCOMPARE(Settings.scalefactor, 20);
    QCOMPARE(table.read("scalefactor"), std::string("20"));
    for (WindowSlot* slot : {&program.windows.numerictestform, &program.windows.alphanumerictestform,
                             &program.windows.alphatestform})
        QCOMPARE(slot->window()->size(), QSize(480, 360));
    QCOMPARE(program.builds, 6);
    QVERIFY(recorder.shown.empty());
}

// The program's own application object: a refused change reaches its error
// display, as in the running program.
int main(int argc, char* argv[])
{
    Application application(argc, argv);
    SettingTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "setting_test.moc"
