// SPDX-License-Identifier: GPL-3.0-or-later
// The report window and the end of a scored run: the report's text, printing
// it to PDF pages, print failures, the offer of a PDF where no printer exists,
// and a results table that another process holds.

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "config/programstate.h"
#include "schemafile.h"
#include "scoring/testresults.h"
#include "scoring/ushowit.h"
#include "store/createtable.h"
#include "store/storetable.h"
#include "support/modal.h"
#include "support/recordingmessages.h"
#include "support/tableholder.h"
#include "support/tempdir.h"
#include "widgets/help.h"

using testing_support::BoxKind;
using testing_support::RecordingMessages;
using testing_support::TableHolder;
using testing_support::TempDir;
using testing_support::whenModalOpens;

namespace {

const QString WriteFailed = QStringLiteral("Error writing results to the database.");

scoring::Score sampleScore(int logEntries)
{
    scoring::Score score;
    score.TOTALKS = 600;
    score.TOTERRS = 3;
    score.TOTALFLDS = 120;
    score.FLDERRS = 2;
    score.TIME = 5.0083;
    score.KPH = 7188.0199;
    score.NKPH = 7152.08;
    score.ACCURACY = 99.5;
    for (int entry = 1; entry <= logEntries; ++entry)
        score.errorLog.insert(score.errorLog.end(), {"Record no.: " + std::to_string(entry) + ", Field no.: 1, 1 errors.",
                                                     "Keyed    >1", "On Record>2", ""});
    return score;
}

void makeResultsTable(const TempDir& folder)
{
    ProgramDir = folder.path().string() + "/";
    store::createTable(store::systemFileSystem(), ProgramDir + "results.dat",
                       tools::readSchemaFile(MOVARA_TABLE_SCHEMAS "/results.json"));
}

int resultRows()
{
    store::StoreTable table("count");
    table.setTableName(ProgramDir + "results.dat");
    table.setActive(true);
    return table.RowCount();
}

// The text of the PDF, or a null string when it cannot be read.
QString pdfText(const QString& path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(20000) || process.exitCode() != 0) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfInfo(const QString& path)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {path});
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Reads the report window's text when it opens, then closes it with Close.
void closeReportWhenShown(QString* seen)
{
    whenModalOpens([seen](QWidget* modal) {
        auto* form = qobject_cast<TshowitForm*>(modal);
        if (!form) {
            modal->close();
            return;
        }
        *seen = form->text();
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
    });
}

}  // namespace

class ShowitTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        Settings = SettingsRecord();
        RealMode = true;
    }
    void cleanup() { testing_support::forgetModalActions(); }

    void paneIsReadOnlyFixedPitchUnwrappedWithBothScrollBars();
    void reportOfARealRunNamesTheTesteeAndEndsWithTheLog();
    void practiceReportHasNoNameAndEveryUseReplacesTheText();
    void longReportOpensAtItsTop();
    void pdfOfTheReportHoldsEveryLineOnPagesOfTheJob();
    void printFailureIsShownAndTheWindowStaysOpen();
    void withoutPrinterTheReportIsOfferedAsPdf();
    void realRunStoresOneRowWithoutReportWhenReportsAreOff();
    void resultsHeldExclusivelyElsewhereStoreNothingButTheReportFollows();
};

void ShowitTest::paneIsReadOnlyFixedPitchUnwrappedWithBothScrollBars()
{
    TshowitForm form;
    QCOMPARE(ShowitForm, &form);
    auto* pane = form.findChild<QPlainTextEdit*>(QStringLiteral("RichEdit1"));
    QVERIFY(pane->isReadOnly());
    QCOMPARE(pane->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(pane->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(pane->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(pane->font().pixelSize(), 15);
    QVERIFY(QFontInfo(pane->font()).fixedPitch());
    QCOMPARE(form.windowTitle(), QStringLiteral("Test Results"));
    QCOMPARE(helpContextOf(&form), 1000);
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->text(), QStringLiteral("&Close"));
}

void ShowitTest::reportOfARealRunNamesTheTesteeAndEndsWithTheLog()
{
    TshowitForm form;
    Settings.lname = QStringLiteral("  Smith ");
    Settings.fname = QStringLiteral(" Jo");
    QString seen;
    closeReportWhenShown(&seen);
    showResultReport(form, sampleScore(1), TestKind::numeric, true);
    const QStringList lines = seen.split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("Test Results"));
    QVERIFY(lines.value(2).startsWith(QStringLiteral("Test date: ")));
    QCOMPARE(lines.value(3), QStringLiteral("Testee name: Smith,  Jo"));
    QCOMPARE(lines.value(4), QStringLiteral("Test type: Numeric, real mode"));
    QCOMPARE(lines.value(6), QStringLiteral("Gross keystrokes per hour: 7188.02"));
    QCOMPARE(lines.value(9), QStringLiteral("Duration (minutes): 5.01"));
    QCOMPARE(lines.mid(17), (QStringList{QString(), QStringLiteral("Record no.: 1, Field no.: 1, 1 errors."),
                                         QStringLiteral("Keyed    >1"), QStringLiteral("On Record>2"), QString()}));
    QVERIFY(!form.isVisible());
}

void ShowitTest::practiceReportHasNoNameAndEveryUseReplacesTheText()
{
    TshowitForm form;
    form.setText(QStringLiteral("left from before"));
    QString seen;
    closeReportWhenShown(&seen);
    showResultReport(form, sampleScore(0), TestKind::alpha, false);
    QVERIFY(!seen.contains(QStringLiteral("left from before")));
    QVERIFY(!seen.contains(QStringLiteral("Testee name")));
    QVERIFY(seen.contains(QStringLiteral("Test type: Alpha, practice mode")));
    QVERIFY(seen.endsWith(QStringLiteral("==============\n")));
}

void ShowitTest::longReportOpensAtItsTop()
{
    TshowitForm form;
    int scrolled = -1, scrollable = 0;
    whenModalOpens([&](QWidget* modal) {
        const QScrollBar* bar = modal->findChild<QPlainTextEdit*>(QStringLiteral("RichEdit1"))->verticalScrollBar();
        scrolled = bar->value();
        scrollable = bar->maximum();
        modal->close();
    });
    showResultReport(form, sampleScore(40), TestKind::numeric, true);
    QVERIFY(scrollable > 0);
    QCOMPARE(scrolled, 0);
}

void ShowitTest::pdfOfTheReportHoldsEveryLineOnPagesOfTheJob()
{
    TempDir folder;
    TshowitForm form;
    form.appendLine(QStringLiteral("Test Results"));
    for (int line = 1; line <= 150; ++line) form.appendLine(QStringLiteral("Line %1").arg(line));
    const QString wide = QStringLiteral("W").repeated(200) + QStringLiteral("END");
    form.appendLine(wide);
    const QString path = QString::fromStdString(folder.file("report.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    QVERIFY(form.printOn(printer));

    const QString text = pdfText(path);
    if (text.isNull()) QSKIP("pdftotext could not read the PDF (is poppler-utils installed?)");
    QVERIFY(text.contains(QStringLiteral("Test Results")));
    QVERIFY(text.contains(QStringLiteral("Line 1\n")));
    QVERIFY(text.contains(QStringLiteral("Line 150\n")));
    // The wide line goes on below rather than off the page.
    QVERIFY(text.contains(QStringLiteral("END")));
    const QString info = pdfInfo(path);
    QVERIFY(info.contains(QRegularExpression(QStringLiteral("Title:\\s+Test results\n"))));
    const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    QVERIFY(pages.captured(1).toInt() >= 2);
}

void ShowitTest::printFailureIsShownAndTheWindowStaysOpen()
{
    RecordingMessages recorder;
    TempDir folder;
    TshowitForm form;
    form.appendLine(QStringLiteral("Test Results"));
    form.show();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(folder.file("missing/report.pdf")));
    QVERIFY(!form.printOn(printer));
    QCOMPARE(recorder.texts(BoxKind::ErrorDisplay).size(), 1);
    QVERIFY(recorder.texts(BoxKind::ErrorDisplay).front().contains(QStringLiteral("missing/report.pdf")));
    QVERIFY(form.isVisible());
}

void ShowitTest::withoutPrinterTheReportIsOfferedAsPdf()
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty()) QSKIP("this machine has a printer");
    RecordingMessages recorder;
    TempDir folder;
    TshowitForm form;
    form.appendLine(QStringLiteral("Test Results"));
    QVERIFY(TshowitForm::defaultPdfPath().endsWith(QStringLiteral(".pdf")));

    recorder.answers = {false};
    form.BitBtn2Click();
    QCOMPARE(recorder.texts(BoxKind::Confirm).size(), 1);

    const QString chosen = QString::fromStdString(folder.file("chosen"));
    QString offered;
    whenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        offered = dialog->selectedFiles().value(0);
        dialog->selectFile(chosen);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    recorder.answers = {true};
    form.BitBtn2Click();
    QVERIFY(offered.endsWith(QStringLiteral(".pdf")));
    QVERIFY(QFile::exists(chosen + QStringLiteral(".pdf")));
    const QString text = pdfText(chosen + QStringLiteral(".pdf"));
    if (!text.isNull()) QVERIFY(text.contains(QStringLiteral("Test Results")));
    QVERIFY(recorder.texts(BoxKind::ErrorDisplay).isEmpty());
}

void ShowitTest::realRunStoresOneRowWithoutReportWhenReportsAreOff()
{
    RecordingMessages recorder;
    TempDir folder;
    makeResultsTable(folder);
    TshowitForm form;
    Settings.lname = QStringLiteral("Doe");
    RunState state(TestKind::numeric);
    state.StopTime = 0.25;
    store::StoreTable resultsdb("resultsdb");
    recordAndReport(resultsdb, sampleScore(2), state);
    QVERIFY(recorder.shown.empty());
    QCOMPARE(resultRows(), 1);
    store::StoreTable table("check");
    table.setTableName(ProgramDir + "results.dat");
    table.setActive(true);
    table.GoFirst();
    QCOMPARE(table.ReadText("NAME"), std::string("Doe,"));
    QCOMPARE(table.ReadText("TESTTIME"), std::string("6:00:00 AM"));

    RealMode = false;
    Settings.presults = false;
    recordAndReport(resultsdb, sampleScore(2), state);
    QCOMPARE(resultRows(), 1);
}

void ShowitTest::resultsHeldExclusivelyElsewhereStoreNothingButTheReportFollows()
{
    RecordingMessages recorder;
    TempDir folder;
    makeResultsTable(folder);
    TshowitForm form;
    Settings.rresults = true;
    RunState state(TestKind::alphanumeric);
    store::StoreTable resultsdb("resultsdb");
    resultsdb.setLockRetryCount(1);
    QString seen;
    {
        TableHolder holder(ProgramDir + "results.dat", true);
        QVERIFY(holder.ready);
        closeReportWhenShown(&seen);
        recordAndReport(resultsdb, sampleScore(1), state);
    }
    QCOMPARE(recorder.texts(BoxKind::Error), QStringList{WriteFailed});
    QVERIFY(seen.contains(QStringLiteral("Test type: Alphanumeric, real mode")));
    QVERIFY(!resultsdb.Active());
    QCOMPARE(resultRows(), 0);
    QProcess verify;
    verify.start(QStringLiteral(TABLETOOL), {QStringLiteral("verify"), QString::fromStdString(ProgramDir + "results.dat")});
    QVERIFY(verify.waitForFinished(20000));
    QCOMPARE(verify.readAllStandardOutput().trimmed(), QByteArray("OK"));
    QCOMPARE(verify.exitCode(), 0);
}

QTEST_MAIN(ShowitTest)
#include "showit_test.moc"
