// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Copying a program folder's results to the organisation's server: every row
// of results.dat whose key the server lacks is sent, in batches of one
// INSERT ... ON CONFLICT DO NOTHING each (one transaction per batch). A run
// cut off at any moment leaves whole batches behind, and the next run sends
// the rest, so every row arrives exactly once. Nothing on the server is ever
// deleted or changed: rows deleted at a centre stay in the archive.

#include <cstddef>
#include <functional>
#include <string>

namespace resultsync {

struct SyncCounts {
    long total = 0;    // rows of results.dat when the run began
    long checked = 0;  // rows looked at so far
    long sent = 0;     // rows the server took (would take, in a dry run)
    long already = 0;  // rows the server held already
};

struct SyncOptions {
    std::string folder;
    std::string site;
    std::string connection;
    bool dryRun = false;
    std::size_t batchSize = 500;
    // Told after every batch and at the end.
    std::function<void(const SyncCounts&)> progress;
};

inline constexpr std::size_t MaxBatchSize = 4000;

SyncCounts syncResults(const SyncOptions& options);

// "sent 120 new results, 18,430 already there"
std::string countsLine(const SyncCounts& counts, bool dryRun);
// 18430 as "18,430".
std::string groupedCount(long count);

}  // namespace resultsync
