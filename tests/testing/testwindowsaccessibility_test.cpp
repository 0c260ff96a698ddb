// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader finds on a shown numeric and alphanumeric test window:
// every field named by its number, described by the source value shown above
// it on the record now on screen, and every button named.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "config/programstate.h"
#include "support/accessibility.h"
#include "support/invoicetable.h"
#include "support/numerictable.h"
#include "support/recordingmessages.h"
#include "support/tempdir.h"
#include "testing/ualpphanum.h"
#include "testing/unumtest.h"
#include "widgets/maskededit.h"

using testing_support::controlsWithoutAccessibleDescription;
using testing_support::controlsWithoutAccessibleName;
using namespace testing_support::invoices;

namespace {

QString accessibleText(QWidget* control, QAccessible::Text text)
{
    return QAccessible::queryAccessibleInterface(control)->text(text);
}

QString shownSource(QWidget* window, int field)
{
    return window->findChild<QLabel*>(QStringLiteral("DBText%1").arg(field))->text();
}

// Nothing left unnamed or undescribed, and the record buttons named by what they do.
void checkWalk(QWidget* window)
{
    QCOMPARE(controlsWithoutAccessibleName(window), QStringList());
    QCOMPARE(controlsWithoutAccessibleDescription(window), QStringList());
    QCOMPARE(accessibleText(window->findChild<QPushButton*>(QStringLiteral("BitBtn1")), QAccessible::Name),
             QStringLiteral("Cancel"));
    for (const char* name : {"prevscreenbtn", "nextscreenbtn"}) {
        auto* button = window->findChild<QAbstractButton*>(QString::fromLatin1(name));
        QVERIFY(accessibleText(button, QAccessible::Name).endsWith(QStringLiteral(" record")));
    }
}

}  // namespace

class TestWindowsAccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void init();

    void numericFieldsTellTheirNumberAndTheSourceOfTheRecordShown();
    void alphanumericFieldsTellTheirNumberLabelAndSource();
};

void TestWindowsAccessibilityTest::init()
{
    Settings = SettingsRecord();
    Settings.realtime = 5;
    RealMode = true;
}

void TestWindowsAccessibilityTest::numericFieldsTellTheirNumberAndTheSourceOfTheRecordShown()
{
    testing_support::RecordingMessages recorder;
    testing_support::NumericTable table;
    Tnumerictestform window([] { return true; });
    QVERIFY(showActive(window));
    checkWalk(&window);
    const auto field = [&window](int number) {
        return window.findChild<QLineEdit*>(QStringLiteral("Edit%1").arg(number));
    };
    for (int number : {1, 3, 25}) {
        QCOMPARE(accessibleText(field(number), QAccessible::Name), QStringLiteral("Field %1").arg(number));
        QCOMPARE(accessibleText(field(number), QAccessible::Description),
                 QStringLiteral("Source value: ") + shownSource(&window, number));
    }
    QCOMPARE(accessibleText(field(3), QAccessible::Description), QStringLiteral("Source value: 103"));

    // The descriptions follow the record on screen.
    for (int number = 1; number <= Tnumerictestform::Fields; ++number) field(number)->setText(QStringLiteral("1"));
    window.findChild<QPushButton*>(QStringLiteral("nextscreenbtn"))->click();
    QVERIFY(window.windowTitle().endsWith(QStringLiteral("(Record: 2)")));
    QCOMPARE(accessibleText(field(3), QAccessible::Description), QStringLiteral("Source value: 203"));
}

void TestWindowsAccessibilityTest::alphanumericFieldsTellTheirNumberLabelAndSource()
{
    testing_support::RecordingMessages recorder;
    testing_support::TempDir folder;
    QVERIFY(makeTables(folder));
    Talphanumerictestform window;
    QVERIFY(showActive(window));
    checkWalk(&window);
    QCOMPARE(accessibleText(window.field(2), QAccessible::Name), QStringLiteral("Field 2: Invoice date"));
    QCOMPARE(accessibleText(window.field(7), QAccessible::Name), QStringLiteral("Field 7: City"));
    QCOMPARE(accessibleText(window.field(7), QAccessible::Description),
             QStringLiteral("Source value: ") + QString::fromStdString(Invoices[0].city));
    QCOMPARE(shownSource(&window, 7), QString::fromStdString(Invoices[0].city));
}

QTEST_MAIN(TestWindowsAccessibilityTest)
#include "testwindowsaccessibility_test.moc"
