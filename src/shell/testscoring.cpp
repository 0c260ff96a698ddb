#include "shell/testscoring.h"

#include <QCoreApplication>
#include <QTextEdit>

#include "scoring/scoretest.h"
#include "scoring/testresults.h"
#include "testing/texttestform.h"

void scoreTextTest(TextTestForm& form)
{
    scoring::TableSourceReader source(form.testTable());
    const RunState& state = form.core().state();
    const scoring::Score score =
        scoring::scoretest(state, source, scoreSettings(), [] { QCoreApplication::processEvents(); });
    for (const std::string& line : score.errorLog) form.errorLog()->append(QString::fromStdString(line));
    recordAndReport(form.resultsTable(), score, state);
}
