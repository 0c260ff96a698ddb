// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include "everydialog.h"
#include "standins.h"
#include "support/accessibility.h"
#include "support/configtable.h"
#include "config/usetting.h"
#include "widgets/helpviewer.h"

using testing_support::controlsWithoutAccessibleDescription;
using testing_support::controlsWithoutAccessibleName;

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void walkerFindsAControlWithoutAName();
    void everyInputControlOfEveryWindowHasANameAndDescription();
    void controlsAreNotClippedWithALargerFont();
};

void AccessibilityTest::walkerFindsAControlWithoutAName()
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Sample"));
    auto* layout = new QVBoxLayout(&window);
    auto* named = new QCheckBox(QStringLiteral("Use uppercase only"), &window);
    named->setToolTip(QStringLiteral("Upper case"));
    auto* unnamed = new QLineEdit(&window);
    unnamed->setObjectName(QStringLiteral("Edit7"));
    layout->addWidget(named);
    layout->addWidget(unnamed);
    QCOMPARE(testing_support::inputControls(&window).size(), 2);
    QCOMPARE(controlsWithoutAccessibleName(&window), QStringList{QStringLiteral("Sample: Edit7")});
    unnamed->setAccessibleName(QStringLiteral("Amount"));
    QVERIFY(controlsWithoutAccessibleName(&window).isEmpty());
    QCOMPARE(controlsWithoutAccessibleDescription(&window), QStringList{QStringLiteral("Sample: Edit7")});
}

void AccessibilityTest::everyInputControlOfEveryWindowHasANameAndDescription()
{
    testing_support::ConfigTable table;
    testing_support::StandInProgram program;
    testing_support::FakeDbfuncs dbfuncs;
    std::vector<testing_support::Dialog> dialogs = testing_support::everyDialog(dbfuncs);
    QList<QWidget*> windows{&program.zmain()};
    for (const testing_support::Dialog& dialog : dialogs) windows.append(dialog.window.get());
    HelpViewer viewer;
    windows.append(&viewer);
    for (QWidget* window : windows) {
        QVERIFY2(!testing_support::inputControls(window).isEmpty(), qPrintable(window->windowTitle()));
        const QStringList unnamed = controlsWithoutAccessibleName(window);
        QVERIFY2(unnamed.isEmpty(), qPrintable(QStringLiteral("no name: ") + unnamed.join(QStringLiteral(", "))));
        const QStringList undescribed = controlsWithoutAccessibleDescription(window);
        QVERIFY2(undescribed.isEmpty(),
                 qPrintable(QStringLiteral("no description: ") + undescribed.join(QStringLiteral(", "))));
    }
}

// A desktop font scale of 150 %: every control laid out in the main window
// and the settings dialog still gets at least the room it asks for.
void AccessibilityTest::controlsAreNotClippedWithALargerFont()
{
    const QFont original = QApplication::font();
    QFont larger = original;
    larger.setPointSizeF(original.pointSizeF() * 1.5);
    QApplication::setFont(larger);
    testing_support::StandInProgram program;  // points ProgramDir at the program's folder
    testing_support::ConfigTable table;
    testing_support::FakeDbfuncs dbfuncs;
    Tsettingsform settings([&dbfuncs]() -> Tdbfuncs& { return dbfuncs; });
    for (QWidget* window : QList<QWidget*>{&program.zmain(), &settings}) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        for (QWidget* control : window->findChildren<QWidget*>()) {
            if (!control->isVisible() || control->objectName().startsWith(QLatin1String("qt_"))) continue;
            const QSize needed = control->minimumSizeHint();
            QVERIFY2(control->width() >= needed.width() && control->height() >= needed.height(),
                     qPrintable(testing_support::controlName(window, control)));
        }
        window->hide();
    }
    QApplication::setFont(original);
}

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
