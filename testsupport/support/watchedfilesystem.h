// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A FileSystem for tests that passes everything to the real one and notes the
// reads of one file, optionally doing something of its own after each (such
// as letting another handle write just then).

#include "store/file.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

class WatchedFileSystem final : public store::FileSystem {
public:
    struct Read {
        std::int64_t offset;
        std::int64_t size;
    };

    explicit WatchedFileSystem(std::string watched) : watched_(std::move(watched)) {}
    std::vector<Read> reads;
    std::function<void(const Read&)> afterRead;

    std::unique_ptr<store::File> open(const std::string& path, store::Access access, store::Sharing sharing,
                                      bool writeThrough, store::OpenStatus& status) override
    {
        auto inner = store::systemFileSystem().open(path, access, sharing, writeThrough, status);
        if (!inner || path != watched_) return inner;
        return std::make_unique<Watched>(std::move(inner), *this);
    }
    std::unique_ptr<store::File> create(const std::string& path, store::OpenStatus& status) override
    {
        return store::systemFileSystem().create(path, status);
    }
    bool exists(const std::string& path) override { return store::systemFileSystem().exists(path); }
    bool isReadOnly(const std::string& path) override { return store::systemFileSystem().isReadOnly(path); }
    bool remove(const std::string& path) override { return store::systemFileSystem().remove(path); }
    bool rename(const std::string& from, const std::string& to) override
    {
        return store::systemFileSystem().rename(from, to);
    }

private:
    class Watched final : public store::File {
    public:
        Watched(std::unique_ptr<store::File> inner, WatchedFileSystem& owner) : inner_(std::move(inner)), owner_(owner)
        {
        }
        std::int64_t readAt(std::int64_t offset, void* data, std::int64_t size) override
        {
            std::int64_t count = inner_->readAt(offset, data, size);
            owner_.reads.push_back({offset, size});
            if (owner_.afterRead) owner_.afterRead(owner_.reads.back());
            return count;
        }
        std::int64_t writeAt(std::int64_t offset, const void* data, std::int64_t size) override
        {
            return inner_->writeAt(offset, data, size);
        }
        std::int64_t size() override { return inner_->size(); }
        bool truncate(std::int64_t size) override { return inner_->truncate(size); }
        bool flush() override { return inner_->flush(); }
        store::LockStatus lock(std::int64_t offset, std::int64_t length) override
        {
            return inner_->lock(offset, length);
        }
        bool unlock(std::int64_t offset, std::int64_t length) override { return inner_->unlock(offset, length); }
        int lastError() const override { return inner_->lastError(); }
        bool isRegular() override { return inner_->isRegular(); }

    private:
        std::unique_ptr<store::File> inner_;
        WatchedFileSystem& owner_;
    };

    std::string watched_;
};

}  // namespace testing_support
