// SPDX-License-Identifier: GPL-3.0-or-later
// A testee's history over a real results table: the rows of one name (in any
// letter case, with blanks around it) and no other, charted per kind in date
// order with the criteria in force, opened from the results window, and
// printed as one PDF page with the chart and the list.

#include <QCheckBox>
#include <QDir>
#include <QLineSeries>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <QChart>

#include "results/uhistory.h"
#include "scoring/criteria.h"
#include "support/criteriatable.h"
#include "support/resultswindow.h"

using testing_support::ResultRow;
using testing_support::ResultsDesk;
using testing_support::sampleResult;

namespace {

const char* const Kinds[] = {"numeric", "alphanumeric", "alpha"};

// Twelve results of one testee over three kinds, stored out of date order
// and under three spellings of the name, among results of similar names.
std::vector<ResultRow> historyRows()
{
    std::vector<ResultRow> rows;
    const char* const spellings[] = {"Smith, Ann", "  SMITH, ann ", "smith, ANN"};
    for (int test = 0; test < 12; ++test) {
        const int day = (test * 7) % 12 + 1;  // every day of 1 to 12, shuffled
        ResultRow row = sampleResult(test, Kinds[test % 3]);
        row.name = spellings[test % 3];
        row.nkph = 6000 + 250 * day;
        row.accuracy = 90 + day / 2.0;
        row.testdate = QStringLiteral("01/%1/26").arg(day, 2, 10, QLatin1Char('0')).toStdString();
        rows.push_back(row);
    }
    for (const char* other : {"Smith, An", "Smith, Anne", "Smithson, Ann"}) {
        ResultRow row = sampleResult(40, "numeric");
        row.name = other;
        rows.push_back(row);
    }
    return rows;
}

QLineSeries* seriesNamed(QChart* chart, const QString& name)
{
    for (QAbstractSeries* series : chart->series())
        if (series->name() == name) return qobject_cast<QLineSeries*>(series);
    return nullptr;
}

}  // namespace

class HistoryTest : public QObject {
    Q_OBJECT

private slots:
    void theResultsWindowChartsEveryResultOfTheTesteeInDateOrder();
    void aPrintedHistoryIsOnePageWithTheChartAndTheList();
};

void HistoryTest::theResultsWindowChartsEveryResultOfTheTesteeInDateOrder()
{
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), historyRows());
    testing_support::makeNumericCriteria();
    bool charted = false;
    desk.open([&] {
        desk.choose(QStringLiteral("ComboBox1"), QStringLiteral("Name"));
        QVERIFY(desk.form.resultsdb.FindNearest("smith, ann"));
        QCOMPARE(desk.form.resultsdb.ReadText("NAME"), std::string("Smith, Ann"));
        QTimer::singleShot(0, &desk.form, [&] {
            auto* history = qobject_cast<ThistoryForm*>(QApplication::activeModalWidget());
            QVERIFY(history);
            QCOMPARE(history->entries().size(), std::size_t(12));
            for (const char* kind : Kinds) {
                QLineSeries* net = seriesNamed(history->chart(), QString::fromLatin1(kind) + QStringLiteral(" net KPH"));
                QLineSeries* accuracy = seriesNamed(history->chart(), QString::fromLatin1(kind) + QStringLiteral(" accuracy"));
                QVERIFY(net && accuracy);
                QCOMPARE(net->count(), 4);
                for (int point = 0; point < net->count(); ++point) {
                    if (point > 0) QVERIFY(net->at(point).x() > net->at(point - 1).x());
                    const double day = (net->at(point).y() - 6000) / 250;  // the figures grow with the date
                    QCOMPARE(accuracy->at(point).y(), 90 + day / 2);
                    if (point > 0) QVERIFY(net->at(point).y() > net->at(point - 1).y());
                }
            }
            QLineSeries* bar = seriesNamed(history->chart(), QStringLiteral("numeric minimum net KPH"));
            QVERIFY(bar && bar->count() == 2 && bar->at(0).y() == 8000);
            QVERIFY(seriesNamed(history->chart(), QStringLiteral("numeric minimum accuracy")));
            QVERIFY(!seriesNamed(history->chart(), QStringLiteral("alpha minimum net KPH")));
            charted = true;
            history->done(QDialog::Accepted);
        });
        desk.form.findChild<QAction*>(QStringLiteral("History1"))->trigger();
    });
    QVERIFY(charted);
}

void HistoryTest::aPrintedHistoryIsOnePageWithTheChartAndTheList()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    ResultsDesk desk;
    testing_support::insertResults(desk.tablePath(), historyRows());
    testing_support::makeNumericCriteria();
    store::StoreTable criteriadb("criteriadb");
    ThistoryForm history;
    history.load(desk.tablePath(), QStringLiteral("smith, ann"), scoring::readCriteria(criteriadb, ProgramDir + scoring::CriteriaTableName));
    const QString pdf = QString::fromStdString(desk.folder.file("history.pdf"));
    QVERIFY(history.savePdf(pdf));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(20000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    QCOMPARE(printed.count(QLatin1Char('\f')), 1);  // one page
    for (const QString& expected : {QStringLiteral("History of smith, ann"), QStringLiteral("Pass criteria: numeric"),
                                    QStringLiteral("Net KPH"), QStringLiteral("Accuracy (%)"),
                                    QStringLiteral("Fail (net KPH below 8,000.00, accuracy below 95.00)"),
                                    QStringLiteral("Pass")})
        QVERIFY2(printed.contains(expected), qPrintable(expected + QStringLiteral(" not in:\n") + printed));
    for (int day = 1; day <= 12; ++day)
        QVERIFY(printed.contains(QStringLiteral("01/%1/26").arg(day, 2, 10, QLatin1Char('0'))));
    const QString folder = QStringLiteral(MOVARA_SCREENSHOT_DIR);
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(history.savePng(folder + QStringLiteral("/history.png")));
}

QTEST_MAIN(HistoryTest)
#include "history_test.moc"
