// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/server.h"

#include <libpq-fe.h>

#include "sync/resultcolumns.h"

namespace resultsync {

namespace {

std::string firstLine(const char* message)
{
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

QueryResult::QueryResult(pg_result* result) : result_(result) {}

QueryResult::~QueryResult() { PQclear(result_); }

QueryResult::QueryResult(QueryResult&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }

bool QueryResult::succeeded() const
{
    // Without memory for a result, libpq gives none.
    const ExecStatusType status = result_ ? PQresultStatus(result_) : PGRES_FATAL_ERROR;
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

int QueryResult::rows() const { return PQntuples(result_); }

bool QueryResult::isNull(int row, int column) const { return PQgetisnull(result_, row, column) != 0; }

std::string QueryResult::text(int row, int column) const
{
    return std::string(PQgetvalue(result_, row, column), static_cast<std::size_t>(PQgetlength(result_, row, column)));
}

long QueryResult::touched() const
{
    const std::string count = PQcmdTuples(result_);
    return count.empty() ? 0 : std::stol(count);
}

ServerConnection::ServerConnection(const std::string& connection) : connection_(PQconnectdb(connection.c_str()))
{
    // A constructor that throws runs no destructor: the failed connection is let go here.
    try {
        if (PQstatus(connection_) != CONNECTION_OK) fail("cannot connect to the server");
        // Rows are written in UTF-8, whatever the server keeps them in.
        if (PQsetClientEncoding(connection_, "UTF8") != 0) fail("cannot set the client encoding");
    } catch (const SyncError&) {
        PQfinish(connection_);
        throw;
    }
}

ServerConnection::~ServerConnection() { PQfinish(connection_); }

void ServerConnection::fail(const std::string& what)
{
    const std::string message = firstLine(PQerrorMessage(connection_));
    throw SyncError(SyncError::Side::Server, message.empty() ? what : what + ": " + message);
}

QueryResult ServerConnection::run(const std::string& statement, const std::vector<Parameter>& parameters)
{
    std::vector<const char*> values;
    values.reserve(parameters.size());
    for (const Parameter& parameter : parameters) values.push_back(parameter ? parameter->c_str() : nullptr);
    QueryResult result(PQexecParams(connection_, statement.c_str(), static_cast<int>(values.size()), nullptr,
                                    values.data(), nullptr, nullptr, 0));
    if (!result.succeeded()) fail("the server refused a statement");
    return result;
}

bool ServerConnection::hasResultsTable()
{
    QueryResult result = run("SELECT to_regclass($1) IS NOT NULL", {std::string(ServerTable)});
    return result.text(0, 0) == "t";
}

void ServerConnection::createResultsTable()
{
    run(createTableStatement());
    run(createIndexStatement());
}

}  // namespace resultsync
