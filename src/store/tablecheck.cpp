// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/tablecheck.h"

#include "store/bytes.h"
#include "store/indexverify.h"
#include "store/tableindexes.h"
#include "store/storeerror.h"

#include <cmath>
#include <cstring>
#include <map>
#include <set>

namespace store {

namespace {

using Problems = std::vector<std::string>;

std::string slotTitle(std::int32_t slot) { return "Slot " + std::to_string(slot); }

std::string valueProblem(const Column& column, const std::uint8_t* place)
{
    const std::uint8_t* at = place + 1;
    switch (column.type) {
    case FieldType::String:
        if (at[column.physicalSize - 1] != 0) return "does not end within its place";
        if (at[0] == 0) return "is present but empty";
        return {};
    case FieldType::Boolean: return bytes::getU16(at) > 1 ? "is a boolean other than 0 or 1" : "";
    case FieldType::Date: {
        std::int32_t day = bytes::getI32(at);
        return day < 1 || day > LastDayOfYear9999 ? "is a date outside the years 1 to 9999" : "";
    }
    case FieldType::Time: {
        std::int32_t milliseconds = bytes::getI32(at);
        return milliseconds < 0 || milliseconds >= MillisecondsPerDay ? "is a time outside a day" : "";
    }
    case FieldType::Timestamp: {
        double milliseconds = bytes::getF64(at);
        bool inRange = std::isfinite(milliseconds) && milliseconds >= MillisecondsPerDay &&
                       milliseconds < (LastDayOfYear9999 + 1.0) * MillisecondsPerDay;
        return inRange ? "" : "is a timestamp outside the years 1 to 9999";
    }
    default: return {};
    }
}

void checkColumns(const DataFile& data, std::int32_t slot, const std::uint8_t* image, Problems& problems)
{
    for (const Column& column : data.columns()) {
        if (!column.isStored()) continue;
        for (const std::string& problem : columnProblems(column, image + column.offset))
            problems.push_back(slotTitle(slot) + ", column " + column.name + ": " + problem);
    }
}

void checkDeletedChain(DataFile& data, std::size_t deleted, Problems& problems)
{
    std::set<std::int32_t> met;
    for (std::int32_t slot = data.header().deletedChain; slot != 0;) {
        if (slot < 1 || slot > data.slotCount()) {
            problems.push_back("The deleted-slot chain leads to slot " + std::to_string(slot) + ", which does not exist");
            return;
        }
        if (!met.insert(slot).second) {
            problems.push_back("The deleted-slot chain loops at slot " + std::to_string(slot));
            return;
        }
        const std::uint8_t* image = data.pin(slot);
        std::int32_t next = bytes::getI32(image + slot::Link);
        bool inUse = image[slot::State] == slot::InUse;
        data.unpin(slot);
        if (inUse) {
            problems.push_back("The deleted-slot chain runs through slot " + std::to_string(slot) + ", which is in use");
            return;
        }
        slot = next;
    }
    if (data.indexes().primaryHasKeyColumns() && met.size() != deleted)
        problems.push_back(std::to_string(deleted - std::min(deleted, met.size())) +
                           " deleted slots are not in the deleted-slot chain");
}

struct BlockUse {
    std::int32_t slot;
    std::string column;
};

void walkValue(MemoFile& memo, std::int32_t slot, const Column& column, std::int32_t first,
               std::map<std::int32_t, BlockUse>& used, Problems& problems)
{
    std::string where = slotTitle(slot) + ", column " + column.name + ": ";
    const std::int64_t dataSize = memo.blockSize() - BlockHeaderSize;
    std::int32_t previous = 0;
    std::int64_t blocks = 0, length = 0;
    for (std::int32_t offset = first; offset != 0;) {
        if (!memo.isBlockOffset(offset)) {
            problems.push_back(where + "its chain leads to " + std::to_string(offset) + ", which is no block");
            return;
        }
        auto [entry, fresh] = used.emplace(offset, BlockUse{slot, column.name});
        if (!fresh) {
            problems.push_back(where + "block " + std::to_string(offset) + " is also in slot " +
                               std::to_string(entry->second.slot) + ", column " + entry->second.column);
            return;
        }
        BlockHeader block = memo.blockHeader(offset);
        if (offset == first) length = block.length;
        if (block.owner != slot) problems.push_back(where + "block " + std::to_string(offset) + " belongs to slot " +
                                                    std::to_string(block.owner));
        if (block.previous != previous)
            problems.push_back(where + "block " + std::to_string(offset) + " links back to " +
                               std::to_string(block.previous) + " instead of " + std::to_string(previous));
        if (block.used > dataSize) problems.push_back(where + "block " + std::to_string(offset) + " uses too many bytes");
        ++blocks;
        previous = offset;
        offset = block.next;
    }
    std::int64_t needed = (length + dataSize - 1) / dataSize;
    if (blocks != needed)
        problems.push_back(where + "its chain has " + std::to_string(blocks) + " blocks, its length of " +
                           std::to_string(length) + " bytes needs " + std::to_string(needed));
}

void checkFreeChain(MemoFile& memo, std::map<std::int32_t, BlockUse>& used, std::size_t& freeBlocks,
                    Problems& problems)
{
    std::set<std::int32_t> met;
    for (std::int32_t offset = memo.header().freeHead; offset != 0;) {
        if (!memo.isBlockOffset(offset)) {
            problems.push_back("The free-block chain leads to " + std::to_string(offset) + ", which is no block");
            return;
        }
        if (!met.insert(offset).second) {
            problems.push_back("The free-block chain loops at block " + std::to_string(offset));
            return;
        }
        if (auto value = used.find(offset); value != used.end())
            problems.push_back("Block " + std::to_string(offset) + " is free and in slot " +
                               std::to_string(value->second.slot) + ", column " + value->second.column);
        offset = memo.blockHeader(offset).next;
    }
    freeBlocks = met.size();
}

}  // namespace

std::vector<std::string> columnProblems(const Column& column, const std::uint8_t* place)
{
    Problems problems;
    if (place[0] > 1) problems.push_back("presence byte " + std::to_string(place[0]));
    if (place[0] == 0) {
        for (int i = 1; i <= column.physicalSize; ++i)
            if (place[i] != 0) return {"empty, but its value bytes are not zero"};
        return problems;
    }
    std::string problem = column.isBlob() ? "" : valueProblem(column, place);
    if (!problem.empty()) problems.push_back(problem);
    return problems;
}

std::vector<std::string> checkDataFile(DataFile& data)
{
    Problems problems;
    std::set<std::int32_t> rowIds;
    std::size_t deleted = 0;
    for (std::int32_t slot = 1; slot <= data.slotCount(); ++slot) {
        Row row = data.readRow(slot);
        const std::uint8_t* image = row.image.data();
        std::uint8_t state = image[slot::State];
        if (state == slot::Deleted) {
            ++deleted;
            continue;
        }
        if (state != slot::InUse) {
            problems.push_back(slotTitle(slot) + ": state byte " + std::to_string(state) + " is neither 0 nor 1");
            continue;
        }
        if (bytes::getI32(image + slot::Link) != slot)
            problems.push_back(slotTitle(slot) + ": holds slot number " +
                               std::to_string(bytes::getI32(image + slot::Link)));
        std::int32_t rowId = bytes::getI32(image + slot::RowId);
        if (rowId <= 0 || !rowIds.insert(rowId).second)
            problems.push_back(slotTitle(slot) + ": row id " + std::to_string(rowId) + " is not a row id of its own");
        checkColumns(data, slot, image, problems);
    }
    checkDeletedChain(data, deleted, problems);
    return problems;
}

std::vector<std::string> checkMemoFile(DataFile& data)
{
    Problems problems;
    MemoFile* memo = data.memo();
    if (!memo) return problems;
    const MemoHeader& header = memo->header();
    if (header.endOfFile < MemoHeaderSize || (header.endOfFile - MemoHeaderSize) % memo->blockSize() != 0) {
        problems.push_back("The memo file's end of file " + std::to_string(header.endOfFile) + " is no block boundary");
        return problems;
    }
    if (memo->fileLength() != header.endOfFile)
        problems.push_back("The memo file is " + std::to_string(memo->fileLength()) + " bytes long, its header says " +
                           std::to_string(header.endOfFile));
    std::map<std::int32_t, BlockUse> used;
    for (std::int32_t slot = 1; slot <= data.slotCount(); ++slot) {
        Row row = data.readRow(slot);
        if (row.image[slot::State] != slot::InUse) continue;
        for (const Column& column : data.columns()) {
            const std::uint8_t* place = row.image.data() + column.offset;
            if (!column.isBlob() || place[0] == 0) continue;
            std::int32_t first = bytes::getI32(place + 1);
            try {
                data.value(row, column.number);
                walkValue(*memo, slot, column, first, used, problems);
            } catch (const StoreError& error) {
                problems.push_back(slotTitle(slot) + ", column " + column.name + ": " + error.what());
            }
        }
    }
    std::size_t freeBlocks = 0;
    try {
        checkFreeChain(*memo, used, freeBlocks, problems);
    } catch (const StoreError& error) {
        problems.push_back(std::string("The free-block chain: ") + error.what());
    }
    std::int64_t blocks = (header.endOfFile - MemoHeaderSize) / memo->blockSize();
    std::int64_t lost = blocks - static_cast<std::int64_t>(used.size() + freeBlocks);
    if (lost > 0) problems.push_back(std::to_string(lost) + " memo blocks are neither in a value nor free");
    return problems;
}

std::vector<std::string> checkIndexFile(DataFile& data)
{
    std::vector<std::vector<std::uint8_t>> slots;
    for (std::int32_t slot = 1; slot <= data.slotCount(); ++slot) slots.push_back(data.readRow(slot).image);
    auto& indexes = dynamic_cast<TableIndexes&>(data.indexes());
    return verifyIndexFile(indexes.file(), slots);
}

}  // namespace store
