// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Scoring of one test run: what the testee keyed, record by record and field
// by field, against the source values of the test table, giving the counts,
// the measures and the field-error log that the results row and the report
// are made of.
//
// Records are visited from the highest reached down to the first and fields
// from the last down, so the log lists the highest record first. On the
// highest record, empty cells after the last one keyed are not scored (the
// run ended there); every earlier record is scored whole. The three kinds
// differ only as their descriptions (testing/testkinds.h) say, read by the
// kind table below.
//
// Texts are UTF-8; lengths, positions and keystrokes count characters, as
// the test windows count them, so a letter outside ASCII is one keystroke.

#include "scoring/diagnosis.h"
#include "testing/runstate.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace store {
class StoreTable;
}

namespace scoring {

// What scoring reads of the test table: its cursor and the text of a column
// of the current row, in the table store's default text form.
class SourceReader {
public:
    virtual ~SourceReader() = default;
    virtual void GoFirst() = 0;
    virtual void Skip(int rows) = 0;
    virtual std::string ReadText(const std::string& column) = 0;
};

// The test window's testdb as the source.
class TableSourceReader : public SourceReader {
public:
    explicit TableSourceReader(store::StoreTable& table) : table(table) {}
    void GoFirst() override;
    void Skip(int rows) override;
    std::string ReadText(const std::string& column) override;

private:
    store::StoreTable& table;
};

// The settings scoring depends on.
struct ScoreSettings {
    bool autoadvance = false;   // no Enter keystroke per field
    bool useuppercase = false;  // alphanumeric and alpha sources compared upper-cased
    bool usedecimal = false;    // numeric sources from the nd columns
};

// Named like the results columns they are stored in. Nothing is rounded.
struct Score {
    std::int32_t TOTALKS = 0;
    std::int32_t TOTERRS = 0;
    std::int32_t TOTALFLDS = 0;
    std::int32_t FLDERRS = 0;
    double TIME = 0;      // minutes
    double KPH = 0;       // gross keystrokes per hour
    double NKPH = 0;      // net keystrokes per hour
    double ACCURACY = 0;  // percent, 0 to 100
    std::vector<std::string> errorLog;
    // The kinds of every field error of the run, the unlogged ones too.
    Diagnosis diagnosis;
};

// Scores the run in state. source must be the test table in the run's order;
// it is left on the row before the first record. afterRecord runs after each
// record below the highest (the window lets pending events run there); it
// must not touch the run state or the source.
Score scoretest(const RunState& state, SourceReader& source, const ScoreSettings& settings,
                const std::function<void()>& afterRecord = {});

// ---- The kind table ---------------------------------------------------------

// The column of the test table that field f (from 1) is keyed from.
std::string sourceColumn(TestKind kind, int field, bool usedecimal);
// The source text S as compared, from the column's text.
std::string sourceText(TestKind kind, const std::string& columnText, bool useuppercase);
// The keyed text K as compared, from its cell of the keyed values.
std::string keyedText(TestKind kind, const std::string& cell);
// Keystroke errors of a field the testee went past.
int completedFieldErrors(TestKind kind, const std::string& keyed, const std::string& source);
// Keystroke errors of the field the run ended in: only what was keyed counts.
int lastFieldErrors(const std::string& keyed, const std::string& source);
// Characters of K that the entry mask put there rather than the testee.
int keystrokeCorrection(TestKind kind, int field, const std::string& keyed);

}  // namespace scoring
