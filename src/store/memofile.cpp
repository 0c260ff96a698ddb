// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/memofile.h"

#include "store/bytes.h"
#include "store/storeerror.h"
#include "store/storemessages.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <unordered_set>

namespace store {

MemoHeader decodeMemoHeader(const std::uint8_t* image)
{
    MemoHeader header;
    std::memcpy(header.image.data(), image, MemoHeaderSize);
    header.changeCounter = bytes::getI32(image + memoheader::ChangeCounter);
    header.version = image[memoheader::Version];
    header.freeHead = bytes::getI32(image + memoheader::FreeHead);
    header.endOfFile = bytes::getI32(image + memoheader::EndOfFile);
    return header;
}

void encodeMemoHeader(MemoHeader& header, std::uint8_t* image)
{
    std::uint8_t* at = header.image.data();
    bytes::putI32(at + memoheader::ChangeCounter, header.changeCounter);
    at[memoheader::Version] = header.version;
    bytes::putI32(at + memoheader::FreeHead, header.freeHead);
    bytes::putI32(at + memoheader::EndOfFile, header.endOfFile);
    std::memcpy(image, at, MemoHeaderSize);
}

// Keeps a block in its buffer while a step works on it and takes new blocks.
class MemoFile::Pin {
public:
    Pin(MemoFile& memo, std::int32_t offset) : memo_(memo), offset_(offset) { memo_.pinBlock(offset); }
    ~Pin() { memo_.unpinBlock(offset_); }
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;

private:
    MemoFile& memo_;
    std::int32_t offset_;
};

MemoFile::MemoFile(const Settings& settings, std::unique_ptr<File> file)
    : name_(settings.dataFileName), file_(std::move(file)), blockSize_(settings.blockSize), repair_(settings.repair),
      cache_(settings.blockSize, std::min(MaxMemoBuffers, MemoCacheBytes / settings.blockSize),
             messages::blobBuffersCorrupt(settings.dataFileName),
             [this](std::int64_t first, const std::vector<const std::uint8_t*>& blocks) { writeBlocks(first, blocks); })
{
}

std::unique_ptr<MemoFile> MemoFile::open(FileSystem& files, const Settings& settings)
{
    auto file = openTableFile(files, settings.path, settings.dataFileName, settings.access, settings.mode);
    std::unique_ptr<MemoFile> memo(new MemoFile(settings, std::move(file)));
    memo->fileLength_ = sizeOrFail(*memo->file_, memo->name_);
    std::uint8_t image[MemoHeaderSize];
    memo->readFromDisk(0, image, MemoHeaderSize);
    memo->header_ = decodeMemoHeader(image);
    memo->headerOnDisk_.assign(image, image + MemoHeaderSize);
    if (memo->header_.version != MemoFormatVersion) throw StoreError(messages::notCorrectVersion(memo->name_));
    return memo;
}

bool MemoFile::isBlockOffset(std::int32_t offset) const
{
    return offset >= MemoHeaderSize && (offset - MemoHeaderSize) % blockSize_ == 0 &&
           std::int64_t{offset} + blockSize_ <= header_.endOfFile;
}

std::int64_t MemoFile::unitOf(std::int32_t offset) const { return (offset - MemoHeaderSize) / blockSize_; }

// Every read of the file that the cache does not answer goes through here.
void MemoFile::readFromDisk(std::int64_t offset, std::uint8_t* data, std::int64_t size)
{
    auto read = [&] { readOrFail(*file_, offset, data, size, name_); };
    if (readGuard_) readGuard_(std::ref(read));
    else read();
}

void MemoFile::writeBlocks(std::int64_t firstUnit, const std::vector<const std::uint8_t*>& blocks)
{
    std::vector<std::uint8_t> run(blocks.size() * blockSize_);
    for (std::size_t i = 0; i < blocks.size(); ++i) std::memcpy(run.data() + i * blockSize_, blocks[i], blockSize_);
    std::int64_t offset = MemoHeaderSize + firstUnit * blockSize_;
    writeOrFail(*file_, offset, run.data(), static_cast<std::int64_t>(run.size()), name_);
    fileLength_ = std::max<std::int64_t>(fileLength_, offset + static_cast<std::int64_t>(run.size()));
}

void MemoFile::writeHeader()
{
    ++header_.changeCounter;
    std::uint8_t image[MemoHeaderSize];
    encodeMemoHeader(header_, image);
    undo_.noteHeaderWrite();
    writeOrFail(*file_, 0, image, MemoHeaderSize, name_, headerOnDisk_.empty() ? nullptr : headerOnDisk_.data());
    headerOnDisk_.assign(image, image + MemoHeaderSize);
    headerChanged_ = false;
}

BlockHeader MemoFile::blockHeader(std::int32_t offset)
{
    if (!isBlockOffset(offset)) throw StoreError(messages::invalidBlobOffset(name_));
    const std::uint8_t* block = loadedBlock(offset);
    BlockHeader header;
    header.previous = bytes::getI32(block + blockheader::Previous);
    header.next = bytes::getI32(block + blockheader::Next);
    header.used = bytes::getU16(block + blockheader::Used);
    header.owner = bytes::getI32(block + blockheader::Owner);
    header.length = bytes::getI32(block + blockheader::Length);
    return header;
}

std::uint8_t* MemoFile::loadedBlock(std::int32_t offset)
{
    std::int64_t unit = unitOf(offset);
    if (std::uint8_t* cached = cache_.find(unit)) return cached;
    std::vector<std::uint8_t> image(blockSize_);
    readFromDisk(offset, image.data(), blockSize_);
    std::uint8_t* block = cache_.place(unit);
    std::memcpy(block, image.data(), blockSize_);
    return block;
}

std::uint8_t* MemoFile::changedBlock(std::int32_t offset)
{
    loadedBlock(offset);
    return cache_.modify(unitOf(offset));
}

// ---- Open values ----------------------------------------------------------------

int MemoFile::openValue(std::int32_t slot, std::int32_t firstBlock, bool forWriting)
{
    auto free = std::find_if(values_.begin(), values_.end(), [](const auto& value) { return !value; });
    if (free == values_.end()) throw StoreError(messages::tooManyBlobs(name_));
    std::string content = firstBlock != 0 ? readChain(slot, firstBlock, forWriting) : std::string();
    *free = OpenValue{slot, firstBlock, forWriting, std::move(content)};
    return static_cast<int>(free - values_.begin());
}

MemoFile::OpenValue& MemoFile::openValueAt(int value)
{
    if (value < 0 || value >= MaxOpenValues || !values_[value]) throw StoreError(messages::blobBuffersCorrupt(name_));
    return *values_[value];
}

const MemoFile::OpenValue& MemoFile::openValueAt(int value) const
{
    return const_cast<MemoFile*>(this)->openValueAt(value);
}

const std::string& MemoFile::content(int value) const { return openValueAt(value).content; }
std::int32_t MemoFile::firstBlock(int value) const { return openValueAt(value).firstBlock; }
void MemoFile::setContent(int value, std::string content) { openValueAt(value).content = std::move(content); }

void MemoFile::closeValue(int value)
{
    if (value >= 0 && value < MaxOpenValues) values_[value].reset();
}

int MemoFile::openValueCount() const
{
    return static_cast<int>(std::count_if(values_.begin(), values_.end(), [](const auto& v) { return v.has_value(); }));
}

// ---- Reading --------------------------------------------------------------------

// Cached blocks win, since they may hold changes; the others are read ahead
// together, as many consecutive ones as the value still needs.
const std::uint8_t* MemoFile::blockForReading(std::int32_t offset, std::int64_t blocksWanted)
{
    if (const std::uint8_t* cached = cache_.find(unitOf(offset))) return cached;
    std::int64_t end = stagedOffset_ + static_cast<std::int64_t>(staged_.size());
    if (!staged_.empty() && offset >= stagedOffset_ && offset + std::int64_t{blockSize_} <= end)
        return staged_.data() + (offset - stagedOffset_);
    std::int64_t inFile = (std::min<std::int64_t>(fileLength_, header_.endOfFile) - offset) / blockSize_;
    std::int64_t count = std::max<std::int64_t>(1, std::min(blocksWanted, inFile));
    staged_.resize(static_cast<std::size_t>(count * blockSize_));
    stagedOffset_ = offset;
    try {
        readFromDisk(offset, staged_.data(), count * blockSize_);
    } catch (const StoreError&) {
        staged_.clear();
        throw;
    }
    return staged_.data();
}

std::string MemoFile::readChain(std::int32_t slot, std::int32_t firstBlock, bool forWriting)
{
    if (!isBlockOffset(firstBlock)) throw StoreError(messages::invalidBlobOffset(name_));
    staged_.clear();
    const std::int64_t dataSize = blockSize_ - BlockHeaderSize;
    const std::uint8_t* block = blockForReading(firstBlock, 1);
    if (bytes::getI32(block + blockheader::Owner) != slot) {
        if (!forWriting) return {};
        throw StoreError(messages::blobBuffersCorrupt(name_));
    }
    std::int32_t length = bytes::getI32(block + blockheader::Length);
    if (length < 0) throw StoreError(messages::blobBuffersCorrupt(name_));
    std::int64_t blocksInFile = (header_.endOfFile - MemoHeaderSize) / blockSize_;
    if (length > blocksInFile * dataSize) throw StoreError(messages::endOfBlob(name_));
    std::string content;
    std::unordered_set<std::int32_t> met{firstBlock};
    std::int64_t remaining = length;
    for (;;) {
        std::int64_t chunk = std::min(remaining, dataSize);
        content.append(reinterpret_cast<const char*>(block + BlockHeaderSize), static_cast<std::size_t>(chunk));
        remaining -= chunk;
        if (remaining == 0) break;
        std::int32_t next = bytes::getI32(block + blockheader::Next);
        if (next == 0) throw StoreError(messages::endOfBlob(name_));
        if (!isBlockOffset(next) || !met.insert(next).second) throw StoreError(messages::invalidBlobOffset(name_));
        block = blockForReading(next, (remaining + dataSize - 1) / dataSize);
    }
    staged_.clear();
    staged_.shrink_to_fit();
    return content;
}

// ---- Writing and freeing ----------------------------------------------------------

std::int32_t MemoFile::takeBlock()
{
    std::int32_t offset;
    if (header_.freeHead != 0) {
        offset = header_.freeHead;
        if (!isBlockOffset(offset)) throw StoreError(messages::invalidBlobOffset(name_));
        std::uint8_t* block = changedBlock(offset);
        header_.freeHead = bytes::getI32(block + blockheader::Next);
        std::memset(block, 0, blockSize_);
    } else {
        offset = header_.endOfFile;
        if (offset < MemoHeaderSize || (offset - MemoHeaderSize) % blockSize_ != 0)
            throw StoreError(messages::invalidBlobOffset(name_));
        if (std::int64_t{offset} + blockSize_ > INT32_MAX) throw StoreError(messages::fileFull(name_));
        header_.endOfFile += static_cast<std::int32_t>(blockSize_);
        cache_.placeNew(unitOf(offset));
    }
    headerChanged_ = true;
    return offset;
}

// In repair mode a broken chain is cut where it breaks, and the log says so.
void MemoFile::cutChain(std::int32_t slot, bool recursive)
{
    if (!repair_) throw StoreError(messages::invalidBlobOffset(name_));
    repairLog_.push_back(std::string(recursive ? "Recursive" : "Invalid") +
                         " intra-block pointer in BLOB file for physical record # " + std::to_string(slot) + ", " +
                         "error fixed");
}

std::int32_t MemoFile::writeValue(int value, std::int32_t slot)
{
    const OpenValue& open = openValueAt(value);
    const std::string& content = open.content;
    if (content.empty()) {
        if (open.firstBlock != 0) freeValue(open.firstBlock, slot);
        return 0;
    }
    if (content.size() > static_cast<std::size_t>(INT32_MAX)) throw StoreError(messages::fileFull(name_));
    const std::size_t dataSize = blockSize_ - BlockHeaderSize;
    std::int32_t first = open.firstBlock;
    if (first == 0) first = takeBlock();
    else if (!isBlockOffset(first) || blockHeader(first).owner != slot)
        throw StoreError(messages::blobBuffersCorrupt(name_));
    std::unordered_set<std::int32_t> met{first};
    std::int32_t current = first;
    for (std::size_t written = 0;;) {
        Pin pin(*this, current);
        std::uint8_t* block = changedBlock(current);
        std::size_t chunk = std::min(dataSize, content.size() - written);
        std::memcpy(block + BlockHeaderSize, content.data() + written, chunk);
        std::memset(block + BlockHeaderSize + chunk, 0, dataSize - chunk);
        bytes::putU16(block + blockheader::Used, static_cast<std::uint16_t>(chunk));
        bytes::putI32(block + blockheader::Owner, slot);
        bytes::putI32(block + blockheader::Length, current == first ? static_cast<std::int32_t>(content.size()) : 0);
        written += chunk;
        std::int32_t next = bytes::getI32(block + blockheader::Next);
        if (written == content.size()) {
            bytes::putI32(block + blockheader::Next, 0);
            if (next != 0) freeValue(next, slot);
            return first;
        }
        if (next != 0) {
            bool loops = met.count(next) > 0;
            if (loops || !isBlockOffset(next) || blockHeader(next).owner != slot) {
                cutChain(slot, loops);
                next = 0;
            }
        }
        if (next == 0) {
            next = takeBlock();
            std::uint8_t* added = changedBlock(next);
            bytes::putI32(added + blockheader::Previous, current);
            block = changedBlock(current);
            bytes::putI32(block + blockheader::Next, next);
        }
        met.insert(next);
        current = next;
    }
}

void MemoFile::freeValue(std::int32_t firstBlock, std::int32_t slot)
{
    std::unordered_set<std::int32_t> met;
    for (std::int32_t current = firstBlock; current != 0;) {
        bool loops = met.count(current) > 0;
        if (loops || !isBlockOffset(current) || blockHeader(current).owner != slot) {
            cutChain(slot, loops);
            return;
        }
        met.insert(current);
        std::uint8_t* block = changedBlock(current);
        std::int32_t next = bytes::getI32(block + blockheader::Next);
        bytes::putI32(block + blockheader::Next, header_.freeHead);
        bytes::putI32(block + blockheader::Owner, 0);
        header_.freeHead = current;
        headerChanged_ = true;
        current = next;
    }
}

// ---- Operations, write-back, emptying -------------------------------------------------

void MemoFile::beginOperation() { undo_.begin(cache_, header_, headerChanged_); }

void MemoFile::endOperation() { cache_.endOperation(); }

void MemoFile::rollBack() noexcept
{
    headerOnDisk_.clear();  // the journal's rollback put back what the write-back wrote
    undo_.rollBack(
        cache_,
        [this](std::int64_t unit, const std::uint8_t* image) {
            return writeExact(*file_, MemoHeaderSize + unit * blockSize_, image, blockSize_);
        },
        [this](const MemoHeader& before) {
            if (file_->truncate(before.endOfFile)) fileLength_ = before.endOfFile;
        },
        header_, headerChanged_,
        [this](MemoHeader& header) {
            std::uint8_t image[MemoHeaderSize];
            encodeMemoHeader(header, image);
            return writeExact(*file_, 0, image, MemoHeaderSize);
        });
}

void MemoFile::writeBack()
{
    cache_.writeBack();
    if (headerChanged_) writeHeader();
}

// The header goes first: a file cut back under a header that still counts
// the old blocks would send new values to blocks that are gone.
void MemoFile::empty()
{
    header_.freeHead = 0;
    header_.endOfFile = MemoHeaderSize;
    cache_.clear();
    writeHeader();
    truncateOrFail(*file_, MemoHeaderSize, name_);
    fileLength_ = MemoHeaderSize;
    for (auto& value : values_)
        if (value) value->firstBlock = 0;
}

bool MemoFile::changedByOthers()
{
    std::uint8_t counter[4];
    readOrFail(*file_, memoheader::ChangeCounter, counter, sizeof counter, name_);
    return bytes::getI32(counter) != header_.changeCounter;
}

bool MemoFile::refreshIfChanged(bool force)
{
    if (!force && !changedByOthers()) return false;
    std::uint8_t image[MemoHeaderSize];
    readFromDisk(0, image, MemoHeaderSize);
    header_ = decodeMemoHeader(image);
    headerOnDisk_.assign(image, image + MemoHeaderSize);
    fileLength_ = sizeOrFail(*file_, name_);
    cache_.dropUnchanged();
    return true;
}

void MemoFile::pinBlock(std::int32_t offset)
{
    if (!isBlockOffset(offset)) throw StoreError(messages::invalidBlobOffset(name_));
    loadedBlock(offset);
    cache_.pin(unitOf(offset));
}

void MemoFile::unpinBlock(std::int32_t offset)
{
    if (isBlockOffset(offset)) cache_.unpin(unitOf(offset));
}

}  // namespace store
