// SPDX-License-Identifier: GPL-3.0-or-later
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QTest>
#include <QVBoxLayout>

#include "support/recordingmessages.h"
#include "widgets/clockpanel.h"
#include "widgets/flatbutton.h"
#include "widgets/hints.h"
#include "widgets/messages.h"
#include "widgets/numlock.h"
#include "widgets/passwordedit.h"
#include "widgets/progressgauge.h"
#include "widgets/scaling.h"
#include "widgets/text.h"

using testing_support::BoxKind;
using testing_support::RecordingMessages;

namespace {

void sendEnter(QWidget* widget)
{
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(widget, &enter);
}

void sendLeave(QWidget* widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}

}  // namespace

class WidgetsTest : public QObject {
    Q_OBJECT

private slots:
    void clockShowsTwelveHourTimeWithoutLeadingZero_data();
    void clockShowsTwelveHourTimeWithoutLeadingZero();
    void clockPanelShowsTheTimeOfDayAndKeepsTicking();
    void gaugePercentFollowsPositionWithinRange();
    void gaugeKeepsPositionOutsideRangeButDrawsItClamped();
    void flatButtonClicksByMouseAndKeyboardAndShowsHintAsTooltip();
    void flatButtonGrowsWithCaptionLinesAndPicture();
    void hintIsTheNearestAncestorsOrEmpty();
    void trackerFollowsPointerAndMenuEntries();
    void fullStopAddedOnlyAfterCharactersAboveFullStop_data();
    void fullStopAddedOnlyAfterCharactersAboveFullStop();
    void errorDisplayGoesThroughTheServiceWithFullStop();
    void trimBlanksRemovesControlCharactersAtBothEnds();
    void passwordEditMasksUpperCasesAndStopsAtTen();
    void scalingAppliesOnceToSizePlacesAndFonts();
    void scalingLeavesLayoutPlacementToTheLayoutAndScalesLimits();
    void numLockIsLeftAloneWithoutX11();
};

void WidgetsTest::clockShowsTwelveHourTimeWithoutLeadingZero_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("text");
    QTest::newRow("midnight") << QTime(0, 5, 9) << "12:05:09 AM";
    QTest::newRow("morning") << QTime(9, 30, 0) << "9:30:00 AM";
    QTest::newRow("noon") << QTime(12, 0, 0) << "12:00:00 PM";
    QTest::newRow("afternoon") << QTime(13, 5, 9) << "1:05:09 PM";
    QTest::newRow("last second") << QTime(23, 59, 59) << "11:59:59 PM";
}

void WidgetsTest::clockShowsTwelveHourTimeWithoutLeadingZero()
{
    QFETCH(QTime, time);
    QFETCH(QString, text);
    QCOMPARE(ClockPanel::clockText(time), text);
}

void WidgetsTest::clockPanelShowsTheTimeOfDayAndKeepsTicking()
{
    ClockPanel clock;
    const auto shownNow = [&clock] {
        const QTime now = QTime::currentTime();
        return clock.text() == ClockPanel::clockText(now) || clock.text() == ClockPanel::clockText(now.addSecs(-1));
    };
    QVERIFY(shownNow());
    const QString first = clock.text();
    QTRY_VERIFY_WITH_TIMEOUT(clock.text() != first, 2500);
    QVERIFY(shownNow());
}

void WidgetsTest::gaugePercentFollowsPositionWithinRange()
{
    ProgressGauge gauge;
    gauge.setMinimum(1);
    gauge.setMaximum(200);
    gauge.setPosition(1);
    QCOMPARE(gauge.percent(), 0);
    gauge.setPosition(100);
    QCOMPARE(gauge.percent(), 49);
    gauge.setPosition(200);
    QCOMPARE(gauge.percent(), 100);

    gauge.setMaximum(1);
    QCOMPARE(gauge.percent(), 0);
}

void WidgetsTest::gaugeKeepsPositionOutsideRangeButDrawsItClamped()
{
    ProgressGauge gauge;
    gauge.setMinimum(0);
    gauge.setMaximum(50);
    gauge.setPosition(75);
    QCOMPARE(gauge.position(), 75);
    QCOMPARE(gauge.percent(), 100);
    gauge.setPosition(-5);
    QCOMPARE(gauge.percent(), 0);
}

void WidgetsTest::flatButtonClicksByMouseAndKeyboardAndShowsHintAsTooltip()
{
    FlatButton button(QStringLiteral("&Close"));
    button.setHint(QStringLiteral("Close the results window"));
    button.show();
    QSignalSpy clicks(&button, &FlatButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Space);
    QCOMPARE(clicks.count(), 2);
    QCOMPARE(button.toolTip(), QStringLiteral("Close the results window"));
    QCOMPARE(hintOf(&button), QStringLiteral("Close the results window"));

    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicks.count(), 2);
}

void WidgetsTest::flatButtonGrowsWithCaptionLinesAndPicture()
{
    FlatButton button(QStringLiteral("Print"));
    const QSize oneLine = button.sizeHint();
    button.setCaption(QStringLiteral("Print\nall"));
    const QSize twoLines = button.sizeHint();
    QVERIFY(twoLines.height() > oneLine.height());
    QPixmap picture(32, 32);
    picture.fill(Qt::red);
    button.setPicture(picture);
    QVERIFY(button.sizeHint().height() >= twoLines.height() + 32);
    QVERIFY(button.sizeHint().width() >= 32);
}

void WidgetsTest::hintIsTheNearestAncestorsOrEmpty()
{
    QWidget window;
    auto* group = new QWidget(&window);
    auto* inside = new QWidget(group);
    auto* own = new QWidget(group);
    setHint(group, QStringLiteral("Increase/decrease the test window size"));
    setHint(own, QStringLiteral("Own hint"));
    QCOMPARE(hintOf(inside), QStringLiteral("Increase/decrease the test window size"));
    QCOMPARE(hintOf(own), QStringLiteral("Own hint"));
    QCOMPARE(hintOf(&window), QString());
}

void WidgetsTest::trackerFollowsPointerAndMenuEntries()
{
    HintTracker tracker;
    QSignalSpy changes(&tracker, &HintTracker::hintChanged);
    QWidget window;
    auto* group = new QWidget(&window);
    auto* inside = new QWidget(group);
    auto* bare = new QWidget(&window);
    setHint(group, QStringLiteral("Group hint"));

    sendEnter(inside);
    QCOMPARE(tracker.currentHint(), QStringLiteral("Group hint"));
    sendLeave(inside);
    sendEnter(bare);
    QCOMPARE(tracker.currentHint(), QString());
    sendLeave(bare);
    sendEnter(group);
    QCOMPARE(tracker.currentHint(), QStringLiteral("Group hint"));

    // A highlighted menu entry reports its hint as a status tip, which the
    // tracker takes so that no window shows it again.
    QMainWindow main;
    QStatusTipEvent tip(QStringLiteral("Exit program"));
    QApplication::sendEvent(&main, &tip);
    QCOMPARE(tracker.currentHint(), QStringLiteral("Exit program"));
    QCOMPARE(main.statusBar()->currentMessage(), QString());

    QCOMPARE(changes.count(), 4);  // group, empty, group, menu entry
}

void WidgetsTest::fullStopAddedOnlyAfterCharactersAboveFullStop_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Field 'x' not found" << "Field 'x' not found.";
    QTest::newRow("digit") << "Code 42" << "Code 42.";
    QTest::newRow("full stop") << "Done." << "Done.";
    QTest::newRow("exclamation") << "Stop!" << "Stop!";
    QTest::newRow("closing bracket") << "failed (3)" << "failed (3)";
    QTest::newRow("slash is above full stop") << "path/" << "path/.";
    QTest::newRow("empty") << "" << "";
}

void WidgetsTest::fullStopAddedOnlyAfterCharactersAboveFullStop()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(withFullStop(text), shown);
}

void WidgetsTest::errorDisplayGoesThroughTheServiceWithFullStop()
{
    RecordingMessages recorder;
    showErrorDisplay(QStringLiteral("Cannot perform this operation on a closed dataset"));
    QCOMPARE(recorder.texts(BoxKind::ErrorDisplay),
             QStringList{QStringLiteral("Cannot perform this operation on a closed dataset.")});
}

void WidgetsTest::trimBlanksRemovesControlCharactersAtBothEnds()
{
    QCOMPARE(trimBlanks(QStringLiteral("\t  SMITH \x01\r\n")), QStringLiteral("SMITH"));
    QCOMPARE(trimBlanks(QStringLiteral(" two  words ")), QStringLiteral("two  words"));
    QCOMPARE(trimBlanks(QStringLiteral("   ")), QString());
}

void WidgetsTest::passwordEditMasksUpperCasesAndStopsAtTen()
{
    PasswordEdit edit;
    edit.show();
    QTest::keyClicks(&edit, QStringLiteral("secret"));
    QCOMPARE(edit.text(), QStringLiteral("SECRET"));
    QCOMPARE(edit.displayText(), QStringLiteral("******"));
    QTest::keyClicks(&edit, QStringLiteral("12345"));
    QCOMPARE(edit.text(), QStringLiteral("SECRET1234"));

    edit.clear();
    edit.insert(QStringLiteral("pasted"));
    QCOMPARE(edit.text(), QStringLiteral("PASTED"));
}

void WidgetsTest::scalingAppliesOnceToSizePlacesAndFonts()
{
    QWidget window;
    QFont designed = window.font();
    designed.setPointSizeF(10);
    window.setFont(designed);
    window.resize(400, 300);
    auto* inheriting = new QLabel(QStringLiteral("inherits"), &window);
    inheriting->setGeometry(20, 30, 100, 20);
    auto* own = new QLabel(QStringLiteral("own"), &window);
    QFont large = designed;
    large.setPointSizeF(20);
    large.setBold(true);
    own->setFont(large);
    own->setGeometry(200, 100, 150, 40);

    scaleWindow(&window, 110);

    QCOMPARE(window.size(), QSize(440, 330));
    QCOMPARE(inheriting->geometry(), QRect(22, 33, 110, 22));
    QCOMPARE(own->geometry(), QRect(220, 110, 165, 44));
    QCOMPARE(window.font().pointSizeF(), 11.0);
    QCOMPARE(inheriting->font().pointSizeF(), 11.0);  // once, not through the parent as well
    QCOMPARE(own->font().pointSizeF(), 22.0);
    QVERIFY(own->font().bold());

    scaleWindow(&window, 100);
    QCOMPARE(window.size(), QSize(440, 330));
}

void WidgetsTest::scalingLeavesLayoutPlacementToTheLayoutAndScalesLimits()
{
    QWidget window;
    QFont designed = window.font();
    designed.setPointSizeF(10);
    window.setFont(designed);
    auto* layout = new QVBoxLayout(&window);
    auto* placed = new QLabel(QStringLiteral("placed"), &window);
    layout->addWidget(placed);
    window.setFixedSize(300, 200);
    window.show();

    scaleWindow(&window, 90);
    layout->activate();

    QCOMPARE(window.minimumSize(), QSize(270, 180));
    QCOMPARE(window.maximumSize(), QSize(270, 180));
    QCOMPARE(window.size(), QSize(270, 180));
    QCOMPARE(placed->font().pointSizeF(), 9.0);
    QCOMPARE(placed->geometry(), layout->contentsRect());
}

void WidgetsTest::numLockIsLeftAloneWithoutX11()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    QVERIFY(!forceNumLockOn());
}

QTEST_MAIN(WidgetsTest)
#include "widgets_test.moc"
