// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/report.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "results/csvexport.h"
#include "sync/resultcolumns.h"
#include "sync/server.h"

namespace resultsync {

namespace {

const std::array<std::string, 5> Heading{"Site", "Test", "Results", "Median net KPH", "Best net KPH"};

std::string twoDecimals(double value)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    return buffer;
}

std::array<std::string, 5> fieldsOf(const ReportLine& line)
{
    return {line.site, line.testtype, std::to_string(line.results), twoDecimals(line.median), twoDecimals(line.best)};
}

// Letters, not bytes: a site name in UTF-8 takes one place per letter.
std::size_t widthOf(const std::string& text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xc0) != 0x80;
    }));
}

}  // namespace

std::vector<ReportLine> recentReport(ServerConnection& server)
{
    if (!server.hasResultsTable()) return {};
    QueryResult result = server.run(std::string("SELECT site, coalesce(testtype, ''), count(*), "
                                                "percentile_cont(0.5) WITHIN GROUP (ORDER BY nkph), max(nkph) FROM ") +
                                    ServerTable +
                                    " WHERE testdate > current_date - 30 GROUP BY 1, 2 ORDER BY 1, 2");
    std::vector<ReportLine> lines;
    for (int row = 0; row < result.rows(); ++row)
        lines.push_back({result.text(row, 0), result.text(row, 1), std::stol(result.text(row, 2)),
                         result.isNull(row, 3) ? 0 : std::stod(result.text(row, 3)),
                         result.isNull(row, 4) ? 0 : std::stod(result.text(row, 4))});
    return lines;
}

std::string reportTable(const std::vector<ReportLine>& lines)
{
    std::vector<std::array<std::string, 5>> rows{Heading};
    for (const ReportLine& line : lines) rows.push_back(fieldsOf(line));
    std::array<std::size_t, 5> widths{};
    for (const auto& row : rows)
        for (std::size_t column = 0; column < widths.size(); ++column)
            widths[column] = std::max(widths[column], widthOf(row[column]));
    std::string table;
    for (const auto& row : rows) {
        std::string text;
        for (std::size_t column = 0; column < widths.size(); ++column) {
            const std::string padding(widths[column] - widthOf(row[column]), ' ');
            // Names to the left, figures to the right.
            text += column < 2 ? row[column] + padding : padding + row[column];
            if (column + 1 < widths.size()) text += "  ";
        }
        text.erase(text.find_last_not_of(' ') + 1);
        table += text + "\n";
    }
    return table;
}

std::string reportCsv(const std::vector<ReportLine>& lines)
{
    std::vector<std::vector<std::string>> rows;
    for (const ReportLine& line : lines) {
        const auto fields = fieldsOf(line);
        rows.emplace_back(fields.begin(), fields.end());
    }
    return results::csvDocument({Heading.begin(), Heading.end()}, rows);
}

}  // namespace resultsync
