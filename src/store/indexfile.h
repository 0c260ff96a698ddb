// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The index file (.IDX) of a table: the header page (indexheader.h) and the
// pages of its indexes (indexpage.h), each index a counted B-tree.
//
// Indexes are numbered by their descriptors: 0 the primary index, 1 to the
// secondary count the secondary indexes, 31 the deleted-slot index. Keys are
// built and compared by keys.h; an index's order on disk is always ascending
// key order (a whole-index descending index is read in reverse by its users).
//
// Invariants of a tree:
//   - the descriptor names the root: kind 3 when it is a leaf, 0 when interior;
//     every other page is kind 1 (interior) or 2 (leaf); all leaves are at one
//     depth; no page in a tree is empty; an empty index has root 0
//   - an interior entry carries the lowest key of its child's subtree and the
//     number of keys in that subtree
//   - the pages of each level are linked in key order by their previous and
//     next offsets, 0 at both ends of the level
//   - every key is unique within its index
//
// Inserting splits a page that has no room: the page keeps the first half of
// its entries (rounded up), a new page after it on its level takes the rest,
// and the parent gets an entry for it; a split root gets a new root of kind 0
// above it. Removing a page's last entry gives the page to its index's
// free-page chain (descriptor offset 90, linked through the pages' next
// fields, the rest of each free page zero); a root left with one child hands
// the root over to that child. New pages come from the head of the index's own
// chain, else from the end-of-file offset, which grows by 4096 up to
// 2000000000 bytes.
//
// Every change runs as one unit (Change): what it touched is restored when it
// fails, so a failed insert leaves every index as it was. Changed pages and
// the header stay in memory until writeBack writes the pages in offset order
// and then the header page with its change counter increased by 1.

#include "store/file.h"
#include "store/indexheader.h"
#include "store/indexpage.h"
#include "store/keys.h"
#include "store/pagecache.h"
#include "store/tablefiles.h"
#include "store/tablelocale.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace store {

inline constexpr int PrimaryIndex = 0;
inline constexpr std::int64_t MaxIndexFileSize = 2000000000;

struct IndexEntry {
    Key key;
    std::int32_t slot = 0;
};

class IndexFile {
public:
    // Opens the index file of the data file named dataFileName (the name all
    // messages give) over the table's columns. Fails when the version is not
    // 3 or the descriptors do not fit the columns.
    // pageBuffers: page buffers of each index, 0 for the default.
    // partialWrites: pages and the header are written from their first
    // changed byte to their last, against the bytes the file was last seen
    // to hold for them (a shared open, whose every post writes a few bytes
    // of a dozen pages); otherwise whole.
    IndexFile(std::unique_ptr<File> file, std::string dataFileName, std::vector<Column> columns,
              TableLocale locale = TableLocale(), int pageBuffers = 0, bool partialWrites = false);
    IndexFile(const IndexFile&) = delete;
    IndexFile& operator=(const IndexFile&) = delete;

    const std::string& dataFileName() const { return dataFileName_; }
    const std::vector<Column>& columns() const { return columns_; }
    const IndexHeader& header() const { return header_; }
    bool primaryHasKeyColumns() const { return !header_.primaryWithoutKeys; }
    int secondaryCount() const { return header_.secondaryCount; }
    // The primary, the secondary indexes and the deleted-slot index.
    std::vector<int> indexesInUse() const;
    const IndexDescriptor& descriptor(int index) const { return header_.descriptors[index]; }
    const KeyBuilder& keyBuilder(int index) const { return keys_[index]; }
    const PageFormat& pageFormat(int index) const { return formats_[index]; }
    bool isUnique(int index) const;
    // "Primary" for the primary index, else the descriptor's name.
    std::string displayName(int index) const;
    // The index of that name in any letter case; an empty name is the
    // primary. Fails with "Invalid secondary index name ...".
    int findIndex(const std::string& name) const;

    // Reading in ascending key order.
    std::int32_t keyCount(int index);
    bool contains(int index, const Key& key);
    std::optional<IndexEntry> first(int index);
    std::optional<IndexEntry> last(int index);
    std::optional<IndexEntry> atOrAfter(int index, const Key& key);
    std::optional<IndexEntry> atOrBefore(int index, const Key& key);
    std::optional<IndexEntry> after(int index, const Key& key);
    std::optional<IndexEntry> before(int index, const Key& key);
    // The slots of up to count entries from the position of key on, in
    // ascending key order or (ascending false) descending: what a walk of
    // the index reads next. Reads at most a few leaves.
    std::vector<std::int32_t> slotsFrom(int index, const Key& key, std::size_t count, bool ascending);
    // The keys before key, and whether key itself is there, from the subtree
    // counts of the pages on the way to it.
    struct Rank {
        std::int32_t before = 0;
        bool present = false;
    };
    Rank rank(int index, const Key& key);
    // The entry with rank keys before it, found by the subtree counts; none
    // when rank lies outside the index.
    std::optional<IndexEntry> atRank(int index, std::int32_t rank);

    // Fails with "Duplicate key found in index ..." for a key already there.
    void insert(int index, const Key& key, std::int32_t slot);
    // Fails with "Key not found in index ..." for a key not there.
    void remove(int index, const Key& key);

    std::int32_t rowCount() const { return header_.rowCount; }
    void addRows(std::int32_t delta);

    // Groups the changes made while it lives into one unit: unless commit is
    // called, everything they did is undone when it ends. Changes nest; the
    // outermost decides.
    class Change {
    public:
        explicit Change(IndexFile& file);
        ~Change();
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;
        void commit();

    private:
        IndexFile& file_;
        bool ended_ = false;
    };

    // One append, change or delete of the data file as a whole: what it did
    // stays when it ends, and is undone by rollBackOperation, on disk too
    // when a write-back ran meanwhile.
    void beginOperation() { beginChange(); }
    void endOperation() { endChange(true); }
    void rollBackOperation() noexcept;

    // Writes the changed pages and, when anything changed, the header page
    // with its change counter increased by 1.
    void writeBack();
    // Back to the header page alone: every index empty, row count 0. The
    // header is written at the next writeBack.
    void empty();

    // For the lock layer. The file itself, for its byte-range locks.
    File& diskFile() { return *file_; }
    // Runs around every read of a page that is not cached, given the read
    // to run: the place for the read lock. Unset, pages are simply read.
    void setReadGuard(ReadGuard guard) { readGuard_ = std::move(guard); }
    // Change detection: the counter of the cached header, the counter now on
    // disk, and dropping every cached page to read the header again. Nothing
    // may be waiting for write-back, and no call may be in progress: dropping
    // pages under a running call fails with "Index page buffers corrupt ...",
    // so the change check belongs where a whole call is locked.
    std::int32_t changeCounter() const { return header_.changeCounter; }
    std::int32_t storedChangeCounter();
    void dropCache();
    // Drops the cache when another process wrote the file, as the data and
    // memo files do; says whether it did.
    bool refreshIfChanged();

    // Pages read from disk since the file was opened.
    std::int64_t pageReads() const { return pageReads_; }
    // A key its holder is done with: the next entry handed out takes its
    // buffer instead of a new one.
    void recycle(Key key)
    {
        if (key.capacity() >= recycled_.capacity()) recycled_ = std::move(key);
    }
    // Searches that went down from a root: a walk makes none between changes.
    std::int64_t descents() const { return descents_; }
    std::int64_t fileLength();
    // A copy of a page of index, for checking tools.
    IndexPage pageCopy(int index, std::int32_t offset);

private:
    struct Step {
        IndexPage* page;
        int at;  // leaf: first entry not below the key; interior: the child taken
    };
    struct Path {
        std::vector<Step> steps;
        std::int64_t before = 0;  // keys in the subtrees left of the path
    };
    struct Undo {
        int index;
        std::int32_t offset;
        bool created;  // a page new at the end of the file
        IndexPage before;
        bool wasChanged;
        bool countsOnly = false;  // only the subtree counts changed: before holds just them
        int insertedAt = -1;      // else a leaf that only gained the entry there: before holds nothing
        int entryBytesBefore = 0;
    };

    // Pages pinned during a public call stay pinned until it returns (until
    // the outermost Change ends when one is open).
    class Scope {
    public:
        explicit Scope(IndexFile& file);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        IndexFile& file_;
    };

    void leaveScope();
    void readHeader();
    void checkDescriptors() const;
    // The one place where pages are read from disk.
    void readPage(int index, std::int32_t offset, IndexPage& page, std::vector<std::uint8_t>* disk);
    void forgetDiskImages();
    void writePages(const std::vector<std::pair<int, const IndexPage*>>& pages, std::size_t from, std::size_t to,
                    bool withHeader);
    // Writes image at offset where it differs from disk (null: unknown, all of it).
    void writeChanged(std::int64_t offset, const std::vector<std::uint8_t>& image, const std::uint8_t* disk);

    IndexPage& pin(int index, std::int32_t offset);
    IndexPage& pinRoot(int index);
    IndexPage& pinChild(int index, std::int32_t offset);
    IndexPage& pinLeaf(int index, std::int32_t offset);
    int compare(int index, const std::uint8_t* left, const std::uint8_t* right) const;
    int lowerBound(int index, const IndexPage& page, const Key& key) const;
    int childFor(int index, const IndexPage& page, const Key& key) const;
    bool holds(int index, const IndexPage& page, int at, const Key& key) const;
    Path descend(int index, const Key& key);
    // The leaf step of descend(index, key).
    Step leafStep(int index, const Key& key);
    std::optional<IndexEntry> entryFrom(int index, IndexPage* page, int at);
    std::optional<IndexEntry> entryBefore(int index, IndexPage* page, int at);
    std::optional<IndexEntry> moved(int index, std::optional<IndexEntry> entry, const Key& from, int direction) const;
    // The entry at position at of a leaf, remembered as the one handed out last from index.
    IndexEntry handOut(int index, const IndexPage& page, int at);
    // Pages may have changed: what was remembered no longer says where an entry stands.
    void forgetHandedOut() { ++changes_; }

    void beginChange();
    void endChange(bool commit);
    void rollback();
    void touch(int index, IndexPage& page);
    IndexPage& newPage(int index, PageKind kind);
    void freePage(int index, IndexPage& page);
    void placeEntry(int index, std::vector<IndexPage*>& run, std::size_t page, int at, const std::uint8_t* key,
                    std::int32_t value, std::int32_t count);
    void placeAfter(int index, std::vector<IndexPage*>& run, std::int32_t leftChild, const IndexPage& child);
    IndexPage& splitPage(int index, IndexPage& page);
    void growRoot(int index, std::vector<IndexPage*> run);
    void collapseRoot(int index, IndexPage& root);

    [[noreturn]] void corrupt() const;
    [[noreturn]] void headerCorrupt() const;

    std::unique_ptr<File> file_;
    std::string dataFileName_;
    std::vector<Column> columns_;
    TableLocale locale_;
    IndexHeader header_;
    std::array<KeyBuilder, DescriptorCount> keys_;
    std::array<PageFormat, DescriptorCount> formats_;
    std::vector<PageCache> caches_;
    bool partialWrites_;
    std::vector<std::uint8_t> headerOnDisk_;  // empty: not known
    bool changed_ = false;  // something waits for write-back
    ReadGuard readGuard_;

    int scopeDepth_ = 0;
    std::vector<std::pair<int, std::int32_t>> pins_;
    int changeDepth_ = 0;
    bool writtenInChange_ = false;  // a write-back ran inside the outermost change
    // The first undoCount_ entries count; those past it are kept, so that the
    // next change copies its pages into buffers that exist already.
    std::vector<Undo> undo_;
    std::size_t undoCount_ = 0;
    void noteUndo(int index, std::int32_t offset, bool created, const IndexPage* before, bool wasChanged);
    Undo* undoOf(int index, std::int32_t offset);
    void touchCounts(int index, IndexPage& page);
    void touchInsertion(int index, IndexPage& page, int at);
    Undo* lightUndo(int index, IndexPage& page);
    void undoInsertion(int index, const Undo& undo, IndexPage& page) const;
    IndexHeader headerBefore_;
    bool changedBefore_ = false;

    std::int64_t pageReads_ = 0;
    std::int64_t descents_ = 0;

    // Where the entry handed out last from each index stands. A walk asks
    // next for the entry after that one, and finds it there without a descent
    // from the root, as long as no change, emptying or refresh of the pages
    // came between: changes_ counts those.
    struct HandedOut {
        std::uint64_t changes = 0;
        std::int32_t offset = 0;
        int at = 0;
    };
    std::array<HandedOut, DescriptorCount> handedOut_{};
    Key recycled_;
    std::uint64_t changes_ = 1;
};

}  // namespace store
