// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/tablerepair.h"

#include "store/bytes.h"
#include "store/datafile.h"
#include "store/storeerror.h"
#include "store/storemessages.h"
#include "store/tablecheck.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>

namespace store {

namespace {

using Slots = std::vector<std::vector<std::uint8_t>>;  // slots[n - 1] is slot n

std::string slotTitle(std::int32_t slot) { return "Slot " + std::to_string(slot); }

// A chain of deleted slots or free blocks as it will be: kept when it runs
// through members only, without a loop, and holds them all (or need not:
// a table without key columns never reuses its deleted slots, and chains
// none); otherwise linked anew through them in ascending order.
struct Chain {
    std::int32_t head = 0;
    bool rebuilt = false;
    std::size_t metBefore = 0;  // members the old chain held before it went wrong
};

Chain rechain(std::int32_t head, const std::set<std::int32_t>& members,
              const std::function<std::int32_t(std::int32_t)>& next,
              const std::function<void(std::int32_t member, std::int32_t next)>& link, bool holdsAll = true)
{
    std::set<std::int32_t> met;
    bool sound = true;
    for (std::int32_t member = head; member != 0 && sound;) {
        sound = members.count(member) != 0 && met.insert(member).second;
        if (sound) member = next(member);
    }
    if (sound && (met.size() == members.size() || !holdsAll)) return {head, false, met.size()};
    std::int32_t following = 0;
    for (auto member = members.rbegin(); member != members.rend(); ++member) {
        link(*member, following);
        following = *member;
    }
    return {following, true, met.size()};
}

// A piece of a file that repair rewrites.
struct Piece {
    std::int64_t offset;
    const std::uint8_t* bytes;
    std::int64_t size;
};

// The checks whose findings the report starts with; a check that cannot run
// at all is a finding too.
void addFindings(std::vector<std::string>& found, const std::function<std::vector<std::string>()>& check)
{
    try {
        for (std::string& problem : check()) found.push_back(std::move(problem));
    } catch (const StoreError& error) {
        found.push_back(error.what());
    }
}

class Repair {
public:
    // rebuild: the index is rebuilt even when the checks find nothing.
    Repair(FileSystem& files, DataFile& data, bool rebuild) : files_(files), data_(data), rebuild_(rebuild) {}

    RepairReport run();

private:
    void backUp(File& file, const std::string& path);
    // Keeps a copy of the file, writes the pieces, then the header with its
    // change counter raised and setHeader's fields, cuts the file to length
    // when given one, and flushes.
    void writeBack(File& file, const std::string& path, const std::vector<Piece>& pieces, int headerSize,
                   int changeCounter, const std::function<void(std::uint8_t*)>& setHeader, std::int64_t length = -1);

    void repairSlots();
    void repairRowId(std::int32_t slot, std::vector<std::uint8_t>& image, std::set<std::int32_t>& rowIds);
    void blankDamagedValues(std::int32_t slot, std::vector<std::uint8_t>& image);
    void repairDeletedChain();
    void writeDataFile();

    void repairMemoFile();
    bool keepValue(std::int32_t slot, const Column& column, std::int32_t first);
    std::vector<std::uint8_t> readBlockHeader(std::int32_t offset);
    bool setBlockHeader(std::int32_t offset, std::int32_t previous, std::int32_t next, std::uint16_t used,
                        std::int32_t owner, std::int32_t length);
    void repairFreeChain();
    void writeMemoFile();

    void rebuildIndexFile();

    FileSystem& files_;
    DataFile& data_;
    bool rebuild_;
    RepairReport report_;
    std::int32_t lastRowId_ = 0;
    Slots slots_;
    std::set<std::int32_t> changedSlots_;
    std::int32_t deletedChain_ = 0;
    bool dataHeaderChanged_ = false;

    // The memo file as it will be.
    std::int64_t memoEnd_ = 0;
    std::int32_t freeHead_ = 0;
    std::map<std::int32_t, std::vector<std::uint8_t>> blockHeaders_;  // every block's header
    std::set<std::int32_t> changedBlocks_;
    std::set<std::int32_t> usedBlocks_;
    bool memoHeaderChanged_ = false;
};

RepairReport Repair::run()
{
    addFindings(report_.found, [&] { return checkDataFile(data_); });
    addFindings(report_.found, [&] { return checkMemoFile(data_); });
    addFindings(report_.found, [&] { return checkIndexFile(data_); });
    const bool sound = report_.found.empty() && !rebuild_;
    for (std::int32_t slot = 1; slot <= data_.slotCount(); ++slot) slots_.push_back(data_.readRow(slot).image);
    lastRowId_ = data_.header().lastRowId;
    repairSlots();
    repairDeletedChain();
    if (data_.memo()) repairMemoFile();
    const bool rewritten = !changedSlots_.empty() || dataHeaderChanged_ || !changedBlocks_.empty() || memoHeaderChanged_;
    writeDataFile();
    if (data_.memo()) writeMemoFile();
    // A sound table is left byte for byte as it was.
    if (!sound || rewritten) rebuildIndexFile();
    return report_;
}

void Repair::backUp(File& file, const std::string& path)
{
    std::vector<std::uint8_t> content(static_cast<std::size_t>(sizeOrFail(file, data_.name())));
    readOrFail(file, 0, content.data(), static_cast<std::int64_t>(content.size()), data_.name());
    std::string copy = backupName(path);
    if (files_.exists(copy) && !files_.remove(copy)) throw StoreError("Cannot replace the backup copy " + copy);
    OpenStatus status = OpenStatus::Ok;
    std::unique_ptr<File> backup = files_.create(copy, status);
    if (!backup) throw StoreError("Cannot make the backup copy " + copy);
    writeOrFail(*backup, 0, content.data(), static_cast<std::int64_t>(content.size()), data_.name());
    if (!backup->flush()) throw StoreError(messages::errorWriting(data_.name()));
    report_.changed.push_back("Kept a copy of " + path + " as " + copy);
}

void Repair::writeBack(File& file, const std::string& path, const std::vector<Piece>& pieces, int headerSize,
                       int changeCounter, const std::function<void(std::uint8_t*)>& setHeader, std::int64_t length)
{
    backUp(file, path);
    for (const Piece& piece : pieces) writeOrFail(file, piece.offset, piece.bytes, piece.size, data_.name());
    std::vector<std::uint8_t> header(static_cast<std::size_t>(headerSize));
    readOrFail(file, 0, header.data(), headerSize, data_.name());
    bytes::putI32(header.data() + changeCounter, bytes::getI32(header.data() + changeCounter) + 1);
    setHeader(header.data());
    writeOrFail(file, 0, header.data(), headerSize, data_.name());
    if (length >= 0) truncateOrFail(file, length, data_.name());
    if (!file.flush()) throw StoreError(messages::errorWriting(data_.name()));
}

// ---- 1. Data file ----------------------------------------------------------------

void Repair::repairSlots()
{
    std::set<std::int32_t> rowIds;
    for (std::int32_t slot = 1; slot <= data_.slotCount(); ++slot) {
        std::vector<std::uint8_t>& image = slots_[static_cast<std::size_t>(slot - 1)];
        if (image[slot::State] != slot::InUse && image[slot::State] != slot::Deleted) {
            report_.changed.push_back(slotTitle(slot) + ": state byte " + std::to_string(image[slot::State]) +
                                      " made deleted");
            image[slot::State] = slot::Deleted;
            changedSlots_.insert(slot);
        }
        if (image[slot::State] == slot::InUse && bytes::getI32(image.data() + slot::Link) != slot) {
            report_.changed.push_back(slotTitle(slot) + ": given its own number again");
            bytes::putI32(image.data() + slot::Link, slot);
            changedSlots_.insert(slot);
        }
        if (image[slot::State] != slot::InUse) continue;
        repairRowId(slot, image, rowIds);
        blankDamagedValues(slot, image);
    }
}

// A row in use without a row id of its own gets a new one.
void Repair::repairRowId(std::int32_t slot, std::vector<std::uint8_t>& image, std::set<std::int32_t>& rowIds)
{
    std::int32_t rowId = bytes::getI32(image.data() + slot::RowId);
    if (rowId > 0 && rowIds.insert(rowId).second) return;
    do {
        lastRowId_ = lastRowId_ >= MaxRowId || lastRowId_ < 0 ? 1 : lastRowId_ + 1;
    } while (rowIds.count(lastRowId_));
    rowIds.insert(lastRowId_);
    bytes::putI32(image.data() + slot::RowId, lastRowId_);
    changedSlots_.insert(slot);
    dataHeaderChanged_ = true;
    report_.changed.push_back(slotTitle(slot) + ": row id " + std::to_string(rowId) + " made " +
                              std::to_string(lastRowId_));
}

// A value the checks reject is blanked: the row stays, without it.
void Repair::blankDamagedValues(std::int32_t slot, std::vector<std::uint8_t>& image)
{
    for (const Column& column : data_.columns()) {
        if (!column.isStored()) continue;
        std::uint8_t* place = image.data() + column.offset;
        std::vector<std::string> problems = columnProblems(column, place);
        if (problems.empty()) continue;
        std::memset(place, 0, static_cast<std::size_t>(column.physicalSize) + 1);
        changedSlots_.insert(slot);
        report_.changed.push_back(slotTitle(slot) + ", column " + column.name + ": its value (" + problems.front() +
                                  ") was blanked");
    }
}

void Repair::repairDeletedChain()
{
    std::set<std::int32_t> deleted;
    for (std::int32_t slot = 1; slot <= data_.slotCount(); ++slot)
        if (slots_[static_cast<std::size_t>(slot - 1)][slot::State] == slot::Deleted) deleted.insert(slot);
    auto imageOf = [&](std::int32_t slot) { return slots_[static_cast<std::size_t>(slot - 1)].data(); };
    Chain chain = rechain(
        data_.header().deletedChain, deleted, [&](std::int32_t slot) { return bytes::getI32(imageOf(slot) + slot::Link); },
        [&](std::int32_t slot, std::int32_t next) {
            if (bytes::getI32(imageOf(slot) + slot::Link) == next) return;
            bytes::putI32(imageOf(slot) + slot::Link, next);
            changedSlots_.insert(slot);
        },
        data_.indexes().primaryHasKeyColumns());
    deletedChain_ = chain.head;
    if (!chain.rebuilt) return;
    dataHeaderChanged_ = true;
    report_.changed.push_back("Rebuilt the deleted-slot chain through " + std::to_string(deleted.size()) +
                              " deleted slots");
}

void Repair::writeDataFile()
{
    if (changedSlots_.empty() && !dataHeaderChanged_) return;
    std::vector<Piece> pieces;
    for (std::int32_t slot : changedSlots_) {
        const std::vector<std::uint8_t>& image = slots_[static_cast<std::size_t>(slot - 1)];
        pieces.push_back({data_.slotOffset(slot), image.data(), static_cast<std::int64_t>(image.size())});
    }
    writeBack(data_.diskFile(), data_.name(), pieces, DataHeaderSize, dataheader::ChangeCounter,
              [&](std::uint8_t* header) {
                  bytes::putI32(header + dataheader::DeletedChain, deletedChain_);
                  bytes::putI32(header + dataheader::LastRowId, lastRowId_);
              });
    report_.changed.push_back("Rewrote " + std::to_string(changedSlots_.size()) + " slots and the header of " +
                              data_.name());
}

// ---- 2. Memo file ----------------------------------------------------------------

std::vector<std::uint8_t> Repair::readBlockHeader(std::int32_t offset)
{
    std::vector<std::uint8_t> header(BlockHeaderSize);
    readOrFail(data_.memo()->diskFile(), offset, header.data(), BlockHeaderSize, data_.name());
    return header;
}

// Says whether the header was not so before.
bool Repair::setBlockHeader(std::int32_t offset, std::int32_t previous, std::int32_t next, std::uint16_t used,
                            std::int32_t owner, std::int32_t length)
{
    std::vector<std::uint8_t> header(BlockHeaderSize);
    bytes::putI32(header.data() + blockheader::Previous, previous);
    bytes::putI32(header.data() + blockheader::Next, next);
    bytes::putU16(header.data() + blockheader::Used, used);
    bytes::putI32(header.data() + blockheader::Owner, owner);
    bytes::putI32(header.data() + blockheader::Length, length);
    if (blockHeaders_[offset] == header) return false;
    blockHeaders_[offset] = header;
    changedBlocks_.insert(offset);
    return true;
}

void Repair::repairMemoFile()
{
    MemoFile& memo = *data_.memo();
    const std::int64_t blockSize = memo.blockSize();
    std::int64_t length = sizeOrFail(memo.diskFile(), data_.name());
    memoEnd_ = MemoHeaderSize + std::max<std::int64_t>(0, (length - MemoHeaderSize) / blockSize) * blockSize;
    if (memoEnd_ != memo.header().endOfFile) {
        report_.changed.push_back("Set the memo file's end of file to " + std::to_string(memoEnd_) + " from " +
                                  std::to_string(memo.header().endOfFile));
        memoHeaderChanged_ = true;
    }
    if (length != memoEnd_) {
        report_.changed.push_back("Cut the memo file to " + std::to_string(memoEnd_) + " bytes from " +
                                  std::to_string(length) + ", the part of a block at its end");
        memoHeaderChanged_ = true;
    }
    for (std::int64_t offset = MemoHeaderSize; offset < memoEnd_; offset += blockSize)
        blockHeaders_[static_cast<std::int32_t>(offset)] = readBlockHeader(static_cast<std::int32_t>(offset));
    for (std::int32_t slot = 1; slot <= data_.slotCount(); ++slot) {
        std::vector<std::uint8_t>& image = slots_[static_cast<std::size_t>(slot - 1)];
        if (image[slot::State] != slot::InUse) continue;
        for (const Column& column : data_.columns()) {
            std::uint8_t* place = image.data() + column.offset;
            if (!column.isBlob() || place[0] == 0) continue;
            if (keepValue(slot, column, bytes::getI32(place + 1))) continue;
            std::memset(place, 0, static_cast<std::size_t>(column.physicalSize) + 1);
            changedSlots_.insert(slot);
            report_.changed.push_back(slotTitle(slot) + ", column " + column.name +
                                      ": its value did not read back and was dropped");
        }
    }
    repairFreeChain();
}

// Keeps the value's blocks when its chain reads back whole, mending their
// owner and back links; says whether it did.
bool Repair::keepValue(std::int32_t slot, const Column& column, std::int32_t first)
{
    const std::int64_t dataSize = data_.memo()->blockSize() - BlockHeaderSize;
    auto isBlock = [&](std::int32_t offset) { return blockHeaders_.count(offset) != 0 && !usedBlocks_.count(offset); };
    if (!isBlock(first)) return false;
    std::int32_t length = bytes::getI32(blockHeaders_[first].data() + blockheader::Length);
    if (length <= 0) return false;
    std::vector<std::int32_t> chain{first};
    std::int64_t needed = (length + dataSize - 1) / dataSize;
    while (static_cast<std::int64_t>(chain.size()) < needed) {
        std::int32_t next = bytes::getI32(blockHeaders_[chain.back()].data() + blockheader::Next);
        if (!isBlock(next) || std::find(chain.begin(), chain.end(), next) != chain.end()) return false;
        chain.push_back(next);
    }
    bool mended = false;
    std::int64_t remaining = length;
    for (std::size_t i = 0; i < chain.size(); ++i) {
        std::int32_t previous = i == 0 ? 0 : chain[i - 1];
        std::int32_t next = i + 1 == chain.size() ? 0 : chain[i + 1];
        auto used = static_cast<std::uint16_t>(std::min(remaining, dataSize));
        remaining -= used;
        mended |= setBlockHeader(chain[i], previous, next, used, slot, i == 0 ? length : 0);
        usedBlocks_.insert(chain[i]);
    }
    if (mended)
        report_.changed.push_back(slotTitle(slot) + ", column " + column.name + ": mended the headers of its blocks");
    return true;
}

void Repair::repairFreeChain()
{
    std::set<std::int32_t> free;
    for (const auto& [offset, header] : blockHeaders_)
        if (!usedBlocks_.count(offset)) free.insert(offset);
    Chain chain = rechain(
        data_.memo()->header().freeHead, free,
        [&](std::int32_t offset) { return bytes::getI32(blockHeaders_[offset].data() + blockheader::Next); },
        [&](std::int32_t offset, std::int32_t next) { setBlockHeader(offset, 0, next, 0, 0, 0); });
    freeHead_ = chain.head;
    if (!chain.rebuilt) return;
    memoHeaderChanged_ = true;
    report_.changed.push_back("Rebuilt the memo file's free chain through " + std::to_string(free.size()) +
                              " blocks, " + std::to_string(free.size() - std::min(free.size(), chain.metBefore)) +
                              " of them neither in a value nor free before");
}

void Repair::writeMemoFile()
{
    if (changedBlocks_.empty() && !memoHeaderChanged_) return;
    std::vector<Piece> pieces;
    for (std::int32_t offset : changedBlocks_) pieces.push_back({offset, blockHeaders_[offset].data(), BlockHeaderSize});
    writeBack(data_.memo()->diskFile(), data_.fileNames().memo, pieces, MemoHeaderSize, memoheader::ChangeCounter,
              [&](std::uint8_t* header) {
                  bytes::putI32(header + memoheader::FreeHead, freeHead_);
                  bytes::putI32(header + memoheader::EndOfFile, static_cast<std::int32_t>(memoEnd_));
              },
              memoEnd_);
    report_.changed.push_back("Rewrote " + std::to_string(changedBlocks_.size()) + " block headers and the header of " +
                              data_.fileNames().memo);
}

// ---- 3. Index file ---------------------------------------------------------------

void Repair::rebuildIndexFile()
{
    RowIndexes& indexes = data_.indexes();
    backUp(indexes.diskFile(), data_.fileNames().index);
    std::int32_t rows = indexes.rebuild(slots_);
    report_.changed.push_back("Rebuilt " + data_.fileNames().index + ": " + std::to_string(indexes.indexCount()) +
                              " indexes and the deleted-slot index over " + std::to_string(rows) + " rows");
}

// A journal that does not check out cannot be rolled back: it is set
// aside, kept, and the table is rebuilt from its slots as they are.
bool setJournalAside(FileSystem& files, const TableFileNames& names, RepairReport& report)
{
    if (!files.exists(names.journal)) return false;
    try {
        recoverTable(files, names, Sharing::Exclusive);
        return false;
    } catch (const JournalDamaged& error) {
        report.found.push_back(error.what());
    }
    std::string copy = backupName(names.journal);
    if (files.exists(copy) && !files.remove(copy)) throw StoreError("Cannot replace the backup copy " + copy);
    if (!files.rename(names.journal, copy)) throw StoreError("Cannot set the journal " + names.journal + " aside");
    report.found.push_back("The journal was discarded, kept as " + copy +
                           ", and the table rebuilt from its files as they are");
    return true;
}

}  // namespace

std::string backupName(const std::string& path) { return path + ".bak"; }

RepairReport repairTable(FileSystem& files, const std::string& tableName)
{
    RepairReport journal;
    bool rebuild = setJournalAside(files, tableFileNames(tableName), journal);
    DataFileOptions options;
    options.mode.sharing = Sharing::Exclusive;
    std::unique_ptr<DataFile> data = DataFile::open(files, tableName, options);
    RepairReport report = Repair(files, *data, rebuild).run();
    data->close();
    report.found.insert(report.found.begin(), journal.found.begin(), journal.found.end());
    return report;
}

}  // namespace store
