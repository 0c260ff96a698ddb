// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The results window as its tests drive it: in a fresh folder holding an
// empty results table, with its own holder of the printed list, and the
// one-result reports it asks to show recorded in order.

#include <functional>

#include <QApplication>
#include <QComboBox>
#include <QStringList>
#include <QTableView>
#include <QTimer>

#include "config/programstate.h"
#include "results/uprnt.h"
#include "results/uresults.h"
#include "results/resultsselection.h"
#include "support/tempdir.h"
#include "support/resultstable.h"

namespace testing_support {

struct ResultsDesk {
    ResultsDesk()
    {
        ProgramDir = folder.path().string() + "/";
        makeResultsTable(tablePath());
    }

    std::string tablePath() const { return ProgramDir + "results.dat"; }

    // Runs the window modally: during runs once it is open; the window is
    // closed afterwards if during left it open. Returns the window's result.
    int open(const std::function<void()>& during)
    {
        bool ran = false;
        auto* poll = new QTimer(&form);
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, [this, poll, &ran, &during] {
            if (QApplication::activeModalWidget() != &form || ran) return;
            ran = true;
            poll->stop();
            during();
            if (form.isVisible()) form.done(QDialog::Accepted);
        });
        poll->start();
        const int result = form.exec();
        delete poll;
        return result;
    }

    QTableView* grid() const { return form.findChild<QTableView*>(QStringLiteral("DBGrid1")); }
    // The texts of one grid column, top to bottom.
    QStringList shown(int column) const
    {
        QStringList texts;
        const QAbstractItemModel* model = grid()->model();
        for (int row = 0; row < model->rowCount(); ++row) texts.append(model->index(row, column).data().toString());
        return texts;
    }
    // Picks an item of the sort box or filter box as the user does.
    void choose(const QString& box, const QString& item)
    {
        auto* combo = form.findChild<QComboBox*>(box);
        const int index = combo->findText(item);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    TempDir folder;
    ResultsSelection selection{-1, 0, QString()};
    Tprintresultsform printresultsform;
    QStringList reports;
    // Where a report goes after it was recorded; nowhere unless a test says.
    TresultsForm::ReportWindow reportWindow;
    TresultsForm form{selection, [this]() -> Tprintresultsform& { return printresultsform; },
                      [this](const QString& text) {
                          reports.append(text);
                          if (reportWindow) reportWindow(text);
                      }};
};

}  // namespace testing_support
