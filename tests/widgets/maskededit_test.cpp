// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "widgets/maskededit.h"
#include "widgets/text.h"

namespace {

const QString InvoiceMask = QStringLiteral("99999999;0; ");
const QString DateMask = QStringLiteral("99/99/99;1; ");
const QString AmountMask = QStringLiteral("9999.99;1; ");

// A window with two fields, so that focus can arrive by Tab.
struct Fields {
    QWidget window;
    MaskedEdit* first = new MaskedEdit(&window);
    MaskedEdit* second = new MaskedEdit(&window);
    bool active = false;

    explicit Fields(const QString& mask = QString())
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(first);
        layout->addWidget(second);
        first->setMask(mask);
        second->setMask(mask);
        window.show();
        QApplication::setActiveWindow(&window);
        active = QTest::qWaitForWindowActive(&window);
        first->setFocus();
    }
};

}  // namespace

class MaskedEditTest : public QObject {
    Q_OBJECT

private slots:
    void masksYieldTheirTexts_data();
    void masksYieldTheirTexts();
    void typingTakesDigitsOnlyAndStepsOverLiterals();
    void typedLiteralMovesPastItsPlace();
    void backspaceAndDeleteUnfillOverLiterals();
    void deleteJustBeforeALiteralUnfillsThePlaceBeyondIt();
    void selectionIsUnfilledByDeleteAndReplacedByTyping();
    void pasteGoesThroughTheMask();
    void programTextIsLaidOnTheMaskWithTheCaretAtTheStart();
    void changeIsReportedOnceWithTheCaretInPlace();
    void upperCaseShowsAndKeepsCapitals();
    void enteringKeepsTheCaretAndSelectsNothing();
    void plainFieldTypesInFrontOfAProgramText();
};

void MaskedEditTest::masksYieldTheirTexts_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("invoice unfilled") << InvoiceMask << "" << "        " << "";
    QTest::newRow("invoice partly") << InvoiceMask << "1234" << "1234    " << "1234";
    QTest::newRow("invoice complete") << InvoiceMask << "12345678" << "12345678" << "12345678";
    QTest::newRow("date unfilled") << DateMask << "" << "  /  /  " << "/  /";
    QTest::newRow("date partly") << DateMask << "031" << "03/1 /  " << "03/1 /";
    QTest::newRow("date complete") << DateMask << "031599" << "03/15/99" << "03/15/99";
    QTest::newRow("amount unfilled") << AmountMask << "" << "    .  " << ".";
    QTest::newRow("amount partly") << AmountMask << "12" << "12  .  " << "12  .";
    QTest::newRow("amount complete") << AmountMask << "123456" << "1234.56" << "1234.56";
    QTest::newRow("amount past its end") << AmountMask << "12345678" << "1234.56" << "1234.56";
}

void MaskedEditTest::masksYieldTheirTexts()
{
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, trimmed);
    Fields fields(mask);
    QTest::keyClicks(fields.first, typed);
    QCOMPARE(fields.first->fieldText(), shown);
    QCOMPARE(trimBlanks(fields.first->fieldText()), trimmed);
    QCOMPARE(fields.first->text(), shown);
}

void MaskedEditTest::typingTakesDigitsOnlyAndStepsOverLiterals()
{
    Fields fields(DateMask);
    MaskedEdit* date = fields.first;
    QTest::keyClicks(date, QStringLiteral("a0 x3"));
    QCOMPARE(date->fieldText(), QStringLiteral("03/  /  "));
    QCOMPARE(date->cursorPosition(), 3);

    // A caret put on a literal by the arrow keys types into the next digit.
    QTest::keyClick(date, Qt::Key_Left);
    QCOMPARE(date->cursorPosition(), 2);
    QTest::keyClick(date, Qt::Key_1);
    QCOMPARE(date->fieldText(), QStringLiteral("03/1 /  "));
    QCOMPARE(date->cursorPosition(), 4);

    QTest::keyClicks(date, QStringLiteral("5999"));
    QCOMPARE(date->fieldText(), QStringLiteral("03/15/99"));
    QCOMPARE(date->cursorPosition(), 8);
}

void MaskedEditTest::typedLiteralMovesPastItsPlace()
{
    Fields fields(AmountMask);
    QTest::keyClicks(fields.first, QStringLiteral("12.5"));
    QCOMPARE(fields.first->fieldText(), QStringLiteral("12  .5 "));

    Fields dates(DateMask);
    QTest::keyClicks(dates.first, QStringLiteral("03/15/99"));
    QCOMPARE(dates.first->fieldText(), QStringLiteral("03/15/99"));
}

void MaskedEditTest::backspaceAndDeleteUnfillOverLiterals()
{
    Fields fields(AmountMask);
    MaskedEdit* amount = fields.first;
    QTest::keyClicks(amount, QStringLiteral("123456"));

    QTest::keyClick(amount, Qt::Key_Home);
    for (int step = 0; step < 5; ++step) QTest::keyClick(amount, Qt::Key_Right);
    QTest::keyClick(amount, Qt::Key_Backspace);  // at "1234.|56": over the point onto the 4
    QCOMPARE(amount->fieldText(), QStringLiteral("123 .56"));
    QCOMPARE(amount->cursorPosition(), 3);

    // At "123| .56" the position is unfilled already; the caret moves on over the point.
    QTest::keyClick(amount, Qt::Key_Delete);
    QCOMPARE(amount->fieldText(), QStringLiteral("123 .56"));
    QCOMPARE(amount->cursorPosition(), 5);
    QTest::keyClick(amount, Qt::Key_Delete);
    QCOMPARE(amount->fieldText(), QStringLiteral("123 . 6"));
    QCOMPARE(amount->cursorPosition(), 6);
    QTest::keyClick(amount, Qt::Key_Delete);
    QTest::keyClick(amount, Qt::Key_Delete);  // nothing left to its right
    QCOMPARE(amount->fieldText(), QStringLiteral("123 .  "));

    QTest::keyClick(amount, Qt::Key_Home);
    QTest::keyClick(amount, Qt::Key_Backspace);  // nothing left to its left
    QCOMPARE(amount->fieldText(), QStringLiteral("123 .  "));
    QCOMPARE(amount->text().size(), 7);
}

void MaskedEditTest::deleteJustBeforeALiteralUnfillsThePlaceBeyondIt()
{
    Fields fields(AmountMask);
    MaskedEdit* amount = fields.first;
    QTest::keyClicks(amount, QStringLiteral("123456"));
    amount->setCursorPosition(4);
    QTest::keyClick(amount, Qt::Key_Delete);
    QCOMPARE(amount->fieldText(), QStringLiteral("1234. 6"));
}

void MaskedEditTest::selectionIsUnfilledByDeleteAndReplacedByTyping()
{
    Fields fields(DateMask);
    MaskedEdit* date = fields.first;
    QTest::keyClicks(date, QStringLiteral("031599"));
    date->setSelection(1, 4);  // "3/15"
    QTest::keyClick(date, Qt::Key_Delete);
    QCOMPARE(date->fieldText(), QStringLiteral("0 /  /99"));
    QCOMPARE(date->cursorPosition(), 1);

    date->setSelection(0, 8);
    QTest::keyClick(date, Qt::Key_X);  // refused: the selection stays filled as it is
    QCOMPARE(date->fieldText(), QStringLiteral("0 /  /99"));
    QTest::keyClick(date, Qt::Key_7);
    QCOMPARE(date->fieldText(), QStringLiteral("7 /  /  "));
    QCOMPARE(date->cursorPosition(), 1);
}

void MaskedEditTest::pasteGoesThroughTheMask()
{
    Fields fields(InvoiceMask);
    MaskedEdit* invoice = fields.first;
    QGuiApplication::clipboard()->setText(QStringLiteral("12ab34 5678-90"));
    QTest::keyClick(invoice, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(invoice->fieldText(), QStringLiteral("12345678"));

    Fields dates(DateMask);
    dates.first->pasteText(QStringLiteral("3/15/99"));  // the 3 fills the month's first digit
    QCOMPARE(dates.first->fieldText(), QStringLiteral("3 /15/99"));

    Fields amounts(AmountMask);
    QTest::keyClicks(amounts.first, QStringLiteral("9999"));
    amounts.first->setSelection(1, 3);
    QGuiApplication::clipboard()->setText(QStringLiteral("12.50"));
    QTest::keyClick(amounts.first, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(amounts.first->fieldText(), QStringLiteral("912 .50"));
}

void MaskedEditTest::programTextIsLaidOnTheMaskWithTheCaretAtTheStart()
{
    Fields fields(DateMask);
    MaskedEdit* date = fields.first;
    date->setFieldText(QStringLiteral("03/15/99"));
    QCOMPARE(date->fieldText(), QStringLiteral("03/15/99"));
    QCOMPARE(date->cursorPosition(), 0);
    date->setFieldText(QString());
    QCOMPARE(date->fieldText(), QStringLiteral("  /  /  "));
    date->setFieldText(QStringLiteral("12/x /  "));
    QCOMPARE(date->fieldText(), QStringLiteral("12/  /  "));

    // Without its literals in the text, the digits fill the positions in order.
    Fields invoices(InvoiceMask);
    invoices.first->setFieldText(QStringLiteral("  "));
    QCOMPARE(trimBlanks(invoices.first->fieldText()), QString());
    invoices.first->setFieldText(QStringLiteral("1234"));
    QCOMPARE(invoices.first->fieldText(), QStringLiteral("1234    "));
    QCOMPARE(invoices.first->cursorPosition(), 0);
    QTest::keyClick(invoices.first, Qt::Key_9);  // typing overwrites from the start
    QCOMPARE(invoices.first->fieldText(), QStringLiteral("9234    "));

    Fields amounts(AmountMask);
    amounts.first->setFieldText(QStringLiteral("12  .  "));
    QCOMPARE(amounts.first->fieldText(), QStringLiteral("12  .  "));
}

void MaskedEditTest::changeIsReportedOnceWithTheCaretInPlace()
{
    for (const QString& mask : {AmountMask, QString()}) {
        Fields fields(mask);
        MaskedEdit* field = fields.first;
        QList<int> carets;
        connect(field, &MaskedEdit::changed, field, [&] { carets << field->cursorPosition(); });

        QTest::keyClick(field, Qt::Key_1);
        QCOMPARE(carets, QList<int>{1});
        field->setFieldText(QStringLiteral("1234.56"));
        QCOMPARE(carets, (QList<int>{1, 0}));
        field->setFieldText(QStringLiteral("1234.56"));  // no change, nothing reported
        QCOMPARE(carets.size(), 2);
        QTest::keyClick(field, Qt::Key_Right);
        QCOMPARE(carets.size(), 2);
        QTest::keyClick(field, Qt::Key_End);
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(carets, (QList<int>{1, 0, 6}));
    }
}

void MaskedEditTest::upperCaseShowsAndKeepsCapitals()
{
    Fields fields;
    MaskedEdit* name = fields.first;
    QTest::keyClicks(name, QStringLiteral("smith"));
    name->setCharCase(MaskedEdit::CharCase::upper);
    QCOMPARE(name->fieldText(), QStringLiteral("SMITH"));

    name->setFieldText(QString());
    QTest::keyClicks(name, QStringLiteral("jones"));
    QCOMPARE(name->fieldText(), QStringLiteral("JONES"));
    name->pasteText(QStringLiteral("-ab"));
    QCOMPARE(name->fieldText(), QStringLiteral("JONES-AB"));
    name->setFieldText(QStringLiteral("lee"));
    QCOMPARE(name->fieldText(), QStringLiteral("LEE"));

    name->setCharCase(MaskedEdit::CharCase::normal);
    QTest::keyClicks(name, QStringLiteral("x"));
    QCOMPARE(name->fieldText(), QStringLiteral("xLEE"));
}

void MaskedEditTest::enteringKeepsTheCaretAndSelectsNothing()
{
    for (const QString& mask : {DateMask, QString()}) {
        Fields fields(mask);
        QVERIFY(fields.active);
        fields.second->setFieldText(QStringLiteral("12/31/99"));
        QTest::keyClick(fields.first, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), fields.second);
        QVERIFY(!fields.second->hasSelectedText());
        QCOMPARE(fields.second->cursorPosition(), 0);

        fields.second->setCursorPosition(4);
        QTest::keyClick(fields.second, Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyClick(fields.first, Qt::Key_Tab);
        QVERIFY(!fields.second->hasSelectedText());
        QCOMPARE(fields.second->cursorPosition(), 4);
    }
}

void MaskedEditTest::plainFieldTypesInFrontOfAProgramText()
{
    Fields fields;
    QVERIFY(fields.active);
    fields.second->setFieldText(QStringLiteral("  "));
    QTest::keyClick(fields.first, Qt::Key_Tab);
    QTest::keyClicks(fields.second, QStringLiteral("Oak St"));
    QCOMPARE(fields.second->fieldText(), QStringLiteral("Oak St  "));
    QCOMPARE(fields.second->maxLength(), 32767);
}

QTEST_MAIN(MaskedEditTest)
#include "maskededit_test.moc"
