// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

// Sharing modes are whole-file flock() locks: they belong to the open file
// description, so two opens in one process meet each other exactly as two
// processes do, and they work on descriptors opened for reading only. They
// never touch the byte ranges that the table locks use.
//
// The head of the file is peeked at through a shared read-only mapping of its
// first page, made at the first peek: the system keeps one copy of each page
// of a file, so every write through any descriptor shows there at once. Only
// bytes the file holds are peeked at (a header that never shrinks), so the
// mapping never touches a page beyond the end of the file.
class PosixFile final : public File {
public:
    explicit PosixFile(int descriptor) : descriptor_(descriptor) {}
    ~PosixFile() override
    {
        if (head_) ::munmap(const_cast<std::uint8_t*>(head_), headLength_);
        ::close(descriptor_);
    }

    bool peekHead(void* data, std::int64_t size) override
    {
        if (!head_ && !mapHead(size)) return false;
        if (size > headAvailable_) return false;
        std::atomic_thread_fence(std::memory_order_acquire);
        auto* bytes = static_cast<std::uint8_t*>(data);
        for (std::int64_t at = 0; at < size; ++at) bytes[at] = head_[at];
        return true;
    }

    std::int64_t readAt(std::int64_t offset, void* data, std::int64_t size) override
    {
        auto* bytes = static_cast<char*>(data);
        std::int64_t done = 0;
        while (done < size) {
            ssize_t count = ::pread(descriptor_, bytes + done, static_cast<size_t>(size - done), offset + done);
            if (count < 0) {
                if (errno == EINTR) continue;
                return fail();
            }
            if (count == 0) break;
            done += count;
        }
        return done;
    }

    std::int64_t writeAt(std::int64_t offset, const void* data, std::int64_t size) override
    {
        const auto* bytes = static_cast<const char*>(data);
        std::int64_t done = 0;
        while (done < size) {
            ssize_t count = ::pwrite(descriptor_, bytes + done, static_cast<size_t>(size - done), offset + done);
            if (count < 0) {
                if (errno == EINTR) continue;
                if (done > 0 && errno == ENOSPC) {
                    lastError_ = ENOSPC;
                    break;
                }
                return fail();
            }
            if (count == 0) break;
            done += count;
        }
        return done;
    }

    std::int64_t size() override
    {
        struct stat status {};
        if (::fstat(descriptor_, &status) != 0) return fail();
        return status.st_size;
    }

    bool isRegular() override
    {
        struct stat status {};
        return ::fstat(descriptor_, &status) == 0 && S_ISREG(status.st_mode);
    }

    bool truncate(std::int64_t size) override { return ::ftruncate(descriptor_, size) == 0 || fail() == 0; }
    bool flush() override { return ::fdatasync(descriptor_) == 0 || fail() == 0; }

    LockStatus lock(std::int64_t offset, std::int64_t length) override
    {
        struct flock region = rangeOf(F_WRLCK, offset, length);
        if (::fcntl(descriptor_, F_OFD_SETLK, &region) == 0) return LockStatus::Locked;
        if (errno == EAGAIN || errno == EACCES) return LockStatus::Busy;
        fail();
        return LockStatus::Failed;
    }

    bool unlock(std::int64_t offset, std::int64_t length) override
    {
        struct flock region = rangeOf(F_UNLCK, offset, length);
        return ::fcntl(descriptor_, F_OFD_SETLK, &region) == 0 || fail() == 0;
    }

    int lastError() const override { return lastError_; }

private:
    static struct flock rangeOf(short type, std::int64_t offset, std::int64_t length)
    {
        struct flock region {};
        region.l_type = type;
        region.l_whence = SEEK_SET;
        region.l_start = offset;
        region.l_len = length;
        region.l_pid = 0;
        return region;
    }

    int fail()
    {
        lastError_ = errno;
        return -1;
    }

    bool mapHead(std::int64_t size)
    {
        if (headRefused_) return false;
        struct stat status {};
        if (::fstat(descriptor_, &status) != 0 || status.st_size < size || status.st_size == 0) return false;
        long page = ::sysconf(_SC_PAGESIZE);
        std::size_t length = static_cast<std::size_t>(page > 0 ? page : 4096);
        void* mapped = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, descriptor_, 0);
        if (mapped == MAP_FAILED) {
            headRefused_ = true;
            return false;
        }
        head_ = static_cast<const volatile std::uint8_t*>(mapped);
        headLength_ = length;
        headAvailable_ = std::min<std::int64_t>(status.st_size, static_cast<std::int64_t>(length));
        return true;
    }

    int descriptor_;
    int lastError_ = 0;
    const volatile std::uint8_t* head_ = nullptr;
    std::size_t headLength_ = 0;
    std::int64_t headAvailable_ = 0;  // bytes of the mapped page the file held when mapped
    bool headRefused_ = false;
};

OpenStatus statusOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return OpenStatus::NotFound;
    case EACCES:
    case EPERM:
    case EROFS: return OpenStatus::AccessDenied;
    case EMFILE:
    case ENFILE: return OpenStatus::TooManyFiles;
    default: return OpenStatus::OtherError;
    }
}

class PosixFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> open(const std::string& path, Access access, Sharing sharing, bool writeThrough,
                               OpenStatus& status) override
    {
        // Never waits: a pipe or a device under a table's name is opened
        // at once, to be refused as no regular file.
        int flags = O_CLOEXEC | O_NONBLOCK | (access == Access::ReadWrite ? O_RDWR : O_RDONLY);
        if (writeThrough) flags |= O_DSYNC;
        int descriptor = ::open(path.c_str(), flags);
        if (descriptor < 0) {
            status = statusOf(errno);
            return nullptr;
        }
        int mode = (sharing == Sharing::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
        if (::flock(descriptor, mode) != 0) {
            status = errno == EWOULDBLOCK ? OpenStatus::SharingViolation : statusOf(errno);
            ::close(descriptor);
            return nullptr;
        }
        status = OpenStatus::Ok;
        return std::make_unique<PosixFile>(descriptor);
    }

    std::unique_ptr<File> create(const std::string& path, OpenStatus& status) override
    {
        int descriptor = ::open(path.c_str(), O_CLOEXEC | O_RDWR | O_CREAT | O_EXCL, 0666);
        if (descriptor < 0) {
            status = statusOf(errno);
            return nullptr;
        }
        status = OpenStatus::Ok;
        return std::make_unique<PosixFile>(descriptor);
    }

    bool exists(const std::string& path) override
    {
        struct stat status {};
        return ::lstat(path.c_str(), &status) == 0;
    }

    // The read-only attribute of the platform is the absence of every write
    // permission bit; root's ability to write regardless does not count.
    bool isReadOnly(const std::string& path) override
    {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) return false;
        return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    }

    bool remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }
    bool rename(const std::string& from, const std::string& to) override
    {
        return ::rename(from.c_str(), to.c_str()) == 0;
    }
};

}  // namespace

FileSystem& systemFileSystem()
{
    static PosixFileSystem fileSystem;
    return fileSystem;
}

bool readExact(File& file, std::int64_t offset, void* data, std::int64_t size)
{
    return file.readAt(offset, data, size) == size;
}

bool writeExact(File& file, std::int64_t offset, const void* data, std::int64_t size)
{
    return file.writeAt(offset, data, size) == size;
}

}  // namespace store
