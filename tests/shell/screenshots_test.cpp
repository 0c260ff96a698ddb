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
#include "support/configtable.h"
#include "support/recordingmessages.h"
#include "widgets/flatbutton.h"
#include "widgets/help.h"
#include "widgets/helpviewer.h"
#include "widgets/messages.h"

namespace {

const QString Folder = QStringLiteral(MOVARA_SCREENSHOT_DIR);

bool save(QWidget* window, const QString& name)
{
    const QString path = Folder + QLatin1Char('/') + name + QStringLiteral(".png");
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

QTEST_MAIN(ScreenshotsTest)
#include "screenshots_test.moc"
