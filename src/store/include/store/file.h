// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one file interface of the store. Every open, read, write, size,
// truncate, flush and byte-range lock that the store does goes through a
// File obtained from a FileSystem, so that tests can put a FileSystem in
// between that fails, shortens or fills up at any chosen call.
//
// The calls report failure through their results and an errno-style code,
// never by throwing: only the layer that knows which table file it is
// working on can word the StoreError the user sees.

#include <cstdint>
#include <memory>
#include <string>

namespace store {

enum class Access { ReadOnly, ReadWrite };

// Shared opens admit other shared opens of the same file from this or any
// other process; an exclusive open admits none, and is refused while any
// other open exists.
enum class Sharing { Shared, Exclusive };

enum class OpenStatus { Ok, NotFound, AccessDenied, SharingViolation, TooManyFiles, OtherError };

enum class LockStatus { Locked, Busy, Failed };

class File {
public:
    virtual ~File() = default;

    // Reads up to size bytes at offset. Returns the count read, which is less
    // than size only at the end of the file or when the system shortens the
    // read, or -1 on an error.
    virtual std::int64_t readAt(std::int64_t offset, void* data, std::int64_t size) = 0;
    // Writes size bytes at offset. Returns the count written, which is less
    // than size when the disk is full, or -1 on an error.
    virtual std::int64_t writeAt(std::int64_t offset, const void* data, std::int64_t size) = 0;
    // As writeAt, told what the file holds there now (size bytes): a layer
    // that records what a write overwrites need not read it back. The caller
    // must know those bytes, as a cache does whose file no one else wrote
    // since it read or wrote them. Other layers ignore them.
    virtual std::int64_t writeAtOver(std::int64_t offset, const void* data, std::int64_t size, const void* before)
    {
        (void)before;
        return writeAt(offset, data, size);
    }
    // The length of the file, or -1 on an error.
    virtual std::int64_t size() = 0;
    virtual bool truncate(std::int64_t size) = 0;
    virtual bool flush() = 0;

    // Exclusive byte-range locks that never wait. Regions may lie beyond the
    // end of the file. Two File objects exclude each other even in one
    // process.
    virtual LockStatus lock(std::int64_t offset, std::int64_t length) = 0;
    virtual bool unlock(std::int64_t offset, std::int64_t length) = 0;

    // The errno of the last failed call, 0 when none failed.
    virtual int lastError() const = 0;

    // Whether this is a plain file of data, not a folder, a pipe or a device:
    // what a file of the store must be before anything is read from it.
    virtual bool isRegular() { return true; }

    // Copies the first size bytes of the file as the last write, by any
    // process, left them, without a system call where the file system can:
    // for a change counter looked at before every cursor step. False when it
    // cannot; the caller then reads them with readAt.
    virtual bool peekHead(void* data, std::int64_t size)
    {
        (void)data;
        (void)size;
        return false;
    }
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Opens an existing file. On failure returns null and sets status.
    virtual std::unique_ptr<File> open(const std::string& path, Access access, Sharing sharing,
                                       bool writeThrough, OpenStatus& status) = 0;
    // Makes a new empty file, failing when it exists already.
    virtual std::unique_ptr<File> create(const std::string& path, OpenStatus& status) = 0;
    // Whether the name is taken, by a file or by anything else, a link that
    // leads nowhere included.
    virtual bool exists(const std::string& path) = 0;
    virtual bool isReadOnly(const std::string& path) = 0;
    virtual bool remove(const std::string& path) = 0;
    // Gives the file at from the name to, in place of any file of that name,
    // in one step. A file system that cannot answers false, as for a failure.
    virtual bool rename(const std::string& from, const std::string& to)
    {
        (void)from;
        (void)to;
        return false;
    }
};

// The real file system of this machine.
FileSystem& systemFileSystem();

// Reads exactly size bytes or reports false; a short read counts as failure.
bool readExact(File& file, std::int64_t offset, void* data, std::int64_t size);
// Writes exactly size bytes or reports false; a short write counts as failure.
bool writeExact(File& file, std::int64_t offset, const void* data, std::int64_t size);

}  // namespace store
