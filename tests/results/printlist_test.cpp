// SPDX-License-Identifier: GPL-3.0-or-later
// The printed results list rendered to PDF files and read back with
// pdftotext -bbox: every text at its column's place to within 1 mm, the
// masks, the bands of each page, and where the handle stands afterwards.

#include <cmath>
#include <map>
#include <regex>

#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "results/uprnt.h"
#include "support/resultstable.h"
#include "store/storetable.h"
#include "support/tempdir.h"

using testing_support::ResultRow;
using testing_support::sampleResult;
using testing_support::TempDir;

namespace {

constexpr double PointsPerMm = 72.0 / 25.4;
constexpr double Margin = 12.7;
constexpr double BandHeight = 10.6;
constexpr double TextDrop = 4.2;
constexpr double Tolerance = 1.0;

struct Word {
    QString text;
    double left, top, right;  // millimetres from the paper's top left
};
using Page = std::vector<Word>;

// The words of each page as pdftotext -bbox places them.
std::vector<Page> readPdf(const QString& path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    process.waitForFinished(30000);
    const std::string html = process.readAllStandardOutput().toStdString();
    const std::regex tag(R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re");
    std::vector<Page> pages;
    for (auto match = std::sregex_iterator(html.begin(), html.end(), tag); match != std::sregex_iterator(); ++match) {
        if (!(*match)[1].matched) {
            pages.emplace_back();
            continue;
        }
        pages.back().push_back({QString::fromStdString((*match)[4]), std::stod((*match)[1]) / PointsPerMm,
                                std::stod((*match)[2]) / PointsPerMm, std::stod((*match)[3]) / PointsPerMm});
    }
    return pages;
}

const Word* find(const Page& page, const QString& text, int occurrence = 0)
{
    for (const Word& word : page)
        if (word.text == text && occurrence-- == 0) return &word;
    return nullptr;
}

QStringList wordsOf(const Page& page)
{
    QStringList texts;
    for (const Word& word : page) texts.append(word.text);
    return texts;
}

// The top of the band's texts, from the paper's top edge.
double textTop(int band)
{
    return Margin + band * BandHeight + TextDrop;
}

bool near(double actual, double expected)
{
    return std::abs(actual - expected) <= Tolerance;
}

// A list table, its handle open as the results window leaves it.
struct ListTable {
    ListTable()
    {
        testing_support::makeResultsTable(path);
        table.setTableName(path);
    }
    void fill(const std::vector<ResultRow>& rows)
    {
        testing_support::insertResults(path, rows);
    }
    QString render()
    {
        if (!table.Active()) table.setActive(true);
        const QString pdf = QString::fromStdString(folder.file("list.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        holder.renderPages(table, printer);
        return pdf;
    }

    TempDir folder;
    std::string path = folder.file("results.dat");
    store::StoreTable table{"resultsdb"};
    Tprintresultsform holder;
};

const QStringList Captions{"Testee", "KPH",      "Net",       "Accuracy", "Ttl",       "Ttl",
                           "Ttl",    "Ttl",      "Duration",  "Test",     "Test",      "Time"};
const std::vector<double> CaptionLefts{2.1, 44.4, 57.1, 74.1, 95.8, 112.7, 131.8, 152.4, 171.5, 190.5, 215.9, 239.2};

}  // namespace

class PrintListTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void valuesSitAtTheirColumns();
    void longListRepeatsCaptionsNotTitle();
    void emptyListIsOnePage();
    void masksRoundAndSeparate();
    void criteriaInTheTitleAndAVerdictUnderEachRow();
};

void PrintListTest::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
}

void PrintListTest::valuesSitAtTheirColumns()
{
    ListTable list;
    ResultRow row = testing_support::measuredResult();
    row.name = "Abercrombie-Fitzgerald-Montgomery, Alexandra";
    list.fill({row});
    const std::vector<Page> pages = readPdf(list.render());
    QCOMPARE(pages.size(), std::size_t(1));
    const Page& page = pages[0];

    const Word* title = find(page, QStringLiteral("Data"));
    QVERIFY(title);
    QVERIFY(near(title->left, Margin + 2.1) && near(title->top, textTop(0)));
    for (int column = 0; column < Captions.size(); ++column) {
        const Word* caption = find(page, Captions[column], column >= 5 && column <= 7 ? column - 4 : column == 10 ? 1 : 0);
        QVERIFY2(caption, qPrintable(Captions[column]));
        QVERIFY2(near(caption->left, Margin + CaptionLefts[column]) && near(caption->top, textTop(1)),
                 qPrintable(Captions[column]));
    }

    // Right-aligned values end at their area's right edge and none reaches
    // past its area's left edge (the time's first word, "2:05:09", starts it).
    const std::map<QString, std::pair<double, double>> areas{
        {"12,345.68", {39.4, 51.9}}, {"9,876.50", {52.9, 71.2}},    {"98.77", {74.1, 89.2}},
        {"4321", {94.7, 105.6}},     {"210", {111.7, 122.5}},       {"17", {134.9, 145.8}},
        {"9", {154.3, 165.1}},       {"11/28/26", {215.9, 230.7}}};
    for (const auto& [text, area] : areas) {
        const Word* value = find(page, text);
        QVERIFY2(value, qPrintable(text + QStringLiteral(" not among: ") + wordsOf(page).join(QLatin1Char(' '))));
        QVERIFY2(value->left >= Margin + area.first - 0.2 && near(value->top, textTop(2)), qPrintable(text));
        QVERIFY2(near(value->right, Margin + area.second), qPrintable(text));
    }
    // The duration is cut to whole characters at its area's edge, never
    // drawn narrower; the time of day runs on to the band's edge, whole.
    QString duration;
    for (const Word& word : page)
        if (near(word.top, textTop(2)) && word.left >= Margin + 173.3 - 0.2 && word.right <= Margin + 184.1 + 0.2)
            duration += word.text;
    QVERIFY2(!duration.isEmpty() && duration.size() < 16 && QStringLiteral("5.03333333333333").startsWith(duration),
             qPrintable(duration));
    const Word* hours = find(page, QStringLiteral("2:05:09"));
    const Word* noon = find(page, QStringLiteral("PM"));
    QVERIFY(hours && noon);
    QVERIFY(hours->left >= Margin + 234.7 - 0.2 && noon->right > Margin + 247.9 + Tolerance &&
            noon->right <= Margin + 254 + 0.2);
    const Word* type = find(page, QStringLiteral("alphanumeric"));
    QVERIFY(type && near(type->left, Margin + 190.2) && near(type->top, textTop(2)));

    // The name is cut at the area's edge, to whole characters.
    QString shown;
    double right = 0;
    for (const Word& word : page)
        if (near(word.top, textTop(2)) && word.right < Margin + 38.4 + Tolerance) {
            shown += (shown.isEmpty() ? QString() : QStringLiteral(" ")) + word.text;
            right = std::max(right, word.right);
        }
    QVERIFY2(QString::fromStdString(row.name).startsWith(shown) && shown.size() < int(row.name.size()),
             qPrintable(shown));
    QVERIFY(right <= Margin + 38.4 + 0.2);

    // Building the pages leaves the handle at its end mark, on the last row.
    QVERIFY(list.table.AtEnd());
    QCOMPARE(list.table.RowNumber(), 1);
}

void PrintListTest::longListRepeatsCaptionsNotTitle()
{
    ListTable list;
    std::vector<ResultRow> rows;
    for (int number = 1; number <= 40; ++number) rows.push_back(sampleResult(number, "alpha"));
    list.fill(rows);
    const std::vector<Page> pages = readPdf(list.render());
    // 15 detail bands under title and captions on page 1, 16 under the
    // captions of each later page.
    QCOMPARE(pages.size(), std::size_t(3));
    const std::vector<int> detailBands{15, 16, 9};
    for (std::size_t number = 0; number < pages.size(); ++number) {
        const Page& page = pages[number];
        const int captionBand = number == 0 ? 1 : 0;
        QCOMPARE(find(page, QStringLiteral("Data")) != nullptr, number == 0);
        const Word* caption = find(page, QStringLiteral("Testee"));
        QVERIFY(caption && near(caption->top, textTop(captionBand)));
        int details = 0;
        for (const Word& word : page)
            if (word.text == QStringLiteral("alpha")) {
                QVERIFY(near(word.top, textTop(captionBand + 1 + details)));
                ++details;
            }
        QCOMPARE(details, detailBands[number]);
    }
    QVERIFY(find(pages[2], QStringLiteral("Tester40,")));
}

void PrintListTest::emptyListIsOnePage()
{
    ListTable list;
    const std::vector<Page> pages = readPdf(list.render());
    QCOMPARE(pages.size(), std::size_t(1));
    QCOMPARE(wordsOf(pages[0]), QStringList({"Data", "entry", "test", "results", "Testee", "KPH", "Net", "KPH", "Accuracy",
                                 "Ttl", "KS", "Ttl", "flds", "Ttl", "ks", "err", "Ttl", "fld", "err", "Duration",
                                 "Test", "type", "Test", "date", "Time"}));
    QVERIFY(list.table.AtEnd());
}

void PrintListTest::criteriaInTheTitleAndAVerdictUnderEachRow()
{
    ListTable list;
    std::vector<ResultRow> rows{sampleResult(1, "numeric"), sampleResult(2, "alpha")};
    rows[0].nkph = 7000;
    list.fill(rows);
    scoring::CriteriaSet criteria;
    criteria.of(TestKind::numeric) = {8000, 95};
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = QString::fromStdString(list.folder.file("criteria.pdf"));
    printer.setOutputFileName(pdf);
    list.table.setActive(true);
    list.holder.renderPages(list.table, printer, criteria);
    const std::vector<Page> pages = readPdf(pdf);
    QCOMPARE(pages.size(), std::size_t(1));
    const Word* named = find(pages[0], QStringLiteral("Pass"));
    QVERIFY(named && near(named->top, textTop(0)) && near(named->left, Margin + 80));
    QVERIFY(find(pages[0], QStringLiteral("8,000.00,")));
    const Word* caption = find(pages[0], QStringLiteral("Result"));
    const Word* fail = find(pages[0], QStringLiteral("Fail"));
    QVERIFY(caption && fail);
    QVERIFY(near(fail->left, Margin + 2.1) && fail->top > find(pages[0], QStringLiteral("numeric"))->top + 3);
    QVERIFY(find(pages[0], QStringLiteral("(net")));
    QVERIFY(!find(pages[0], QStringLiteral("Pass"), 1));
}

void PrintListTest::masksRoundAndSeparate()
{
    QCOMPARE(Tprintresultsform::formatMask(7234.5678, true), QStringLiteral("7,234.57"));
    QCOMPARE(Tprintresultsform::formatMask(1234567.891, true), QStringLiteral("1,234,567.89"));
    QCOMPARE(Tprintresultsform::formatMask(-1234.5, true), QStringLiteral("-1,234.50"));
    QCOMPARE(Tprintresultsform::formatMask(999.999, true), QStringLiteral("1,000.00"));
    QCOMPARE(Tprintresultsform::formatMask(0, true), QStringLiteral("0.00"));
    QCOMPARE(Tprintresultsform::formatMask(12345.678, false), QStringLiteral("12345.68"));
}

QTEST_MAIN(PrintListTest)
#include "printlist_test.moc"
