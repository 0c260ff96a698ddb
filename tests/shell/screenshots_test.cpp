// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a picture of the main window and of every dialog into the build's
// screenshots folder, for review by eye.

#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include "config/uchgpass.h"
#include "config/ugetname.h"
#include "config/ugetpass.h"
#include "config/usetting.h"
#include "scoring/results.h"
#include "scoring/ushowit.h"
#include "shell/uabout.h"
#include "standins.h"
#include "support/modal.h"
#include "support/invoicetable.h"
#include "support/numerictable.h"
#include "support/configtable.h"
#include "support/recordingmessages.h"
#include "support/tempdir.h"
#include "widgets/flatbutton.h"
#include "widgets/help.h"
#include "widgets/helpviewer.h"
#include "widgets/messages.h"
#include "widgets/scaling.h"
#include "testing/ualpha.h"
#include "testing/ualpphanum.h"
#include "testing/unumtest.h"

namespace {

const QString Folder = QStringLiteral(MOVARA_SCREENSHOT_DIR);
// Pictures taken at a device pixel ratio other than 1 are named for it.
#ifdef MOVARA_SCREENSHOT_SCALE
const QString Suffix = QStringLiteral("@" MOVARA_SCREENSHOT_SCALE "x");
#else
const QString Suffix;
#endif

bool save(QWidget* window, const QString& name)
{
    const QString path = Folder + QLatin1Char('/') + name + Suffix + QStringLiteral(".png");
    QFile::remove(path);
    return window->grab().save(path) && QFileInfo(path).size() > 0;
}

// Shows a window as it stands, pictures it and hides it again.
bool picture(QWidget* window, const QString& name)
{
    window->show();
    if (!QTest::qWaitForWindowExposed(window)) return false;
    const bool saved = save(window, name);
    window->hide();
    return saved;
}

// Pictures the box that show() opens, then dismisses it.
bool pictureBox(const QString& name, const std::function<void()>& show)
{
    bool saved = false;
    testing_support::whenModalOpens([&saved, name](QWidget* box) {
        saved = QTest::qWaitForWindowExposed(box) && save(box, name);
        QTest::keyClick(box, Qt::Key_Escape);
    });
    show();
    return saved;
}

// The report window holding the report of a run with one field error.
TshowitForm* reportWithLog(TshowitForm& form)
{
    scoring::Score score;
    score.TOTALKS = 612;
    score.TOTERRS = 2;
    score.TOTALFLDS = 122;
    score.FLDERRS = 1;
    score.TIME = 5.0083;
    score.KPH = 7331.55;
    score.NKPH = 7307.59;
    score.ACCURACY = 99.67;
    score.errorLog = {"Record no.: 5, Field no.: 12, 2 errors.", "Keyed    >48817", "On Record>48871", ""};
    form.clearText();
    for (const std::string& line : scoring::reportLines(score, TestKind::numeric, {"12/09/26", "Lee, Ann", true}))
        form.appendLine(QString::fromStdString(line));
    return &form;
}

}  // namespace

class ScreenshotsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QDir().mkpath(Folder)); }
    void cleanup() { testing_support::forgetModalActions(); }

    void mainWindowAndDialogs();
    void messageBoxes();
    void helpViewer();
    void numericTestWindow();
    void textTestWindows();
};

void ScreenshotsTest::mainWindowAndDialogs()
{
    testing_support::RecordingMessages recorder;
    testing_support::StandInProgram program;
    program.dbfuncs->row.fname = QStringLiteral("Ann");
    program.dbfuncs->row.lname = QStringLiteral("Lee");
    Tzmain& zmain = program.zmain();
    zmain.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&zmain));
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(zmain.findChild<FlatButton*>(QStringLiteral("numericbtn")), &enter);
    QVERIFY(save(&zmain, QStringLiteral("main-window")));

    WindowSet& windows = program.windows;
    windows.getpasswordForm->show();
    QTest::keyClicks(windows.getpasswordForm->findChild<QLineEdit*>(), QStringLiteral("secret"));
    QVERIFY(save(windows.getpasswordForm.get(), QStringLiteral("password-entry")));
    windows.getpasswordForm->hide();
    QVERIFY(picture(windows.passwordchangeform.get(), QStringLiteral("password-change")));
    QVERIFY(picture(windows.getnameform.get(), QStringLiteral("name")));
    QVERIFY(picture(windows.aboutform.get(), QStringLiteral("about")));
    QVERIFY(picture(reportWithLog(*windows.showitForm), QStringLiteral("result-report")));

    auto row = testing_support::shippedConfigRow();
    row["scalefactor"] = "20";
    testing_support::ConfigTable table(row);
    Tsettingsform settings([&windows]() -> Tdbfuncs& { return *windows.dbfuncs; });
    QVERIFY(picture(&settings, QStringLiteral("settings")));
}

void ScreenshotsTest::messageBoxes()
{
    QVERIFY(pictureBox(QStringLiteral("error-box"), [] { messages().errorBox(QStringLiteral("Incorrect password.")); }));
    QVERIFY(pictureBox(QStringLiteral("confirm-box"), [] {
        messages().confirmBox(QStringLiteral("Do you really wish to delete ALL test results?"), ConfirmButtons::YesNo);
    }));
    QVERIFY(pictureBox(QStringLiteral("message-box"),
                       [] { messages().messageBox(QStringLiteral("Password change successful.")); }));
    QVERIFY(pictureBox(QStringLiteral("error-display"),
                       [] { showErrorDisplay(QStringLiteral("configdb: Field 'filter' not found")); }));
}

void ScreenshotsTest::helpViewer()
{
    setHelpFile(QStringLiteral(MOVARA_HELP_SOURCE));
    showHelpTopic(QStringLiteral("CONTENTS"));
    QVERIFY(openHelpViewer());
    QVERIFY(QTest::qWaitForWindowExposed(openHelpViewer()));
    QVERIFY(save(openHelpViewer(), QStringLiteral("help-contents")));
    showHelpContext(3000);
    QVERIFY(save(openHelpViewer(), QStringLiteral("help-tests")));
    openHelpViewer()->close();
}

// The numeric test window part way through its first record, as built and
// at a scale of 20.
void ScreenshotsTest::numericTestWindow()
{
    testing_support::RecordingMessages recorder;
    testing_support::NumericTable table;
    Settings = SettingsRecord();
    Settings.realtime = 5;
    RealMode = true;
    for (const int scalefactor : {0, 20}) {
        Tnumerictestform window([] { return true; });
        scaleWindow(&window, scalePercent(scalefactor));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        for (const char* field : {"Edit1", "Edit2"}) {
            auto* edit = window.findChild<QLineEdit*>(QString::fromLatin1(field));
            edit->setFocus();
            QTest::keyClicks(edit, field[4] == '1' ? QStringLiteral("101") : QStringLiteral("1"));
        }
        QVERIFY(save(&window, QStringLiteral("numeric-test-scale%1").arg(scalefactor)));
        window.done(QDialog::Rejected);
    }
}

// The alphanumeric and alpha test windows part way through their first
// record, as built.
void ScreenshotsTest::textTestWindows()
{
    testing_support::RecordingMessages recorder;
    testing_support::TempDir folder;
    QVERIFY(testing_support::invoices::makeTables(folder));
    Settings = SettingsRecord();
    Settings.realtime = 5;
    RealMode = true;
    Talphanumerictestform alphanumeric;
    Talphatestform alpha;
    const std::vector<std::pair<TextTestForm*, QString>> windows{{&alphanumeric, QStringLiteral("1234567")},
                                                                 {&alpha, QStringLiteral("An")}};
    for (const auto& [window, typed] : windows) {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        testing_support::invoices::type(typed);
        QVERIFY(save(window, window->objectName().replace(QStringLiteral("testform"), QStringLiteral("-test-scale0"))));
        window->done(QDialog::Rejected);
    }
}

int main(int argc, char* argv[])
{
#ifdef MOVARA_SCREENSHOT_SCALE
    // An offscreen screen of 800 by 600 at that ratio (1600 by 1200 device
    // pixels at 2), as a desktop at 200 % shows it.
    testing_support::TempDir folder;
    const QString screens = QString::fromStdString(folder.file("screens.json"));
    QFile file(screens);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    file.write(R"({"screens": [{"name": "hidpi", "x": 0, "y": 0, "width": 800, "height": 600,
                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": )" MOVARA_SCREENSHOT_SCALE "}]}");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.toUtf8());
#endif
    QApplication application(argc, argv);
    ScreenshotsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "screenshots_test.moc"
