// SPDX-License-Identifier: GPL-3.0-or-later
// The alphanumeric and alpha test windows over a real invsort.dat in a fresh
// folder, keyed through the windows with key events: their layout and set-up,
// upper case, the masked fields' blank rules, auto-advance on text changes,
// and what each window stores of a record.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "config/programstate.h"
#include "store/storetable.h"
#include "store/values.h"
#include "support/recordingmessages.h"
#include "support/tempdir.h"
#include "testing/fakerunwindow.h"
#include "support/invoicetable.h"
#include "testing/ualpha.h"
#include "testing/ualpphanum.h"
#include "widgets/boundcontrols.h"
#include "widgets/help.h"
#include "widgets/maskededit.h"
#include "widgets/scaling.h"

using testing_support::FakeClock;
using testing_support::RecordingMessages;
using testing_support::TempDir;
using namespace testing_support::invoices;

namespace {

QString shown(const TextTestForm& form, int field)
{
    return form.field(field)->fieldText();
}

const std::string& keyed(TestKind kind, int record, int field)
{
    return runState(kind).KeyedValues.cell(record, field);
}

template <class Button>
Button* child(QWidget& form, const char* name)
{
    return form.findChild<Button*>(QString::fromLatin1(name));
}

}  // namespace

class TextTestFormsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void alphanumericShowsTheFirstInvoiceAndUnfilledMasks();
    void helpContextHangsOnTheEntryPanelOrOnTheSourcePanel();
    void captionFitsAndTheSourcePanelStaysPutAtEveryScale();
    void upperCaseShowsAndStoresCapitals();
    void unfilledDateAndAmountAreBlankForEnterButNotEmpty();
    void partlyFilledAmountIsStoredWithItsBlanks();
    void autoAdvanceFollowsTrimmedLengthAndCaret();
    void recordChangesNeverAdvance();
    void recordButtonsEnterTheFocusedFieldAfresh();
    void autoAdvanceCountsCharactersNotBytes();
    void nextRecordPutsTwoSpacesIntoTheFirstEmptyField();
    void alphaTypesInFrontOfItsSpacesAndStoresTrimmed();
    void onlyCancelThroughTheGateClosesTheWindow();
    void missingTestTableIsShownAndTheWindowClosesUnrun();

private:
    void keyInvoice(const Invoice& invoice);

    std::unique_ptr<TempDir> folder;
    std::unique_ptr<RecordingMessages> recorder;
    FakeClock clock;
};

void TextTestFormsTest::init()
{
    folder = std::make_unique<TempDir>();
    QVERIFY(makeTables(*folder));
    recorder = std::make_unique<RecordingMessages>();
    Settings = SettingsRecord();
    Settings.realtime = 5;
    Settings.practicetime = 2;
    RealMode = true;
}

void TextTestFormsTest::cleanup()
{
    recorder.reset();
    folder.reset();
}

// Moves by Enter from field 1 through the date and amount fields.
void TextTestFormsTest::keyInvoice(const Invoice& invoice)
{
    for (const std::string& value : {invoice.invoice, invoice.date, invoice.amount, invoice.first, invoice.last,
                                     invoice.street, invoice.city}) {
        type(QString::fromStdString(value));
        press(Qt::Key_Return);
    }
}

void TextTestFormsTest::alphanumericShowsTheFirstInvoiceAndUnfilledMasks()
{
    store::formats().shortDateFormat = "dd.mm.yyyy";
    Talphanumerictestform form({}, clock);
    QVERIFY(showActive(form));
    QCOMPARE(store::formats().shortDateFormat, std::string("mm/dd/yy"));
    QCOMPARE(form.windowTitle(), QStringLiteral("5 minute alphanumeric real mode test in progress (Record: 1)"));
    QCOMPARE(child<QLabel>(form, "timeLabel")->text(), QStringLiteral("Timer starts with first key pressed."));
    QVERIFY(!child<QToolButton>(form, "prevscreenbtn")->isEnabled());
    QCOMPARE(child<QToolButton>(form, "nextscreenbtn")->toolTip(), QStringLiteral("Next Recort"));

    const Invoice& first = Invoices.front();
    const QStringList sources{QString::fromStdString(first.invoice), QString::fromStdString(first.date),
                              QString::fromStdString(first.amount), QString::fromStdString(first.first),
                              QString::fromStdString(first.last), QString::fromStdString(first.street),
                              QString::fromStdString(first.city)};
    for (int field = 1; field <= 7; ++field) {
        auto* display = child<BoundLabel>(form, qPrintable(QStringLiteral("DBText%1").arg(field)));
        QCOMPARE(display->text(), sources[field - 1]);
        QVERIFY(display->font().bold());
    }
    QCOMPARE(shown(form, 1).trimmed(), QString());
    QCOMPARE(shown(form, 2), QStringLiteral("  /  /  "));
    QCOMPARE(shown(form, 3), QStringLiteral("    .  "));
    QCOMPARE(shown(form, 4), QString());
    QCOMPARE(form.field(1)->maxLength(), 8);
    QCOMPARE(form.field(3)->maxLength(), 7);
    QCOMPARE(focused(), form.field(1));
    auto* display = child<BoundLabel>(form, "DBText1");
    QCOMPARE(display->palette().color(QPalette::WindowText), QColor(0, 0, 128));

    press(Qt::Key_Tab);
    QCOMPARE(focused(), form.field(2));
    QCOMPARE(display->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(runState(TestKind::alphanumeric).ExpectedLength, 8);
    press(Qt::Key_Up);
    press(Qt::Key_Up);
    QCOMPARE(focused(), form.field(7));
}

void TextTestFormsTest::helpContextHangsOnTheEntryPanelOrOnTheSourcePanel()
{
    Talphanumerictestform alphanumeric({}, clock);
    Talphatestform alpha({}, clock);
    QCOMPARE(helpContextOf(alphanumeric.field(5)), 3000);
    QCOMPARE(helpContextOf(child<BoundLabel>(alphanumeric, "DBText5")), 0);
    QCOMPARE(helpContextOf(alpha.field(2)), 0);
    QCOMPARE(helpContextOf(child<BoundLabel>(alpha, "DBText2")), 3000);
}

void TextTestFormsTest::captionFitsAndTheSourcePanelStaysPutAtEveryScale()
{
    for (const int percent : {100, 90}) {
        Talphatestform alpha({}, clock);
        scaleWindow(&alpha, percent);
        QVERIFY(showActive(alpha));
        QVERIFY2(alpha.width() > QFontMetrics(alpha.font()).horizontalAdvance(alpha.windowTitle()),
                 qPrintable(QString::number(percent)));
        // Nothing is cut off at the window's edges or squeezed below its own least height.
        for (QWidget* part : alpha.findChildren<QWidget*>()) {
            if (!part->isVisibleTo(&alpha) || part->isWindow()) continue;
            const QRect place(part->mapTo(&alpha, QPoint(0, 0)), part->size());
            QVERIFY2(alpha.rect().contains(place) && part->height() >= part->minimumSizeHint().height(),
                     qPrintable(QStringLiteral("%1 %2 %").arg(part->objectName()).arg(percent)));
        }
        alpha.hide();

        Talphanumerictestform form({}, clock);
        scaleWindow(&form, percent);
        QVERIFY(showActive(form));
        const auto places = [&form] {
            QTest::qWait(10);  // the layout follows the texts from the event loop
            QList<QRect> rects;
            for (QLabel* label : form.findChild<QFrame*>(QStringLiteral("sourcePanel"))->findChildren<QLabel*>())
                rects.append(label->geometry());
            return rects;
        };
        const QList<QRect> first = places();
        keyInvoice({"12345678", "031599", "123456", "Ann", "Smith", "1 Oak St", "Boston"});
        QCOMPARE(form.windowTitle().right(11), QStringLiteral("(Record: 2)"));
        QCOMPARE(places(), first);
        form.hide();
    }
}

void TextTestFormsTest::upperCaseShowsAndStoresCapitals()
{
    Settings.useuppercase = true;
    Talphanumerictestform form({}, clock);
    QVERIFY(showActive(form));
    keyInvoice({"12345678", "031599", "123456", "ann", "smith", "1 oak st", "boston"});
    QCOMPARE(form.windowTitle(), QStringLiteral("5 minute alphanumeric real mode test in progress (Record: 2)"));
    QCOMPARE(keyed(TestKind::alphanumeric, 1, 5), std::string("SMITH"));
    QCOMPARE(keyed(TestKind::alphanumeric, 1, 6), std::string("1 OAK ST"));
    QCOMPARE(keyed(TestKind::alphanumeric, 1, 2), std::string("03/15/99"));
    form.hide();

    Settings.useuppercase = false;
    Talphatestform alpha({}, clock);
    QVERIFY(showActive(alpha));
    type(QStringLiteral("smith"));
    QCOMPARE(shown(alpha, 1), QStringLiteral("smith "));
}

void TextTestFormsTest::unfilledDateAndAmountAreBlankForEnterButNotEmpty()
{
    Talphanumerictestform form({}, clock);
    QVERIFY(showActive(form));
    type(QStringLiteral("12345678"));
    press(Qt::Key_Return);
    press(Qt::Key_Return);  // the unfilled date: nothing happens
    QCOMPARE(focused(), form.field(2));
    press(Qt::Key_Tab);
    press(Qt::Key_Return);
    QCOMPARE(focused(), form.field(3));
    press(Qt::Key_Tab);
    for (const char* value : {"Ann", "Smith", "1 Oak St", "Boston"}) {
        type(QString::fromLatin1(value));
        press(Qt::Key_Tab);
    }
    child<QToolButton>(form, "nextscreenbtn")->click();
    QCOMPARE(form.windowTitle(), QStringLiteral("5 minute alphanumeric real mode test in progress (Record: 2)"));
    QCOMPARE(keyed(TestKind::alphanumeric, 1, 1), std::string("12345678"));
    QCOMPARE(keyed(TestKind::alphanumeric, 1, 2), std::string());
    QCOMPARE(keyed(TestKind::alphanumeric, 1, 3), std::string());
    QCOMPARE(keyed(TestKind::alphanumeric, 1, 7), std::string("Boston"));
    QCOMPARE(child<BoundLabel>(form, "DBText1")->text(), QString::fromStdString(Invoices[1].invoice));
}

void TextTestFormsTest::partlyFilledAmountIsStoredWithItsBlanks()
{
    Talphanumerictestform form({}, clock);
    QVERIFY(showActive(form));
    keyInvoice({"1234", "0315", "12", "Ann", "Smith", "1 Oak St", "Boston"});
    QCOMPARE(keyed(TestKind::alphanumeric, 1, 1), std::string("1234    "));
    QCOMPARE(keyed(TestKind::alphanumeric, 1, 2), std::string("03/15/  "));
    QCOMPARE(keyed(TestKind::alphanumeric, 1, 3), std::string("12  .  "));

    // Back on record 1 the fields show what was kept.
    child<QToolButton>(form, "prevscreenbtn")->click();
    QCOMPARE(shown(form, 3), QStringLiteral("12  .  "));
    QCOMPARE(shown(form, 7), QStringLiteral("Boston"));
}

void TextTestFormsTest::autoAdvanceFollowsTrimmedLengthAndCaret()
{
    Settings.autoadvance = true;
    Talphanumerictestform form({}, clock);
    QVERIFY(showActive(form));
    type(QStringLiteral("12345678"));
    QCOMPARE(focused(), form.field(2));
    type(QStringLiteral("031599"));
    QCOMPARE(focused(), form.field(3));
    type(QStringLiteral("12345"));
    QCOMPARE(focused(), form.field(3));  // "1234.5": trimmed length 6 of 7
    type(QStringLiteral("6"));
    QCOMPARE(focused(), form.field(4));
    QCOMPARE(shown(form, 3), QStringLiteral("1234.56"));

    type(QStringLiteral("Ann"));
    QCOMPARE(focused(), form.field(5));
    type(QStringLiteral("Smith"));
    type(QStringLiteral("1 Oak St"));
    QCOMPARE(focused(), form.field(7));
    type(QStringLiteral("Bosto"));
    QCOMPARE(form.windowTitle().right(11), QStringLiteral("(Record: 1)"));
    type(QStringLiteral("n"));
    QCOMPARE(form.windowTitle().right(11), QStringLiteral("(Record: 2)"));
    QCOMPARE(focused(), form.field(1));
    QCOMPARE(keyed(TestKind::alphanumeric, 1, 7), std::string("Boston"));

    // Filled from its end first, the field is complete with the caret short
    // of its end: no move.
    press(Qt::Key_End);
    press(Qt::Key_Left);
    type(QStringLiteral("1"));
    press(Qt::Key_Home);
    type(QStringLiteral("8765432"));
    QCOMPARE(shown(form, 1), QStringLiteral("87654321"));
    QCOMPARE(focused(), form.field(1));
}

void TextTestFormsTest::recordChangesNeverAdvance()
{
    Settings.autoadvance = true;
    Talphatestform form({}, clock);
    QVERIFY(showActive(form));
    type(QStringLiteral("Ann"));
    type(QStringLiteral("Smith"));
    type(QStringLiteral("Boston"));
    QCOMPARE(form.windowTitle().right(11), QStringLiteral("(Record: 2)"));

    // Record 1 comes back whole: every field holds its full length, yet the
    // texts set while changing record move nothing.
    child<QToolButton>(form, "prevscreenbtn")->click();
    QCOMPARE(form.windowTitle().right(11), QStringLiteral("(Record: 1)"));
    QCOMPARE(focused(), form.field(1));
    QCOMPARE(shown(form, 3), QStringLiteral("Boston"));
    child<QToolButton>(form, "nextscreenbtn")->click();
    QCOMPARE(form.windowTitle().right(11), QStringLiteral("(Record: 2)"));
    QCOMPARE(focused(), form.field(1));
}

void TextTestFormsTest::recordButtonsEnterTheFocusedFieldAfresh()
{
    Settings.autoadvance = true;
    Talphatestform form({}, clock);
    QVERIFY(showActive(form));
    for (const char* value : {"Ann", "Smith", "Boston", "Bob", "Jones", "Denver"}) type(QString::fromLatin1(value));
    QCOMPARE(form.windowTitle().right(11), QStringLiteral("(Record: 3)"));
    // Field 1 keeps the focus through both buttons; "Cy" has two characters,
    // "Bob" three.
    const std::vector<std::pair<const char*, int>> moves{{"prevscreenbtn", 3}, {"nextscreenbtn", 2}};
    for (const auto& [button, length] : moves) {
        child<QToolButton>(form, button)->click();
        QCOMPARE(focused(), form.field(1));
        QCOMPARE(runState(TestKind::alpha).ExpectedLength, length);
    }
    type(QStringLiteral("Cy"));
    QCOMPARE(focused(), form.field(2));
}

void TextTestFormsTest::autoAdvanceCountsCharactersNotBytes()
{
    {
        store::StoreTable table("edit");
        table.setTableName(ProgramDir + "invsort.dat");
        table.setIndexName("idxkey");
        table.setActive(true);
        table.GoFirst();
        table.BeginEdit();
        table.WriteValue("LAST", "M\xc3\xbcller");
        table.PostRow();
    }
    Settings.autoadvance = true;
    Talphatestform form({}, clock);
    QVERIFY(showActive(form));
    type(QStringLiteral("Ann"));
    type(QStringLiteral("M"));
    QTest::sendKeyEvent(QTest::Click, focused(), Qt::Key_Udiaeresis, QStringLiteral("ü"), Qt::NoModifier);
    type(QStringLiteral("ller"));
    QCOMPARE(focused(), form.field(3));
    QCOMPARE(shown(form, 2).trimmed(), QStringLiteral("Müller"));
}

void TextTestFormsTest::nextRecordPutsTwoSpacesIntoTheFirstEmptyField()
{
    Talphanumerictestform form({}, clock);
    QVERIFY(showActive(form));
    for (const char* value : {"12345678", "031599", "123456", "Ann", "Smith"}) {
        type(QString::fromLatin1(value));
        press(Qt::Key_Tab);
    }
    press(Qt::Key_Tab);
    type(QStringLiteral("Boston"));
    child<QToolButton>(form, "nextscreenbtn")->click();
    QCOMPARE(form.windowTitle().right(11), QStringLiteral("(Record: 1)"));
    QCOMPARE(focused(), form.field(6));
    QCOMPARE(shown(form, 6), QStringLiteral("  "));

    type(QStringLiteral("Oak St"));
    press(Qt::Key_Down);
    press(Qt::Key_Return);
    QCOMPARE(form.windowTitle().right(11), QStringLiteral("(Record: 2)"));
    QCOMPARE(keyed(TestKind::alphanumeric, 1, 6), std::string("Oak St  "));
}

void TextTestFormsTest::alphaTypesInFrontOfItsSpacesAndStoresTrimmed()
{
    Talphatestform form({}, clock);
    QVERIFY(showActive(form));
    for (int field = 1; field <= 3; ++field) QCOMPARE(shown(form, field), QStringLiteral(" "));
    type(QStringLiteral("Ann"));
    QCOMPARE(shown(form, 1), QStringLiteral("Ann "));
    press(Qt::Key_Return);
    press(Qt::Key_Return);  // " " is blank
    QCOMPARE(focused(), form.field(2));
    child<QToolButton>(form, "nextscreenbtn")->click();
    QCOMPARE(shown(form, 2), QStringLiteral("  "));
    type(QStringLiteral("Smith"));
    press(Qt::Key_Return);
    type(QStringLiteral("Boston"));
    press(Qt::Key_Return);
    QCOMPARE(form.windowTitle(), QStringLiteral("5 minute alpha real mode test in progress (Record: 2)"));
    QCOMPARE(keyed(TestKind::alpha, 1, 1), std::string("Ann"));
    QCOMPARE(keyed(TestKind::alpha, 1, 2), std::string("Smith"));
    QCOMPARE(keyed(TestKind::alpha, 1, 3), std::string("Boston"));
    // A record not keyed before comes up as its keyed values stand: empty.
    for (int field = 1; field <= 3; ++field) QCOMPARE(shown(form, field), QString());
}

void TextTestFormsTest::onlyCancelThroughTheGateClosesTheWindow()
{
    bool answer = false;
    int asked = 0;
    Talphatestform form(
        [&] {
            ++asked;
            return answer;
        },
        clock);
    QVERIFY(showActive(form));
    press(Qt::Key_Escape);
    QVERIFY(form.isVisible());
    child<QPushButton>(form, "BitBtn1")->click();
    QCOMPARE(asked, 1);
    QVERIFY(form.isVisible());
    answer = true;
    child<QPushButton>(form, "BitBtn1")->click();
    QVERIFY(!form.isVisible());
    QVERIFY(!form.testTable().Active());
}

void TextTestFormsTest::missingTestTableIsShownAndTheWindowClosesUnrun()
{
    std::filesystem::remove(ProgramDir + "invsort.dat");
    Talphatestform form({}, clock);
    form.show();
    QVERIFY(!form.field(1)->isEnabled());
    QTRY_VERIFY(!form.isVisible());
    QCOMPARE(recorder->texts(testing_support::BoxKind::ErrorDisplay).size(), 1);
}

QTEST_MAIN(TextTestFormsTest)
#include "texttestforms_test.moc"
