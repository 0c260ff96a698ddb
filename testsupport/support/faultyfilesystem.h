// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A FileSystem for tests that passes every call through to the real one and
// makes one chosen call, counted across all files it opened, go wrong: fail
// outright, come back short, or behave as a full disk. With no fault armed it
// only counts, so a test can first learn how many calls an operation makes and
// then fail each of them in turn.

#include "store/file.h"

#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

enum class Fault { None, Error, ShortTransfer, DiskFull };

struct FaultPlan {
    Fault fault = Fault::None;
    long atCall = -1;  // the 0-based call that goes wrong
    bool lasting = false;  // every call from atCall on goes wrong, as a disk that has died
    long calls = 0;    // calls seen so far (opens, reads, writes, sizes, truncates, flushes, locks)
    bool fired = false;
    std::string only;  // when set, only calls of this kind go wrong, atCall counting them alone
    long onlyCalls = 0;
    std::map<std::string, long> writesTo;  // writes per file path, spoiled or not
    std::string firedOn;  // the kind of call spoiled: "open", "read", "write", "size", ...
    bool peeks = false;   // lets File::peekHead through to the real file, neither counted nor spoiled
    std::map<std::string, long> callsOf;  // calls seen so far by kind
    bool tracing = false;
    std::vector<std::string> trace;  // while tracing, each call as its kind, a space and its path

    // Counts a call and says whether this is the one to spoil.
    bool spoil(const char* kind, const std::string& path = {})
    {
        ++callsOf[kind];
        if (tracing) trace.push_back(std::string(kind) + " " + path);
        long index = calls++;
        if (!only.empty()) {
            if (only != kind) return false;
            index = onlyCalls++;
        }
        if (fault == Fault::None || index < atCall || (index > atCall && !lasting)) return false;
        if (!fired) firedOn = kind;  // the first spoiled call is the one that matters
        fired = true;
        return true;
    }
    void arm(Fault kind, long call, bool forGood = false)
    {
        fault = kind;
        atCall = call;
        lasting = forGood;
        onlyCalls = 0;
        calls = 0;
        fired = false;
        firedOn.clear();
    }
    void disarm()
    {
        arm(Fault::None, -1);
        only.clear();
    }
};

class FaultyFile final : public store::File {
public:
    FaultyFile(std::unique_ptr<store::File> inner, FaultPlan& plan, std::string path)
        : inner_(std::move(inner)), plan_(plan), path_(std::move(path))
    {
    }

    std::int64_t readAt(std::int64_t offset, void* data, std::int64_t size) override
    {
        if (plan_.spoil("read", path_)) {
            if (plan_.fault == Fault::ShortTransfer && size > 1) return inner_->readAt(offset, data, size / 2);
            return failWith(EIO);
        }
        return inner_->readAt(offset, data, size);
    }
    std::int64_t writeAt(std::int64_t offset, const void* data, std::int64_t size) override
    {
        ++plan_.writesTo[path_];
        if (plan_.spoil("write", path_)) {
            if (plan_.fault == Fault::Error) return failWith(EIO);
            // A short write and a full disk both store only part of the data.
            std::int64_t part = size / 2;
            if (part > 0 && inner_->writeAt(offset, data, part) < 0) return -1;
            if (plan_.fault == Fault::DiskFull && part == 0) return failWith(ENOSPC);
            lastError_ = ENOSPC;
            return part;
        }
        return inner_->writeAt(offset, data, size);
    }
    std::int64_t size() override { return plan_.spoil("size", path_) ? failWith(EIO) : inner_->size(); }
    bool truncate(std::int64_t size) override
    {
        return plan_.spoil("truncate", path_) ? failWith(plan_.fault == Fault::DiskFull ? ENOSPC : EIO) == 0
                                      : inner_->truncate(size);
    }
    bool flush() override
    {
        return plan_.spoil("flush", path_) ? failWith(plan_.fault == Fault::DiskFull ? ENOSPC : EIO) == 0
                                           : inner_->flush();
    }
    store::LockStatus lock(std::int64_t offset, std::int64_t length) override
    {
        if (plan_.spoil("lock", path_)) {
            failWith(EIO);
            return store::LockStatus::Failed;
        }
        return inner_->lock(offset, length);
    }
    bool unlock(std::int64_t offset, std::int64_t length) override
    {
        return plan_.spoil("unlock", path_) ? failWith(EIO) == 0 : inner_->unlock(offset, length);
    }
    int lastError() const override { return lastError_ ? lastError_ : inner_->lastError(); }
    bool isRegular() override { return inner_->isRegular(); }
    // A peek is no system call; without peeks every look goes through readAt, where faults are.
    bool peekHead(void* data, std::int64_t size) override { return plan_.peeks && inner_->peekHead(data, size); }

private:
    int failWith(int error)
    {
        lastError_ = error;
        return -1;
    }

    std::unique_ptr<store::File> inner_;
    FaultPlan& plan_;
    std::string path_;
    int lastError_ = 0;
};

class FaultyFileSystem final : public store::FileSystem {
public:
    FaultPlan plan;

    std::unique_ptr<store::File> open(const std::string& path, store::Access access, store::Sharing sharing,
                                      bool writeThrough, store::OpenStatus& status) override
    {
        if (plan.spoil("open", path)) {
            status = store::OpenStatus::OtherError;
            return nullptr;
        }
        auto inner = store::systemFileSystem().open(path, access, sharing, writeThrough, status);
        return inner ? std::make_unique<FaultyFile>(std::move(inner), plan, path) : nullptr;
    }
    std::unique_ptr<store::File> create(const std::string& path, store::OpenStatus& status) override
    {
        if (plan.spoil("create", path)) {
            status = store::OpenStatus::OtherError;
            return nullptr;
        }
        auto inner = store::systemFileSystem().create(path, status);
        return inner ? std::make_unique<FaultyFile>(std::move(inner), plan, path) : nullptr;
    }
    bool exists(const std::string& path) override { return store::systemFileSystem().exists(path); }
    bool isReadOnly(const std::string& path) override { return store::systemFileSystem().isReadOnly(path); }
    bool remove(const std::string& path) override
    {
        return !plan.spoil("remove", path) && store::systemFileSystem().remove(path);
    }
    bool rename(const std::string& from, const std::string& to) override
    {
        return !plan.spoil("rename", from) && store::systemFileSystem().rename(from, to);
    }
};

}  // namespace testing_support
