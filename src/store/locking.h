// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Locking between the handles that share a table, in this process or others.
// Nothing about locks is stored in the table's files: every lock is an
// exclusive byte-range lock on a region at or beyond the end of the data,
// where no data ever stands, taken without waiting and retried as below.
//
//   file   region start                 length     use
//   data   2147483647 (7FFFFFFF)        1          write semaphore of the data file
//   data   2147483646 - n               1          row lock of slot n (n from 1)
//   data   2047483645                   100000001  table lock: the row bytes of slots 1..100000001
//   index  2147418112 (7FFF0000)        65535      write lock of the index file
//   index  2147483647 - r, r in 1..65534 1         one reader's read lock of the index file
//   memo   2147418112 (7FFF0000)        65535      write lock of the memo file
//   memo   2147483647 - r, r in 1..65534 1         one reader's read lock of the memo file
//
// The write region of the index and memo files covers every reader's byte,
// so a writer cannot lock while any reader holds its byte, and no reader can
// while the writer holds the region. A reader picks its byte at random, again
// for every retry, so two readers rarely meet on one byte.
//
// Retry policies:
//   semaphore, index and memo read and write locks: up to 8193 tries, 3 ms apart;
//   row and table locks: 1 + retry count tries, the pause a busy wait on the
//   tick counter until more than the wait time has passed.
//
// Composite locks, in their order (released in the opposite one):
//   read lock:  index read byte, then memo read byte (when there is a memo file);
//               then the change check of the caller
//   write lock: data semaphore, index write region, memo write region;
//               then the write check: a journal a writer that died left is
//               rolled back, and the change check follows, so a writer
//               always works on what the last writer left whole
//   row lock:   the read lock for the change check, then the row byte
//
// An edit holds its row's lock from its start to its post or cancel; an
// append holds the lock of the slot it takes, and a delete that of the slot it
// frees, within the write lock while they write.
//
// Locks are taken only on a table open shared and writable; open exclusively
// or read-only, every lock succeeds at once without touching the files.
//
// Reads from the cache. Most cursor steps need nothing the caches lack, and
// the read lock with its change check would cost them seven system calls. A
// read may therefore begin with a look at the change counter of the data
// file, whose header every write-back of a shared open writes last (a look
// through the file's mapped head, File::peekHead, costs no system call; a
// file system without one reads the counter). While it has
// not moved, no other write has ended since the caches were last checked, so
// what they hold is the table as the last writer left it, and the read runs
// on them without a lock. Should it need the files after all, it takes the
// read lock then and compares every file's counter; when one moved
// meanwhile, the read is abandoned with ReadRestart, to be run again under
// the full read lock, whose change check brings the caches up to date.

#include "store/file.h"

#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <string>

namespace store {

namespace lockregion {
inline constexpr std::int64_t DataSemaphore = 2147483647;
inline constexpr std::int64_t RowBase = 2147483646;  // row n locks RowBase - n
inline constexpr std::int64_t TableStart = 2047483645;
inline constexpr std::int64_t TableLength = 100000001;
inline constexpr std::int64_t WriteRegion = 2147418112;
inline constexpr std::int64_t WriteLength = 65535;
inline constexpr std::int64_t ReaderBase = 2147483647;  // a reader locks ReaderBase - r
inline constexpr int ReaderChoices = 65534;
}  // namespace lockregion

inline constexpr int PageLockTries = 8193;
inline constexpr int PageLockPauseMilliseconds = 3;

// Thrown by the lock of a read that began on the cache alone, when it must
// read the files and another process wrote meanwhile. Not a StoreError: it
// never reaches the caller of the table.
struct ReadRestart {};

// The time source of the retry pauses, so tests can count retries.
class LockClock {
public:
    virtual ~LockClock() = default;
    virtual std::int64_t ticks() = 0;  // milliseconds, monotonic
    virtual void sleep(int milliseconds) = 0;
};

LockClock& systemLockClock();

class TableLocks {
public:
    // memo may be null. enabled is false for exclusive and read-only opens.
    TableLocks(std::string dataFileName, File& data, File& index, File* memo, bool enabled,
               LockClock& clock = systemLockClock());
    ~TableLocks();
    TableLocks(const TableLocks&) = delete;
    TableLocks& operator=(const TableLocks&) = delete;

    // Called after a read or write lock is had, to compare change counters
    // and drop what another process made stale.
    void setChangeCheck(std::function<void()> check) { changeCheck_ = std::move(check); }
    // Called instead of the change check once the write lock is had: the
    // place to roll back a journal a writer that died left behind.
    void setWriteCheck(std::function<void()> check) { writeCheck_ = std::move(check); }
    // Says, without changing anything, whether another process wrote since
    // the change check: by the data file's counter alone, or (everyFile) by
    // the counters of all three files.
    void setChangeProbe(std::function<bool(bool everyFile)> probe) { changeProbe_ = std::move(probe); }

    // Nest: only the outermost call takes or releases the files' locks. While
    // the write lock is held, a read lock is already implied.
    // Without checkChanges, the read lock alone: for reads in the middle of
    // an operation, when caches must not be dropped.
    void lockRead(bool checkChanges = true);
    void unlockRead();
    // Begins a read on the cache alone (see above) and says whether it did;
    // when it did not, the caller takes lockRead instead. Ended by unlockRead.
    bool lockReadFromCache();
    void lockWrite();
    void unlockWrite();

    // A row this handle has locked already counts as held.
    void lockRow(std::int32_t slot, int retryCount, int waitMilliseconds);
    void unlockRow(std::int32_t slot);
    bool holdsRow(std::int32_t slot) const { return rows_.count(slot) != 0; }

    void lockTable(int retryCount, int waitMilliseconds);
    void unlockTable();

    // Lets go of everything still held (at close); never throws.
    void releaseAll() noexcept;

private:
    bool lockReaderByte(File& file);
    void takeReaderBytes();
    void releaseReaderBytes();
    void confirmCache();
    bool retryPageLock(File& file, std::int64_t offset, std::int64_t length);
    bool retryPatiently(File& file, std::int64_t offset, std::int64_t length, int retryCount, int waitMilliseconds);
    void release(File& file, std::int64_t offset, std::int64_t length);
    [[noreturn]] void generalFailure() const;

    std::string dataFileName_;
    File& data_;
    File& index_;
    File* memo_;
    bool enabled_;
    LockClock& clock_;
    std::function<void()> changeCheck_;
    std::function<void()> writeCheck_;
    std::function<bool(bool)> changeProbe_;
    std::minstd_rand random_;

    int readDepth_ = 0;
    int writeDepth_ = 0;
    bool fromCache_ = false;  // the outermost read began on the cache alone
    std::int64_t indexReader_ = 0;  // the byte this handle holds, 0 when none
    std::int64_t memoReader_ = 0;
    bool tableLocked_ = false;
    std::set<std::int32_t> rows_;
};

}  // namespace store
