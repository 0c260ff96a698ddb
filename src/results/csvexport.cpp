#include "results/csvexport.h"

namespace results {

namespace {

bool needsQuotes(const std::string& text)
{
    if (text.empty()) return false;
    // Blanks at either end survive a reader that trims unquoted fields.
    if (text.front() == ' ' || text.back() == ' ') return true;
    return text.find_first_of(",\"\r\n") != std::string::npos;
}

}  // namespace

std::string csvField(const std::string& text)
{
    if (!needsQuotes(text)) return text;
    std::string quoted = "\"";
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
