// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The file set of a table and how its files are opened.
//
// Names: the data file keeps the table name when its extension is "dat" in
// any letter case, otherwise ".DAT" takes the place of the extension (or is
// added); the index file and the memo file take the same stem with ".IDX"
// and ".BLB", and the rollback journal ".JNL". So "config.dat" is stored in
// config.dat, config.IDX and config.BLB, with config.JNL beside them while
// a write-back is under way, and config.JNS between the write-backs of a
// shared open (the journal's file kept for the next one, never read).
//
// Opening: all files of a table are opened together, as existing files, with
// the same mode. A data file with the read-only attribute makes the whole
// table read-only. Failures name the table by its data file.

#include "store/file.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace store {

struct TableFileNames {
    std::string data;
    std::string index;
    std::string memo;
    std::string journal;  // the rollback journal (journal.h), there only while a write-back is cut short or under way
    std::string spareJournal;  // the journal's file between write-backs of a shared open
};

TableFileNames tableFileNames(const std::string& tableName);

// Runs around every read of a table file that no cache answers, given the
// read to run: the place where the locking layer holds its read lock.
using ReadGuard = std::function<void(const std::function<void()>& read)>;

struct OpenMode {
    Sharing sharing = Sharing::Shared;
    bool readOnly = false;      // asked for by the caller; the read-only attribute forces it too
    bool writeThrough = false;  // every write goes through to the disk at once
    int indexPageBuffers = 0;   // page buffers of each index, 0 for the default (31)
    std::size_t slotCacheBytes = 0;  // the data file's slot cache, 0 for the default (datafile.h)
};

// Opens one file of the table named by dataFileName, failing with
// "Invalid path or file name ...", "Access denied ...", "Too many files open
// ..." or "An unknown operating system error ..." as the system answers.
std::unique_ptr<File> openTableFile(FileSystem& files, const std::string& path, const std::string& dataFileName,
                                    Access access, const OpenMode& mode);

// Exact transfers that fail with "Error reading from data file ..." and
// "Error writing to data file ...". A read that comes back short fails too.
void readOrFail(File& file, std::int64_t offset, void* data, std::int64_t size, const std::string& dataFileName);
// The message of a failed write or cut: a full disk says so.
std::string writeFailure(const File& file, const std::string& dataFileName);
// before: what the file holds there, when the caller knows (File::writeAtOver).
void writeOrFail(File& file, std::int64_t offset, const void* data, std::int64_t size,
                 const std::string& dataFileName, const void* before = nullptr);
void truncateOrFail(File& file, std::int64_t size, const std::string& dataFileName);
std::int64_t sizeOrFail(File& file, const std::string& dataFileName);

}  // namespace store
