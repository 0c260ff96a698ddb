// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/buffercache.h"

#include "store/storeerror.h"

#include <algorithm>
#include <cstring>

namespace store {

UnitPlaces::UnitPlaces(std::size_t most)
{
    std::size_t entries = 4;
    int bits = 2;
    for (; entries < 2 * most; entries *= 2) ++bits;
    entries_.assign(entries, Entry{});
    mask_ = entries - 1;
    shift_ = 64 - bits;
}

// The top bits of the unit times the golden ratio: consecutive units, the
// common case, land evenly spread.
std::size_t UnitPlaces::home(std::int64_t unit) const
{
    return static_cast<std::size_t>((static_cast<std::uint64_t>(unit) * 0x9E3779B97F4A7C15ull) >> shift_);
}

std::size_t UnitPlaces::entryOf(std::int64_t unit) const
{
    std::size_t at = home(unit);
    while (entries_[at].buffer >= 0 && entries_[at].unit != unit) at = (at + 1) & mask_;
    return at;
}

int UnitPlaces::find(std::int64_t unit) const { return entries_[entryOf(unit)].buffer; }

void UnitPlaces::set(std::int64_t unit, int buffer)
{
    Entry& entry = entries_[entryOf(unit)];
    if (entry.buffer < 0) ++size_;
    entry = Entry{unit, buffer};
}

// The entries after the emptied one that could not stand at their home move
// up into the gap, so that no probe meets an empty entry before its unit.
void UnitPlaces::erase(std::int64_t unit)
{
    std::size_t gap = entryOf(unit);
    if (entries_[gap].buffer < 0) return;
    entries_[gap].buffer = -1;
    --size_;
    for (std::size_t at = (gap + 1) & mask_; entries_[at].buffer >= 0; at = (at + 1) & mask_) {
        std::size_t wanted = home(entries_[at].unit);
        bool reachable = gap <= at ? (gap < wanted && wanted <= at) : (gap < wanted || wanted <= at);
        if (reachable) continue;
        entries_[gap] = entries_[at];
        entries_[at].buffer = -1;
        gap = at;
    }
}

BufferCache::BufferCache(std::size_t bufferSize, std::size_t capacity, std::string pinFailure, RunWriter writer)
    : bufferSize_(bufferSize), capacity_(capacity < 1 ? 1 : capacity), pinFailure_(std::move(pinFailure)),
      writer_(std::move(writer)), where_(capacity_)
{
}

int BufferCache::indexOf(std::int64_t unit) const { return where_.find(unit); }

void BufferCache::unlink(int index)
{
    Buffer& buffer = buffers_[index];
    if (buffer.newer >= 0) buffers_[buffer.newer].older = buffer.older;
    else newest_ = buffer.older;
    if (buffer.older >= 0) buffers_[buffer.older].newer = buffer.newer;
    else oldest_ = buffer.newer;
    buffer.newer = buffer.older = -1;
}

void BufferCache::linkAsNewest(int index)
{
    Buffer& buffer = buffers_[index];
    buffer.older = newest_;
    buffer.newer = -1;
    if (newest_ >= 0) buffers_[newest_].newer = index;
    newest_ = index;
    if (oldest_ < 0) oldest_ = index;
}

void BufferCache::assign(int index, std::int64_t unit)
{
    Buffer& buffer = buffers_[index];
    if (buffer.unit >= 0) where_.erase(buffer.unit);
    buffer.unit = unit;
    buffer.changed = false;
    buffer.pins = 0;
    where_.set(unit, index);
    linkAsNewest(index);
}

void BufferCache::drop(int index)
{
    Buffer& buffer = buffers_[index];
    unlink(index);
    where_.erase(buffer.unit);
    buffer.unit = -1;
    buffer.changed = false;
    buffer.pins = 0;
    free_.push_back(index);
}

int BufferCache::freeBuffer()
{
    if (!free_.empty()) {
        int index = free_.back();
        free_.pop_back();
        return index;
    }
    if (buffers_.size() < capacity_) {
        buffers_.emplace_back();
        buffers_.back().data = newBufferSpace();
        return static_cast<int>(buffers_.size() - 1);
    }
    return -1;
}

// Buffers are carved from blocks of about 32 KB: a read ahead fills many at
// once, and an allocation each would cost more than the read.
std::uint8_t* BufferCache::newBufferSpace()
{
    const std::size_t perBlock = std::max<std::size_t>(1, BlockBytes / bufferSize_);
    if (blockUsed_ == perBlock || blocks_.empty()) {
        const std::size_t left = capacity_ - buffers_.size() + 1;  // the buffer being made included
        blocks_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(std::min(perBlock, left) * bufferSize_));
        blockUsed_ = 0;
    }
    return blocks_.back().get() + blockUsed_++ * bufferSize_;
}

std::uint8_t* BufferCache::find(std::int64_t unit)
{
    // A cursor asks for the unit it used last several times over.
    if (newest_ >= 0 && buffers_[newest_].unit == unit) return buffers_[newest_].data;
    int index = indexOf(unit);
    if (index < 0) return nullptr;
    unlink(index);
    linkAsNewest(index);
    return buffers_[index].data;
}

std::uint8_t* BufferCache::place(std::int64_t unit)
{
    int index = freeBuffer();
    if (index < 0) {
        for (index = oldest_; index >= 0 && buffers_[index].pins > 0; index = buffers_[index].newer) {}
        if (index < 0) throw StoreError(pinFailure_);
        if (buffers_[index].changed) writeRun(changedRunAround(index));
        unlink(index);
    }
    assign(index, unit);
    return buffers_[index].data;
}

// The changed buffer index with the changed, unpinned buffers of the units
// next to it, as far as one write of MaxRunBytes goes: an exclusive open that
// appends row after row evicts them one by one, and a write each would cost
// a system call per row. Written now, they leave the cache later without
// another write.
std::vector<int> BufferCache::changedRunAround(int index) const
{
    const auto most = static_cast<std::int64_t>(std::max<std::size_t>(1, MaxRunBytes / bufferSize_));
    auto joins = [this](int other) { return other >= 0 && buffers_[other].changed && buffers_[other].pins == 0; };
    std::int64_t first = buffers_[index].unit, last = first;
    while (last - first + 1 < most && joins(indexOf(first - 1))) --first;
    while (last - first + 1 < most && joins(indexOf(last + 1))) ++last;
    std::vector<int> run;
    for (std::int64_t unit = first; unit <= last; ++unit) run.push_back(indexOf(unit));
    return run;
}

std::uint8_t* BufferCache::placeWithoutWriting(std::int64_t unit)
{
    int index = freeBuffer();
    if (index < 0) {
        // Looking further than a few buffers would cost more than the read it saves.
        int looked = 0;
        for (index = oldest_; index >= 0 && looked < 8; index = buffers_[index].newer, ++looked)
            if (buffers_[index].pins == 0 && !buffers_[index].changed) break;
        if (index < 0 || looked == 8) return nullptr;
        unlink(index);
    }
    assign(index, unit);
    return buffers_[index].data;
}

int BufferCache::cachedIndexOf(std::int64_t unit) const
{
    int index = indexOf(unit);
    if (index < 0) throw StoreError(pinFailure_);
    return index;
}

std::uint8_t* BufferCache::modify(std::int64_t unit)
{
    Buffer& buffer = buffers_[cachedIndexOf(unit)];
    if (journaling_ && !journaled_.count(unit)) {
        journaled_[unit] = journal_.size();
        journal_.push_back(Undo{unit, false, buffer.changed, false, {buffer.data, buffer.data + bufferSize_}});
    }
    buffer.changed = true;
    return buffer.data;
}

std::uint8_t* BufferCache::placeNew(std::int64_t unit)
{
    std::uint8_t* data = place(unit);
    std::memset(data, 0, bufferSize_);
    if (journaling_ && !journaled_.count(unit)) {
        journaled_[unit] = journal_.size();
        journal_.push_back(Undo{unit, true, false, false, {}});
    }
    buffers_[cachedIndexOf(unit)].changed = true;
    return data;
}

void BufferCache::pin(std::int64_t unit)
{
    Buffer& buffer = buffers_[cachedIndexOf(unit)];
    if (buffer.pins >= MaxPins) throw StoreError(pinFailure_);
    ++buffer.pins;
}

void BufferCache::unpin(std::int64_t unit)
{
    int index = indexOf(unit);
    if (index >= 0 && buffers_[index].pins > 0) --buffers_[index].pins;
}

int BufferCache::pins(std::int64_t unit) const
{
    int index = indexOf(unit);
    return index < 0 ? 0 : buffers_[index].pins;
}

bool BufferCache::hasChanges() const
{
    return std::any_of(buffers_.begin(), buffers_.end(), [](const Buffer& b) { return b.unit >= 0 && b.changed; });
}

void BufferCache::noteWrite(std::int64_t unit)
{
    auto found = journaled_.find(unit);
    if (found == journaled_.end()) return;
    Undo& undo = journal_[found->second];
    undo.writeTried = true;
    if (undo.isNew) wroteNewUnits_ = true;
}

// The write is noted before it is made: a write that fails may still have
// reached the file in part.
void BufferCache::writeRun(const std::vector<int>& run)
{
    std::vector<const std::uint8_t*> images;
    for (int index : run) {
        noteWrite(buffers_[index].unit);
        images.push_back(buffers_[index].data);
    }
    ++runsWritten_;
    writer_(buffers_[run.front()].unit, images);
    for (int index : run) buffers_[index].changed = false;
}

void BufferCache::writeBack()
{
    std::vector<int> changed;
    for (std::size_t i = 0; i < buffers_.size(); ++i)
        if (buffers_[i].unit >= 0 && buffers_[i].changed) changed.push_back(static_cast<int>(i));
    std::sort(changed.begin(), changed.end(), [&](int a, int b) { return buffers_[a].unit < buffers_[b].unit; });
    std::vector<int> run;
    for (int index : changed) {
        if (!run.empty() && buffers_[run.back()].unit + 1 != buffers_[index].unit) {
            writeRun(run);
            run.clear();
        }
        run.push_back(index);
    }
    if (!run.empty()) writeRun(run);
}

void BufferCache::dropUnchanged()
{
    for (std::size_t i = 0; i < buffers_.size(); ++i)
        if (buffers_[i].unit >= 0 && !buffers_[i].changed && buffers_[i].pins == 0) drop(static_cast<int>(i));
}

void BufferCache::clear()
{
    for (std::size_t i = 0; i < buffers_.size(); ++i)
        if (buffers_[i].unit >= 0) drop(static_cast<int>(i));
}

void BufferCache::beginOperation()
{
    journal_.clear();
    journaled_.clear();
    journaling_ = true;
    wroteNewUnits_ = false;
}

void BufferCache::endOperation()
{
    journaling_ = false;
    journal_.clear();
    journaled_.clear();
}

// A unit that may have reached the file gets its former image written back
// at once; if even that fails, it stays changed in memory so that a later
// write-back puts it right. A unit that never left memory only gets its
// former image and changed flag back.
void BufferCache::rollBack(const Restorer& restore) noexcept
{
    journaling_ = false;
    for (auto undo = journal_.rbegin(); undo != journal_.rend(); ++undo) {
        int index = indexOf(undo->unit);
        if (undo->isNew) {
            if (index >= 0) drop(index);
            continue;
        }
        bool restored = undo->writeTried && restore(undo->unit, undo->image.data());
        if (index < 0) {
            if (restored || !undo->writeTried) continue;
            // Evicted and not restorable: keep the former image if a buffer is free.
            if (!placeWithoutWriting(undo->unit)) continue;
            index = indexOf(undo->unit);
        }
        Buffer& buffer = buffers_[index];
        std::memcpy(buffer.data, undo->image.data(), bufferSize_);
        buffer.changed = undo->writeTried ? !restored : undo->wasChanged;
    }
    journal_.clear();
    journaled_.clear();
}

}  // namespace store
