// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/history.h"

#include <algorithm>

#include "store/storeerror.h"
#include "store/storetable.h"
#include "store/values.h"
#include "testing/textrules.h"

namespace results {

namespace {

std::int64_t momentOf(const std::string& date, const std::string& time)
{
    try {
        const std::int64_t days = store::parseDate(date).day - store::dayNumber(1970, 1, 1);
        const std::int64_t milliseconds = time.empty() ? 0 : store::parseTime(time).milliseconds;
        return days * store::MillisecondsPerDay + milliseconds;
    } catch (const store::StoreError&) {
        return 0;  // an unreadable date leaves the row at the start of the line, not out of it
    }
}

}  // namespace

std::string historyName(const std::string& name) { return upperCased(trimmed(name)); }

std::vector<HistoryEntry> readHistory(const std::string& tablePath, const std::string& name, store::FileSystem& files)
{
    const std::string sought = historyName(name);
    std::vector<HistoryEntry> entries;
    if (sought.empty()) return entries;
    store::StoreTable handle("historydb", files);
    handle.setTableName(tablePath);
    handle.setIndexName("NAME");
    handle.setActive(true);
    // A name typed with blanks before it is stored with them, and its key
    // stands among the names with as many blanks first: one run per count.
    for (std::string blanks;; blanks += ' ') {
        for (handle.FindNearest(blanks + sought); !handle.AtEnd(); handle.GoNext()) {
            if (historyName(handle.ReadText("NAME")) != sought) break;
            HistoryEntry entry{trimmed(handle.ReadText("TESTTYPE")), handle.ReadText("TESTDATE"),
                               handle.ReadText("TESTTIME"), handle.ReadFloat("NKPH"), handle.ReadFloat("ACCURACY"), 0};
            entry.when = momentOf(entry.testDate, entry.testTime);
            entries.push_back(std::move(entry));
        }
        const std::string more = blanks + ' ';
        if (!handle.FindNearest(more) || !handle.ReadText("NAME").starts_with(more)) break;
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const HistoryEntry& left, const HistoryEntry& right) { return left.when < right.when; });
    return entries;
}

}  // namespace results
