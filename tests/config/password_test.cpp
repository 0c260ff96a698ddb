// SPDX-License-Identifier: GPL-3.0-or-later
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "config/programstate.h"
#include "config/uchgpass.h"
#include "config/ugetpass.h"
#include "support/fakedbfuncs.h"
#include "support/recordingmessages.h"

using testing_support::BoxKind;
using testing_support::FakeDbfuncs;
using testing_support::RecordingMessages;

namespace {

QLineEdit* field(QWidget* dialog, const char* name)
{
    return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
}

void press(QWidget* dialog, const char* button)
{
    QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
}

void type(QWidget* dialog, const char* name, const QString& text)
{
    QTest::keyClicks(field(dialog, name), text);
}

}  // namespace

class PasswordTest : public QObject {
    Q_OBJECT

private slots:
    void init();

    void entryOpensUnacceptedEmptyAndFocused();
    void lowerCaseEntryWithBlanksAroundIsAccepted();
    void wrongEntryAsksAgainAsOftenAsNeeded();
    void cancelledEntryLeavesPasswordUnaccepted();
    void eleventhCharacterCannotBeTyped();

    void differentNewPasswordsAreRefusedAndEntryRestarts();
    void blanksMustMatchAtChangeAndAreTrimmedWhenStored();
    void bothFieldsEmptyRemovesThePassword();
    void failedSaveRestoresThePasswordInForce();
    void cancelledChangeKeepsTheOldPassword();

private:
    RecordingMessages recorder;
    std::unique_ptr<FakeDbfuncs> fake;
    FakeDbfuncs* dbfuncs = nullptr;
};

void PasswordTest::init()
{
    Settings = SettingsRecord();
    PasswordAccepted = false;
    recorder.clear();
    fake = std::make_unique<FakeDbfuncs>();
    dbfuncs = fake.get();
}

void PasswordTest::entryOpensUnacceptedEmptyAndFocused()
{
    TgetpasswordForm dialog;
    PasswordAccepted = true;
    field(&dialog, "Password")->setText(QStringLiteral("LEFT OVER"));
    dialog.show();
    QVERIFY(!PasswordAccepted);
    QCOMPARE(field(&dialog, "Password")->text(), QString());
    QCOMPARE(dialog.focusWidget(), field(&dialog, "Password"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Password Required"));
}

void PasswordTest::lowerCaseEntryWithBlanksAroundIsAccepted()
{
    Settings.password = QStringLiteral("SECRET ");
    TgetpasswordForm dialog;
    dialog.show();
    type(&dialog, "Password", QStringLiteral("  secret"));
    QTest::keyClick(field(&dialog, "Password"), Qt::Key_Return);
    QVERIFY(PasswordAccepted);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
    QVERIFY(recorder.shown.empty());
}

void PasswordTest::wrongEntryAsksAgainAsOftenAsNeeded()
{
    Settings.password = QStringLiteral("SECRET");
    TgetpasswordForm dialog;
    dialog.show();
    for (const char* attempt : {"secre", "secrets"}) {
        type(&dialog, "Password", QString::fromLatin1(attempt));
        press(&dialog, "OKBtn");
        QVERIFY(dialog.isVisible());
        QVERIFY(!PasswordAccepted);
        QCOMPARE(field(&dialog, "Password")->text(), QString());
        QCOMPARE(dialog.focusWidget(), field(&dialog, "Password"));
    }
    QCOMPARE(recorder.texts(BoxKind::Error), QStringList(2, QStringLiteral("Incorrect password.")));
    type(&dialog, "Password", QStringLiteral("secret"));
    press(&dialog, "OKBtn");
    QVERIFY(PasswordAccepted);
}

void PasswordTest::cancelledEntryLeavesPasswordUnaccepted()
{
    Settings.password = QStringLiteral("SECRET");
    TgetpasswordForm dialog;
    dialog.show();
    type(&dialog, "Password", QStringLiteral("secret"));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!PasswordAccepted);
}

void PasswordTest::eleventhCharacterCannotBeTyped()
{
    TgetpasswordForm entry;
    entry.show();
    type(&entry, "Password", QStringLiteral("abcdefghijk"));
    QCOMPARE(field(&entry, "Password")->text(), QStringLiteral("ABCDEFGHIJ"));

    Tpasswordchangeform change(*dbfuncs);
    change.show();
    for (const char* name : {"Edit1", "Edit2"}) {
        type(&change, name, QStringLiteral("abcdefghijk"));
        QCOMPARE(field(&change, name)->text(), QStringLiteral("ABCDEFGHIJ"));
        QCOMPARE(field(&change, name)->displayText(), QStringLiteral("**********"));
    }
}

void PasswordTest::differentNewPasswordsAreRefusedAndEntryRestarts()
{
    Settings.password = QStringLiteral("OLD");
    Tpasswordchangeform dialog(*dbfuncs);
    dialog.show();
    type(&dialog, "Edit1", QStringLiteral("new"));
    type(&dialog, "Edit2", QStringLiteral("newer"));
    press(&dialog, "OKBtn");
    QCOMPARE(recorder.texts(BoxKind::Error), QStringList{QStringLiteral("Passwords are not the same. Please try again.")});
    QVERIFY(dialog.isVisible());
    QCOMPARE(field(&dialog, "Edit1")->text(), QString());
    QCOMPARE(field(&dialog, "Edit2")->text(), QString());
    QCOMPARE(dialog.focusWidget(), field(&dialog, "Edit1"));
    QCOMPARE(dbfuncs->savepasswordCalls, 0);
    QCOMPARE(Settings.password, QStringLiteral("OLD"));
}

void PasswordTest::blanksMustMatchAtChangeAndAreTrimmedWhenStored()
{
    Tpasswordchangeform dialog(*dbfuncs);
    dialog.show();
    type(&dialog, "Edit1", QStringLiteral(" new"));
    type(&dialog, "Edit2", QStringLiteral("new"));
    press(&dialog, "OKBtn");
    QCOMPARE(recorder.texts(BoxKind::Error).size(), 1);

    type(&dialog, "Edit1", QStringLiteral(" new "));
    type(&dialog, "Edit2", QStringLiteral(" new "));
    press(&dialog, "OKBtn");
    QCOMPARE(Settings.password, QStringLiteral("NEW"));
    QCOMPARE(dbfuncs->row.password, QStringLiteral("NEW"));
    QCOMPARE(recorder.texts(BoxKind::Message), QStringList{QStringLiteral("Password change successful.")});
    QVERIFY(!dialog.isVisible());
}

void PasswordTest::bothFieldsEmptyRemovesThePassword()
{
    Settings.password = QStringLiteral("OLD");
    dbfuncs->row.password = QStringLiteral("OLD");
    Tpasswordchangeform dialog(*dbfuncs);
    dialog.show();
    QTest::keyClick(field(&dialog, "Edit1"), Qt::Key_Return);
    QCOMPARE(Settings.password, QString());
    QCOMPARE(dbfuncs->row.password, QString());
    QCOMPARE(recorder.texts(BoxKind::Message), QStringList{QStringLiteral("Password change successful.")});
}

void PasswordTest::failedSaveRestoresThePasswordInForce()
{
    Settings.password = QStringLiteral("OLD");
    dbfuncs->writable = false;
    Tpasswordchangeform dialog(*dbfuncs);
    dialog.show();
    type(&dialog, "Edit1", QStringLiteral("new"));
    type(&dialog, "Edit2", QStringLiteral("new"));
    press(&dialog, "OKBtn");
    QCOMPARE(dbfuncs->savepasswordCalls, 1);
    QCOMPARE(recorder.texts(BoxKind::Error),
             QStringList{QStringLiteral("There was an error saving your new password. Password NOT changed.")});
    QCOMPARE(Settings.password, QStringLiteral("OLD"));
    QVERIFY(!dialog.isVisible());
}

void PasswordTest::cancelledChangeKeepsTheOldPassword()
{
    Settings.password = QStringLiteral("OLD");
    Tpasswordchangeform dialog(*dbfuncs);
    for (const auto cancel : {+[](QWidget* shown) { press(shown, "CancelBtn"); },
                              +[](QWidget* shown) { QTest::keyClick(shown, Qt::Key_Escape); }}) {
        dialog.show();
        type(&dialog, "Edit1", QStringLiteral("new"));
        type(&dialog, "Edit2", QStringLiteral("new"));
        cancel(&dialog);
        QVERIFY(!dialog.isVisible());
    }
    QCOMPARE(recorder.texts(BoxKind::Message), QStringList(2, QStringLiteral("Password has NOT been changed.")));
    QCOMPARE(Settings.password, QStringLiteral("OLD"));
    QCOMPARE(dbfuncs->savepasswordCalls, 0);
}

QTEST_MAIN(PasswordTest)
#include "password_test.moc"
