// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A FileSystem for benchmarks that passes every call to the real one and
// counts what reaches the system: calls of every kind (each one system call,
// or two for an open that takes its sharing lock), flushes, and bytes read
// and written, so that a benchmark can say where a post's time goes.

#include "store/file.h"

#include <cstdint>
#include <memory>
#include <string>

namespace bench_support {

struct FileCounts {
    long calls = 0;
    long reads = 0;
    long writes = 0;
    long flushes = 0;
    long sizes = 0;
    long locks = 0;
    long names = 0;  // opens, creates, existence and attribute checks, removes, renames
    std::int64_t bytesRead = 0;
    std::int64_t bytesWritten = 0;
};

class CountingFileSystem final : public store::FileSystem {
public:
    FileCounts counts;

    std::unique_ptr<store::File> open(const std::string& path, store::Access access, store::Sharing sharing,
                                      bool writeThrough, store::OpenStatus& status) override
    {
        countName();
        auto inner = store::systemFileSystem().open(path, access, sharing, writeThrough, status);
        return inner ? std::make_unique<Counted>(std::move(inner), counts) : nullptr;
    }
    std::unique_ptr<store::File> create(const std::string& path, store::OpenStatus& status) override
    {
        countName();
        auto inner = store::systemFileSystem().create(path, status);
        return inner ? std::make_unique<Counted>(std::move(inner), counts) : nullptr;
    }
    bool exists(const std::string& path) override
    {
        countName();
        return store::systemFileSystem().exists(path);
    }
    bool isReadOnly(const std::string& path) override
    {
        countName();
        return store::systemFileSystem().isReadOnly(path);
    }
    bool remove(const std::string& path) override
    {
        countName();
        return store::systemFileSystem().remove(path);
    }
    bool rename(const std::string& from, const std::string& to) override
    {
        countName();
        return store::systemFileSystem().rename(from, to);
    }

private:
    void countName()
    {
        ++counts.calls;
        ++counts.names;
    }

    class Counted final : public store::File {
    public:
        Counted(std::unique_ptr<store::File> inner, FileCounts& counts) : inner_(std::move(inner)), counts_(counts) {}

        std::int64_t readAt(std::int64_t offset, void* data, std::int64_t size) override
        {
            count(counts_.reads);
            std::int64_t done = inner_->readAt(offset, data, size);
            if (done > 0) counts_.bytesRead += done;
            return done;
        }
        std::int64_t writeAt(std::int64_t offset, const void* data, std::int64_t size) override
        {
            count(counts_.writes);
            std::int64_t done = inner_->writeAt(offset, data, size);
            if (done > 0) counts_.bytesWritten += done;
            return done;
        }
        std::int64_t size() override
        {
            count(counts_.sizes);
            return inner_->size();
        }
        bool truncate(std::int64_t size) override
        {
            ++counts_.calls;
            return inner_->truncate(size);
        }
        bool flush() override
        {
            count(counts_.flushes);
            return inner_->flush();
        }
        store::LockStatus lock(std::int64_t offset, std::int64_t length) override
        {
            count(counts_.locks);
            return inner_->lock(offset, length);
        }
        bool unlock(std::int64_t offset, std::int64_t length) override
        {
            count(counts_.locks);
            return inner_->unlock(offset, length);
        }
        int lastError() const override { return inner_->lastError(); }
        bool isRegular() override
        {
            ++counts_.calls;
            return inner_->isRegular();
        }
        // A peek at a mapped page is no system call.
        bool peekHead(void* data, std::int64_t size) override { return inner_->peekHead(data, size); }

    private:
        void count(long& kind)
        {
            ++counts_.calls;
            ++kind;
        }

        std::unique_ptr<store::File> inner_;
        FileCounts& counts_;
    };
};

}  // namespace bench_support
