// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/testresults.h"

#include <QCoreApplication>
#include <QTextEdit>

#include "config/programstate.h"
#include "scoring/diagnosistable.h"
#include "scoring/results.h"
#include "scoring/ushowit.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "store/values.h"
#include "widgets/messages.h"

scoring::ScoreSettings scoreSettings()
{
    return {Settings.autoadvance, Settings.useuppercase, Settings.usedecimal};
}

std::string testeeName()
{
    return scoring::testeeNameText(Settings.lname.toStdString(), Settings.fname.toStdString());
}

bool reportEnabled(bool realMode)
{
    return realMode ? Settings.rresults : Settings.presults;
}

void storeResults(store::StoreTable& resultsdb, const scoring::Score& score, double stopTime, TestKind kind)
{
    const store::Date today = store::dateOf(store::currentDateTime());
    const scoring::ResultsRow row{testeeName(), score, stopTime, today, kind};
    try {
        scoring::writeResultsRow(resultsdb, ProgramDir + "results.dat", row);
    } catch (const store::StoreError&) {
        messages().errorBox(QStringLiteral("Error writing results to the database."));
        return;
    }
    // The results row stands whatever happens to its diagnosis.
    try {
        store::StoreTable diagnosisdb("diagnosisdb");
        scoring::writeDiagnosisRow(diagnosisdb, ProgramDir + scoring::DiagnosisTableName, row);
    } catch (const store::StoreError&) {
        messages().errorBox(QStringLiteral("Error writing the diagnosis to the database."));
    }
}

scoring::CriteriaSet criteriaInForce()
{
    store::StoreTable criteriadb("criteriadb");
    try {
        return scoring::readCriteria(criteriadb, ProgramDir + scoring::CriteriaTableName);
    } catch (const store::StoreError&) {
        return {};
    }
}

void showResultReport(TshowitForm& form, const scoring::Score& score, TestKind kind, bool realMode)
{
    const std::string today = store::formatDate(store::dateOf(store::currentDateTime()));
    form.clearText();
    for (const std::string& line : scoring::reportLines(score, kind, {today, testeeName(), realMode}))
        form.appendLine(QString::fromStdString(line));
    if (const auto verdict = scoring::verdict(criteriaInForce().of(kind), score.NKPH, score.ACCURACY))
        form.appendLine(QString::fromStdString(scoring::ResultLineCaption + *verdict));
    form.setDiagnosis(score.diagnosis, kind == TestKind::numeric);
    form.showModal();
}

void recordAndReport(store::StoreTable& resultsdb, const scoring::Score& score, const RunState& state)
{
    if (RealMode) storeResults(resultsdb, score, state.StopTime, state.kind);
    if (reportEnabled(RealMode) && ShowitForm) showResultReport(*ShowitForm, score, state.kind, RealMode);
}

bool endedRunIsScored()
{
    return RealMode || Settings.presults;
}

void scoreEndedRun(const RunState& state, store::StoreTable& testdb, store::StoreTable& resultsdb,
                   QTextEdit& errorLog)
{
    scoring::TableSourceReader source(testdb);
    const scoring::Score score =
        scoring::scoretest(state, source, scoreSettings(), [] { QCoreApplication::processEvents(); });
    for (const std::string& line : score.errorLog) errorLog.append(QString::fromStdString(line));
    recordAndReport(resultsdb, score, state);
}
