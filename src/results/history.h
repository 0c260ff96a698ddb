// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A testee's history: every stored result of one name, found through the
// NAME index of results.dat (the index compares names without regard to
// letter case, so all results of a name stand together, in the order they
// were stored), the names compared trimmed and upper-cased. Only those rows
// are read, so the size of the table does not count.

#include <cstdint>
#include <string>
#include <vector>

#include "store/file.h"

namespace results {

struct HistoryEntry {
    std::string testType;  // as stored: "numeric", "alphanumeric", "alpha"
    std::string testDate;  // texts as the grid shows them
    std::string testTime;
    double netKph = 0;
    double accuracy = 0;
    // Milliseconds since 1 January 1970 of the test's date and time, local
    // time read as universal: a line over test dates needs an order and
    // spacing, not a time zone. 0 for a row whose date cannot be read.
    std::int64_t when = 0;
};

// The results of name at the table at tablePath in date and time order
// (equal times in the order stored). A table that cannot be opened or read
// fails with a StoreError.
std::vector<HistoryEntry> readHistory(const std::string& tablePath, const std::string& name,
                                      store::FileSystem& files = store::systemFileSystem());

// The name a result's NAME text stands for in a history: trimmed, in upper case.
std::string historyName(const std::string& name);

}  // namespace results
