// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A bounded cache of equal-sized buffers, each holding one unit of a file
// under its unit number: a row slot of the data file, a block of the memo
// file. Units with consecutive numbers lie side by side in the file, so that
// changed buffers go back sorted, each run of consecutive units in one write.
//
// Invariants:
//   - at most capacity buffers exist; a unit is in at most one of them;
//   - a buffer is pinned at most 64 times at once; a pinned buffer is never
//     reused for another unit;
//   - a changed buffer leaves the cache only after it was written, except
//     when the cache is cleared or an operation is rolled back;
//   - reuse takes the least recently used unpinned buffer; when it changed,
//     the changed unpinned buffers of the units beside it go in the same
//     write (up to MaxRunBytes) and stay cached, unchanged.
//
// Operations: between beginOperation() and endOperation() the cache keeps,
// for each unit the operation changes, the image it had before and whether it
// was changed then, and notes which of them it tried to write to the file.
// rollBack() puts every image back in memory, and rewrites the ones that
// reached (or may have reached) the file, so that memory and file are as
// they were before the operation. Units that are new in the operation (beyond
// the old end of the file) are dropped; the owner cuts the file back.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace store {

inline constexpr int MaxPins = 64;
inline constexpr std::size_t MaxRunBytes = 65536;  // the most a buffer the cache needs takes along in its write

// Which buffer holds which unit: open addressing with linear probing, kept at
// most half full, so that finding, placing and dropping units (a walk does
// all three at every row it reads) allocates nothing.
class UnitPlaces {
public:
    explicit UnitPlaces(std::size_t most);
    std::size_t size() const { return size_; }
    // The buffer of unit, -1 when it has none.
    int find(std::int64_t unit) const;
    void set(std::int64_t unit, int buffer);
    void erase(std::int64_t unit);

private:
    std::size_t home(std::int64_t unit) const;
    // The entry of unit, or the empty entry where it would go.
    std::size_t entryOf(std::int64_t unit) const;

    // A unit and its buffer side by side: a probe touches one cache line.
    struct Entry {
        std::int64_t unit = 0;
        int buffer = -1;  // -1: the entry is empty
    };
    std::vector<Entry> entries_;
    std::size_t mask_ = 0;
    int shift_ = 62;
    std::size_t size_ = 0;
};

class BufferCache {
public:
    // Writes the buffers of a run of consecutive units starting at first in
    // one call; fails with StoreError.
    using RunWriter = std::function<void(std::int64_t first, const std::vector<const std::uint8_t*>& buffers)>;
    // Writes one unit's image without failing; false when the file refused.
    using Restorer = std::function<bool(std::int64_t unit, const std::uint8_t* image)>;

    BufferCache(std::size_t bufferSize, std::size_t capacity, std::string pinFailure, RunWriter writer);

    std::size_t bufferSize() const { return bufferSize_; }
    std::size_t capacity() const { return capacity_; }
    std::size_t size() const { return where_.size(); }

    bool contains(std::int64_t unit) const { return where_.find(unit) >= 0; }
    // The buffer of unit, or null when it is not cached. Counts as a use.
    std::uint8_t* find(std::int64_t unit);
    // A buffer for a unit that is not cached, its content undefined: a free
    // one, or the least recently used unpinned one, written first when
    // changed. Fails with the pin failure when every buffer is pinned.
    std::uint8_t* place(std::int64_t unit);
    // As place(), but only when that needs no write; null otherwise.
    std::uint8_t* placeWithoutWriting(std::int64_t unit);
    // The buffer of a cached unit, to be changed: marked changed, its former
    // image journaled when an operation is open.
    std::uint8_t* modify(std::int64_t unit);
    // A unit that is new in the file (beyond its old end): placed, zeroed and
    // marked changed; a rollback drops it.
    std::uint8_t* placeNew(std::int64_t unit);

    void pin(std::int64_t unit);
    void unpin(std::int64_t unit);
    int pins(std::int64_t unit) const;

    bool hasChanges() const;
    // Counts the runs written so far: a caller holding images read from the
    // file before a place() can tell whether that write made them stale.
    std::uint64_t runsWritten() const { return runsWritten_; }
    void writeBack();
    // Drops every unpinned buffer that holds no change (another process wrote the file).
    void dropUnchanged();
    // Drops everything, changes included (the file was emptied).
    void clear();

    void beginOperation();
    void endOperation();
    void rollBack(const Restorer& restore) noexcept;
    // Whether the operation being rolled back tried to write a new unit.
    bool wroteNewUnits() const { return wroteNewUnits_; }

private:
    struct Buffer {
        std::int64_t unit = -1;
        std::uint8_t* data = nullptr;  // bufferSize bytes in one of blocks_
        bool changed = false;
        int pins = 0;
        int newer = -1;  // towards the most recently used
        int older = -1;  // towards the least recently used
    };
    struct Undo {
        std::int64_t unit = 0;
        bool isNew = false;
        bool wasChanged = false;
        bool writeTried = false;
        std::vector<std::uint8_t> image;
    };

    int indexOf(std::int64_t unit) const;
    // Only a unit that is cached can be changed or pinned.
    int cachedIndexOf(std::int64_t unit) const;
    void unlink(int index);
    void linkAsNewest(int index);
    void assign(int index, std::int64_t unit);
    void drop(int index);
    int freeBuffer();
    std::uint8_t* newBufferSpace();
    void writeRun(const std::vector<int>& run);
    std::vector<int> changedRunAround(int index) const;
    void noteWrite(std::int64_t unit);

    std::size_t bufferSize_;
    std::size_t capacity_;
    std::string pinFailure_;
    RunWriter writer_;
    static constexpr std::size_t BlockBytes = 32768;
    std::vector<std::unique_ptr<std::uint8_t[]>> blocks_;
    std::size_t blockUsed_ = 0;  // buffers carved from the last block
    std::vector<Buffer> buffers_;
    std::vector<int> free_;
    UnitPlaces where_;
    int newest_ = -1;
    int oldest_ = -1;
    std::uint64_t runsWritten_ = 0;

    bool journaling_ = false;
    bool wroteNewUnits_ = false;
    std::vector<Undo> journal_;
    std::unordered_map<std::int64_t, std::size_t> journaled_;
};

}  // namespace store
