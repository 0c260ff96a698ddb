// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The memo file (.BLB): values of memo and binary columns, which do not fit
// into the fixed-length row slots, stored as chains of fixed-size blocks. A
// table has one exactly when its data file header counts memo columns.
//
// Block size B: the data file header's memo block size (offset 4), 512 when
// that field is 0, never below 64. Each block is an 18-byte block header and
// B - 18 bytes of data.
//
// Header (offset 0, 512 bytes):
//   0    4    change counter, signed; +1 each time the header is written
//   4    4    reserved
//   8    1    format version, always 3
//   9    4    offset of the first free block (head of the free-block chain), 0 when none
//   13   4    offset of the end of the file, where the next new block goes (512 when new)
//   17   495  reserved, kept as read
//
// Blocks follow at 512 + k x B. Block header (18 bytes):
//   0    4    offset of the previous block of the same value, 0 for the first
//   4    4    offset of the next block of the same value, 0 for the last; in a free
//             block the next free block, 0 at the end of the free chain
//   8    2    number of data bytes used in this block, unsigned
//   10   4    slot number of the row that owns the value, signed
//   14   4    total length of the value in bytes, in the first block only (0 in the others)
//
// The row slot holds the offset of the value's first block after the column's
// presence byte (1 when the column has a value). While a value is open, the
// row in memory holds -(number of the open value + 1) there instead; that
// never reaches the disk.
//
// Invariants kept here:
//   - every block of a value carries the value's owner; a value's length fits
//     its chain: ceil(length / (B - 18)) blocks, the last one ending the chain;
//   - a freed block is put at the head of the free chain and gets owner 0, so
//     that a stale reference into it can never pass the owner check again;
//   - an empty value has no block at all;
//   - at most 64 values of a table are open at once; a block is pinned at
//     most 64 times at once.
//
// Changed blocks stay in a cache of at most 262140 bytes (4096 buffers at
// most) and go back sorted by offset, each run of consecutive blocks in one
// write, followed by the header, whenever the data file writes back.

#include "store/buffercache.h"
#include "store/file.h"
#include "store/operationundo.h"
#include "store/tablefiles.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace store {

inline constexpr int MemoHeaderSize = 512;
inline constexpr int MemoFormatVersion = 3;
inline constexpr int BlockHeaderSize = 18;
inline constexpr std::uint32_t DefaultMemoBlockSize = 512;
inline constexpr std::uint32_t MinMemoBlockSize = 64;
inline constexpr int MaxOpenValues = 64;
inline constexpr std::size_t MemoCacheBytes = 262140;
inline constexpr std::size_t MaxMemoBuffers = 4096;

namespace memoheader {
inline constexpr int ChangeCounter = 0;
inline constexpr int Version = 8;
inline constexpr int FreeHead = 9;
inline constexpr int EndOfFile = 13;
}  // namespace memoheader

namespace blockheader {
inline constexpr int Previous = 0;
inline constexpr int Next = 4;
inline constexpr int Used = 8;
inline constexpr int Owner = 10;
inline constexpr int Length = 14;
}  // namespace blockheader

struct MemoHeader {
    std::int32_t changeCounter = 0;
    std::uint8_t version = MemoFormatVersion;
    std::int32_t freeHead = 0;
    std::int32_t endOfFile = MemoHeaderSize;
    std::array<std::uint8_t, MemoHeaderSize> image{};  // reserved bytes as last read
};

MemoHeader decodeMemoHeader(const std::uint8_t* image);
void encodeMemoHeader(MemoHeader& header, std::uint8_t* image);

struct BlockHeader {
    std::int32_t previous = 0;
    std::int32_t next = 0;
    std::uint16_t used = 0;
    std::int32_t owner = 0;
    std::int32_t length = 0;
};

class MemoFile {
public:
    struct Settings {
        std::string path;
        std::string dataFileName;  // named in every message
        Access access = Access::ReadWrite;
        OpenMode mode;
        std::uint32_t blockSize = DefaultMemoBlockSize;
        bool repair = false;  // cut broken chains instead of failing, and log it
    };

    // Fails with "Data file ... is not the correct version" and the messages of opening.
    static std::unique_ptr<MemoFile> open(FileSystem& files, const Settings& settings);

    std::uint32_t blockSize() const { return blockSize_; }
    const MemoHeader& header() const { return header_; }
    std::size_t cacheCapacity() const { return cache_.capacity(); }
    const std::vector<std::string>& repairLog() const { return repairLog_; }
    std::int64_t fileLength() const { return fileLength_; }
    bool isBlockOffset(std::int32_t offset) const;
    BlockHeader blockHeader(std::int32_t offset);

    // Open values. Opening one with a first block reads it whole: when its
    // first block belongs to another slot it reads as empty if opened for
    // reading only, and fails otherwise.
    int openValue(std::int32_t slot, std::int32_t firstBlock, bool forWriting);
    const std::string& content(int value) const;
    std::int32_t firstBlock(int value) const;
    void setContent(int value, std::string content);
    void closeValue(int value);
    int openValueCount() const;

    // Within an operation of the data file: store an open value for the row
    // in slot, giving its first block (0 when empty); free a stored value.
    std::int32_t writeValue(int value, std::int32_t slot);
    void freeValue(std::int32_t firstBlock, std::int32_t slot);

    void beginOperation();
    void endOperation();
    void rollBack() noexcept;
    void writeBack();
    void empty();
    // Compares the change counter on disk with the cached header's; when
    // another process wrote the file, rereads the header and drops cached
    // blocks. Says whether it did. Forced, it does so whatever the counter says.
    bool refreshIfChanged(bool force = false);
    // Whether the counter on disk differs from the cached header's, read
    // without the read guard: for a caller that knows what it holds.
    bool changedByOthers();

    void pinBlock(std::int32_t offset);
    void unpinBlock(std::int32_t offset);

    // For the locking layer: the file, for its byte-range locks, and the
    // guard around every read the block cache cannot answer.
    File& diskFile() { return *file_; }
    void setReadGuard(ReadGuard guard) { readGuard_ = std::move(guard); }

private:
    struct OpenValue {
        std::int32_t slot = 0;
        std::int32_t firstBlock = 0;
        bool forWriting = false;
        std::string content;
    };
    class Pin;

    MemoFile(const Settings& settings, std::unique_ptr<File> file);

    std::int64_t unitOf(std::int32_t offset) const;
    void readFromDisk(std::int64_t offset, std::uint8_t* data, std::int64_t size);
    void writeBlocks(std::int64_t firstUnit, const std::vector<const std::uint8_t*>& blocks);
    void writeHeader();
    std::uint8_t* loadedBlock(std::int32_t offset);
    std::uint8_t* changedBlock(std::int32_t offset);
    std::string readChain(std::int32_t slot, std::int32_t firstBlock, bool forWriting);
    const std::uint8_t* blockForReading(std::int32_t offset, std::int64_t blocksWanted);
    std::int32_t takeBlock();
    void cutChain(std::int32_t slot, bool recursive);
    OpenValue& openValueAt(int value);
    const OpenValue& openValueAt(int value) const;

    std::string name_;
    std::unique_ptr<File> file_;
    std::uint32_t blockSize_;
    bool repair_;
    MemoHeader header_;
    std::vector<std::uint8_t> headerOnDisk_;  // the header as the file was last seen to hold it; empty: not known
    bool headerChanged_ = false;
    std::int64_t fileLength_ = 0;
    BufferCache cache_;
    std::array<std::optional<OpenValue>, MaxOpenValues> values_;
    std::vector<std::string> repairLog_;
    ReadGuard readGuard_;

    // Read-ahead of a value's blocks that are not cached.
    std::int64_t stagedOffset_ = 0;
    std::vector<std::uint8_t> staged_;

    OperationUndo<MemoHeader> undo_;  // the operation in progress
};

}  // namespace store
