// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A connection to the organisation's server, by libpq's own conventions:
// the connection text is a connection string, a URI or "service=NAME";
// what it leaves out comes from the PG environment variables and the
// service file, and a password only ever from libpq's password file. TLS is
// whatever libpq negotiates (sslmode in the connection text).
//
// Every value reaches the server as a bound parameter, never as SQL text.

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace resultsync {

// Where a sync failed: at the server (it could not be reached, went away or
// refused a statement; the next run sends what is missing) or at the results
// table of the program folder.
class SyncError : public std::runtime_error {
public:
    enum class Side { Server, Local };
    SyncError(Side side, const std::string& message) : std::runtime_error(message), side_(side) {}
    Side side() const { return side_; }

private:
    Side side_;
};

using Parameter = std::optional<std::string>;

class QueryResult {
public:
    explicit QueryResult(pg_result* result);
    ~QueryResult();
    QueryResult(QueryResult&& other) noexcept;
    QueryResult(const QueryResult&) = delete;
    QueryResult& operator=(const QueryResult&) = delete;

    bool succeeded() const;
    int rows() const;
    bool isNull(int row, int column) const;
    std::string text(int row, int column) const;
    // The count of rows a command touched.
    long touched() const;

private:
    pg_result* result_;
};

class ServerConnection {
public:
    explicit ServerConnection(const std::string& connection);
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    QueryResult run(const std::string& statement, const std::vector<Parameter>& parameters = {});
    // Whether the server's table is there.
    bool hasResultsTable();
    void createResultsTable();

private:
    [[noreturn]] void fail(const std::string& what);

    pg_conn* connection_;
};

}  // namespace resultsync
