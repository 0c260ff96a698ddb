// SPDX-License-Identifier: GPL-3.0-or-later
#include "results/csvexport.h"

#include <charconv>

namespace results {

namespace {

bool isNumber(const std::string& text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end;
}

// A spreadsheet takes a cell starting with one of these as a formula, so a
// name typed by a testee could run as one. A plain number is no formula.
bool startsFormula(const std::string& text)
{
    return !text.empty() && std::string("=+-@\t\r").find(text.front()) != std::string::npos && !isNumber(text);
}

bool needsQuotes(const std::string& text)
{
    if (text.empty()) return false;
    if (startsFormula(text)) return true;
    // Blanks at either end survive a reader that trims unquoted fields.
    if (text.front() == ' ' || text.back() == ' ') return true;
    return text.find_first_of(",\"\r\n") != std::string::npos;
}

}  // namespace

std::string csvField(const std::string& text)
{
    if (!needsQuotes(text)) return text;
    // The apostrophe tells the spreadsheet the cell is text, and is not shown.
    std::string quoted = startsFormula(text) ? "\"'" : "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string csvRecord(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += ',';
        line += csvField(fields[i]);
    }
    return line + "\r\n";
}

std::string csvDocument(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows)
{
    std::string document = csvRecord(header);
    for (const std::vector<std::string>& row : rows) document += csvRecord(row);
    return document;
}

}  // namespace results
