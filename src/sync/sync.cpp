// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/sync.h"

#include <unordered_set>
#include <vector>

#include "store/storeerror.h"
#include "sync/localresults.h"
#include "sync/server.h"

namespace resultsync {

namespace {

std::unordered_set<std::string> keysOnServer(ServerConnection& server, const std::string& site)
{
    std::unordered_set<std::string> keys;
    QueryResult result = server.run(std::string("SELECT key FROM ") + ServerTable + " WHERE site = $1", {site});
    keys.reserve(static_cast<std::size_t>(result.rows()));
    for (int row = 0; row < result.rows(); ++row) keys.insert(result.text(row, 0));
    return keys;
}

class Sender {
public:
    Sender(ServerConnection& server, const SyncOptions& options, SyncCounts& counts)
        : server_(server), options_(options), counts_(counts)
    {
    }

    void add(LocalResult&& row)
    {
        batch_.push_back(std::move(row));
        if (batch_.size() >= options_.batchSize) send();
    }

    void send()
    {
        if (batch_.empty()) return;
        const long rows = static_cast<long>(batch_.size());
        long taken = rows;
        if (!options_.dryRun) taken = server_.run(insertStatement(batch_.size()), parameters()).touched();
        // Rows another run sent meanwhile were left as they were.
        counts_.sent += taken;
        counts_.already += rows - taken;
        batch_.clear();
        if (options_.progress) options_.progress(counts_);
    }

private:
    std::vector<Parameter> parameters() const
    {
        std::vector<Parameter> values;
        values.reserve(batch_.size() * (ResultColumns.size() + 2));
        for (const LocalResult& row : batch_) {
            values.emplace_back(row.key);
            values.emplace_back(options_.site);
            values.insert(values.end(), row.values.begin(), row.values.end());
        }
        return values;
    }

    ServerConnection& server_;
    const SyncOptions& options_;
    SyncCounts& counts_;
    std::vector<LocalResult> batch_;
};

void sendMissing(LocalResults& local, ServerConnection& server, const SyncOptions& options, SyncCounts& counts)
{
    std::unordered_set<std::string> keys;
    if (server.hasResultsTable())
        keys = keysOnServer(server, options.site);
    else if (!options.dryRun)
        server.createResultsTable();
    Sender sender(server, options, counts);
    for (; local.atRow(); local.next()) {
        LocalResult row = local.keyed();
        ++counts.checked;
        // A row twice in results.dat is one result: its second copy is there once the first is.
        if (!keys.insert(row.key).second) {
            ++counts.already;
            continue;
        }
        if (!options.dryRun) local.complete(row);
        sender.add(std::move(row));
    }
    sender.send();
}

}  // namespace

SyncCounts syncResults(const SyncOptions& options)
{
    SyncCounts counts;
    try {
        LocalResults local(options.folder, options.site);
        counts.total = local.count();
        ServerConnection server(options.connection);
        sendMissing(local, server, options, counts);
    } catch (const store::StoreError& error) {
        throw SyncError(SyncError::Side::Local, error.what());
    }
    if (options.progress) options.progress(counts);
    return counts;
}

std::string groupedCount(long count)
{
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (auto at = static_cast<long>(digits.size()) - 3; at > 0; at -= 3) digits.insert(std::size_t(at), ",");
    return (count < 0 ? "-" : "") + digits;
}

std::string countsLine(const SyncCounts& counts, bool dryRun)
{
    return std::string(dryRun ? "would send " : "sent ") + groupedCount(counts.sent) + " new result" +
           (counts.sent == 1 ? "" : "s") + ", " + groupedCount(counts.already) + " already there";
}

}  // namespace resultsync
