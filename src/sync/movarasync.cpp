// SPDX-License-Identifier: GPL-3.0-or-later
// movara-sync: copies the results of a program folder to the organisation's
// PostgreSQL server, and reports from it. Exit status: 0 everything sent, 1
// the server could not be reached or refused the work (nothing is lost: the
// next run sends it), 2 bad arguments, 3 the folder's results table could
// not be read.

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <limits.h>
#include <string>
#include <vector>

#include "sync/connection.h"
#include "sync/report.h"
#include "sync/server.h"
#include "sync/sync.h"

namespace {

enum ExitStatus { Done = 0, ServerFailed = 1, BadArguments = 2, LocalFailed = 3 };

const char* const Usage = R"(Usage: movara-sync [OPTION]...
Copies every real-mode result of a Movara program folder that the
organisation's PostgreSQL server lacks into its table movara_results.

The server's table is an archive: movara-sync only ever adds rows to it and
never deletes or changes a row there. Deleting results at a centre leaves
the archive whole.

  --folder DIR      the program folder (default: $MOVARA_FOLDER, otherwise
                    $XDG_DATA_HOME/movara, as the launcher uses)
  --site NAME       the name of this centre (default: the host name)
  --db CONNECTION   a libpq connection string or URI, or service=NAME;
                    without it the service "movara" of a service file
                    (~/.pg_service.conf) where one defines it, otherwise the
                    PG environment variables. Give no password here: libpq
                    reads it from ~/.pgpass. TLS as libpq negotiates it
                    (sslmode=... in the connection string).
  --init            create the server's table and its index, then stop (a
                    sync also creates them on first use)
  --dry-run         count what would be sent, writing nothing
  --report          print, per site and test kind, the results of the last
                    30 days with their median and best net KPH
  --csv             with --report: comma-separated values
  --progress        print a line of counts after every batch
  --batch-size N    rows per transaction, 1 to 4000 (default 500)
  --help            show this text

Exit status: 0 when everything was sent, 1 when the server could not be
reached or refused the work (nothing is lost: the next run sends it), 2 for
bad arguments, 3 when the folder's results table could not be read.
)";

struct Arguments {
    resultsync::SyncOptions sync;
    bool init = false;
    bool report = false;
    bool csv = false;
    bool progress = false;
    bool help = false;
};

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string defaultFolder()
{
    if (std::string folder = variable("MOVARA_FOLDER"); !folder.empty()) return folder;
    if (std::string data = variable("XDG_DATA_HOME"); !data.empty()) return data + "/movara";
    return variable("HOME") + "/.local/share/movara";
}

std::string hostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
}

class BadArgument : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::size_t batchSizeOf(const std::string& text)
{
    std::size_t used = 0;
    unsigned long size = 0;
    try {
        size = std::stoul(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text[0] == '-' || size < 1 || size > resultsync::MaxBatchSize)
        throw BadArgument("--batch-size takes a number from 1 to 4000, not '" + text + "'");
    return size;
}

Arguments parseArguments(const std::vector<std::string>& words)
{
    Arguments arguments;
    arguments.sync.folder = defaultFolder();
    arguments.sync.site = hostName();
    bool namedConnection = false;
    for (std::size_t at = 0; at < words.size(); ++at) {
        const std::string& word = words[at];
        auto value = [&]() -> std::string {
            if (at + 1 >= words.size()) throw BadArgument(word + " needs a value");
            return words[++at];
        };
        if (word == "--folder") arguments.sync.folder = value();
        else if (word == "--site") arguments.sync.site = value();
        else if (word == "--db") arguments.sync.connection = value(), namedConnection = true;
        else if (word == "--batch-size") arguments.sync.batchSize = batchSizeOf(value());
        else if (word == "--init") arguments.init = true;
        else if (word == "--dry-run") arguments.sync.dryRun = true;
        else if (word == "--report") arguments.report = true;
        else if (word == "--csv") arguments.csv = true;
        else if (word == "--progress") arguments.progress = true;
        else if (word == "--help" || word == "-h") arguments.help = true;
        else throw BadArgument("unknown argument '" + word + "'");
    }
    if (arguments.sync.site.empty()) throw BadArgument("--site needs a name");
    if (arguments.csv && !arguments.report) throw BadArgument("--csv goes with --report");
    if (arguments.init + arguments.report + arguments.sync.dryRun > 1)
        throw BadArgument("--init, --report and --dry-run go one at a time");
    if (!namedConnection) arguments.sync.connection = resultsync::defaultConnection();
    return arguments;
}

int run(const Arguments& arguments)
{
    if (arguments.init) {
        resultsync::ServerConnection server(arguments.sync.connection);
        server.createResultsTable();
        std::cout << "the table movara_results is ready" << std::endl;
        return Done;
    }
    if (arguments.report) {
        resultsync::ServerConnection server(arguments.sync.connection);
        const auto lines = resultsync::recentReport(server);
        std::cout << (arguments.csv ? resultsync::reportCsv(lines) : resultsync::reportTable(lines)) << std::flush;
        return Done;
    }
    resultsync::SyncOptions options = arguments.sync;
    if (arguments.progress)
        options.progress = [&](const resultsync::SyncCounts& counts) {
            std::cout << "checked " << resultsync::groupedCount(counts.checked) << " of "
                      << resultsync::groupedCount(counts.total) << " results: "
                      << resultsync::countsLine(counts, options.dryRun) << std::endl;
        };
    const resultsync::SyncCounts counts = resultsync::syncResults(options);
    std::cout << resultsync::countsLine(counts, options.dryRun) << std::endl;
    return Done;
}

}  // namespace

int main(int argc, char** argv)
{
    Arguments arguments;
    try {
        arguments = parseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const BadArgument& error) {
        std::cerr << "movara-sync: " << error.what() << "\nTry 'movara-sync --help'." << std::endl;
        return BadArguments;
    }
    if (arguments.help) {
        std::cout << Usage;
        return Done;
    }
    try {
        return run(arguments);
    } catch (const resultsync::SyncError& error) {
        std::cerr << "movara-sync: " << error.what() << std::endl;
        return error.side() == resultsync::SyncError::Side::Server ? ServerFailed : LocalFailed;
    }
}
