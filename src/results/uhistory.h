// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A testee's history: for one name, a line chart of net KPH (left scale) and
// accuracy (right scale, dotted) over the tests' dates and times, a pair of
// lines for each test kind the testee took, the pass criteria of those kinds
// as dashed lines, and the tests listed beneath it with their verdicts.
//
// Printed, saved as PDF and saved as PNG through one drawing (drawPage):
// US Letter landscape inside 12.7 mm margins; a title line, the chart over
// the upper 55 % of the page, then the list, continued on further pages
// where it does not fit under the chart.

#include <QDialog>

#include "results/history.h"
#include "scoring/criteria.h"

class QChart;
class QChartView;
class QLabel;
class QPainter;
class QPaintDevice;
class QPrinter;
class QPushButton;
class QTableWidget;

class ThistoryForm : public QDialog {
    Q_OBJECT

public:
    explicit ThistoryForm(QWidget* parent = nullptr);
    ~ThistoryForm() override;

    // Reads the history of name (see results/history.h) from the table at
    // tablePath and shows it; a table that cannot be read fails with a
    // StoreError and leaves the window as it was.
    void load(const std::string& tablePath, const QString& name, const scoring::CriteriaSet& criteria,
              store::FileSystem& files = store::systemFileSystem());

    QChart* chart() const { return Chart1; }
    const std::vector<results::HistoryEntry>& entries() const { return history; }

    // The pages a drawing into area of device takes, and one of them drawn.
    int pageCount(const QPaintDevice& device, const QRectF& area) const;
    void drawPage(QPainter& painter, const QRectF& area, int page) const;
    // Every page onto printer, which it sets to the page layout above; false
    // when the printer's output could not be opened or finished.
    bool renderPages(QPrinter& printer) const;
    // False, with the failure shown, when the file cannot be written.
    bool savePdf(const QString& path) const;
    bool savePng(const QString& path) const;

private:
    void BitBtn1Click();  // Close
    void BitBtn2Click();  // Print
    void BitBtn3Click();  // Save as PDF
    void BitBtn4Click();  // Save as PNG

    QPushButton* addButton(const QString& name, const QString& caption, const QString& hint,
                           void (ThistoryForm::*handler)());
    void fillList();
    QString titleText() const;
    QString savePath(const QString& caption, const QString& fileName, const QString& kinds);

    QString testee;
    scoring::CriteriaSet criteria;
    std::vector<results::HistoryEntry> history;

    QLabel* Label1;
    QChart* Chart1;
    QChartView* ChartView1;
    QTableWidget* Grid1;
};
