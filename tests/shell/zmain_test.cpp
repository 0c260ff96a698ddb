// SPDX-License-Identifier: GPL-3.0-or-later
#include <tuple>

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "config/programstate.h"
#include "config/uchgpass.h"
#include "config/ugetname.h"
#include "config/ugetpass.h"
#include "standins.h"
#include "support/modal.h"
#include "support/recordingmessages.h"
#include "support/tempdir.h"
#include "widgets/clockpanel.h"
#include "widgets/flatbutton.h"
#include "widgets/help.h"
#include "widgets/helpviewer.h"
#include "widgets/hints.h"

using testing_support::BoxKind;
using testing_support::RecordingMessages;
using testing_support::StandInProgram;
using testing_support::StandInTestWindow;
using testing_support::whenModalOpens;

namespace {

using Command = void (Tzmain::*)();

void sendEnter(QWidget* widget)
{
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(widget, &enter);
}

// Answers the password entry dialog the gate is about to show.
void answerPassword(const QString& typed, int* asked = nullptr)
{
    whenModalOpens([typed, asked](QWidget* modal) {
        QVERIFY(qobject_cast<TgetpasswordForm*>(modal));
        if (asked) ++*asked;
        if (typed.isNull()) {
            QTest::keyClick(modal, Qt::Key_Escape);
            return;
        }
        auto* field = modal->findChild<QLineEdit*>(QStringLiteral("Password"));
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
    });
}

QSize sizeOf(WindowSlot& slot)
{
    return slot.window()->size();
}

}  // namespace

class ZmainTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void creationSetsProgramDirHelpFileAndCaption();
    void firstShowSelectsTheStoredSortOrder_data();
    void firstShowSelectsTheStoredSortOrder();
    void unreadableConfigIsReportedOnceAndStartUpGoesOn();
    void firstShowScalesTheTestWindowsByTheStoredFactor();
    void gatedCommandsOpenAtOnceWithABlankPassword();
    void cancelledPasswordLeavesGatedCommandsUndone();
    void newCommandsRunTheGenerationWindowsBehindTheGate();
    void everyGatedCommandAsksForThePasswordAgain();
    void testCommandsSetTheModeAndAskTheNameAsListed_data();
    void testCommandsSetTheModeAndAskTheNameAsListed();
    void cancelledNameDialogOpensNoTestAndKeepsTheMode();
    void scaleChangesRebuildTestWindowsFromTheirDesignedSize();
    void settingsWithoutScaleChangeKeepsTheTestWindows();
    void statusBarShowsTheCurrentHintOfEveryWindow();
    void submenuHintStaysWhileItsEntryIsHighlighted();
    void toolbarButtonDropsBackAfterAModalWindow();
    void closingSavesTheNameOnlyWhenItIsRemembered();
    void helpKeyOpensTheContents();
    void aboutShowsTheVersion();

private:
    Tzmain& zmain() { return program->zmain(); }
    QString statusHint() { return zmain().findChild<QLabel*>(QStringLiteral("hintPanel"))->text(); }

    std::unique_ptr<RecordingMessages> recorder;
    std::unique_ptr<StandInProgram> program;
};

void ZmainTest::init()
{
    Settings = SettingsRecord();
    RealMode = false;
    PasswordAccepted = false;
    recorder = std::make_unique<RecordingMessages>();
    program = std::make_unique<StandInProgram>();
    program->dbfuncs->row.fname = QStringLiteral("Ann");
    program->dbfuncs->row.lname = QStringLiteral("Lee");
}

void ZmainTest::cleanup()
{
    testing_support::forgetModalActions();
    program.reset();
    recorder.reset();
}

void ZmainTest::creationSetsProgramDirHelpFileAndCaption()
{
    const std::string folder = QCoreApplication::applicationDirPath().toStdString();
    QCOMPARE(ProgramDir, folder + '/');
    QCOMPARE(helpFile(), QString::fromStdString(folder + "/movara.hlp"));
    QCOMPARE(zmain().windowTitle(), QStringLiteral("Movara"));
    QCOMPARE(zmain().palette().color(QPalette::Window), QColor(192, 220, 192));
}

void ZmainTest::firstShowSelectsTheStoredSortOrder_data()
{
    QTest::addColumn<int>("sort");
    QTest::addColumn<QString>("selected");
    QTest::newRow("name") << 0 << "Name";
    QTest::newRow("gross") << 1 << "KPH";
    QTest::newRow("net") << 2 << "NetKPH";
    QTest::newRow("date") << 3 << "Date";
    QTest::newRow("beyond the items") << 7 << "";
    QTest::newRow("below the items") << -1 << "";
}

void ZmainTest::firstShowSelectsTheStoredSortOrder()
{
    QFETCH(int, sort);
    QFETCH(QString, selected);
    program->dbfuncs->row.sort = sort;
    zmain().show();
    zmain().hide();
    zmain().show();

    const ResultsSelection& results = program->windows.resultsSelection;
    QCOMPARE(results.sortText(), selected);
    QCOMPARE(results.indexName, selected);
    QCOMPARE(ResultsSelection::FilterItems.value(results.filterIndex), QStringLiteral("All results"));
    QCOMPARE(program->dbfuncs->getconfigCalls, 1);
}

void ZmainTest::unreadableConfigIsReportedOnceAndStartUpGoesOn()
{
    program->dbfuncs->readable = false;
    zmain().show();
    QCOMPARE(recorder->texts(BoxKind::Error), QStringList{QStringLiteral("Error reading config.dat")});
    QCOMPARE(program->windows.resultsSelection.sortText(), QStringLiteral("Name"));
    QCOMPARE(sizeOf(program->windows.numerictestform), QSize(400, 300));

    // Nothing guards the commands and the main window keeps working.
    zmain().resultsbtnClick();
    QCOMPARE(program->opened.resultsForm, 1);
}

void ZmainTest::firstShowScalesTheTestWindowsByTheStoredFactor()
{
    program->dbfuncs->row.scalefactor = 20;
    zmain().show();
    for (WindowSlot* test : {&program->windows.numerictestform, &program->windows.alphanumerictestform,
                             &program->windows.alphatestform})
        QCOMPARE(sizeOf(*test), QSize(480, 360));
}

void ZmainTest::gatedCommandsOpenAtOnceWithABlankPassword()
{
    program->dbfuncs->row.password = QStringLiteral("   ");
    zmain().show();
    zmain().Alphanumeric1Click();
    zmain().numeric1Click();
    zmain().resultsbtnClick();
    zmain().Settings1Click();
    bool changeDialogOpened = false;
    whenModalOpens([&changeDialogOpened](QWidget* modal) {
        changeDialogOpened = qobject_cast<Tpasswordchangeform*>(modal) != nullptr;
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    zmain().Password1Click();

    const auto& opened = program->opened;
    QCOMPARE(opened.rewritean, 1);
    QCOMPARE(opened.newnumerictestform, 1);
    QCOMPARE(opened.resultsForm, 1);
    QCOMPARE(opened.settingsform, 1);
    QVERIFY(changeDialogOpened);
}

void ZmainTest::cancelledPasswordLeavesGatedCommandsUndone()
{
    program->dbfuncs->row.password = QStringLiteral("secret");
    zmain().show();
    QDialog* numeric = program->windows.numerictestform.window();
    program->settingsSave = [] { Settings.scalefactor = 20; };
    int asked = 0;
    for (const Command command : {&Tzmain::Alphanumeric1Click, &Tzmain::numeric1Click, &Tzmain::resultsbtnClick,
                                  &Tzmain::Settings1Click, &Tzmain::Password1Click}) {
        answerPassword(QString(), &asked);
        (zmain().*command)();
    }
    QCOMPARE(asked, 5);
    const auto& opened = program->opened;
    QCOMPARE(opened.rewritean + opened.newnumerictestform + opened.resultsForm + opened.settingsform, 0);
    QCOMPARE(program->windows.numerictestform.window(), numeric);
    QCOMPARE(Settings.password, QStringLiteral("SECRET"));
    QVERIFY(recorder->shown.empty());
}

// In a folder without tables both generation windows refuse at once, which
// shows that the commands reach the program's own windows.
void ZmainTest::newCommandsRunTheGenerationWindowsBehindTheGate()
{
    program = std::make_unique<StandInProgram>(true);
    program->dbfuncs->row.password = QStringLiteral("SECRET");
    zmain().show();
    testing_support::TempDir folder;
    ProgramDir = folder.path().string() + "/";
    answerPassword(QStringLiteral("secret"));
    zmain().numeric1Click();
    answerPassword(QStringLiteral("secret"));
    zmain().Alphanumeric1Click();
    QCOMPARE(recorder->texts(BoxKind::Error),
             (QStringList{QStringLiteral("Could not get exclusive use of database. Try later."),
                          QStringLiteral("Unable to get exclusive use of database. Rewrite cancelled.")}));
}

void ZmainTest::everyGatedCommandAsksForThePasswordAgain()
{
    program->dbfuncs->row.password = QStringLiteral("SECRET");
    zmain().show();
    int asked = 0;
    answerPassword(QStringLiteral("secret"), &asked);
    zmain().resultsbtnClick();
    answerPassword(QStringLiteral("secret"), &asked);
    zmain().resultsbtnClick();
    QCOMPARE(asked, 2);
    QCOMPARE(program->opened.resultsForm, 2);
}

void ZmainTest::testCommandsSetTheModeAndAskTheNameAsListed_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("realMode");
    QTest::addColumn<bool>("asksName");
    QTest::addColumn<QString>("window");
    QTest::newRow("real alphanumeric") << "Real1" << true << true << "alphanumeric";
    QTest::newRow("practice alphanumeric") << "Practise1" << false << false << "alphanumeric";
    QTest::newRow("real numeric") << "Real2" << true << true << "numeric";
    QTest::newRow("practice numeric") << "Practice1" << false << false << "numeric";
    QTest::newRow("real alpha") << "Realmode1" << true << true << "alpha";
    QTest::newRow("practice alpha") << "Practice2" << false << true << "alpha";
}

void ZmainTest::testCommandsSetTheModeAndAskTheNameAsListed()
{
    QFETCH(QString, action);
    QFETCH(bool, realMode);
    QFETCH(bool, asksName);
    QFETCH(QString, window);
    zmain().show();
    RealMode = !realMode;
    bool nameAsked = false;
    if (asksName) {
        whenModalOpens([&nameAsked](QWidget* modal) {
            nameAsked = qobject_cast<Tgetnameform*>(modal) != nullptr;
            QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
        });
    }
    zmain().findChild<QAction*>(action)->trigger();

    QCOMPARE(RealMode, realMode);
    QCOMPARE(nameAsked, asksName);
    const auto& opened = program->opened;
    QCOMPARE(opened.numerictestform, int(window == "numeric"));
    QCOMPARE(opened.alphanumerictestform, int(window == "alphanumeric"));
    QCOMPARE(opened.alphatestform, int(window == "alpha"));
}

void ZmainTest::cancelledNameDialogOpensNoTestAndKeepsTheMode()
{
    zmain().show();
    for (const Command command : {&Tzmain::Real2Click, &Tzmain::Practice2Click}) {
        whenModalOpens([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        (zmain().*command)();
        QCOMPARE(RealMode, command == &Tzmain::Real2Click);
    }
    QCOMPARE(program->opened.numerictestform + program->opened.alphatestform, 0);
    QCOMPARE(Settings.fname, QStringLiteral("Ann"));
    QCOMPARE(program->dbfuncs->savenameCalls, 0);
}

void ZmainTest::scaleChangesRebuildTestWindowsFromTheirDesignedSize()
{
    zmain().show();
    for (const int scalefactor : {20, 10}) {
        program->settingsSave = [scalefactor] { Settings.scalefactor = scalefactor; };
        zmain().Settings1Click();
    }
    for (WindowSlot* test : {&program->windows.numerictestform, &program->windows.alphanumerictestform,
                             &program->windows.alphatestform}) {
        QCOMPARE(sizeOf(*test), QSize(440, 330));
        auto* control = static_cast<StandInTestWindow*>(test->window())->control;
        QCOMPARE(control->geometry(), QRect(22, 33, 110, 22));
        QCOMPARE(control->font().pointSizeF(), 11.0);
    }
}

void ZmainTest::settingsWithoutScaleChangeKeepsTheTestWindows()
{
    program->dbfuncs->row.scalefactor = 20;
    zmain().show();
    QDialog* alpha = program->windows.alphatestform.window();
    program->settingsSave = [] { Settings.realtime = 5; };
    zmain().Settings1Click();
    QCOMPARE(program->opened.settingsform, 1);
    QCOMPARE(program->windows.alphatestform.window(), alpha);
    QCOMPARE(alpha->size(), QSize(480, 360));
}

void ZmainTest::statusBarShowsTheCurrentHintOfEveryWindow()
{
    zmain().show();
    QCOMPARE(statusHint(), QString());
    sendEnter(zmain().findChild<FlatButton*>(QStringLiteral("numericbtn")));
    QCOMPARE(statusHint(), QStringLiteral("Take real mode numeric test"));
    sendEnter(zmain().findChild<ClockPanel*>());
    QCOMPARE(statusHint(), QString());

    QAction* exit = zmain().findChild<QAction*>(QStringLiteral("Exit1"));
    exit->showStatusText(zmain().menuBar());
    QCOMPARE(statusHint(), QStringLiteral("Exit program"));

    QWidget dialog;
    auto* control = new QWidget(&dialog);
    setHint(&dialog, QStringLiteral("Cancel changes and exit"));
    sendEnter(control);
    QCOMPARE(statusHint(), QStringLiteral("Cancel changes and exit"));
}

void ZmainTest::submenuHintStaysWhileItsEntryIsHighlighted()
{
    zmain().show();
    QVERIFY(QTest::qWaitForWindowActive(&zmain()));
    for (auto [menuName, entry, hint] : {std::tuple{"&File", "New", "Create new tests"},
                                         std::tuple{"&Tests", "Alphanumeric", "Alphanumeric tests"}}) {
        QMenu* menu = nullptr;
        for (QAction* action : zmain().menuBar()->actions())
            if (action->text() == QLatin1String(menuName)) menu = action->menu();
        QVERIFY(menu);
        menu->popup(zmain().mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QAction* submenuEntry = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == QLatin1String(entry)) submenuEntry = action;
        QVERIFY(submenuEntry && submenuEntry->menu());
        const QPoint over = menu->actionGeometry(submenuEntry).center();
        QTest::mouseMove(menu, over);
        QTRY_VERIFY(submenuEntry->menu()->isVisible());
        QTest::qWait(100);
        QCOMPARE(statusHint(), QString::fromLatin1(hint));
        menu->close();
    }
}

void ZmainTest::toolbarButtonDropsBackAfterAModalWindow()
{
    zmain().show();
    QVERIFY(QTest::qWaitForWindowActive(&zmain()));
    auto* button = zmain().findChild<FlatButton*>(QStringLiteral("settingsbtn"));
    QCursor::setPos(button->mapToGlobal(button->rect().center()));
    QTest::mouseMove(button);
    QTRY_VERIFY(button->isRaised());
    // A modal window opens under the pointer, which ends over the window,
    // away from the button.
    QDialog modal;
    modal.resize(200, 100);
    bool raisedWhileBlocked = true;
    whenModalOpens([&](QWidget* shown) {
        QVERIFY(QTest::qWaitForWindowActive(shown));
        raisedWhileBlocked = button->isRaised();
        QCursor::setPos(shown->mapToGlobal(shown->rect().center()));
        static_cast<QDialog*>(shown)->accept();
    });
    modal.exec();
    QVERIFY(!raisedWhileBlocked);
    zmain().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&zmain()));
    QVERIFY(!button->isRaised());
}

void ZmainTest::closingSavesTheNameOnlyWhenItIsRemembered()
{
    zmain().show();
    zmain().exitbtnClick();
    QVERIFY(!zmain().isVisible());
    QCOMPARE(program->dbfuncs->savenameCalls, 0);

    program->dbfuncs->row.remembername = true;
    Settings.remembername = true;
    Settings.fname = QStringLiteral("Bob");
    zmain().show();
    zmain().findChild<QAction*>(QStringLiteral("Exit1"))->trigger();
    QCOMPARE(program->dbfuncs->savenameCalls, 1);
    QCOMPARE(program->dbfuncs->row.fname, QStringLiteral("Bob"));
}

void ZmainTest::helpKeyOpensTheContents()
{
    setHelpFile(QStringLiteral(MOVARA_HELP_SOURCE));
    zmain().show();
    QVERIFY(QTest::qWaitForWindowActive(&zmain()));
    QTest::keyClick(&zmain(), Qt::Key_F1);
    QVERIFY(openHelpViewer());
    QCOMPARE(openHelpViewer()->topicIdentifier(), QStringLiteral("CONTENTS"));
    openHelpViewer()->close();
}

void ZmainTest::aboutShowsTheVersion()
{
    zmain().show();
    QStringList shown;
    whenModalOpens([&shown](QWidget* modal) {
        shown.append(modal->windowTitle());
        for (const QLabel* label : modal->findChildren<QLabel*>()) shown.append(label->text());
        QTest::keyClick(modal, Qt::Key_O, Qt::AltModifier);
    });
    zmain().About1Click();
    QVERIFY(shown.contains(QStringLiteral("About")));
    QVERIFY(shown.contains(QStringLiteral("Movara")));
    QVERIFY(shown.contains(QStringLiteral("Version 4.0")));
}

QTEST_MAIN(ZmainTest)
#include "zmain_test.moc"
