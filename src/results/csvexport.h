// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Rows as comma-separated values (RFC 4180): one record per line, each line
// ended by CR LF, fields separated by commas. A field is quoted when it
// holds a comma, a double quote, a line break or a leading or trailing
// blank; a double quote inside a quoted field is doubled. A field that a
// spreadsheet would run as a formula (one starting with "=", "+", "-", "@", a
// tab or a carriage return, and not a plain number) is quoted with an
// apostrophe after its opening quote. Texts are UTF-8 as they come, with no
// byte order mark.

#include <string>
#include <vector>

namespace results {

std::string csvField(const std::string& text);
std::string csvRecord(const std::vector<std::string>& fields);
// The header record followed by one record per row.
std::string csvDocument(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows);

}  // namespace results
