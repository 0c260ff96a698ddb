// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/journal.h"

#include "store/bytes.h"
#include "store/locking.h"
#include "store/storeerror.h"
#include "store/storemessages.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <limits>
#include <tuple>

#include <unistd.h>

namespace store {

std::uint32_t journalChecksum(const std::uint8_t* data, std::size_t size, std::uint32_t seed)
{
    std::uint32_t hash = seed;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= data[i];
        hash *= 16777619u;
    }
    return hash;
}

namespace {

std::string folderOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A journal's records are checksummed from its nonce on, so that records
// left by another journal in the same file never check out under its header.
// A journal without one (0) is of a store that had none.
std::uint32_t recordSeed(std::uint32_t nonce)
{
    if (nonce == 0) return journalChecksum(nullptr, 0);
    std::uint8_t image[4];
    bytes::putU32(image, nonce);
    return journalChecksum(image, sizeof image);
}

// From the clock, the process and a count, so that two journals of one
// table differ without the store touching anything but its files.
std::uint32_t newNonce()
{
    static std::atomic<std::uint64_t> made{0};
    std::uint8_t seed[24];
    bytes::putU64(seed, static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    bytes::putU64(seed + 8, static_cast<std::uint64_t>(::getpid()));
    bytes::putU64(seed + 16, ++made);
    std::uint32_t nonce = journalChecksum(seed, sizeof seed);
    return nonce == 0 ? 1 : nonce;
}

void encodeHeader(std::uint8_t* image, std::int32_t count, std::int64_t bytes, std::uint32_t nonce)
{
    std::memset(image, 0, JournalHeaderSize);
    std::memcpy(image, journalheader::Signature, sizeof journalheader::Signature);
    bytes::putI32(image + journalheader::Version, JournalFormatVersion);
    bytes::putI32(image + journalheader::RecordCount, count);
    bytes::putU64(image + journalheader::RecordBytes, static_cast<std::uint64_t>(bytes));
    bytes::putU32(image + journalheader::Checksum, journalChecksum(image, journalheader::Checksum));
    bytes::putU32(image + journalheader::Nonce, nonce);
}

void appendRecord(std::vector<std::uint8_t>& out, std::uint32_t nonce, int file, std::uint8_t kind,
                  std::int64_t offset, const std::uint8_t* image, std::int64_t size)
{
    std::size_t start = out.size();
    out.resize(start + JournalRecordHeaderSize + static_cast<std::size_t>(size));
    std::uint8_t* at = out.data() + start;
    at[journalrecord::File] = static_cast<std::uint8_t>(file);
    at[journalrecord::Kind] = kind;
    bytes::putU64(at + journalrecord::Offset, static_cast<std::uint64_t>(offset));
    bytes::putU32(at + journalrecord::Length, static_cast<std::uint32_t>(size));
    if (size > 0) std::memcpy(at + journalrecord::Image, image, static_cast<std::size_t>(size));
    std::uint32_t sum = journalChecksum(at, journalrecord::Checksum, recordSeed(nonce));
    sum = journalChecksum(at + journalrecord::Image, static_cast<std::size_t>(size), sum);
    bytes::putU32(at + journalrecord::Checksum, sum);
}

// The stretches of [from, to) that no record covers yet.
std::vector<std::pair<std::int64_t, std::int64_t>> uncovered(const std::map<std::int64_t, std::int64_t>& covered,
                                                             std::int64_t from, std::int64_t to)
{
    std::vector<std::pair<std::int64_t, std::int64_t>> gaps;
    auto next = covered.upper_bound(from);
    if (next != covered.begin()) {
        auto previous = std::prev(next);
        if (previous->second > from) from = previous->second;
    }
    for (; from < to; ++next) {
        std::int64_t gapEnd = next == covered.end() ? to : std::min(to, next->first);
        if (gapEnd > from) gaps.emplace_back(from, gapEnd);
        if (next == covered.end()) break;
        from = std::max(from, next->second);
    }
    return gaps;
}

// The stretches of the image at start whose blocks the bytes after would
// change, neighbouring blocks joined; all of it without after.
std::vector<std::pair<std::int64_t, std::int64_t>> changedRuns(const std::vector<std::uint8_t>& image,
                                                               std::int64_t start, const std::uint8_t* after)
{
    const auto size = static_cast<std::int64_t>(image.size());
    if (!after) return {{start, start + size}};
    std::vector<std::pair<std::int64_t, std::int64_t>> runs;
    for (std::int64_t block = 0; block < size; block += JournalBlock) {
        std::int64_t end = std::min(size, block + JournalBlock);
        if (std::memcmp(image.data() + block, after + block, static_cast<std::size_t>(end - block)) == 0) continue;
        if (!runs.empty() && runs.back().second == start + block) runs.back().second = start + end;
        else runs.emplace_back(start + block, start + end);
    }
    return runs;
}

void cover(std::map<std::int64_t, std::int64_t>& covered, std::int64_t from, std::int64_t to)
{
    auto next = covered.lower_bound(from);
    if (next != covered.begin() && std::prev(next)->second >= from) next = std::prev(next);
    while (next != covered.end() && next->first <= to) {
        from = std::min(from, next->first);
        to = std::max(to, next->second);
        next = covered.erase(next);
    }
    covered.emplace(from, to);
}

}  // namespace

// ---- The files of the table, seen through the journal ------------------------------

class Journal::JournaledFile final : public File {
public:
    JournaledFile(Journal& journal, int file, std::unique_ptr<File> inner)
        : journal_(journal), file_(file), inner_(std::move(inner))
    {
        journal_.targets_[file_] = inner_.get();
    }
    ~JournaledFile() override { journal_.targets_[file_] = nullptr; }

    std::int64_t readAt(std::int64_t offset, void* data, std::int64_t size) override
    {
        if (!settle()) return -1;
        return inner_->readAt(offset, data, size);
    }
    std::int64_t writeAt(std::int64_t offset, const void* data, std::int64_t size) override
    {
        return writeAtOver(offset, data, size, nullptr);
    }
    // A write-back's record of what a write overwrites takes the bytes from
    // the caller when it knows them, instead of reading them.
    std::int64_t writeAtOver(std::int64_t offset, const void* data, std::int64_t size, const void* before) override
    {
        if (journal_.deferring()) {
            journal_.defer(file_, offset, data, size, before);
            return size;
        }
        journal_.lengthNow_[file_].reset();
        if (journal_.covers() && !journal_.succeeds([&] { journal_.beforeWrite(file_, offset, size); }))
            return failed();
        return inner_->writeAt(offset, data, size);
    }
    std::int64_t size() override { return settle() ? inner_->size() : -1; }
    bool truncate(std::int64_t size) override
    {
        journal_.lengthNow_[file_].reset();
        journal_.cut_[file_] = true;
        if (!settle() || (journal_.covers() && !journal_.succeeds([&] { journal_.beforeCut(file_, size); })))
            return failed() == 0;
        return inner_->truncate(size);
    }
    bool flush() override { return settle() && inner_->flush(); }
    bool isRegular() override { return inner_->isRegular(); }
    LockStatus lock(std::int64_t offset, std::int64_t length) override { return inner_->lock(offset, length); }
    bool unlock(std::int64_t offset, std::int64_t length) override { return inner_->unlock(offset, length); }
    int lastError() const override { return error_ ? error_ : inner_->lastError(); }
    // Writes waiting for the write-back are not in the file yet.
    bool peekHead(void* data, std::int64_t size) override
    {
        return !journal_.deferring() && inner_->peekHead(data, size);
    }

private:
    // A read in the middle of a write-back sees what the write-back wrote.
    bool settle()
    {
        return !journal_.deferring() || journal_.succeeds([&] { journal_.makePendingWrites(); }) || failed() == 0;
    }
    int failed()
    {
        error_ = journal_.failure_ ? journal_.failure_ : EIO;
        return -1;
    }

    Journal& journal_;
    int file_;
    std::unique_ptr<File> inner_;
    int error_ = 0;
};

class Journal::Files final : public FileSystem {
public:
    explicit Files(Journal& journal) : journal_(journal) {}

    std::unique_ptr<File> open(const std::string& path, Access access, Sharing sharing, bool writeThrough,
                               OpenStatus& status) override
    {
        int which = path == journal_.names_.data    ? tablefile::Data
                    : path == journal_.names_.index ? tablefile::Index
                    : path == journal_.names_.memo  ? tablefile::Memo
                                                    : -1;
        bool journaled = access == Access::ReadWrite && which >= 0;
        // A journaled file needs no write of its own to go through at once:
        // each write-back flushes every file it wrote before its journal
        // goes, and what an exclusive open wrote before that is rolled back
        // after a crash anyway. One flush per file then stands for a write
        // through per write.
        auto file = journal_.files_.open(path, access, sharing, writeThrough && !journaled, status);
        if (!file || !journaled) return file;
        return std::make_unique<JournaledFile>(journal_, which, std::move(file));
    }
    std::unique_ptr<File> create(const std::string& path, OpenStatus& status) override
    {
        return journal_.files_.create(path, status);
    }
    bool exists(const std::string& path) override { return journal_.files_.exists(path); }
    bool isReadOnly(const std::string& path) override { return journal_.files_.isReadOnly(path); }
    bool remove(const std::string& path) override { return journal_.files_.remove(path); }
    bool rename(const std::string& from, const std::string& to) override { return journal_.files_.rename(from, to); }

private:
    Journal& journal_;
};

// ---- The journal of an open table -----------------------------------------------------

Journal::Journal(FileSystem& files, TableFileNames names, Sharing sharing, bool writeThrough)
    : files_(files),
      names_(std::move(names)),
      sharing_(sharing),
      writeThrough_(writeThrough),
      fileSystem_(std::make_unique<Files>(*this)),
      nonce_(newNonce())
{
}

// The spare is left to the next handle only while one is open: a table at
// rest has none beside it.
Journal::~Journal()
{
    if (sharing_ == Sharing::Shared && files_.exists(names_.spareJournal)) files_.remove(names_.spareJournal);
}

FileSystem& Journal::fileSystem() { return *fileSystem_; }

// A before-image that could not be read is a failed read, as a write-back
// without the journal would not have met it.
void Journal::mustRead(bool done) const
{
    if (!done) throw StoreError(messages::errorReading(names_.data));
}

void Journal::mustWrite(bool done) const
{
    if (!done) throw StoreError(messages::errorWriting(names_.data));
}

void Journal::mustWrite(File& file, bool done)
{
    if (done) return;
    failure_ = file.lastError();
    throw StoreError(writeFailure(file, names_.data));
}

void Journal::writeHeader(File& file, std::int32_t count, std::int64_t bytes)
{
    std::uint8_t header[JournalHeaderSize];
    encodeHeader(header, count, bytes, nonce_);
    mustWrite(file, writeExact(file, 0, header, JournalHeaderSize));
}

// The table files see the journal's failures as failed calls of their own.
bool Journal::succeeds(const std::function<void()>& step)
{
    failure_ = 0;
    try {
        step();
        return true;
    } catch (const StoreError&) {
        return false;
    }
}

void Journal::markRecorded()
{
    state_ = deferring() ? State::DeferringRecorded : State::Recorded;
}

void Journal::endDeferring()
{
    if (deferring()) state_ = state_ == State::DeferringRecorded ? State::Recorded : State::Clean;
}

void Journal::beginWriteBack()
{
    if (state_ == State::Hot) recoverIfHot();
    state_ = state_ == State::Recorded ? State::DeferringRecorded : State::Deferring;
}

void Journal::defer(int file, std::int64_t offset, const void* data, std::int64_t size, const void* before)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const auto* held = static_cast<const std::uint8_t*>(before);
    pending_.push_back(Pending{file, offset, std::vector<std::uint8_t>(bytes, bytes + size),
                               held ? std::vector<std::uint8_t>(held, held + size) : std::vector<std::uint8_t>()});
}

// The before-images of a stretch about to be written: in an exclusive open
// the whole stretches of JournalStretch bytes around it, so that the many
// small writes of evicted buffers share one flush of the journal.
void Journal::beforeWrite(int file, std::int64_t offset, std::int64_t size)
{
    if (state_ == State::Hot) recoverIfHot();
    Staged staged;
    std::int64_t from = offset, to = offset + size;
    if (sharing_ == Sharing::Exclusive) {
        from -= from % JournalStretch;
        to += (JournalStretch - to % JournalStretch) % JournalStretch;
    }
    stage(staged, file, from, to);
    record(staged);
    written_[file] = true;
}

void Journal::beforeCut(int file, std::int64_t size)
{
    Staged staged;
    stage(staged, file, size, std::numeric_limits<std::int64_t>::max());
    record(staged);
    written_[file] = true;
}

// The file's length before the write-back, recorded along with the first
// stretch of it that is staged.
std::int64_t Journal::lengthBefore(Staged& staged, int file)
{
    if (originalLength_[file]) return *originalLength_[file];
    for (const auto& [which, recorded] : staged.lengths)
        if (which == file) return recorded;
    std::int64_t length = lengthNow_[file] ? *lengthNow_[file] : targets_[file]->size();
    mustRead(length >= 0);
    appendRecord(staged.records, nonce_, file, journalrecord::OriginalLength, length, nullptr, 0);
    ++staged.count;
    staged.lengths.emplace_back(file, length);
    return length;
}

// Records what [from, to) holds now, where it lies within the file's length
// before the write-back and no record has it yet. Given the bytes about to
// be written there (after, from offset from on), only the blocks of
// JournalBlock bytes that they change are recorded: a write-back rewrites
// whole pages and headers of which a post changes a few bytes, and every
// recorded byte costs its checksum. A block left out holds what it held
// before the write-back, written or not, so it needs no record now or
// later.
void Journal::stage(Staged& staged, int file, std::int64_t from, std::int64_t to, const std::uint8_t* after,
                    const std::uint8_t* before)
{
    to = std::min(to, lengthBefore(staged, file));
    for (const auto& [start, end] : uncovered(covered_[file], from, to)) {
        std::vector<std::uint8_t> image(static_cast<std::size_t>(end - start));
        if (before)
            std::memcpy(image.data(), before + (start - from), image.size());
        else
            mustRead(readExact(*targets_[file], start, image.data(), end - start));
        for (const auto& [first, last] : changedRuns(image, start, after ? after + (start - from) : nullptr)) {
            appendRecord(staged.records, nonce_, file, journalrecord::BeforeImage, first, image.data() + (first - start),
                         last - first);
            ++staged.count;
            staged.covers.push_back({file, {first, last}});
        }
    }
}

// The journal with its first records, under a header counting them. A
// shared open reuses the file the last write-back left under the spare
// name: written whole there and then renamed, the journal appears with its
// records in it, and making a new file, dearer than renaming one, is left to
// the first write-back. A new file's name may reach the disk before its
// bytes do, and a copy killed in the middle of one long write leaves only
// its start: so a new file first gets its records under a header counting
// none, and the count only once they are written (written through, on the
// disk).
void Journal::createFile(const std::vector<std::uint8_t>& records, std::int32_t count)
{
    count_ = 0;
    bytes_ = 0;
    const auto recordBytes = static_cast<std::int64_t>(records.size());
    std::vector<std::uint8_t> content(JournalHeaderSize);
    encodeHeader(content.data(), count, recordBytes, nonce_);
    content.insert(content.end(), records.begin(), records.end());
    if (sharing_ == Sharing::Shared && reuseSpare(content)) return;
    OpenStatus status = OpenStatus::Ok;
    file_ = files_.create(names_.journal, status);
    // One that is there already holds nothing: a write-back starts only
    // once a journal left behind was rolled back.
    if (!file_ && files_.exists(names_.journal) && files_.remove(names_.journal))
        file_ = files_.create(names_.journal, status);
    if (!file_ && status == OpenStatus::AccessDenied) throw StoreError(messages::journalCannotBeMade(names_.journal));
    mustWrite(file_ != nullptr);
    markRecorded();
    encodeHeader(content.data(), 0, 0, nonce_);
    mustWrite(*file_, writeExact(*file_, 0, content.data(), static_cast<std::int64_t>(content.size())) &&
                          (!writeThrough_ || file_->flush()));
    writeHeader(*file_, count, recordBytes);
    mustWrite(*file_, !writeThrough_ || (file_->flush() && flushFolder()));
}

// Bytes the spare holds past content are an older write-back's, beyond what
// the new header counts, so they are never read. Written through, the
// records are on the disk before the rename, so that the journal's name
// never stands for an older write-back's records after a power cut. There
// is no spare (false) at the first write-back, nor when another handle's
// close removed it meanwhile.
bool Journal::reuseSpare(const std::vector<std::uint8_t>& content)
{
    OpenStatus status = OpenStatus::Ok;
    auto spare = files_.open(names_.spareJournal, Access::ReadWrite, Sharing::Shared, false, status);
    if (!spare && status == OpenStatus::NotFound) return false;
    mustWrite(spare != nullptr);
    mustWrite(*spare, writeExact(*spare, 0, content.data(), static_cast<std::int64_t>(content.size())) &&
                          (!writeThrough_ || spare->flush()));
    if (!files_.rename(names_.spareJournal, names_.journal)) {
        mustWrite(!files_.exists(names_.spareJournal));
        return false;
    }
    file_ = std::move(spare);
    markRecorded();
    mustWrite(!writeThrough_ || flushFolder());
    return true;
}

// The journal of a completed write-back goes: in a shared open kept as the
// spare for the next one.
void Journal::retire()
{
    file_.reset();
    mustWrite(sharing_ == Sharing::Shared ? files_.rename(names_.journal, names_.spareJournal)
                                          : files_.remove(names_.journal));
    mustWrite(!writeThrough_ || flushFolder());
}

// Durability point 1: the records and the header that counts them reach
// the disk before any table byte they cover is written; written through,
// the records before the header, so that a header never counts a record
// that a power cut could leave unwritten.
void Journal::record(const Staged& staged)
{
    if (staged.count == 0) return;
    std::int64_t records = static_cast<std::int64_t>(staged.records.size());
    if (!file_) {
        createFile(staged.records, staged.count);
    } else {
        mustWrite(*file_, writeExact(*file_, JournalHeaderSize + bytes_, staged.records.data(), records) &&
                              (!writeThrough_ || file_->flush()));
        writeHeader(*file_, count_ + staged.count, bytes_ + records);
        mustWrite(*file_, !writeThrough_ || file_->flush());
    }
    count_ += staged.count;
    bytes_ += records;
    for (const auto& [file, length] : staged.lengths) originalLength_[file] = length;
    for (const auto& [file, stretch] : staged.covers) cover(covered_[file], stretch.first, stretch.second);
}

// The journal's name in the folder, so that it survives a power cut too.
// The folder stays open for the handle's later write-backs, each of which
// flushes it twice; one whose flush failed is opened afresh next time.
bool Journal::flushFolder()
{
    if (!folder_) {
        OpenStatus status = OpenStatus::Ok;
        folder_ = files_.open(folderOf(names_.journal), Access::ReadOnly, Sharing::Shared, false, status);
    }
    if (folder_ && folder_->flush()) return true;
    folder_.reset();
    return false;
}

// Writes that follow one another in the same file, either just after or just
// before the one before, become one: the write-back of a file's pages and
// then of its header ends up as one call. The order of the rest stays, so
// the data file's header is still written last.
std::vector<Journal::Pending> Journal::joinedPendingWrites()
{
    std::vector<Pending> joined;
    for (Pending& write : pending_) {
        if (!joined.empty() && joined.back().file == write.file) {
            Pending& last = joined.back();
            const auto end = last.offset + static_cast<std::int64_t>(last.bytes.size());
            const bool bothKnown = !last.before.empty() && !write.before.empty();
            if (write.offset == end) {
                last.bytes.insert(last.bytes.end(), write.bytes.begin(), write.bytes.end());
                if (bothKnown) last.before.insert(last.before.end(), write.before.begin(), write.before.end());
                else last.before.clear();
                continue;
            }
            if (write.offset + static_cast<std::int64_t>(write.bytes.size()) == last.offset) {
                write.bytes.insert(write.bytes.end(), last.bytes.begin(), last.bytes.end());
                if (bothKnown) write.before.insert(write.before.end(), last.before.begin(), last.before.end());
                else write.before.clear();
                last = std::move(write);
                continue;
            }
        }
        joined.push_back(std::move(write));
    }
    pending_.clear();
    keepOnlyLoneBeforeImages(joined);
    return joined;
}

// Where two writes of one write-back overlap, the later one's caller saw the
// earlier one's bytes as the file's, which the file does not hold yet: both
// are recorded from the file instead.
void Journal::keepOnlyLoneBeforeImages(std::vector<Pending>& pending)
{
    for (std::size_t one = 0; one < pending.size(); ++one)
        for (std::size_t other = one + 1; other < pending.size(); ++other) {
            Pending& left = pending[one];
            Pending& right = pending[other];
            if (left.file != right.file) continue;
            const auto leftEnd = left.offset + static_cast<std::int64_t>(left.bytes.size());
            const auto rightEnd = right.offset + static_cast<std::int64_t>(right.bytes.size());
            if (left.offset < rightEnd && right.offset < leftEnd) {
                left.before.clear();
                right.before.clear();
            }
        }
}

// The write-back's writes, recorded with one flush of the journal and then
// made in the order they were asked for.
void Journal::makePendingWrites()
{
    if (pending_.empty()) return;
    std::vector<Pending> pending = joinedPendingWrites();
    Staged staged;
    for (const Pending& write : pending)
        stage(staged, write.file, write.offset, write.offset + static_cast<std::int64_t>(write.bytes.size()),
              write.bytes.data(), write.before.empty() ? nullptr : write.before.data());
    record(staged);
    for (const Pending& write : pending) {
        written_[write.file] = true;
        const auto end = write.offset + static_cast<std::int64_t>(write.bytes.size());
        mustWrite(*targets_[write.file],
                  writeExact(*targets_[write.file], write.offset, write.bytes.data(), end - write.offset));
        reach_[write.file] = std::max(reach_[write.file], end);
    }
}

// Durability points 2 and 3: the table files reach the disk, then the
// journal goes.
void Journal::commit()
{
    try {
        makePendingWrites();
    } catch (const StoreError&) {
        endDeferring();
        throw;
    }
    endDeferring();
    if (state_ == State::Recorded) {
        for (int file = 0; writeThrough_ && file < JournaledFiles; ++file)
            if (written_[file] && targets_[file]) mustWrite(*targets_[file], targets_[file]->flush());
        retire();
    }
    for (int file = 0; sharing_ == Sharing::Shared && file < JournaledFiles; ++file)
        if (written_[file] && originalLength_[file] && !cut_[file])
            lengthNow_[file] = std::max(*originalLength_[file], reach_[file]);
        else if (written_[file] || cut_[file])
            lengthNow_[file].reset();
    forget();
}

// Back to a clean state, but for a journal that is still hot.
void Journal::forget()
{
    file_.reset();
    nonce_ = newNonce();
    if (state_ != State::Hot) state_ = State::Clean;
    count_ = 0;
    bytes_ = 0;
    for (auto& stretches : covered_) stretches.clear();
    originalLength_.fill(std::nullopt);
    written_.fill(false);
    reach_.fill(0);
    cut_.fill(false);
    pending_.clear();
}

void Journal::rollBack() noexcept
{
    bool own = state_ == State::Recorded || state_ == State::DeferringRecorded;
    bool onDisk = own || state_ == State::Hot;
    if (own) {
        ownHeader_.emplace();
        encodeHeader(ownHeader_->data(), count_, bytes_, nonce_);
    }
    state_ = State::Clean;
    forget();
    othersMayHaveWritten();
    if (!onDisk) return;
    try {
        if (putBackOwnHeader() && rollBackJournal(files_, names_.journal, names_.data, targets_)) {
            ownHeader_.reset();
            return;
        }
    } catch (const StoreError&) {
    }
    state_ = State::Hot;
}

bool Journal::recoverIfHot()
{
    if (!files_.exists(names_.journal)) {
        if (state_ == State::Hot) state_ = State::Clean;
        ownHeader_.reset();
        return false;
    }
    state_ = State::Clean;
    forget();
    othersMayHaveWritten();
    bool done = false;
    try {
        done = putBackOwnHeader() && rollBackJournal(files_, names_.journal, names_.data, targets_);
    } catch (const StoreError&) {
        state_ = State::Hot;
        throw;
    }
    if (!done) {
        state_ = State::Hot;
        mustWrite(false);
    }
    ownHeader_.reset();
    return true;
}

// A write of this copy's that failed may have spoiled the header of its own
// journal; what it counted before is known here. Put back only over the
// journal that carries this copy's nonce still, never over another's.
bool Journal::putBackOwnHeader()
{
    if (!ownHeader_) return true;
    OpenStatus status = OpenStatus::Ok;
    auto journal = files_.open(names_.journal, Access::ReadWrite, Sharing::Shared, false, status);
    if (!journal) return status == OpenStatus::NotFound;
    std::uint8_t nonce[4];
    if (!readExact(*journal, journalheader::Nonce, nonce, sizeof nonce)) return true;
    if (std::memcmp(nonce, ownHeader_->data() + journalheader::Nonce, sizeof nonce) != 0) return true;
    return writeExact(*journal, 0, ownHeader_->data(), JournalHeaderSize) && journal->flush();
}

// ---- Rolling back --------------------------------------------------------------------------

namespace {

// A journal is read in pieces of this size, whatever its header claims.
constexpr std::int64_t JournalPiece = 65536;

enum class Walk { Sound, Damaged, Failed };

// The records a journal's header counts, read piece by piece: checked all
// before any is applied, so that a damaged journal is never half rolled
// back. Each record's image must lie within its file's length before the
// write-back, recorded ahead of it, as the writer makes it.
class JournalReader {
public:
    JournalReader(File& journal, const std::array<File*, JournaledFiles>& targets)
        : journal_(journal), targets_(targets)
    {
    }

    // Sound when the header and every record it counts check out.
    Walk check() { return walk(false); }
    // Writes every before-image back and cuts each file to its length.
    Walk apply() { return walk(true); }

private:
    Walk walk(bool applying)
    {
        std::int64_t size = journal_.size();
        if (size < 0) return Walk::Failed;
        std::uint8_t header[JournalHeaderSize];
        if (size < JournalHeaderSize) return Walk::Damaged;
        if (!readExact(journal_, 0, header, JournalHeaderSize)) return Walk::Failed;
        if (std::memcmp(header, journalheader::Signature, sizeof journalheader::Signature) != 0 ||
            bytes::getI32(header + journalheader::Version) != JournalFormatVersion ||
            bytes::getU32(header + journalheader::Checksum) != journalChecksum(header, journalheader::Checksum))
            return Walk::Damaged;
        const std::int32_t count = bytes::getI32(header + journalheader::RecordCount);
        const auto recordBytes = static_cast<std::int64_t>(bytes::getU64(header + journalheader::RecordBytes));
        if (count < 0 || recordBytes < 0 || recordBytes > size - JournalHeaderSize) return Walk::Damaged;
        seed_ = recordSeed(bytes::getU32(header + journalheader::Nonce));
        end_ = JournalHeaderSize + recordBytes;
        lengths_.fill(-1);
        std::int64_t at = JournalHeaderSize;
        for (std::int32_t i = 0; i < count; ++i) {
            Walk step = record(at, applying);
            if (step != Walk::Sound) return step;
        }
        if (at != end_) return Walk::Damaged;
        return applying ? cutToLengths() : Walk::Sound;
    }

    Walk record(std::int64_t& at, bool applying)
    {
        std::uint8_t head[JournalRecordHeaderSize];
        if (end_ - at < JournalRecordHeaderSize) return Walk::Damaged;
        if (!readExact(journal_, at, head, JournalRecordHeaderSize)) return Walk::Failed;
        const int file = head[journalrecord::File];
        const std::uint8_t kind = head[journalrecord::Kind];
        const auto offset = static_cast<std::int64_t>(bytes::getU64(head + journalrecord::Offset));
        const std::int64_t length = bytes::getU32(head + journalrecord::Length);
        const std::int64_t image = at + JournalRecordHeaderSize;
        if (file >= JournaledFiles || offset < 0 || length > end_ - image) return Walk::Damaged;
        if (kind == journalrecord::OriginalLength) {
            if (length != 0 || lengths_[file] >= 0) return Walk::Damaged;
        } else if (kind != journalrecord::BeforeImage || lengths_[file] < 0 || offset > lengths_[file] - length) {
            return Walk::Damaged;
        }
        std::uint32_t sum = journalChecksum(head, journalrecord::Checksum, seed_);
        Walk step = copyImage(image, length, applying ? targets_[file] : nullptr, offset, sum);
        if (step != Walk::Sound) return step;
        if (sum != bytes::getU32(head + journalrecord::Checksum)) return Walk::Damaged;
        if (kind == journalrecord::OriginalLength) lengths_[file] = offset;
        else touched_[file] = true;
        at = image + length;
        return Walk::Sound;
    }

    // Reads an image in pieces, summing it and writing it back when given
    // the file it came from.
    Walk copyImage(std::int64_t from, std::int64_t length, File* target, std::int64_t offset, std::uint32_t& sum)
    {
        std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min(length, JournalPiece)));
        for (std::int64_t done = 0; done < length;) {
            const std::int64_t size = std::min(length - done, JournalPiece);
            if (!readExact(journal_, from + done, piece.data(), size)) return Walk::Failed;
            sum = journalChecksum(piece.data(), static_cast<std::size_t>(size), sum);
            if (target && !writeExact(*target, offset + done, piece.data(), size)) return Walk::Failed;
            done += size;
        }
        return Walk::Sound;
    }

    Walk cutToLengths()
    {
        for (int file = 0; file < JournaledFiles; ++file) {
            File* target = targets_[file];
            if (!target || lengths_[file] < 0) continue;
            std::int64_t now = target->size();
            if (now < 0 || (now != lengths_[file] && !target->truncate(lengths_[file]))) return Walk::Failed;
            touched_[file] = true;
        }
        for (int file = 0; file < JournaledFiles; ++file)
            if (touched_[file] && targets_[file] && !targets_[file]->flush()) return Walk::Failed;
        return Walk::Sound;
    }

    File& journal_;
    const std::array<File*, JournaledFiles>& targets_;
    std::uint32_t seed_ = 0;
    std::int64_t end_ = 0;
    std::array<std::int64_t, JournaledFiles> lengths_{};
    std::array<bool, JournaledFiles> touched_{};
};

// A journal made but whose header never reached the disk, empty or with
// its first sector still zeros, covers nothing: no table byte is written
// before the header that counts its records is.
bool neverWritten(File& journal, std::int64_t size)
{
    std::uint8_t header[JournalHeaderSize] = {};
    const std::int64_t length = std::min<std::int64_t>(size, JournalHeaderSize);
    if (!readExact(journal, 0, header, length)) return false;
    return std::all_of(header, header + length, [](std::uint8_t byte) { return byte == 0; });
}

}  // namespace

bool rollBackJournal(FileSystem& files, const std::string& path, const std::string& dataFileName,
                     const std::array<File*, JournaledFiles>& targets)
{
    if (!files.exists(path)) return true;
    OpenStatus status = OpenStatus::Ok;
    auto journal = files.open(path, Access::ReadOnly, Sharing::Shared, false, status);
    if (!journal || !journal->isRegular()) throw JournalDamaged(messages::journalUnreadable(path));
    std::int64_t size = journal->size();
    if (size < 0) return false;
    if (!neverWritten(*journal, size)) {
        JournalReader reader(*journal, targets);
        Walk checked = reader.check();
        if (checked == Walk::Damaged) throw JournalDamaged(messages::journalDamaged(dataFileName));
        if (checked == Walk::Failed || reader.apply() != Walk::Sound) return false;
    }
    journal.reset();
    return files.remove(path);
}

namespace {

// The table's files for a rollback; a table this copy may not write, a
// read-only file or mount, cannot be put back, and says so.
std::unique_ptr<File> openForRollBack(FileSystem& files, const std::string& path, const std::string& dataFileName,
                                      const OpenMode& mode)
{
    OpenStatus status = OpenStatus::Ok;
    auto file = files.open(path, Access::ReadWrite, mode.sharing, false, status);
    if (file) return file;
    if (status == OpenStatus::AccessDenied) throw StoreError(messages::hotJournalReadOnly(dataFileName));
    return openTableFile(files, path, dataFileName, Access::ReadWrite, mode);
}

}  // namespace

void recoverTable(FileSystem& files, const TableFileNames& names, Sharing sharing)
{
    if (!files.exists(names.journal)) return;
    if (files.isReadOnly(names.data)) throw StoreError(messages::hotJournalReadOnly(names.data));
    OpenMode mode;
    mode.sharing = sharing;
    auto data = openForRollBack(files, names.data, names.data, mode);
    auto index = openForRollBack(files, names.index, names.data, mode);
    std::unique_ptr<File> memo;
    if (files.exists(names.memo)) memo = openForRollBack(files, names.memo, names.data, mode);
    TableLocks locks(names.data, *data, *index, memo.get(), sharing == Sharing::Shared);
    locks.lockWrite();
    bool recovered = false;
    try {
        recovered = rollBackJournal(files, names.journal, names.data, {data.get(), index.get(), memo.get()});
    } catch (const StoreError&) {
        locks.unlockWrite();
        throw;
    }
    locks.unlockWrite();
    if (!recovered) throw StoreError(messages::errorWriting(names.data));
}

}  // namespace store
