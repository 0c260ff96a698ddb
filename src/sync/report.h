// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The organisation's view of its archive: for each site and test kind, the
// count of results of the last 30 days (today and the 29 days before it, by
// the server's date) with the median and the best net keystrokes per hour.

#include <string>
#include <vector>

namespace resultsync {

class ServerConnection;

struct ReportLine {
    std::string site;
    std::string testtype;
    long results = 0;
    double median = 0;
    double best = 0;
};

std::vector<ReportLine> recentReport(ServerConnection& server);

// A table with a heading and aligned columns, or comma-separated values.
std::string reportTable(const std::vector<ReportLine>& lines);
std::string reportCsv(const std::vector<ReportLine>& lines);

}  // namespace resultsync
