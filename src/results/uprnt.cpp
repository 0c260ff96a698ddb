// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/uprnt.h"

#include <exception>

#include <QDir>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include "scoring/resultscolumns.h"
#include "store/storetable.h"
#include "store/values.h"
#include "testing/textrules.h"
#include "widgets/messages.h"

namespace {

constexpr double Margin = 12.7;
constexpr double BandHeight = 10.6;
constexpr double TextDrop = 4.2;
constexpr double BandWidth = 254;
constexpr double VerdictDrop = 4.4;
constexpr double CriteriaLeft = 80;
const QString Title = QStringLiteral("Data entry test results");

// No value reaches outside its area (distances in millimetres from the left
// margin): names, durations and times of day are cut to the characters that
// fit (a time of day, last in the band, may run on to the band's right edge
// so that it keeps its AM/PM); rates wider than their area are drawn
// narrower, so that none overprints its neighbour and none loses a digit.
using scoring::ResultsColumn;

// Bound controls stop following the handle while the list walks it, and
// catch up once at the end, however the walk ends.
class SuspendedDisplay {
public:
    explicit SuspendedDisplay(store::StoreTable& table) : table(table) { table.SuspendDisplay(); }
    ~SuspendedDisplay() { table.ResumeDisplay(); }
    SuspendedDisplay(const SuspendedDisplay&) = delete;
    SuspendedDisplay& operator=(const SuspendedDisplay&) = delete;

private:
    store::StoreTable& table;
};

// One page after another on a painter, in millimetres from the top left of
// the area inside the margins.
class PageWriter {
public:
    explicit PageWriter(QPrinter& printer)
        : printer(printer), painter(&printer), units(printer.logicalDpiX() / 25.4), metrics(listFont(), &printer),
          pageHeight(printer.pageLayout().paintRect(QPageLayout::Millimeter).height())
    {
        painter.setFont(listFont());
        painter.setPen(Qt::black);
    }

    static QFont listFont()
    {
        // The columns were laid out for Arial's widths: where it is missing,
        // a face of the same widths, else a narrow one, keeps neighbouring
        // values apart.
        QFont font;
        font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                          QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans Condensed")});
        font.setStyleHint(QFont::SansSerif);
        // Ligatures would turn "fl" into one glyph that text search and copy
        // in a PDF reader no longer find.
        font.setStyleStrategy(QFont::PreferNoShaping);
        font.setPointSizeF(10);
        return font;
    }

    // With a verdict line the caption and detail bands are higher.
    double band = BandHeight;

    bool bandFits() const { return top + band <= pageHeight + 1e-6; }
    void newPage()
    {
        printer.newPage();
        top = 0;
    }
    void endBand(double height) { top += height; }
    void endBand() { endBand(band); }

    void left(double at, const QString& text) { draw(at, text); }
    // On the band's second line.
    void below(double at, const QString& text)
    {
        painter.drawText(QPointF(at * units, baseline() + VerdictDrop * units), text);
    }
    // Within left to right, at the right edge, narrowed where it would not fit.
    void right(double left, double right, const QString& text)
    {
        const double width = metrics.horizontalAdvance(text) / units;
        if (width <= right - left) {
            draw(right - width, text);
            return;
        }
        painter.save();
        painter.translate(left * units, baseline());
        painter.scale((right - left) / width, 1);
        painter.drawText(QPointF(0, 0), text);
        painter.restore();
    }
    // At the right edge when it fits, else from the left edge with whole
    // characters only, as many as fit before end.
    void rightOrCut(double left, double right, double end, const QString& text)
    {
        const double width = metrics.horizontalAdvance(text) / units;
        if (width <= right - left)
            draw(right - width, text);
        else
            cut(left, end, text);
    }
    // Whole characters only, as many as fit between at and end.
    void cut(double at, double end, QString text)
    {
        const double room = (end - at) * units;
        while (!text.isEmpty() && metrics.horizontalAdvance(text) > room) text.chop(1);
        draw(at, text);
    }

private:
    double baseline() const { return (top + TextDrop) * units + metrics.ascent(); }
    void draw(double at, const QString& text) { painter.drawText(QPointF(at * units, baseline()), text); }

    QPrinter& printer;
    QPainter painter;
    double units;  // device units per millimetre
    QFontMetricsF metrics;
    double pageHeight;
    double top = 0;
};

void writeTitle(PageWriter& page, const scoring::CriteriaSet& criteria)
{
    page.left(2.1, Title);
    page.cut(CriteriaLeft, BandWidth, QString::fromStdString(scoring::criteriaText(criteria)));
    page.endBand(BandHeight);
}

void writeCaptions(PageWriter& page, const scoring::CriteriaSet& criteria)
{
    for (const ResultsColumn* column : scoring::listColumns())
        page.left(column->list.captionLeft, QString::fromLatin1(column->list.caption));
    if (criteria.any()) page.below(2.1, QStringLiteral("Result"));
    page.endBand();
}

QString valueText(store::StoreTable& table, const ResultsColumn& column)
{
    if (column.list.mask != scoring::DisplayMask::none)
        return Tprintresultsform::formatMask(table.ReadFloat(column.name), column.list.mask == scoring::DisplayMask::thousands);
    return QString::fromStdString(table.ReadText(column.name));
}

void writeVerdict(PageWriter& page, store::StoreTable& table, const scoring::CriteriaSet& criteria)
{
    const auto verdict =
        scoring::verdictOfTexts(criteria, table.ReadText("TESTTYPE"), table.ReadText("NKPH"), table.ReadText("ACCURACY"));
    if (verdict) page.below(2.1, QString::fromStdString(*verdict));
}

void writeDetail(PageWriter& page, store::StoreTable& table, const scoring::CriteriaSet& criteria)
{
    const std::vector<const ResultsColumn*> columns = scoring::listColumns();
    for (const ResultsColumn* column : columns) {
        const QString text = valueText(table, *column);
        const scoring::ListPlace& place = column->list;
        switch (place.alignment) {
        case scoring::Alignment::right: page.right(place.valueLeft, place.valueRight, text); break;
        case scoring::Alignment::rightCut: {
            const bool last = column == columns.back();
            page.rightOrCut(place.valueLeft, place.valueRight, last ? BandWidth : place.valueRight, text);
            break;
        }
        case scoring::Alignment::left: page.cut(place.valueLeft, place.valueRight, text); break;
        }
    }
    if (criteria.any()) writeVerdict(page, table, criteria);
    page.endBand();
}

void setListPage(QPrinter& printer)
{
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                                      QMarginsF(Margin, Margin, Margin, Margin), QPageLayout::Millimeter));
}

}  // namespace

Tprintresultsform::Tprintresultsform(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("printresultsform"));
    store::formats().shortDateFormat = "mm/dd/yy";
    store::formats().dateSeparator = '/';
}

QString Tprintresultsform::formatMask(double value, bool thousands)
{
    return QString::fromStdString(thousands ? formatThousands(value) : formatTwoDecimals(value));
}

void Tprintresultsform::renderPages(store::StoreTable& table, QPrinter& printer,
                                    const scoring::CriteriaSet& criteria) const
{
    setListPage(printer);
    SuspendedDisplay suspended(table);
    PageWriter page(printer);
    if (criteria.any()) page.band = BandHeight + VerdictDrop;
    table.GoFirst();
    writeTitle(page, criteria);
    writeCaptions(page, criteria);
    while (!table.AtEnd()) {
        if (!page.bandFits()) {
            page.newPage();
            writeCaptions(page, criteria);
        }
        writeDetail(page, table, criteria);
        table.GoNext();
    }
}

void Tprintresultsform::preview(store::StoreTable& table, QWidget* parent, const scoring::CriteriaSet& criteria)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(Title);
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        printer.setOutputFileName(QDir(folder.isEmpty() ? QDir::homePath() : folder).filePath(QStringLiteral("results.pdf")));
    }
    setListPage(printer);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(Title);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [this, &table, &criteria](QPrinter* target) {
        try {
            renderPages(table, *target, criteria);
        } catch (const std::exception& error) {
            showErrorDisplay(QString::fromUtf8(error.what()));
        }
    });
    dialog.exec();
}
