// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/locking.h"

#include "store/storeerror.h"

#include <chrono>
#include <thread>

namespace store {

namespace {

class SteadyLockClock final : public LockClock {
public:
    std::int64_t ticks() override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void sleep(int milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
};

}  // namespace

LockClock& systemLockClock()
{
    static SteadyLockClock clock;
    return clock;
}

TableLocks::TableLocks(std::string dataFileName, File& data, File& index, File* memo, bool enabled, LockClock& clock)
    : dataFileName_(std::move(dataFileName)), data_(data), index_(index), memo_(memo), enabled_(enabled),
      clock_(clock), random_(std::random_device{}())
{
}

TableLocks::~TableLocks() { releaseAll(); }

void TableLocks::generalFailure() const { throw StoreError("General lock failure with data file " + dataFileName_); }

bool TableLocks::retryPageLock(File& file, std::int64_t offset, std::int64_t length)
{
    for (int attempt = 0; attempt < PageLockTries; ++attempt) {
        LockStatus status = file.lock(offset, length);
        if (status == LockStatus::Locked) return true;
        if (status == LockStatus::Failed) return false;
        clock_.sleep(PageLockPauseMilliseconds);
    }
    return false;
}

// Each try takes a fresh byte, so that two readers that met on one byte do
// not keep meeting.
bool TableLocks::lockReaderByte(File& file)
{
    for (int attempt = 0; attempt < PageLockTries; ++attempt) {
        std::int64_t choice = static_cast<std::int64_t>(random_() % (lockregion::ReaderChoices + 1));
        if (choice == 0) choice = 1;
        std::int64_t offset = lockregion::ReaderBase - choice;
        LockStatus status = file.lock(offset, 1);
        if (status == LockStatus::Locked) {
            (&file == &index_ ? indexReader_ : memoReader_) = offset;
            return true;
        }
        if (status == LockStatus::Failed) return false;
        clock_.sleep(PageLockPauseMilliseconds);
    }
    return false;
}

void TableLocks::release(File& file, std::int64_t offset, std::int64_t length)
{
    if (!file.unlock(offset, length))
        throw StoreError("Cannot unlock data file or record in data file " + dataFileName_);
}

// Nothing is held when it fails.
void TableLocks::takeReaderBytes()
{
    if (!lockReaderByte(index_)) generalFailure();
    if (memo_ && !lockReaderByte(*memo_)) {
        index_.unlock(indexReader_, 1);
        indexReader_ = 0;
        generalFailure();
    }
}

void TableLocks::releaseReaderBytes()
{
    if (memoReader_) {
        std::int64_t offset = memoReader_;
        memoReader_ = 0;
        release(*memo_, offset, 1);
    }
    if (indexReader_) {
        std::int64_t offset = indexReader_;
        indexReader_ = 0;
        release(index_, offset, 1);
    }
}

void TableLocks::lockRead(bool checkChanges)
{
    if (fromCache_ && indexReader_ == 0 && writeDepth_ == 0) return confirmCache();
    if (readDepth_++ > 0 || writeDepth_ > 0 || !enabled_) {
        if (checkChanges && readDepth_ == 1 && writeDepth_ == 0 && changeCheck_) changeCheck_();
        return;
    }
    try {
        takeReaderBytes();
    } catch (...) {
        --readDepth_;
        throw;
    }
    try {
        if (checkChanges && changeCheck_) changeCheck_();
    } catch (...) {
        readDepth_ = 1;
        unlockRead();
        throw;
    }
}

bool TableLocks::lockReadFromCache()
{
    if (!enabled_ || readDepth_ > 0 || writeDepth_ > 0 || !changeProbe_ || !changeCheck_) return false;
    if (changeProbe_(false)) return false;
    readDepth_ = 1;
    fromCache_ = true;
    return true;
}

// The first read of the files in a read that began on the cache alone: from
// here on it holds the read lock, as long as what it found in the cache is
// still what the files hold.
void TableLocks::confirmCache()
{
    takeReaderBytes();
    bool changed = true;
    try {
        changed = changeProbe_(true);
    } catch (...) {
        releaseReaderBytes();
        throw;
    }
    if (changed) {
        releaseReaderBytes();
        throw ReadRestart();
    }
    ++readDepth_;
}

void TableLocks::unlockRead()
{
    if (readDepth_ == 0 || --readDepth_ > 0) return;
    fromCache_ = false;
    releaseReaderBytes();
}

void TableLocks::lockWrite()
{
    if (writeDepth_++ > 0) return;
    const std::function<void()>& check = writeCheck_ ? writeCheck_ : changeCheck_;
    if (!enabled_) {
        if (check) check();
        return;
    }
    // A reader byte of our own lies inside the write regions; letting go of
    // the regions later would let go of it too, so it is given up now and
    // taken again when the write ends.
    if (indexReader_) index_.unlock(indexReader_, 1), indexReader_ = 0;
    if (memoReader_) memo_->unlock(memoReader_, 1), memoReader_ = 0;

    bool semaphore = retryPageLock(data_, lockregion::DataSemaphore, 1);
    bool index = semaphore && retryPageLock(index_, lockregion::WriteRegion, lockregion::WriteLength);
    bool memo = index && (!memo_ || retryPageLock(*memo_, lockregion::WriteRegion, lockregion::WriteLength));
    if (!memo) {
        if (index) index_.unlock(lockregion::WriteRegion, lockregion::WriteLength);
        if (semaphore) data_.unlock(lockregion::DataSemaphore, 1);
        writeDepth_ = 0;
        generalFailure();
    }
    try {
        if (check) check();
    } catch (...) {
        writeDepth_ = 1;
        unlockWrite();
        throw;
    }
}

void TableLocks::unlockWrite()
{
    if (writeDepth_ == 0 || --writeDepth_ > 0 || !enabled_) return;
    if (memo_) release(*memo_, lockregion::WriteRegion, lockregion::WriteLength);
    release(index_, lockregion::WriteRegion, lockregion::WriteLength);
    release(data_, lockregion::DataSemaphore, 1);
    if (readDepth_ > 0) {
        if (!lockReaderByte(index_) || (memo_ && !lockReaderByte(*memo_))) generalFailure();
    }
}

bool TableLocks::retryPatiently(File& file, std::int64_t offset, std::int64_t length, int retryCount,
                                int waitMilliseconds)
{
    for (int attempt = 0; attempt <= retryCount; ++attempt) {
        LockStatus status = file.lock(offset, length);
        if (status == LockStatus::Locked) return true;
        if (status == LockStatus::Failed)
            throw StoreError("An unknown operating system error occurred with data file " + dataFileName_);
        if (attempt == retryCount) break;
        // A busy wait on the tick counter, as every copy of the program
        // sharing the table paces its retries the same way.
        std::int64_t start = clock_.ticks();
        while (clock_.ticks() - start <= waitMilliseconds) std::this_thread::yield();
    }
    return false;
}

void TableLocks::lockRow(std::int32_t slot, int retryCount, int waitMilliseconds)
{
    if (!enabled_ || holdsRow(slot)) return;
    if (!retryPatiently(data_, lockregion::RowBase - slot, 1, retryCount, waitMilliseconds))
        throw StoreError("Record in data file " + dataFileName_ + " is in use by another user");
    rows_.insert(slot);
    // With the row ours, a read lock's change check shows its latest state.
    try {
        lockRead();
        unlockRead();
    } catch (...) {
        unlockRow(slot);
        throw;
    }
}

void TableLocks::unlockRow(std::int32_t slot)
{
    if (rows_.erase(slot) == 0) return;
    release(data_, lockregion::RowBase - slot, 1);
}

void TableLocks::lockTable(int retryCount, int waitMilliseconds)
{
    if (!enabled_ || tableLocked_) return;
    if (!retryPatiently(data_, lockregion::TableStart, lockregion::TableLength, retryCount, waitMilliseconds))
        throw StoreError("The data file " + dataFileName_ + " is already locked by another user");
    tableLocked_ = true;
}

void TableLocks::unlockTable()
{
    if (!tableLocked_) return;
    tableLocked_ = false;
    release(data_, lockregion::TableStart, lockregion::TableLength);
}

void TableLocks::releaseAll() noexcept
{
    if (!enabled_) return;
    for (std::int32_t slot : rows_) data_.unlock(lockregion::RowBase - slot, 1);
    rows_.clear();
    if (tableLocked_) data_.unlock(lockregion::TableStart, lockregion::TableLength);
    tableLocked_ = false;
    if (writeDepth_ > 0) {
        if (memo_) memo_->unlock(lockregion::WriteRegion, lockregion::WriteLength);
        index_.unlock(lockregion::WriteRegion, lockregion::WriteLength);
        data_.unlock(lockregion::DataSemaphore, 1);
    }
    if (memoReader_) memo_->unlock(memoReader_, 1);
    if (indexReader_) index_.unlock(indexReader_, 1);
    memoReader_ = indexReader_ = 0;
    readDepth_ = writeDepth_ = 0;
    fromCache_ = false;
}

}  // namespace store
