// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/scoretest.h"

#include <algorithm>

#include "store/storetable.h"
#include "testing/textrules.h"

namespace scoring {

void TableSourceReader::GoFirst() { table.GoFirst(); }

void TableSourceReader::Skip(int rows) { table.Skip(rows); }

std::string TableSourceReader::ReadText(const std::string& column) { return table.ReadText(column); }

namespace {

constexpr int LoggedFieldErrors = 50;
const std::string StopLine = "Field errors in excess of 50. Logging stopped...";

int length(const std::string& text) { return characterCount(text); }

// Positions from 1 to count at which the two texts differ, a position
// beyond either text counting as a difference.
int differences(const std::string& keyedText, const std::string& sourceText, int count)
{
    const std::u32string keyed = charactersOf(keyedText);
    const std::u32string source = charactersOf(sourceText);
    int found = 0;
    for (std::size_t i = 0; i < std::size_t(count); ++i)
        if (i >= keyed.size() || i >= source.size() || keyed[i] != source[i]) ++found;
    return found;
}

// One scoring pass: the counters, the log and where the fields come from.
class Scorer {
public:
    Scorer(const RunState& state, SourceReader& source, const ScoreSettings& settings)
        : state(state), source(source), settings(settings), fields(kindShape(state.kind).fields),
          keyboard(state.kind == TestKind::numeric ? Keyboard::numericKeypad : Keyboard::usKeyboard)
    {
    }

    void scoreHighestRecord()
    {
        const int record = state.HighestRecord;
        bool lastFound = false;
        for (int field = fields; field >= 1; --field) {
            if (lastFound) {
                scoreCompleted(record, field);
                continue;
            }
            const std::string keyed = keyedText(state.kind, state.KeyedValues.cell(record, field));
            if (keyed.empty()) continue;
            scoreLast(record, field, keyed);
            lastFound = true;
        }
    }

    void scoreEarlierRecord(int record)
    {
        for (int field = fields; field >= 1; --field) scoreCompleted(record, field);
    }

    Score finish(double elapsedSeconds)
    {
        score.TIME = elapsedSeconds / 60;
        // A run that lasted no time (a clock that went back) has no rate.
        score.KPH = score.TIME > 0 ? double(score.TOTALKS * 60) / score.TIME : 0;
        if (score.TOTERRS == 0)
            score.ACCURACY = 100;
        else
            score.ACCURACY = std::max(0.0, 100 - double(score.TOTERRS) / double(score.TOTALKS) * 100);
        score.NKPH = score.KPH * score.ACCURACY / 100;
        return std::move(score);
    }

private:
    std::string sourceOf(int field)
    {
        return sourceText(state.kind, source.ReadText(sourceColumn(state.kind, field, settings.usedecimal)),
                          settings.useuppercase);
    }

    int keystrokes(int field, const std::string& keyed, bool enterKeyed) const
    {
        return (enterKeyed ? 1 : 0) + length(keyed) - keystrokeCorrection(state.kind, field, keyed);
    }

    void scoreLast(int record, int field, const std::string& keyed)
    {
        const std::string sourceValue = sourceOf(field);
        ++score.TOTALFLDS;
        const bool enterKeyed = !settings.autoadvance && length(keyed) >= length(sourceValue);
        score.TOTALKS += keystrokes(field, keyed, enterKeyed);
        const int errors = lastFieldErrors(keyed, sourceValue);
        score.diagnosis.addField(keyed, sourceValue, keyboard, true);
        if (errors == 0) return;
        ++score.FLDERRS;
        score.TOTERRS += errors;
        logEntry(record, field, errors, " errors. (Last field keyed)", keyed, sourceValue);
    }

    void scoreCompleted(int record, int field)
    {
        const std::string keyed = keyedText(state.kind, state.KeyedValues.cell(record, field));
        const std::string sourceValue = sourceOf(field);
        ++score.TOTALFLDS;
        score.TOTALKS += keystrokes(field, keyed, !settings.autoadvance);
        const int errors = completedFieldErrors(state.kind, keyed, sourceValue);
        // Only what scoring charges is diagnosed, so the two never disagree on
        // which fields were wrong.
        if (errors > 0)
            score.diagnosis.addField(keyed, sourceValue, keyboard);
        else if (!keyed.empty())
            score.diagnosis.addExpected(sourceValue);
        if (errors == 0) return;
        ++score.FLDERRS;
        score.TOTERRS += errors;
        if (!logging) return;
        logEntry(record, field, errors, " errors.", keyed, sourceValue);
        if (score.FLDERRS > LoggedFieldErrors) {
            logging = false;
            score.errorLog.push_back(StopLine);
        }
    }

    void logEntry(int record, int field, int errors, const char* suffix, const std::string& keyed,
                  const std::string& sourceValue)
    {
        score.errorLog.push_back("Record no.: " + std::to_string(record) + ", Field no.: " + std::to_string(field) +
                                 ", " + std::to_string(errors) + suffix);
        score.errorLog.push_back("Keyed    >" + keyed);
        score.errorLog.push_back("On Record>" + sourceValue);
        score.errorLog.push_back("");
    }

    const RunState& state;
    SourceReader& source;
    const ScoreSettings& settings;
    const int fields;
    const Keyboard keyboard;
    bool logging = true;
    Score score;
};

}  // namespace

Score scoretest(const RunState& state, SourceReader& source, const ScoreSettings& settings,
                const std::function<void()>& afterRecord)
{
    Scorer scorer(state, source, settings);
    source.GoFirst();
    source.Skip(state.HighestRow - 1);
    scorer.scoreHighestRecord();
    source.Skip(-1);
    for (int record = state.HighestRecord - 1; record >= 1; --record) {
        scorer.scoreEarlierRecord(record);
        if (afterRecord) afterRecord();
        source.Skip(-1);
    }
    return scorer.finish(state.ElapsedSeconds);
}

std::string sourceColumn(TestKind kind, int field, bool usedecimal)
{
    return kindDescription(kind).field(field).sourceColumn(usedecimal);
}

std::string sourceText(TestKind kind, const std::string& columnText, bool useuppercase)
{
    if (!kindRules(kind).comparesUpperCase || !useuppercase) return columnText;
    return upperCased(columnText);
}

std::string keyedText(TestKind kind, const std::string& cell)
{
    return kindDescription(kind).scored(cell);
}

int completedFieldErrors(TestKind kind, const std::string& keyed, const std::string& source)
{
    if (!kindRules(kind).countsExtraKeys) return differences(keyed, source, length(source));
    const int shorter = std::min(length(keyed), length(source));
    return differences(keyed, source, shorter) + std::max(0, length(keyed) - length(source));
}

int lastFieldErrors(const std::string& keyed, const std::string& source)
{
    return differences(keyed, source, length(keyed));
}

int keystrokeCorrection(TestKind kind, int field, const std::string& keyed)
{
    return keyed.empty() ? 0 : kindDescription(kind).field(field).correction;
}

}  // namespace scoring
