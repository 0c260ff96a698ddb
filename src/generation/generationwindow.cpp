// SPDX-License-Identifier: GPL-3.0-or-later
#include "generation/generationwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "config/programstate.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "widgets/dialogs.h"
#include "widgets/help.h"
#include "widgets/messages.h"
#include "widgets/progressgauge.h"

namespace {

constexpr int HelpContext = 4000;
constexpr int StartDelay = 1000;  // milliseconds

}  // namespace

GenerationWindow::GenerationWindow(const QString& text, QWidget* parent)
    : QDialog(parent), Gauge1(new ProgressGauge(this)), Label1(new QLabel(text, this)), Timer1(new QTimer(this))
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(StartDelay);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Gauge1);
    layout->addWidget(Label1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Gauge1->setMinimumWidth(Label1->sizeHint().width() + 40);
    setHelpContext(this, HelpContext);
    centreOnEveryShow(this);
}

void GenerationWindow::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void GenerationWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void GenerationWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}

void GenerationWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void GenerationWindow::processEvents()
{
    QCoreApplication::processEvents();
}

void GenerationWindow::endAfterFailure(store::StoreTable& table, const std::exception& error)
{
    closeAfterFailure(table);
    showErrorDisplay(QString::fromUtf8(error.what()));
    done(QDialog::Rejected);
}

bool openExclusively(store::StoreTable& table, const std::string& fileName)
{
    try {
        table.setActive(false);
        table.setTableName(ProgramDir + fileName);
        table.setExclusive(true);
        table.setActive(true);
        return true;
    } catch (const store::StoreError&) {
        releaseTable(table);
        return false;
    }
}

// Closing always closes, even when its write-back fails; the failure
// being shown is the one that ended the run.
void closeAfterFailure(store::StoreTable& table)
{
    try {
        releaseTable(table);
    } catch (const store::StoreError&) {
        releaseTable(table);
    }
}

void releaseTable(store::StoreTable& table)
{
    table.setActive(false);
    table.setExclusive(false);
}
