// SPDX-License-Identifier: GPL-3.0-or-later
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "config/programstate.h"
#include "config/ugetname.h"
#include "support/fakedbfuncs.h"
#include "support/recordingmessages.h"

using testing_support::FakeDbfuncs;
using testing_support::RecordingMessages;

class NameTest : public QObject {
    Q_OBJECT

private slots:
    void init();

    void opensWithTheNameInMemoryAndFocusOnFirstName();
    void emptyFieldTakesTheFocusAndKeepsTheDialogOpen();
    void singleBlankIsAName();
    void rowReceivesThePreviousNameAndMemoryTheNewOne();
    void cancelChangesNothing();

private:
    QLineEdit* first() { return dialog->findChild<QLineEdit*>(QStringLiteral("Edit1")); }
    QLineEdit* last() { return dialog->findChild<QLineEdit*>(QStringLiteral("Edit2")); }
    void pressOk() { QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OKBtn")), Qt::LeftButton); }

    RecordingMessages recorder;
    std::unique_ptr<FakeDbfuncs> fake;
    FakeDbfuncs* dbfuncs = nullptr;
    std::unique_ptr<Tgetnameform> dialog;
};

void NameTest::init()
{
    Settings = SettingsRecord();
    fake = std::make_unique<FakeDbfuncs>();
    dbfuncs = fake.get();
    dialog = std::make_unique<Tgetnameform>(*dbfuncs);
}

void NameTest::opensWithTheNameInMemoryAndFocusOnFirstName()
{
    Settings.fname = QStringLiteral("Ann");
    Settings.lname = QStringLiteral("Lee");
    dialog->show();
    QCOMPARE(first()->text(), QStringLiteral("Ann"));
    QCOMPARE(last()->text(), QStringLiteral("Lee"));
    QCOMPARE(dialog->focusWidget(), first());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Please enter your name"));
    QCOMPARE(first()->nextInFocusChain(), last());
}

void NameTest::emptyFieldTakesTheFocusAndKeepsTheDialogOpen()
{
    dialog->show();
    last()->setFocus();
    pressOk();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->focusWidget(), first());

    first()->setText(QStringLiteral("Ann"));
    first()->setFocus();
    pressOk();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->focusWidget(), last());
    QCOMPARE(dbfuncs->savenameCalls, 0);
    QVERIFY(recorder.shown.empty());
}

void NameTest::singleBlankIsAName()
{
    dialog->show();
    first()->setText(QStringLiteral(" "));
    last()->setText(QStringLiteral(" Lee "));
    QTest::keyClick(last(), Qt::Key_Return);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(Settings.fname, QStringLiteral(" "));
    QCOMPARE(Settings.lname, QStringLiteral(" Lee "));
}

void NameTest::rowReceivesThePreviousNameAndMemoryTheNewOne()
{
    Settings.fname = QStringLiteral("Ann");
    Settings.lname = QStringLiteral("Lee");
    dialog->show();
    first()->setText(QStringLiteral("Bob"));
    last()->setText(QStringLiteral("Ray"));
    pressOk();
    QCOMPARE(dbfuncs->savenameCalls, 1);
    QCOMPARE(dbfuncs->row.fname, QStringLiteral("Ann"));
    QCOMPARE(dbfuncs->row.lname, QStringLiteral("Lee"));
    QCOMPARE(Settings.fname, QStringLiteral("Bob"));
    QCOMPARE(Settings.lname, QStringLiteral("Ray"));

    dialog->show();
    QCOMPARE(first()->text(), QStringLiteral("Bob"));
    QCOMPARE(last()->text(), QStringLiteral("Ray"));

    // A failing save is silent and still takes the new name.
    dbfuncs->writable = false;
    first()->setText(QStringLiteral("Cy"));
    pressOk();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(Settings.fname, QStringLiteral("Cy"));
    QVERIFY(recorder.shown.empty());
}

void NameTest::cancelChangesNothing()
{
    Settings.fname = QStringLiteral("Ann");
    Settings.lname = QStringLiteral("Lee");
    dialog->show();
    first()->setText(QStringLiteral("Bob"));
    QTest::keyClick(first(), Qt::Key_Escape);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(Settings.fname, QStringLiteral("Ann"));

    // Enter on a focused Cancel cancels; it does not press the default OK.
    dialog->show();
    first()->setText(QStringLiteral("Bob"));
    auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("CancelBtn"));
    cancel->setFocus();
    QTest::keyClick(cancel, Qt::Key_Return);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QVERIFY(!dialog->isVisible());
    QCOMPARE(Settings.fname, QStringLiteral("Ann"));
    QCOMPARE(dbfuncs->savenameCalls, 0);
}

QTEST_MAIN(NameTest)
#include "name_test.moc"
