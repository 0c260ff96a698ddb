// SPDX-License-Identifier: GPL-3.0-or-later
// Syncs of 100,000 stored results into a server of the benchmark's own:
// into an empty database, then again with nothing new. Prints the times.

#include <chrono>
#include <cstdio>

#include "support/resultstable.h"
#include "support/tempdir.h"
#include "sync/sync.h"
#include "support/testserver.h"

namespace {

double secondsOf(const resultsync::SyncOptions& options, resultsync::SyncCounts& counts)
{
    const auto begun = std::chrono::steady_clock::now();
    counts = resultsync::syncResults(options);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
}

}  // namespace

int main()
{
    if (std::string why = testing_support::TestServer::missing(); !why.empty()) {
        std::printf("sync_bench: no PostgreSQL server: %s\n", why.c_str());
        return 0;
    }
    constexpr int Rows = 100000;
    testing_support::TempDir folder;
    testing_support::makeResultsTable(folder.file("results.dat"));
    {
        store::StoreTable table("fill");
        table.setTableName(folder.file("results.dat"));
        table.setActive(true);
        for (int number = 0; number < Rows; ++number)
            testing_support::writeResultRow(table, testing_support::randomResult(number));
    }
    testing_support::TestServer server;
    resultsync::SyncOptions options;
    options.folder = folder.path().string();
    options.site = "North";
    options.connection = server.connection();
    resultsync::SyncCounts counts;
    const double empty = secondsOf(options, counts);
    std::printf("sync of %d results into an empty database: %.2f s (%s)\n", Rows, empty,
                resultsync::countsLine(counts, false).c_str());
    const double nothing = secondsOf(options, counts);
    std::printf("sync with nothing new over %d results: %.2f s (%s)\n", Rows, nothing,
                resultsync::countsLine(counts, false).c_str());
    return 0;
}
