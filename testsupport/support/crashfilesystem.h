// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A FileSystem for tests that stands for a disk losing its power. Every call
// goes through to the real files of one folder, and besides it keeps what a
// power cut could take away: for each file, the writes and cuts since its
// last flush; for the folder, the files made, removed and renamed since the
// folder was last flushed. Flushes themselves reach no disk: what they make
// durable is only noted here.
//
// At a chosen mutating call (write, cut, flush, make, remove, rename, counted
// from 0 across all files) the power goes: before that call runs, the folder
// as the disk could show it afterwards is copied out under each policy asked
// for, and from then on every call fails, as on a machine that has stopped.
//
// Policies of what reaches the disk of the changes not yet flushed:
//   None     nothing
//   All      everything
//   Prefix   the changes up to a point chosen at random, in the order made
//   Torn     each 512-byte sector of each write, each cut, independently;
//            the folder's changes up to a point chosen at random
//   DataOnly every write and cut of the files, none of the folder's changes

#include "store/file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

enum class PowerCut { None, All, Prefix, Torn, DataOnly };

inline const char* powerCutName(PowerCut policy)
{
    switch (policy) {
    case PowerCut::None: return "none";
    case PowerCut::All: return "all";
    case PowerCut::Prefix: return "prefix";
    case PowerCut::Torn: return "torn";
    case PowerCut::DataOnly: return "data only";
    }
    return "?";
}

class CrashFileSystem final : public store::FileSystem {
public:
    static constexpr std::int64_t Sector = 512;

    // folder: where the table's files are, all of them taken as on the disk.
    explicit CrashFileSystem(std::filesystem::path folder) : folder_(std::move(folder))
    {
        for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
            if (!entry.is_regular_file()) continue;
            auto node = std::make_shared<Node>();
            node->durable = readWhole(entry.path());
            durableNames_[entry.path().filename().string()] = node;
            names_[entry.path().filename().string()] = node;
        }
    }

    // Cuts the power before mutating call number call; each image is written
    // to images[i] under policies[i], the random ones seeded with seed + i.
    void cutAt(long call, std::vector<PowerCut> policies, std::vector<std::filesystem::path> images,
               unsigned seed)
    {
        cutAt_ = call;
        policies_ = std::move(policies);
        images_ = std::move(images);
        seed_ = seed;
    }

    // Cuts the power now, when the chosen call never came.
    void powerOff()
    {
        if (dead_) return;
        cutAt_ = calls_;
        mutate();
    }

    long mutatingCalls() const { return calls_; }
    bool cut() const { return dead_; }

    std::unique_ptr<store::File> open(const std::string& path, store::Access access, store::Sharing sharing,
                                      bool writeThrough, store::OpenStatus& status) override
    {
        if (dead_) return refuse(status);
        auto inner = store::systemFileSystem().open(path, access, sharing, writeThrough, status);
        if (!inner) return nullptr;
        if (std::filesystem::path(path) == folder_) return std::make_unique<FolderFile>(*this, std::move(inner));
        return std::make_unique<CrashFile>(*this, nodeOf(path), std::move(inner));
    }
    std::unique_ptr<store::File> create(const std::string& path, store::OpenStatus& status) override
    {
        if (!mutate()) return refuse(status);
        auto inner = store::systemFileSystem().create(path, status);
        if (!inner) return nullptr;
        auto node = std::make_shared<Node>();
        names_[nameOf(path)] = node;
        folderChanges_.push_back({FolderChange::Create, nameOf(path), {}, node, sequence_++});
        return std::make_unique<CrashFile>(*this, node, std::move(inner));
    }
    bool exists(const std::string& path) override { return !dead_ && store::systemFileSystem().exists(path); }
    bool isReadOnly(const std::string& path) override { return store::systemFileSystem().isReadOnly(path); }
    bool remove(const std::string& path) override
    {
        if (!mutate() || !store::systemFileSystem().remove(path)) return false;
        names_.erase(nameOf(path));
        folderChanges_.push_back({FolderChange::Remove, nameOf(path), {}, nullptr, sequence_++});
        return true;
    }
    bool rename(const std::string& from, const std::string& to) override
    {
        if (!mutate() || !store::systemFileSystem().rename(from, to)) return false;
        auto node = names_[nameOf(from)];
        names_.erase(nameOf(from));
        names_[nameOf(to)] = node;
        folderChanges_.push_back({FolderChange::Rename, nameOf(from), nameOf(to), node, sequence_++});
        return true;
    }

private:
    struct Change {
        bool cut;  // a cut to offset; otherwise bytes written at offset
        std::int64_t offset;
        std::vector<std::uint8_t> bytes;
        long sequence;
    };
    struct Node {
        std::vector<std::uint8_t> durable;
        std::vector<Change> changes;  // since the last flush
    };
    struct FolderChange {
        enum Kind { Create, Remove, Rename } kind;
        std::string name, to;
        std::shared_ptr<Node> node;
        long sequence;
    };
    using Names = std::map<std::string, std::shared_ptr<Node>>;

    class CrashFile final : public store::File {
    public:
        CrashFile(CrashFileSystem& owner, std::shared_ptr<Node> node, std::unique_ptr<store::File> inner)
            : owner_(owner), node_(std::move(node)), inner_(std::move(inner))
        {
        }
        std::int64_t readAt(std::int64_t offset, void* data, std::int64_t size) override
        {
            return owner_.dead_ ? failed() : inner_->readAt(offset, data, size);
        }
        std::int64_t writeAt(std::int64_t offset, const void* data, std::int64_t size) override
        {
            if (!owner_.mutate()) return failed();
            std::int64_t done = inner_->writeAt(offset, data, size);
            if (done > 0) {
                const auto* bytes = static_cast<const std::uint8_t*>(data);
                node_->changes.push_back({false, offset, {bytes, bytes + done}, owner_.sequence_++});
            }
            return done;
        }
        std::int64_t size() override { return owner_.dead_ ? failed() : inner_->size(); }
        bool truncate(std::int64_t size) override
        {
            if (!owner_.mutate() || !inner_->truncate(size)) return failed() == 0;
            node_->changes.push_back({true, size, {}, owner_.sequence_++});
            return true;
        }
        bool flush() override
        {
            if (!owner_.mutate()) return failed() == 0;
            node_->durable = applied(node_->durable, node_->changes, [](const Change&, std::int64_t) { return true; });
            node_->changes.clear();
            return true;
        }
        store::LockStatus lock(std::int64_t offset, std::int64_t length) override
        {
            return owner_.dead_ ? store::LockStatus::Failed : inner_->lock(offset, length);
        }
        bool unlock(std::int64_t offset, std::int64_t length) override
        {
            return !owner_.dead_ && inner_->unlock(offset, length);
        }
        int lastError() const override { return error_ ? error_ : inner_->lastError(); }
        bool isRegular() override { return inner_->isRegular(); }

    private:
        int failed()
        {
            error_ = EIO;
            return -1;
        }
        CrashFileSystem& owner_;
        std::shared_ptr<Node> node_;
        std::unique_ptr<store::File> inner_;
        int error_ = 0;
    };

    // The folder, opened to be flushed.
    class FolderFile final : public store::File {
    public:
        FolderFile(CrashFileSystem& owner, std::unique_ptr<store::File> inner) : owner_(owner), inner_(std::move(inner))
        {
        }
        std::int64_t readAt(std::int64_t, void*, std::int64_t) override { return -1; }
        std::int64_t writeAt(std::int64_t, const void*, std::int64_t) override { return -1; }
        std::int64_t size() override { return inner_->size(); }
        bool truncate(std::int64_t) override { return false; }
        bool flush() override
        {
            if (!owner_.mutate()) return false;
            owner_.durableNames_ = owner_.names_;
            owner_.folderChanges_.clear();
            return true;
        }
        store::LockStatus lock(std::int64_t, std::int64_t) override { return store::LockStatus::Failed; }
        bool unlock(std::int64_t, std::int64_t) override { return false; }
        int lastError() const override { return inner_->lastError(); }
        bool isRegular() override { return false; }

    private:
        CrashFileSystem& owner_;
        std::unique_ptr<store::File> inner_;
    };

    template <typename Lands>
    static std::vector<std::uint8_t> applied(std::vector<std::uint8_t> content, const std::vector<Change>& changes,
                                             Lands lands)
    {
        for (const Change& change : changes) {
            if (change.cut) {
                if (lands(change, 0)) content.resize(static_cast<std::size_t>(change.offset));
                continue;
            }
            const std::int64_t end = change.offset + static_cast<std::int64_t>(change.bytes.size());
            for (std::int64_t sector = change.offset - change.offset % Sector; sector < end; sector += Sector) {
                if (!lands(change, sector)) continue;
                std::int64_t from = std::max(sector, change.offset), to = std::min(sector + Sector, end);
                if (content.size() < static_cast<std::size_t>(to)) content.resize(static_cast<std::size_t>(to));
                std::copy(change.bytes.begin() + (from - change.offset), change.bytes.begin() + (to - change.offset),
                          content.begin() + from);
            }
        }
        return content;
    }

    static std::vector<std::uint8_t> readWhole(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string nameOf(const std::string& path) const { return std::filesystem::path(path).filename().string(); }

    std::shared_ptr<Node> nodeOf(const std::string& path)
    {
        auto& node = names_[nameOf(path)];
        if (!node) {
            node = std::make_shared<Node>();
            node->durable = readWhole(path);
        }
        return node;
    }

    std::unique_ptr<store::File> refuse(store::OpenStatus& status)
    {
        status = store::OpenStatus::OtherError;
        return nullptr;
    }

    // Counts a mutating call; false once the power is gone.
    bool mutate()
    {
        if (dead_) return false;
        if (calls_++ == cutAt_) {
            for (std::size_t i = 0; i < policies_.size(); ++i)
                writeImage(policies_[i], images_[i], seed_ + static_cast<unsigned>(i));
            dead_ = true;
            return false;
        }
        return true;
    }

    void writeImage(PowerCut policy, const std::filesystem::path& image, unsigned seed)
    {
        std::mt19937 random(seed);
        std::uniform_int_distribution<long> upTo(durableSequence(), sequence_);
        const long point = upTo(random);
        auto lands = [&](long sequence) {
            switch (policy) {
            case PowerCut::None: return false;
            case PowerCut::All:
            case PowerCut::DataOnly: return true;
            case PowerCut::Prefix: return sequence < point;
            case PowerCut::Torn: return std::bernoulli_distribution(0.5)(random);
            }
            return false;
        };
        Names names = durableNames_;
        for (const FolderChange& change : folderChanges_) {
            bool folderLands = policy == PowerCut::All ||
                               ((policy == PowerCut::Prefix || policy == PowerCut::Torn) && change.sequence < point);
            if (!folderLands) break;
            if (change.kind == FolderChange::Remove) names.erase(change.name);
            if (change.kind == FolderChange::Create) names[change.name] = change.node;
            if (change.kind == FolderChange::Rename) {
                names.erase(change.name);
                names[change.to] = change.node;
            }
        }
        std::filesystem::create_directories(image);
        std::map<Node*, std::vector<std::uint8_t>> contents;  // a file under two names shows the same bytes
        for (const auto& [name, node] : names) {
            auto found = contents.find(node.get());
            if (found == contents.end())
                found = contents
                            .emplace(node.get(), applied(node->durable, node->changes,
                                                         [&](const Change& change, std::int64_t) {
                                                             return lands(change.sequence);
                                                         }))
                            .first;
            std::ofstream out(image / name, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(found->second.data()),
                      static_cast<std::streamsize>(found->second.size()));
        }
    }

    // Changes made before the first one not yet on the disk.
    long durableSequence() const
    {
        long first = sequence_;
        for (const FolderChange& change : folderChanges_) first = std::min(first, change.sequence);
        for (const Names* names : {&names_, &durableNames_})
            for (const auto& [name, node] : *names)
                for (const Change& change : node->changes) first = std::min(first, change.sequence);
        return first;
    }

    std::filesystem::path folder_;
    Names names_;         // as the folder is now
    Names durableNames_;  // as it was at its last flush
    std::vector<FolderChange> folderChanges_;
    long sequence_ = 0;
    long calls_ = 0;
    long cutAt_ = -1;
    bool dead_ = false;
    std::vector<PowerCut> policies_;
    std::vector<std::filesystem::path> images_;
    unsigned seed_ = 0;
};

}  // namespace testing_support
