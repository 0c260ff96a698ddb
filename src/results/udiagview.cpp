// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/udiagview.h"

#include <QDir>
#include <QHBoxLayout>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "config/programstate.h"
#include "scoring/diagnosispicture.h"
#include "scoring/diagnosistable.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "widgets/help.h"
#include "widgets/hints.h"
#include "widgets/messages.h"

namespace {

const QString Title = QStringLiteral("Diagnosis of this view");
constexpr int DiagnosisHelpContext = 5100;
// Shorter runs finish before a progress window would be worth showing.
constexpr int ProgressDelayMilliseconds = 400;

QString counted(int count, const char* one, const char* many)
{
    return QString::number(count) + QLatin1Char(' ') + QString::fromLatin1(count == 1 ? one : many);
}

}  // namespace

TdiagviewForm::TdiagviewForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("diagviewForm"));
    setWindowTitle(Title);
    setHelpContext(this, DiagnosisHelpContext);

    DiagnosisView1 = new DiagnosisView(this);
    DiagnosisView1->setObjectName(QStringLiteral("DiagnosisView1"));
    QPalette page = DiagnosisView1->palette();
    page.setColor(QPalette::Window, Qt::white);
    page.setColor(QPalette::WindowText, Qt::black);
    DiagnosisView1->setPalette(page);

    BitBtn1 = hinted(new QPushButton(QStringLiteral("&Close"), this), "BitBtn1", QStringLiteral("Close the diagnosis"));
    connect(BitBtn1, &QPushButton::clicked, this, &TdiagviewForm::BitBtn1Click);
    BitBtn2 = hinted(new QPushButton(QStringLiteral("&Print"), this), "BitBtn2", QStringLiteral("Print the diagnosis"));
    BitBtn2->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &TdiagviewForm::BitBtn2Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DiagnosisView1, 1);
    layout->addLayout(buttons);
    resize(640, 560);
}

void TdiagviewForm::showView(const store::StoreTable& view, const QString& viewName)
{
    if (!sumView(view, viewName)) return;
    BitBtn1->setFocus();
    exec();
}

bool TdiagviewForm::sumView(const store::StoreTable& view, const QString& viewName)
{
    QProgressDialog progress(QStringLiteral("Summing the diagnosis of the results in view..."),
                             QStringLiteral("Cancel"), 0, 0, parentWidget());
    progress.setWindowTitle(Title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(ProgressDelayMilliseconds);
    std::optional<results::ViewDiagnosis> sums;
    try {
        sums = results::diagnoseView(view, ProgramDir + scoring::DiagnosisTableName, [&progress](int summed, int total) {
            progress.setMaximum(total);
            progress.setValue(summed);
            return !progress.wasCanceled();
        });
    } catch (const store::StoreError& error) {
        progress.reset();
        showErrorDisplay(QString::fromUtf8(error.what()));
        return false;
    }
    progress.reset();
    if (!sums) return false;
    shown = std::move(*sums);
    DiagnosisView1->setDiagnosis(wordsOf(shown, viewName), shown.numericResults > 0 ? &shown.keypad : nullptr);
    return true;
}

QString TdiagviewForm::wordsOf(const results::ViewDiagnosis& sums, const QString& viewName) const
{
    QString text = counted(sums.results, "result", "results") + QStringLiteral(" in view: ") + viewName;
    if (sums.fromLog > 0)
        text += QLatin1Char('\n') + QString::number(sums.fromLog) + QStringLiteral(" of them from the logged fields only");
    const bool allNumeric = sums.results > 0 && sums.numericResults == sums.results;
    text += QStringLiteral("\n\n") + QString::fromStdString(scoring::countsInWords(sums.classes, allNumeric));
    if (sums.numericResults > 0)
        text += QStringLiteral("\n\nThe keypad of the ") + counted(sums.numericResults, "numeric result:", "numeric results:");
    return text;
}

QString TdiagviewForm::words() const { return DiagnosisView1->words(); }

void TdiagviewForm::printOn(QPrinter& printer) const
{
    QPainter painter(&printer);
    painter.setRenderHint(QPainter::Antialiasing);
    drawDiagnosis(painter, QRectF(0, 0, printer.width(), printer.height()), DiagnosisView1->words(),
                  DiagnosisView1->showsKeypad() ? &shown.keypad : nullptr);
}

void TdiagviewForm::BitBtn1Click() { accept(); }

void TdiagviewForm::BitBtn2Click()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(Title);
    printer.setCreator(ApplicationTitle);
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        printer.setOutputFileName(
            QDir(folder.isEmpty() ? QDir::homePath() : folder).filePath(QStringLiteral("diagnosis.pdf")));
    }
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(Title);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* target) { printOn(*target); });
    preview.exec();
}
