// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/ushowit.h"

#include <algorithm>

#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QVBoxLayout>

#include "scoring/diagnosispicture.h"
#include "widgets/help.h"
#include "widgets/hints.h"
#include "widgets/messages.h"

TshowitForm* ShowitForm = nullptr;

namespace {

const QString JobTitle = QStringLiteral("Test results");
constexpr int PanePixelHeight = 15;
constexpr int HelpContext = 1000;
constexpr int DiagnosisPage = 1;

// The report laid out on a printer's pages: the pane's lines, any line wider
// than the page continued on the next line, so nothing is cut off.
class ReportPages {
public:
    ReportPages(const QString& text, const QFont& font, QPrinter& printer) : font(font)
    {
        const QFontMetrics metrics(font, &printer);
        lineHeight = std::max(1, metrics.lineSpacing());
        ascent = metrics.ascent();
        const int columns = std::max(1, printer.width() / std::max(1, metrics.horizontalAdvance(QLatin1Char('M'))));
        linesPerPage = std::max(1, printer.height() / lineHeight);
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            if (line.isEmpty()) lines.append(line);
            for (qsizetype start = 0; start < line.size(); start += columns) lines.append(line.mid(start, columns));
        }
    }

    int count() const { return int((lines.size() + linesPerPage - 1) / linesPerPage); }

    void drawPage(QPainter& painter, int page) const
    {
        painter.setFont(font);
        const qsizetype first = qsizetype(page) * linesPerPage;
        const qsizetype end = std::min(lines.size(), first + linesPerPage);
        for (qsizetype line = first; line < end; ++line)
            painter.drawText(0, int(line - first) * lineHeight + ascent, lines[line]);
    }

private:
    QFont font;
    QStringList lines;
    int lineHeight = 1;
    int ascent = 0;
    int linesPerPage = 1;
};

// The pane's font at the size it has on screen.
QFont printFont(const QPlainTextEdit* pane)
{
    QFont font = pane->font();
    font.setPointSizeF(PanePixelHeight * 72.0 / std::max(1, pane->logicalDpiY()));
    return font;
}

bool hasPrinter()
{
    return !QPrinterInfo::defaultPrinter().isNull() || !QPrinterInfo::availablePrinterNames().isEmpty();
}

}  // namespace

TshowitForm::TshowitForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ShowitForm"));
    setWindowTitle(QStringLiteral("Test Results"));
    setHelpContext(this, HelpContext);

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(PanePixelHeight);
    RichEdit1->setFont(font);

    BitBtn1 = new QPushButton(QStringLiteral("&Close"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    setHint(BitBtn1, QStringLiteral("Close the report"));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    BitBtn2 = new QPushButton(QStringLiteral("&Print"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setAutoDefault(false);
    setHint(BitBtn2, QStringLiteral("Print the report"));
    connect(BitBtn2, &QPushButton::clicked, this, &TshowitForm::BitBtn2Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* diagnosisPage = new QWidget;
    DiagnosisLabel = new QLabel(diagnosisPage);
    DiagnosisLabel->setObjectName(QStringLiteral("DiagnosisLabel"));
    DiagnosisLabel->setWordWrap(true);
    Keypad1 = new KeypadView(diagnosisPage);
    auto* diagnosisLayout = new QVBoxLayout(diagnosisPage);
    diagnosisLayout->addWidget(DiagnosisLabel);
    diagnosisLayout->addWidget(Keypad1, 1, Qt::AlignHCenter);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->addTab(RichEdit1, QStringLiteral("Report"));
    PageControl1->addTab(diagnosisPage, QStringLiteral("Diagnosis"));
    PageControl1->setTabVisible(DiagnosisPage, false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);
    setFixedSize(640, 480);
    setSizeGripEnabled(false);

    if (!ShowitForm) ShowitForm = this;
}

TshowitForm::~TshowitForm()
{
    if (ShowitForm == this) ShowitForm = nullptr;
}

void TshowitForm::clearText()
{
    RichEdit1->clear();
    diagnosis = {};
    PageControl1->setTabVisible(DiagnosisPage, false);
}

void TshowitForm::setDiagnosis(const scoring::Diagnosis& shown, bool numeric)
{
    diagnosis = shown;
    numericDiagnosis = numeric;
    DiagnosisLabel->setText(QString::fromStdString(scoring::countsInWords(shown, numeric)));
    Keypad1->setDiagnosis(shown);
    Keypad1->setVisible(numeric);
    PageControl1->setTabVisible(DiagnosisPage, true);
}

void TshowitForm::appendLine(const QString& line) { RichEdit1->appendPlainText(line); }

QString TshowitForm::text() const { return RichEdit1->toPlainText(); }

void TshowitForm::setText(const QString& text) { RichEdit1->setPlainText(text); }

void TshowitForm::showModal()
{
    // The scores head the report; a long error log must not push them off
    // screen, which appending line by line leaves scrolled to the end.
    RichEdit1->moveCursor(QTextCursor::Start);
    PageControl1->setCurrentIndex(0);
    BitBtn1->setFocus();
    exec();
}

void TshowitForm::BitBtn2Click()
{
    if (!hasPrinter()) {
        saveAsPdf();
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printOn(printer);
}

bool TshowitForm::printOn(QPrinter& printer)
{
    printer.setDocName(JobTitle);
    printer.setCreator(ApplicationTitle);
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString target = printer.outputFileName().isEmpty()
                                   ? QStringLiteral("the printer ") + printer.printerName()
                                   : printer.outputFileName();
        showErrorDisplay(QStringLiteral("The report could not be printed to ") + target);
        return false;
    }
    const ReportPages pages(text(), printFont(RichEdit1), printer);
    for (int page = 0; page < pages.count(); ++page) {
        if (page > 0) printer.newPage();
        pages.drawPage(painter, page);
    }
    if (PageControl1->isTabVisible(DiagnosisPage)) {
        printer.newPage();
        printDiagnosis(painter, printer);
    }
    if (!painter.end()) {
        showErrorDisplay(QStringLiteral("The report could not be printed completely"));
        return false;
    }
    return true;
}

void TshowitForm::printDiagnosis(QPainter& painter, QPrinter& printer) const
{
    painter.setFont(printFont(RichEdit1));
    const QRectF page(0, 0, printer.width(), printer.height());
    QRectF words;
    painter.drawText(page, Qt::TextWordWrap, DiagnosisLabel->text(), &words);
    if (!numericDiagnosis) return;
    const QRectF below = page.adjusted(0, words.height() * 2, 0, 0);
    drawKeypad(painter, QRectF(below.topLeft(), QSizeF(below.width() / 2, below.height() / 2)), diagnosis);
}

QString TshowitForm::defaultPdfPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("Test results ") + QDate::currentDate().toString(Qt::ISODate) +
                                 QStringLiteral(".pdf"));
}

void TshowitForm::saveAsPdf()
{
    if (!messages().confirmBox(QStringLiteral("No printer is available. Save the report as a PDF file instead?"),
                               ConfirmButtons::YesNo))
        return;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save the report as PDF"), defaultPdfPath(),
                                                QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printOn(printer);
}
