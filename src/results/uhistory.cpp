// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/uhistory.h"

#include <algorithm>
#include <cmath>

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include "testing/textrules.h"
#include "widgets/help.h"
#include "widgets/hints.h"
#include "widgets/messages.h"

namespace {

constexpr double Margin = 12.7;       // mm, as the printed results list
constexpr int HelpContext = 5000;     // the results window's topic, which tells of it
constexpr double ChartShare = 0.55;   // of the page's height, title included
constexpr double LineSpacing = 1.35;  // list lines, in heights of the font
// The list's columns: left edges in mm from the margin; figures end at the
// next column's edge less a gap.
constexpr double ColumnLefts[] = {0, 26, 52, 84, 124, 160};
constexpr double FigureGap = 6;

struct KindLook {
    const char* kind;
    QColor colour;
};
const KindLook Looks[] = {{"numeric", QColor(0, 84, 166)}, {"alphanumeric", QColor(0, 128, 64)},
                          {"alpha", QColor(176, 48, 16)}};

// The chart's axis reads its values as local time: the test's own date and
// time of day, whatever the zone.
qreal chartMoment(std::int64_t when)
{
    const QDateTime stored = QDateTime::fromMSecsSinceEpoch(when, Qt::UTC);
    return qreal(QDateTime(stored.date(), stored.time()).toMSecsSinceEpoch());
}

QLineSeries* lineOf(QChart& chart, const QString& name, const QColor& colour, Qt::PenStyle style, bool points)
{
    auto* series = new QLineSeries(&chart);
    series->setName(name);
    QPen pen(colour, style == Qt::DashLine ? 1.5 : 2, style);
    series->setPen(pen);
    series->setPointsVisible(points);
    chart.addSeries(series);
    return series;
}

void attach(QAbstractSeries* series, QAbstractAxis* across, QAbstractAxis* up)
{
    series->attachAxis(across);
    series->attachAxis(up);
}

// A range with room around its values, never empty.
std::pair<qreal, qreal> padded(qreal low, qreal high, qreal least)
{
    const qreal room = std::max((high - low) * 0.05, least);
    return {low - room, high + room};
}

// The line chart, built alike for the screen and for every print.
void buildChart(QChart& chart, const std::vector<results::HistoryEntry>& history, const scoring::CriteriaSet& criteria)
{
    chart.legend()->setAlignment(Qt::AlignRight);
    chart.removeAllSeries();
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }
    auto* across = new QDateTimeAxis(&chart);
    across->setFormat(QStringLiteral("MM/dd/yy"));
    across->setTitleText(QStringLiteral("Test date"));
    auto* speed = new QValueAxis(&chart);
    speed->setTitleText(QStringLiteral("Net KPH"));
    speed->setLabelFormat(QStringLiteral("%.0f"));
    auto* accuracy = new QValueAxis(&chart);
    accuracy->setTitleText(QStringLiteral("Accuracy (%)"));
    accuracy->setLabelFormat(QStringLiteral("%.0f"));
    chart.addAxis(across, Qt::AlignBottom);
    chart.addAxis(speed, Qt::AlignLeft);
    chart.addAxis(accuracy, Qt::AlignRight);
    if (history.empty()) return;

    qreal first = chartMoment(history.front().when), last = chartMoment(history.back().when);
    qreal fastest = 0, leastAccurate = 100;
    for (const KindLook& look : Looks) {
        const QString kind = QString::fromLatin1(look.kind);
        QLineSeries* net = nullptr;
        QLineSeries* exact = nullptr;
        for (const results::HistoryEntry& entry : history) {
            if (entry.testType != look.kind) continue;
            if (!net) {
                net = lineOf(chart, kind + QStringLiteral(" net KPH"), look.colour, Qt::SolidLine, true);
                exact = lineOf(chart, kind + QStringLiteral(" accuracy"), look.colour, Qt::DotLine, true);
            }
            net->append(chartMoment(entry.when), entry.netKph);
            exact->append(chartMoment(entry.when), entry.accuracy);
            fastest = std::max(fastest, qreal(entry.netKph));
            leastAccurate = std::min(leastAccurate, qreal(entry.accuracy));
        }
        if (!net) continue;
        attach(net, across, speed);
        attach(exact, across, accuracy);
        const scoring::PassCriteria& bar = criteria.ofTestType(look.kind);
        if (bar.minimumNetKph > 0) {
            QLineSeries* line = lineOf(chart, kind + QStringLiteral(" minimum net KPH"), look.colour, Qt::DashLine, false);
            line->append({QPointF(first, bar.minimumNetKph), QPointF(last, bar.minimumNetKph)});
            attach(line, across, speed);
            fastest = std::max(fastest, qreal(bar.minimumNetKph));
        }
        if (bar.minimumAccuracy > 0) {
            QLineSeries* line = lineOf(chart, kind + QStringLiteral(" minimum accuracy"), look.colour, Qt::DashLine, false);
            line->append({QPointF(first, bar.minimumAccuracy), QPointF(last, bar.minimumAccuracy)});
            attach(line, across, accuracy);
            leastAccurate = std::min(leastAccurate, qreal(bar.minimumAccuracy));
        }
    }
    const auto [from, to] = padded(first, last, 12 * 3600 * 1000.0);
    across->setRange(QDateTime::fromMSecsSinceEpoch(qint64(from)), QDateTime::fromMSecsSinceEpoch(qint64(to)));
    speed->setRange(0, std::max(fastest * 1.1, 1000.0));
    speed->applyNiceNumbers();
    // Accuracy in steps of 5 near the top, of 10 further down.
    const double step = leastAccurate >= 75 ? 5 : 10;
    const double lowest = std::max(0.0, std::floor(leastAccurate / step) * step - step);
    accuracy->setRange(lowest, 100);
    accuracy->setTickCount(int((100 - lowest) / step) + 1);
}

QStringList listTitles(bool verdicts)
{
    QStringList titles{QStringLiteral("Test date"), QStringLiteral("Time"),     QStringLiteral("Test"),
                       QStringLiteral("Net KPH"),   QStringLiteral("Accuracy")};
    if (verdicts) titles << QStringLiteral("Result");
    return titles;
}

QStringList listTexts(const results::HistoryEntry& entry, const scoring::CriteriaSet& criteria)
{
    QStringList texts{QString::fromStdString(entry.testDate), QString::fromStdString(entry.testTime),
                      QString::fromStdString(entry.testType), QString::fromStdString(formatThousands(entry.netKph)),
                      QString::fromStdString(formatTwoDecimals(entry.accuracy))};
    if (criteria.any())
        texts << QString::fromStdString(
            scoring::verdict(criteria.ofTestType(entry.testType), entry.netKph, entry.accuracy).value_or(std::string()));
    return texts;
}

bool isFigure(int column) { return column == 3 || column == 4; }

QFont pageFont(double points, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setStyleStrategy(QFont::PreferNoShaping);  // keeps words searchable in a PDF
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void setHistoryPage(QPrinter& printer)
{
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                                      QMarginsF(Margin, Margin, Margin, Margin), QPageLayout::Millimeter));
}

// Where the list's lines go on a page of area.
struct ListPlaces {
    double lineHeight;
    double firstTop;   // of the caption line on page 1
    int firstRows;     // detail lines under it
    int laterRows;
};

ListPlaces listPlaces(const QRectF& area, double lineHeight)
{
    const double firstTop = area.top() + area.height() * ChartShare + lineHeight;
    const int firstRows = std::max(0, int((area.bottom() - firstTop) / lineHeight) - 1);
    const int laterRows = std::max(1, int(area.height() / lineHeight) - 1);
    return {lineHeight, firstTop, firstRows, laterRows};
}

double listLineHeight(const QPaintDevice* device)
{
    return QFontMetricsF(pageFont(10), device).height() * LineSpacing;
}

}  // namespace

ThistoryForm::ThistoryForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("historyform"));
    setWindowTitle(QStringLiteral("History"));
    setHelpContext(this, HelpContext);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont titleFont = Label1->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() + 2);
    Label1->setFont(titleFont);
    Chart1 = new QChart;
    Chart1->setObjectName(QStringLiteral("Chart1"));
    ChartView1 = new QChartView(Chart1, this);  // owns the chart
    ChartView1->setObjectName(QStringLiteral("ChartView1"));
    ChartView1->setRenderHint(QPainter::Antialiasing);
    ChartView1->setMinimumHeight(320);
    Grid1 = new QTableWidget(this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1->verticalHeader()->hide();
    Grid1->setWordWrap(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    addButton(QStringLiteral("BitBtn2"), QStringLiteral("&Print..."), QStringLiteral("Print the history"),
              &ThistoryForm::BitBtn2Click);
    addButton(QStringLiteral("BitBtn3"), QStringLiteral("Save as P&DF..."),
              QStringLiteral("Save the history as a PDF file"), &ThistoryForm::BitBtn3Click);
    addButton(QStringLiteral("BitBtn4"), QStringLiteral("Save as PN&G..."),
              QStringLiteral("Save the history as a PNG picture"), &ThistoryForm::BitBtn4Click);
    addButton(QStringLiteral("BitBtn1"), QStringLiteral("&Close"), QStringLiteral("Close the history"),
              &ThistoryForm::BitBtn1Click)
        ->setDefault(true);
    for (QPushButton* button : findChildren<QPushButton*>()) buttons->addWidget(button);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ChartView1, 3);
    layout->addWidget(Grid1, 2);
    layout->addLayout(buttons);
    resize(900, 720);
}

ThistoryForm::~ThistoryForm() = default;

QPushButton* ThistoryForm::addButton(const QString& name, const QString& caption, const QString& hint,
                                     void (ThistoryForm::*handler)())
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    setHint(button, hint);
    connect(button, &QPushButton::clicked, this, handler);
    return button;
}

void ThistoryForm::load(const std::string& tablePath, const QString& name, const scoring::CriteriaSet& inForce,
                        store::FileSystem& files)
{
    history = results::readHistory(tablePath, name.toStdString(), files);
    testee = name.trimmed();
    criteria = inForce;
    Label1->setText(titleText());
    buildChart(*Chart1, history, criteria);
    fillList();
}

QString ThistoryForm::titleText() const
{
    QString title = QStringLiteral("History of ") + testee;
    if (history.empty()) title += QStringLiteral(": no stored results");
    const std::string bars = scoring::criteriaText(criteria);
    if (!bars.empty()) title += QStringLiteral("\n") + QString::fromStdString(bars);
    return title;
}

void ThistoryForm::fillList()
{
    const QStringList titles = listTitles(criteria.any());
    Grid1->clear();
    Grid1->setColumnCount(int(titles.size()));
    Grid1->setHorizontalHeaderLabels(titles);
    Grid1->setRowCount(int(history.size()));
    for (int row = 0; row < int(history.size()); ++row) {
        const QStringList texts = listTexts(history[std::size_t(row)], criteria);
        for (int column = 0; column < int(texts.size()); ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            if (isFigure(column)) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Grid1->setItem(row, column, item);
        }
    }
    Grid1->resizeColumnsToContents();
}

int ThistoryForm::pageCount(const QPaintDevice& device, const QRectF& area) const
{
    const ListPlaces places = listPlaces(area, listLineHeight(&device));
    const int beyond = std::max(0, int(history.size()) - places.firstRows);
    return 1 + (beyond + places.laterRows - 1) / places.laterRows;
}

void ThistoryForm::drawPage(QPainter& painter, const QRectF& area, int page) const
{
    const double millimetre = painter.device()->logicalDpiX() / 25.4;
    const ListPlaces places = listPlaces(area, listLineHeight(painter.device()));
    int firstRow = 0;
    double top = area.top();
    if (page == 0) {
        painter.setFont(pageFont(12, true));
        const QRectF titleArea(area.left(), area.top(), area.width(), area.height());
        QRectF used;
        painter.drawText(titleArea, Qt::AlignLeft | Qt::AlignTop, titleText(), &used);
        const QRectF chartArea(area.left(), used.bottom(), area.width(),
                               area.top() + area.height() * ChartShare - used.bottom());
        // The chart is laid out at the proportions of its place on the page,
        // in about the pixels it has on a screen, then drawn scaled.
        QChart printed;
        printed.setBackgroundVisible(false);
        buildChart(printed, history, criteria);
        QGraphicsScene scene;
        scene.addItem(&printed);
        const QSizeF laidOut(960, 960 * chartArea.height() / chartArea.width());
        printed.resize(laidOut);
        printed.layout()->activate();
        scene.render(&painter, chartArea, QRectF(QPointF(0, 0), laidOut));
        scene.removeItem(&printed);
        top = places.firstTop;
    } else {
        firstRow = places.firstRows + (page - 1) * places.laterRows;
    }
    const int rows = page == 0 ? places.firstRows : places.laterRows;
    const auto drawLine = [&](const QStringList& texts, double at) {
        for (int column = 0; column < int(texts.size()); ++column) {
            const double left = area.left() + ColumnLefts[column] * millimetre;
            const double right = column + 1 < int(std::size(ColumnLefts))
                                     ? area.left() + (ColumnLefts[column + 1] - FigureGap) * millimetre
                                     : area.right();
            const QRectF cell(left, at, right - left, places.lineHeight);
            painter.drawText(cell, (isFigure(column) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                             texts[column]);
        }
    };
    painter.setFont(pageFont(10, true));
    drawLine(listTitles(criteria.any()), top);
    painter.setFont(pageFont(10));
    for (int row = firstRow; row < std::min(int(history.size()), firstRow + rows); ++row)
        drawLine(listTexts(history[std::size_t(row)], criteria), top + (row - firstRow + 1) * places.lineHeight);
}

bool ThistoryForm::renderPages(QPrinter& printer) const
{
    setHistoryPage(printer);
    QPainter painter(&printer);
    if (!painter.isActive()) return false;  // the output cannot be opened
    const QRectF area = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF page(0, 0, area.width(), area.height());
    const int pages = pageCount(printer, page);
    for (int number = 0; number < pages; ++number) {
        if (number > 0) printer.newPage();
        drawPage(painter, page, number);
    }
    return painter.end();
}

bool ThistoryForm::savePdf(const QString& path) const
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setDocName(titleText().section(QLatin1Char('\n'), 0, 0));
    if (renderPages(printer)) return true;
    messages().errorBox(QStringLiteral("Unable to write ") + QDir::toNativeSeparators(path));
    return false;
}

bool ThistoryForm::savePng(const QString& path) const
{
    // The first page at 150 dots per inch.
    constexpr double Resolution = 150;
    const double dotsPerMm = Resolution / 25.4;
    QImage image(int(279.4 * dotsPerMm), int(215.9 * dotsPerMm), QImage::Format_RGB32);
    image.setDotsPerMeterX(int(dotsPerMm * 1000));
    image.setDotsPerMeterY(int(dotsPerMm * 1000));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const double margin = Margin * dotsPerMm;
        drawPage(painter, QRectF(margin, margin, image.width() - 2 * margin, image.height() - 2 * margin), 0);
    }
    if (image.save(path, "PNG")) return true;
    messages().errorBox(QStringLiteral("Unable to write ") + QDir::toNativeSeparators(path));
    return false;
}

void ThistoryForm::BitBtn1Click() { done(Accepted); }

void ThistoryForm::BitBtn2Click()
{
    QPrinter printer(QPrinter::HighResolution);
    setHistoryPage(printer);
    QPrintPreviewDialog dialog(&printer, this);
    dialog.setWindowTitle(titleText().section(QLatin1Char('\n'), 0, 0));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [this](QPrinter* target) { renderPages(*target); });
    dialog.exec();
}

QString ThistoryForm::savePath(const QString& caption, const QString& fileName, const QString& kinds)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileDialog::getSaveFileName(this, caption, QDir(folder.isEmpty() ? QDir::homePath() : folder).filePath(fileName),
                                        kinds);
}

void ThistoryForm::BitBtn3Click()
{
    const QString path = savePath(QStringLiteral("Save history as PDF"), QStringLiteral("history.pdf"),
                                  QStringLiteral("PDF files (*.pdf);;All files (*)"));
    if (!path.isEmpty()) savePdf(path);
}

void ThistoryForm::BitBtn4Click()
{
    const QString path = savePath(QStringLiteral("Save history as PNG"), QStringLiteral("history.png"),
                                  QStringLiteral("PNG pictures (*.png);;All files (*)"));
    if (!path.isEmpty()) savePng(path);
}
