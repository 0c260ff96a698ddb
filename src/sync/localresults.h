// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The results rows of a program folder, read through the store in a shared
// open of results.dat, as any copy of the program opens it, in the texts
// they are sent to the server in: texts as stored (made valid UTF-8: bytes
// that are not are taken as Latin-1 letters), doubles in 17 significant
// digits (exactly the stored double), integers in decimal, dates as
// yyyy-mm-dd and times of day as hh:mm:ss.zzz; an empty date, time or text
// is sent as no value (NULL).

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "sync/resultcolumns.h"

namespace store {
class StoreTable;
struct Formats;
}  // namespace store

namespace resultsync {

struct LocalResult {
    std::string key;
    std::array<std::optional<std::string>, scoring::ResultsColumnCount> values;
};

std::string validUtf8(const std::string& text);

class LocalResults {
public:
    LocalResults(const std::string& folder, const std::string& site);
    ~LocalResults();
    LocalResults(const LocalResults&) = delete;
    LocalResults& operator=(const LocalResults&) = delete;

    int count();
    // Whether the cursor stands on a row; next() moves it on.
    bool atRow() const;
    void next();
    // The current row's key columns and key; the other columns stay unread.
    LocalResult keyed();
    // Reads the columns outside the key into row.
    void complete(LocalResult& row);

private:
    std::optional<std::string> read(const ResultColumn& column);

    std::string site_;
    std::unique_ptr<store::Formats> savedFormats_;
    std::unique_ptr<store::StoreTable> table_;
    bool atRow_ = false;
};

}  // namespace resultsync
