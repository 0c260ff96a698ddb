// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/file.h"
#include "support/faultyfilesystem.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace store;
using testing_support::Fault;
using testing_support::FaultyFileSystem;
using testing_support::TempDir;

namespace {

std::unique_ptr<File> openFile(FileSystem& files, const std::string& path, Sharing sharing, OpenStatus& status)
{
    return files.open(path, Access::ReadWrite, sharing, false, status);
}

}  // namespace

TEST(FileInterface, ReadsBackWhatWasWrittenAndReadsShortAtTheEnd)
{
    TempDir dir;
    OpenStatus status;
    auto file = systemFileSystem().create(dir.file("a.bin"), status);
    ASSERT_TRUE(file);
    ASSERT_TRUE(writeExact(*file, 10, "hello", 5));
    EXPECT_EQ(file->size(), 15);
    char buffer[8] = {};
    EXPECT_EQ(file->readAt(12, buffer, 8), 3);
    EXPECT_EQ(std::string(buffer, 3), "llo");
    ASSERT_TRUE(file->truncate(11));
    EXPECT_EQ(file->size(), 11);
}

TEST(FileInterface, OpenReportsMissingFileAndExclusiveSharingAgainstSharedOpens)
{
    TempDir dir;
    OpenStatus status;
    EXPECT_FALSE(openFile(systemFileSystem(), dir.file("none"), Sharing::Shared, status));
    EXPECT_EQ(status, OpenStatus::NotFound);

    systemFileSystem().create(dir.file("t"), status);
    auto first = openFile(systemFileSystem(), dir.file("t"), Sharing::Shared, status);
    auto second = openFile(systemFileSystem(), dir.file("t"), Sharing::Shared, status);
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(openFile(systemFileSystem(), dir.file("t"), Sharing::Exclusive, status));
    EXPECT_EQ(status, OpenStatus::SharingViolation);
    first.reset();
    second.reset();
    auto sole = openFile(systemFileSystem(), dir.file("t"), Sharing::Exclusive, status);
    ASSERT_TRUE(sole);
    EXPECT_FALSE(openFile(systemFileSystem(), dir.file("t"), Sharing::Shared, status));
    EXPECT_EQ(status, OpenStatus::SharingViolation);
}

TEST(FileInterface, ByteRangeLocksBeyondTheEndExcludeOtherHandlesOfOneProcess)
{
    TempDir dir;
    OpenStatus status;
    systemFileSystem().create(dir.file("t"), status);
    auto first = openFile(systemFileSystem(), dir.file("t"), Sharing::Shared, status);
    auto second = openFile(systemFileSystem(), dir.file("t"), Sharing::Shared, status);
    // A reader's byte inside the write region keeps the writer out.
    EXPECT_EQ(first->lock(0x7FFFFFFE, 1), LockStatus::Locked);
    EXPECT_EQ(second->lock(0x7FFF0000, 65535), LockStatus::Busy);
    EXPECT_EQ(second->lock(0x7FFFFFFF, 1), LockStatus::Locked);
    EXPECT_TRUE(first->unlock(0x7FFFFFFE, 1));
    EXPECT_EQ(second->lock(0x7FFF0000, 65535), LockStatus::Locked);
}

TEST(FileInterface, PeekedHeadFollowsWritesThroughOtherOpensAndRefusesBytesTheFileLacks)
{
    TempDir dir;
    OpenStatus status;
    auto writer = systemFileSystem().create(dir.file("a.dat"), status);
    ASSERT_TRUE(writer);
    ASSERT_TRUE(writeExact(*writer, 0, "abcdef", 6));
    auto reader = systemFileSystem().open(dir.file("a.dat"), Access::ReadOnly, Sharing::Shared, false, status);
    ASSERT_TRUE(reader);
    char head[4] = {};
    ASSERT_TRUE(reader->peekHead(head, 4));
    EXPECT_EQ(std::string(head, 4), "abcd");
    ASSERT_TRUE(writeExact(*writer, 1, "XY", 2));
    ASSERT_TRUE(reader->peekHead(head, 4));
    EXPECT_EQ(std::string(head, 4), "aXYd");
    char more[8] = {};
    EXPECT_FALSE(reader->peekHead(more, 8));
}

TEST(FaultyFileSystem, SpoilsExactlyTheChosenCall)
{
    TempDir dir;
    FaultyFileSystem files;
    OpenStatus status;
    auto file = files.create(dir.file("f"), status);
    ASSERT_TRUE(file);
    files.plan.arm(Fault::ShortTransfer, 1);
    EXPECT_EQ(file->writeAt(0, "abcdef", 6), 6);  // call 0 passes
    EXPECT_EQ(file->writeAt(6, "ghijkl", 6), 3);  // call 1 is cut short
    EXPECT_TRUE(files.plan.fired);
    files.plan.arm(Fault::Error, 0);
    char buffer[4];
    EXPECT_EQ(file->readAt(0, buffer, 4), -1);
    EXPECT_EQ(file->lastError(), EIO);
}
