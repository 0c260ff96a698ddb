// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/resultssender.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QStatusBar>

#include "config/programstate.h"
#include "sync/connection.h"
#include "widgets/messages.h"

namespace {

const QString HowToConfigure = QStringLiteral(
    "To send results, name the organisation's server as the service [movara] in ~/.pg_service.conf "
    "(or set PGSERVICE or PGHOST), with its password in ~/.pgpass");

// Beside the program in its folder, otherwise where the package puts it.
QString syncProgram()
{
    const QString beside = QString::fromStdString(ProgramDir) + QStringLiteral("movara-sync");
    if (QFileInfo(beside).isExecutable()) return beside;
    return QStandardPaths::findExecutable(QStringLiteral("movara-sync"));
}

}  // namespace

ResultsSender::ResultsSender(QMenu* admin, QStatusBar* status, std::function<bool()> gate)
    : QObject(admin), gate(std::move(gate))
{
    action = admin->addAction(QStringLiteral("Send results to server now"));
    action->setObjectName(QStringLiteral("SendResults1"));
    connect(action, &QAction::triggered, this, &ResultsSender::SendResults1Click);
    connect(admin, &QMenu::aboutToShow, this, &ResultsSender::updateHint);
    updateHint();
    progress = new QLabel(status);
    progress->setObjectName(QStringLiteral("syncPanel"));
    status->addPermanentWidget(progress);
}

void ResultsSender::updateHint()
{
    action->setStatusTip(resultsync::connectionConfigured()
                             ? QStringLiteral("Send new results to the organisation's database")
                             : HowToConfigure);
}

void ResultsSender::SendResults1Click()
{
    if (process || !gate()) return;
    if (!resultsync::connectionConfigured()) {
        messages().messageBox(HowToConfigure + QStringLiteral("."));
        return;
    }
    const QString program = syncProgram();
    if (program.isEmpty()) {
        messages().errorBox(QStringLiteral("The program movara-sync is not installed."));
        return;
    }
    process = new QProcess(this);
    process->setProcessChannelMode(QProcess::MergedChannels);
    connect(process, &QProcess::readyReadStandardOutput, this, &ResultsSender::showOutput);
    connect(process, &QProcess::finished, this, &ResultsSender::finished);
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) finished(-1);
    });
    progress->setText(QStringLiteral("Sending results..."));
    process->start(program, {QStringLiteral("--folder"), QString::fromStdString(ProgramDir), QStringLiteral("--progress")});
}

void ResultsSender::showOutput()
{
    const QStringList lines = QString::fromUtf8(process->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    if (!lines.isEmpty()) progress->setText(lines.last().trimmed());
}

void ResultsSender::finished(int exitCode)
{
    showOutput();
    if (exitCode != 0 && progress->text() == QStringLiteral("Sending results..."))
        progress->setText(QStringLiteral("Sending results failed"));
    process->deleteLater();
    process = nullptr;
}
