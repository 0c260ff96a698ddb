// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How a results row of results.dat is kept on the organisation's server: the
// table that names, for each of the results row's thirteen columns, the
// server's column and its type, and whether the column belongs to the key
// that identifies a result across sites and re-runs.
//
// The server's table movara_results holds those thirteen columns, the site
// the row came from, and the key (64 hexadecimal digits, the primary key).
// Rows are only ever added to it; nothing here deletes or changes one.

#include <array>
#include <string>

#include "scoring/resultscolumns.h"

namespace resultsync {

enum class ServerType { Text, Double, Integer, Date, Time };

struct ResultColumn {
    const char* results;  // column of results.dat
    const char* server;   // column of movara_results
    ServerType type;
    bool inKey;
};

// Read from the results row's one description: the server's column is the
// results column in lower case (TIME, the duration in minutes, is
// "minutes"), memo columns are text and lie outside the key.
extern const std::array<ResultColumn, scoring::ResultsColumnCount> ResultColumns;

inline constexpr const char* ServerTable = "movara_results";

// The number of a column of ResultColumns by its results.dat name.
std::size_t resultColumnNumber(const std::string& results);

// The statements that make the server's table and its index where they are missing.
std::string createTableStatement();
std::string createIndexStatement();
// The server's columns in the order rows are sent: key, site, then ResultColumns.
std::string serverColumnList();
// A statement adding rows rows of bound values, skipping those whose key is there.
std::string insertStatement(std::size_t rows);

}  // namespace resultsync
