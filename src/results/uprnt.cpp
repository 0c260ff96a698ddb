#include "results/uprnt.h"

#include <array>
#include <cstdio>
#include <exception>

#include <QDir>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include "store/storetable.h"
#include "store/values.h"
#include "widgets/messages.h"

namespace {

constexpr double Margin = 12.7;
constexpr double BandHeight = 10.6;
constexpr double TextDrop = 4.2;
constexpr double BandWidth = 254;
const QString Title = QStringLiteral("Data entry test results");

// RightCut: at the right edge, or cut at it where it would not fit.
enum class Align { Left, Right, RightCut };
enum class Mask { None, Thousands, Fixed };

// Distances in millimetres from the left margin. No value reaches outside
// its area: names, durations and times of day are cut to the characters that
// fit (a time of day, last in the band, may run on to the band's right edge
// so that it keeps its AM/PM); rates wider than their area are drawn
// narrower, so that none overprints its neighbour and none loses a digit.
struct ListColumn {
    const char* caption;
    double captionLeft;
    const char* column;
    Align align;
    double valueLeft;
    double valueRight;
    Mask mask;
};

constexpr std::array<ListColumn, 12> Columns{{
    {"Testee", 2.1, "NAME", Align::Left, 2.1, 38.4, Mask::None},
    {"KPH", 44.4, "KPH", Align::Right, 39.4, 51.9, Mask::Thousands},
    {"Net KPH", 57.1, "NKPH", Align::Right, 52.9, 71.2, Mask::Thousands},
    {"Accuracy", 74.1, "ACCURACY", Align::Right, 74.1, 89.2, Mask::Fixed},
    {"Ttl KS", 95.8, "TOTALKS", Align::Right, 94.7, 105.6, Mask::None},
    {"Ttl flds", 112.7, "TOTALFLDS", Align::Right, 111.7, 122.5, Mask::None},
    {"Ttl ks err", 131.8, "TOTERRS", Align::Right, 134.9, 145.8, Mask::None},
    {"Ttl fld err", 152.4, "FLDERRS", Align::Right, 154.3, 165.1, Mask::None},
    {"Duration", 171.5, "TIME", Align::RightCut, 173.3, 184.1, Mask::None},
    {"Test type", 190.5, "TESTTYPE", Align::Left, 190.2, 213.8, Mask::None},
    {"Test date", 215.9, "TESTDATE", Align::Right, 215.9, 230.7, Mask::None},
    {"Time", 239.2, "TESTTIME", Align::RightCut, 234.7, 247.9, Mask::None},
}};

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

    bool bandFits() const { return top + BandHeight <= pageHeight + 1e-6; }
    void newPage()
    {
        printer.newPage();
        top = 0;
    }
    void endBand() { top += BandHeight; }

    void left(double at, const QString& text) { draw(at, text); }
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

void writeTitle(PageWriter& page)
{
    page.left(2.1, Title);
    page.endBand();
}

void writeCaptions(PageWriter& page)
{
    for (const ListColumn& column : Columns) page.left(column.captionLeft, QString::fromLatin1(column.caption));
    page.endBand();
}

QString valueText(store::StoreTable& table, const ListColumn& column)
{
    if (column.mask != Mask::None)
        return Tprintresultsform::formatMask(table.ReadFloat(column.column), column.mask == Mask::Thousands);
    return QString::fromStdString(table.ReadText(column.column));
}

void writeDetail(PageWriter& page, store::StoreTable& table)
{
    for (const ListColumn& column : Columns) {
        const QString text = valueText(table, column);
        switch (column.align) {
        case Align::Right: page.right(column.valueLeft, column.valueRight, text); break;
        case Align::RightCut: {
            const bool last = &column == &Columns.back();
            page.rightOrCut(column.valueLeft, column.valueRight, last ? BandWidth : column.valueRight, text);
            break;
        }
        case Align::Left: page.cut(column.valueLeft, column.valueRight, text); break;
        }
    }
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
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.2f", value);
    QString text = QString::fromLatin1(digits);
    if (!thousands) return text;
    const qsizetype sign = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    for (qsizetype at = text.indexOf(QLatin1Char('.')) - 3; at > sign; at -= 3) text.insert(at, QLatin1Char(','));
    return text;
}

void Tprintresultsform::renderPages(store::StoreTable& table, QPrinter& printer) const
{
    setListPage(printer);
    SuspendedDisplay suspended(table);
    PageWriter page(printer);
    table.GoFirst();
    writeTitle(page);
    writeCaptions(page);
    while (!table.AtEnd()) {
        if (!page.bandFits()) {
            page.newPage();
            writeCaptions(page);
        }
        writeDetail(page, table);
        table.GoNext();
    }
}

void Tprintresultsform::preview(store::StoreTable& table, QWidget* parent)
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
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [this, &table](QPrinter* target) {
        try {
            renderPages(table, *target);
        } catch (const std::exception& error) {
            showErrorDisplay(QString::fromUtf8(error.what()));
        }
    });
    dialog.exec();
}
