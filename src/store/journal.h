// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The rollback journal (.JNL) beside a table: the before-images of every
// stretch of the data, index and memo files that a write-back overwrites,
// so that a copy killed in the middle of one leaves a table that the next
// copy puts back as it was. A table without a journal is the same table as
// before; the three files' formats know nothing of it.
//
// Layout, all integers little-endian:
//   0    32  header
//   32   ... records, one after another
//
// Header (32 bytes):
//   0    8   signature "MVJRNL1\0"
//   8    4   format version, always 1
//   12   4   record count: the records that were made durable, signed
//   16   8   bytes of those records
//   24   4   checksum of bytes 0..23 (FNV-1a, 32 bits)
//   28   4   nonce: this journal's own number, never 0, from which each
//            record's checksum starts (0 in a journal of a store without
//            nonces: its records' checksums start as the header's does)
//
// Record (20 bytes and its image):
//   0    1   table file: 0 data, 1 index, 2 memo
//   1    1   kind: 1 before-image, 2 the file's length before the write-back
//   2    2   reserved, 0
//   4    8   before-image: its offset in the table file; length: the length
//   12   4   bytes of the image that follows, 0 for a length
//   16   4   checksum of the nonce, bytes 0..15 and the image (FNV-1a,
//            32 bits, over the nonce's 4 bytes first)
//   20   ... the image
// A file's length record comes before its first before-image, and every
// image lies within that length; the records the header counts fill
// exactly the bytes it gives. A journal that breaks any of this is damaged.
//
// Invariants:
//   - the journal exists only while a write-back is under way or after one
//     was cut short: a shared open creates it under the table's write lock
//     and removes it before letting go; an exclusive open keeps one from
//     the first write of the table until the next complete write-back
//     (closing the table), so that a long generation lands whole or not
//     at all;
//   - each table file's length is recorded before its first byte is
//     written, and each stretch below that length has its before-image
//     recorded, once, before it is first overwritten or cut off; stretches
//     beyond it need none, rolling back cuts them off, and neither do the
//     blocks of JournalBlock bytes that a write-back writes with the bytes
//     they hold already: a stretch without a record holds what it held
//     before;
//   - records are only ever appended; the header counts those that were
//     durable before any table byte they cover was written, so that records
//     past the count, or a record whose checksum fails, hold nothing that
//     reached the table;
//   - the records are written before the header that counts them (a new
//     journal first gets a header counting none), and written through they
//     reach the disk first, so that every record a header counts was whole
//     before any table byte it covers was written, after a kill or a power
//     cut. A journal whose header or counted
//     records do not all check out is damage, not a write-back cut short:
//     it is left in place, untouched, and the table is refused with "the
//     journal of TABLE is damaged; ..." until tabletool repair deals with
//     it. Only a journal made but never written, empty or with a header
//     of zeros, is removed unread. A journal is read in pieces, never whole.
//
// Rolling back writes every before-image back, cuts each file to its
// recorded length, flushes the table files and then removes the journal. The
// next copy that opens the table, takes its write lock, or takes its read
// lock and sees a journal, rolls a journal it finds back first (under the
// write lock when the table is shared): a reader's lock excludes every live
// writer's write-back, so a journal seen then was left by a copy that died.
//
// Durability points, in their order within one write-back. They hold for a
// table opened write-through (ForceBufferFlush); without it the store leaves
// the operating system free to cache what it writes, so none of them flushes:
// the journal then guards against a copy that dies in the middle of a
// write-back, whose writes the system's cache keeps, not against a power cut.
//   1. the records are written and flushed (fdatasync), then the header
//      with the new count (a new journal gets its records under a header
//      counting none in one write), then the journal is flushed again; the
//      first time in a write-back the folder is flushed as well (fsync on
//      the directory), so that the new file's name survives a power cut
//      too. Only then are the table files written: their old
//      contents are safe on the disk.
//   2. once the last table byte is written, each table file written is
//      flushed (fdatasync), so that none of the write-back can go missing
//      once the journal is gone. The table files themselves are opened
//      without writing through, since this one flush per file covers all
//      of a write-back's writes to it.
//   3. the journal is removed (in a shared open renamed to the spare), and
//      the folder is flushed, so that a journal never comes back after a
//      power cut to roll back a write-back that had returned. Records the
//      spare still holds never check out under the next journal's header,
//      whose nonce differs.
// So a write-through post in a shared open flushes six times when the spare
// is there (from the second post of a handle on): the spare with its records
// and header, the folder after it is renamed into place, each of the three
// table files, and the folder after the journal is renamed back; a post that
// makes a new journal flushes it twice and the folder once instead of the
// first two. Six is as few as these points allow: the journal's records
// must be on the disk under its live name before a table byte is written
// (two flushes, whichever way the name is made: a header written after its
// records, or a rename), each of the three files needs its own flush, and
// the journal's end must be on the disk before the post returns. The
// folder stays open between write-backs for its flushes.
// The spare is told from a hot journal by its name alone: only the journal's
// name (.JNL) is ever rolled back, and a spare's bytes count for nothing
// until a write-back has written a new header over them and renamed it. The
// spare is opened by its name at each write-back rather than kept open: the
// close of another copy's handle removes it, and on a network share a file
// removed while open lives on under another name with its link count
// intact, so a handle kept open could not tell that it no longer writes the
// spare.
// Rolling back flushes the table files in either mode before the journal
// goes: it is rare, and it must not leave a table half put back.
// A before-image is read from the table file, unless the write-back's write
// came with the bytes it overwrites (File::writeAtOver: the index of a
// shared open knows what the file holds of each page it wrote or read since
// the last change check) and no other write of the same write-back overlaps
// it: those bytes are then what a read would find.
// An exclusive open groups the writes of evicted buffers into stretches of
// 65536 bytes, so that a long generation records each part of a file once
// and flushes the journal once per stretch rather than once per buffer; a
// write-back groups all of its writes into one flush of the journal, and
// joins writes that follow one another in a file into one.
//
// The state of an open table's journal, and what moves it:
//
//             beginWriteBack               first record
//   Clean ------------------> Deferring -----------------> DeferringRecorded
//   |  ^  ^---- commit ---------'                           |  |  ^
//   |  '------------------------ commit --------------------'  |  |
//   |                                         commit fails     |  | beginWriteBack
//   |  record (an exclusive open, between write-backs)         v  |
//   '------------------------------------------------------> Recorded
//
//   rollBack, from any state: Clean, or Hot when the rollback fails (a
//   commit that fails in Deferring leaves Clean, and the caller rolls back);
//   Hot: the journal on the disk still counts; the next write-back or
//   record first rolls it back (Clean) or fails and stays Hot.
// Deferring and DeferringRecorded hold the writes of a write-back in memory;
// Recorded and DeferringRecorded have records of theirs on the disk, which a
// rollback puts back.
//
// Within the journal a failure is a StoreError ("Error reading from data
// file" when a before-image cannot be read, "not enough disk space to write"
// on a full disk, "Error writing to data file" otherwise, and messages that
// name the journal when it cannot be made or read); the table files it
// stands between see one as a failed call.

#include "store/file.h"
#include "store/storeerror.h"
#include "store/tablefiles.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace store {

inline constexpr int JournalHeaderSize = 32;
inline constexpr int JournalRecordHeaderSize = 20;
inline constexpr std::int32_t JournalFormatVersion = 1;
inline constexpr std::int64_t JournalStretch = 65536;
inline constexpr std::int64_t JournalBlock = 64;  // a write-back records only the blocks it changes
inline constexpr int JournaledFiles = 3;  // data, index, memo

namespace journalheader {
inline constexpr char Signature[8] = {'M', 'V', 'J', 'R', 'N', 'L', '1', '\0'};
inline constexpr int Version = 8;
inline constexpr int RecordCount = 12;
inline constexpr int RecordBytes = 16;
inline constexpr int Checksum = 24;
inline constexpr int Nonce = 28;
}  // namespace journalheader

namespace journalrecord {
inline constexpr int File = 0;
inline constexpr int Kind = 1;
inline constexpr int Offset = 4;
inline constexpr int Length = 12;
inline constexpr int Checksum = 16;
inline constexpr int Image = 20;
inline constexpr std::uint8_t BeforeImage = 1;
inline constexpr std::uint8_t OriginalLength = 2;
}  // namespace journalrecord

namespace tablefile {
inline constexpr int Data = 0;
inline constexpr int Index = 1;
inline constexpr int Memo = 2;
}  // namespace tablefile

// A journal that does not check out or cannot be read: the table stays
// refused until tabletool repair sets the journal aside.
class JournalDamaged : public StoreError {
public:
    using StoreError::StoreError;
};

std::uint32_t journalChecksum(const std::uint8_t* data, std::size_t size, std::uint32_t seed = 2166136261u);

// The journal of one open table. The table's files are opened through
// fileSystem(), so that every write and cut of theirs passes here first.
class Journal {
public:
    // writeThrough: the table was opened with every write going through to
    // the disk (ForceBufferFlush), so the durability points flush.
    Journal(FileSystem& files, TableFileNames names, Sharing sharing, bool writeThrough);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    FileSystem& fileSystem();

    // A write-back: its writes wait in memory until commit() records their
    // before-images with one flush, makes them, flushes the table files and
    // removes the journal. A failure in commit() is passed on; the caller
    // then calls rollBack().
    void beginWriteBack();
    void commit();
    // Puts the table files back as they were before the first write the
    // journal covers. When even that fails, the journal stays on the disk
    // for the next copy (or the next write-back of this one).
    void rollBack() noexcept;
    // Rolls back a journal found on the disk, left by a copy that died or by
    // a rollback of this one that failed; the caller holds the write lock.
    // Says whether there was one. Fails when it cannot be rolled back.
    bool recoverIfHot();
    bool exists() { return files_.exists(names_.journal); }
    // Another copy may have written the table since this one's last
    // write-back: the lengths it knew of the files are no longer sure.
    void othersMayHaveWritten() { lengthNow_.fill(std::nullopt); }

private:
    class Files;
    class JournaledFile;
    friend class JournaledFile;
    struct Pending {
        int file;
        std::int64_t offset;
        std::vector<std::uint8_t> bytes;
        std::vector<std::uint8_t> before;  // what the file holds there, empty when the caller did not say
    };
    struct Staged {
        std::vector<std::uint8_t> records;
        std::int32_t count = 0;
        std::vector<std::pair<int, std::pair<std::int64_t, std::int64_t>>> covers;
        std::vector<std::pair<int, std::int64_t>> lengths;
    };

    enum class State { Clean, Deferring, DeferringRecorded, Recorded, Hot };

    // For the journaled files.
    bool deferring() const { return state_ == State::Deferring || state_ == State::DeferringRecorded; }
    bool covers() const { return deferring() || sharing_ == Sharing::Exclusive; }
    bool succeeds(const std::function<void()>& step);
    void defer(int file, std::int64_t offset, const void* data, std::int64_t size, const void* before = nullptr);
    void beforeWrite(int file, std::int64_t offset, std::int64_t size);
    void beforeCut(int file, std::int64_t size);
    void makePendingWrites();

    void markRecorded();
    void endDeferring();
    void stage(Staged& staged, int file, std::int64_t from, std::int64_t to, const std::uint8_t* after = nullptr,
               const std::uint8_t* before = nullptr);
    std::int64_t lengthBefore(Staged& staged, int file);
    void record(const Staged& staged);
    bool flushFolder();
    std::vector<Pending> joinedPendingWrites();
    static void keepOnlyLoneBeforeImages(std::vector<Pending>& pending);
    void createFile(const std::vector<std::uint8_t>& records, std::int32_t count);
    bool reuseSpare(const std::vector<std::uint8_t>& content);
    void retire();
    void forget();
    void mustRead(bool done) const;
    void mustWrite(bool done) const;
    void mustWrite(File& file, bool done);
    void writeHeader(File& file, std::int32_t count, std::int64_t bytes);
    bool putBackOwnHeader();

    FileSystem& files_;
    TableFileNames names_;
    Sharing sharing_;
    bool writeThrough_;
    std::unique_ptr<Files> fileSystem_;
    std::array<File*, JournaledFiles> targets_{};

    std::unique_ptr<File> file_;  // open while it holds records of the present write-back
    std::unique_ptr<File> folder_;  // the table's folder, once a write-back through to the disk flushed it
    State state_ = State::Clean;
    std::uint32_t nonce_;  // of the journal the present write-back writes
    std::int32_t count_ = 0;
    std::int64_t bytes_ = 0;
    std::array<std::map<std::int64_t, std::int64_t>, JournaledFiles> covered_;  // start -> end
    std::array<std::optional<std::int64_t>, JournaledFiles> originalLength_;
    // In a shared open, each file's length after this handle's last
    // write-back, while no other copy can have changed it: the length a
    // write-back records then needs no call to the file.
    std::array<std::optional<std::int64_t>, JournaledFiles> lengthNow_;
    std::array<std::int64_t, JournaledFiles> reach_{};  // the end of the present write-back's writes
    std::array<bool, JournaledFiles> cut_{};            // a file the present write-back cut
    std::array<bool, JournaledFiles> written_{};
    std::vector<Pending> pending_;
    int failure_ = 0;  // errno of the journal's last failed write, for the table files' calls
    // The header of this copy's own journal left hot, put back before it is
    // rolled back: a failed write may have spoiled the one on the disk.
    std::optional<std::array<std::uint8_t, JournalHeaderSize>> ownHeader_;
};

// Rolls back the journal at path over the given table files (null for one
// the table does not have). True when none is left: there was none, or it
// was rolled back and removed; false when the files failed. A journal that
// does not check out, or is no readable file, fails with its message and
// stays.
bool rollBackJournal(FileSystem& files, const std::string& path, const std::string& dataFileName,
                     const std::array<File*, JournaledFiles>& targets);

// Opens the table's files itself and rolls back a journal left beside them,
// under the write lock when sharing is Shared. Fails with the store's
// messages; a journal beside a table the caller may not write fails with
// "Data file ... was left half written, and this copy cannot write it ...".
void recoverTable(FileSystem& files, const TableFileNames& names, Sharing sharing);

}  // namespace store
