#include "store/file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

// Sharing modes are whole-file flock() locks: they belong to the open file
// description, so two opens in one process meet each other exactly as two
// processes do, and they work on descriptors opened for reading only. They
// never touch the byte ranges that the table locks use.
class PosixFile final : public File {
public:
    explicit PosixFile(int descriptor) : descriptor_(descriptor) {}
    ~PosixFile() override { ::close(descriptor_); }

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
                if (done > 0 && errno == ENOSPC) break;
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

    int descriptor_;
    int lastError_ = 0;
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
        int flags = O_CLOEXEC | (access == Access::ReadWrite ? O_RDWR : O_RDONLY);
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

    bool exists(const std::string& path) override { return ::access(path.c_str(), F_OK) == 0; }

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
