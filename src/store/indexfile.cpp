// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/indexfile.h"

#include "store/bytes.h"
#include "store/names.h"
#include "store/storeerror.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace store {

namespace {

std::int32_t countOf(const IndexPage& page) { return static_cast<std::int32_t>(page.subtreeCount()); }

}  // namespace

// ---- opening and the header ------------------------------------------------

IndexFile::IndexFile(std::unique_ptr<File> file, std::string dataFileName, std::vector<Column> columns,
                     TableLocale locale, int pageBuffers, bool partialWrites)
    : file_(std::move(file)), dataFileName_(std::move(dataFileName)), columns_(std::move(columns)),
      locale_(std::move(locale)), partialWrites_(partialWrites)
{
    caches_.reserve(DescriptorCount);
    for (int index = 0; index < DescriptorCount; ++index)
        caches_.emplace_back(
            dataFileName_,
            [this, index](std::int32_t offset, IndexPage& page, std::vector<std::uint8_t>* disk) {
                readPage(index, offset, page, disk);
            },
            [this, index](const IndexPage& page) { writePages({{index, &page}}, 0, 1, false); },
            // An operation pins a page on every level of a tree and the pages a
            // split adds: fewer buffers than the default can run out of them.
            std::max(pageBuffers, PageCache::Buffers), partialWrites_);
    readHeader();
}

void IndexFile::readHeader()
{
    std::array<std::uint8_t, IndexPageSize> image{};
    std::int64_t got = file_->readAt(0, image.data(), IndexPageSize);
    if (got < 0) throw StoreError("Error reading from data file " + dataFileName_);
    if (got != IndexPageSize) corrupt();
    IndexHeader header = decodeIndexHeader(image.data());
    if (header.version != IndexFormatVersion) throw StoreError("Data file " + dataFileName_ + " is not the correct version");
    header_ = std::move(header);
    if (partialWrites_) headerOnDisk_.assign(image.begin(), image.end());
    checkDescriptors();
    for (int index : indexesInUse()) {
        const IndexDescriptor& descriptor = header_.descriptors[index];
        bool secondary = index != PrimaryIndex;
        keys_[index] = index == DeletedSlotDescriptor ? KeyBuilder()
                                                      : KeyBuilder(columns_, descriptor, secondary, locale_);
        formats_[index] = PageFormat{descriptor.keyLength, descriptor.compression, keys_[index].hasRowIdSuffix()};
    }
}

// A descriptor that does not fit the table's columns would build keys of
// another length than the pages hold.
void IndexFile::checkDescriptors() const
{
    if (header_.secondaryCount > MaxSecondaryIndexes || header_.endOfFile < IndexPageSize ||
        header_.endOfFile % IndexPageSize != 0)
        headerCorrupt();
    for (int index : indexesInUse()) {
        const IndexDescriptor& descriptor = header_.descriptors[index];
        if (index == DeletedSlotDescriptor) {
            if (descriptor.keyLength != DeletedSlotKeyLength || !descriptor.columns.empty()) headerCorrupt();
            continue;
        }
        bool secondary = index != PrimaryIndex;
        if (!KeyBuilder::keyColumnsValid(columns_, descriptor) ||
            descriptor.keyLength != keyLengthFor(columns_, descriptor, secondary) ||
            descriptor.keyLength > MaxKeyLength || (secondary && descriptor.keyLength == 0) ||
            (index == PrimaryIndex && descriptor.columns.empty() != header_.primaryWithoutKeys))
            headerCorrupt();
    }
}

std::vector<int> IndexFile::indexesInUse() const
{
    std::vector<int> indexes;
    for (int index = 0; index <= header_.secondaryCount && index <= MaxSecondaryIndexes; ++index)
        indexes.push_back(index);
    indexes.push_back(DeletedSlotDescriptor);
    return indexes;
}

bool IndexFile::isUnique(int index) const
{
    return index == PrimaryIndex || index == DeletedSlotDescriptor || header_.descriptors[index].unique;
}

std::string IndexFile::displayName(int index) const
{
    return index == PrimaryIndex ? "Primary" : header_.descriptors[index].name;
}

int IndexFile::findIndex(const std::string& name) const
{
    if (name.empty()) return PrimaryIndex;
    for (int index = 1; index <= header_.secondaryCount; ++index)
        if (equalIgnoringCase(header_.descriptors[index].name, name)) return index;
    throw StoreError("Invalid secondary index name " + name + " specified for data file " + dataFileName_);
}

// ---- pages -----------------------------------------------------------------

void IndexFile::readPage(int index, std::int32_t offset, IndexPage& page, std::vector<std::uint8_t>* disk)
{
    std::array<std::uint8_t, IndexPageSize> image{};
    std::int64_t got = -1;
    auto read = [&] { got = file_->readAt(offset, image.data(), IndexPageSize); };
    if (readGuard_)
        readGuard_(std::ref(read));
    else
        read();
    // A page cut short reads as a failed read, as slots and blocks do.
    if (got != IndexPageSize) throw StoreError("Error reading from data file " + dataFileName_);
    if (!decodePage(formats_[index], image.data(), page)) corrupt();
    page.offset = offset;
    if (disk) disk->assign(image.begin(), image.end());
    ++pageReads_;
}

// Writes pages[from, to), which lie at consecutive offsets, in one write,
// the header before them when withHeader (they then start right after it):
// from the first byte that differs from what the file holds to the last,
// when the file's bytes of the whole run are known. The header's change
// counter goes up only when its write succeeds.
void IndexFile::writePages(const std::vector<std::pair<int, const IndexPage*>>& pages, std::size_t from,
                           std::size_t to, bool withHeader)
{
    const std::size_t lead = withHeader ? IndexPageSize : 0;
    std::vector<std::uint8_t> images(lead + (to - from) * IndexPageSize);
    std::vector<std::uint8_t> disk;
    bool known = !withHeader || !headerOnDisk_.empty();
    if (withHeader) disk = headerOnDisk_;
    for (std::size_t i = from; i < to; ++i) {
        const auto [index, page] = pages[i];
        encodePage(formats_[index], *page, images.data() + lead + (i - from) * IndexPageSize);
        const std::vector<std::uint8_t>* image = caches_[index].diskImage(page->offset);
        known = known && image;
        if (known) disk.insert(disk.end(), image->begin(), image->end());
    }
    const std::int32_t counter = header_.changeCounter;
    if (withHeader) {
        header_.changeCounter = counter + 1;
        encodeIndexHeader(header_, images.data());
    }
    try {
        writeChanged(withHeader ? 0 : pages[from].second->offset, images, known ? disk.data() : nullptr);
    } catch (const StoreError&) {
        header_.changeCounter = counter;
        throw;
    }
    if (withHeader && partialWrites_) headerOnDisk_.assign(images.begin(), images.begin() + IndexPageSize);
    for (std::size_t i = from; i < to; ++i)
        caches_[pages[i].first].setDiskImage(pages[i].second->offset,
                                             images.data() + lead + (i - from) * IndexPageSize, IndexPageSize);
}

void IndexFile::forgetDiskImages()
{
    for (PageCache& cache : caches_) cache.forgetDiskImages();
    headerOnDisk_.clear();
}

namespace {

// The bounds of what differs between two images of the same length: a post
// changes a few stretches of pages that are mostly as they were, so the
// like parts are passed over a block at a time.
constexpr std::size_t CompareBlock = 64;

std::size_t firstDifference(const std::uint8_t* one, const std::uint8_t* other, std::size_t from, std::size_t end)
{
    while (end - from >= CompareBlock && std::memcmp(one + from, other + from, CompareBlock) == 0) from += CompareBlock;
    while (from < end && one[from] == other[from]) ++from;
    return from;
}

std::size_t endOfDifference(const std::uint8_t* one, const std::uint8_t* other, std::size_t from, std::size_t end)
{
    while (end - from >= CompareBlock &&
           std::memcmp(one + end - CompareBlock, other + end - CompareBlock, CompareBlock) == 0)
        end -= CompareBlock;
    while (end > from && one[end - 1] == other[end - 1]) --end;
    return end;
}

}  // namespace

void IndexFile::writeChanged(std::int64_t offset, const std::vector<std::uint8_t>& image, const std::uint8_t* disk)
{
    std::size_t first = 0, end = image.size();
    if (disk) {
        first = firstDifference(image.data(), disk, first, end);
        end = endOfDifference(image.data(), disk, first, end);
        if (first == end) return;
    }
    const auto size = static_cast<std::int64_t>(end - first);
    const std::int64_t done = disk ? file_->writeAtOver(offset + static_cast<std::int64_t>(first), image.data() + first,
                                                        size, disk + first)
                                   : file_->writeAt(offset, image.data(), size);
    if (done != size) throw StoreError("Error writing to data file " + dataFileName_);
}

IndexPage& IndexFile::pin(int index, std::int32_t offset)
{
    if (offset < IndexPageSize || offset % IndexPageSize != 0 || offset >= header_.endOfFile) corrupt();
    IndexPage& page = caches_[index].pin(offset);
    pins_.emplace_back(index, offset);
    return page;
}

IndexPage& IndexFile::pinRoot(int index)
{
    IndexPage& page = pin(index, header_.descriptors[index].root);
    if (!page.isRoot() || page.count() == 0) corrupt();
    return page;
}

IndexPage& IndexFile::pinChild(int index, std::int32_t offset)
{
    IndexPage& page = pin(index, offset);
    if (page.isRoot() || page.count() == 0) corrupt();
    return page;
}

IndexPage& IndexFile::pinLeaf(int index, std::int32_t offset)
{
    IndexPage& page = pinChild(index, offset);
    if (!page.isLeaf()) corrupt();
    return page;
}

IndexFile::Scope::Scope(IndexFile& file) : file_(file) { ++file_.scopeDepth_; }

IndexFile::Scope::~Scope() { file_.leaveScope(); }

void IndexFile::leaveScope()
{
    if (--scopeDepth_ > 0) return;
    for (auto [index, offset] : pins_) caches_[index].unpin(offset);
    pins_.clear();
}

// ---- searching -------------------------------------------------------------

int IndexFile::compare(int index, const std::uint8_t* left, const std::uint8_t* right) const
{
    return keys_[index].compare(left, right);
}

int IndexFile::lowerBound(int index, const IndexPage& page, const Key& key) const
{
    int low = 0, high = page.count();
    while (low < high) {
        int middle = (low + high) / 2;
        if (compare(index, page.key(middle), key.data()) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// The last entry whose key is not above key, or the first entry when key
// lies below them all.
int IndexFile::childFor(int index, const IndexPage& page, const Key& key) const
{
    int at = lowerBound(index, page, key);
    if (at < page.count() && compare(index, page.key(at), key.data()) == 0) return at;
    return at > 0 ? at - 1 : 0;
}

bool IndexFile::holds(int index, const IndexPage& page, int at, const Key& key) const
{
    return at < page.count() && compare(index, page.key(at), key.data()) == 0;
}

IndexFile::Path IndexFile::descend(int index, const Key& key)
{
    assert(key.size() == static_cast<std::size_t>(formats_[index].keyLength));
    ++descents_;
    Path path;
    IndexPage* page = &pinRoot(index);
    while (!page->isLeaf()) {
        int at = childFor(index, *page, key);
        for (int i = 0; i < at; ++i) path.before += page->counts[i];
        path.steps.push_back({page, at});
        page = &pinChild(index, page->values[at]);
    }
    path.steps.push_back({page, lowerBound(index, *page, key)});
    return path;
}

// A key that is the entry handed out last stands where that entry stood.
IndexFile::Step IndexFile::leafStep(int index, const Key& key)
{
    const HandedOut& last = handedOut_[index];
    if (last.changes == changes_ && last.offset < header_.endOfFile &&
        key.size() == static_cast<std::size_t>(formats_[index].keyLength)) {
        IndexPage& page = pin(index, last.offset);
        if (page.isLeaf() && last.at < page.count() && compare(index, page.key(last.at), key.data()) == 0)
            return Step{&page, last.at};
    }
    return descend(index, key).steps.back();
}

IndexEntry IndexFile::handOut(int index, const IndexPage& page, int at)
{
    handedOut_[index] = HandedOut{changes_, page.offset, at};
    Key key = std::move(recycled_);
    key.assign(page.key(at), page.key(at) + page.keyLength);
    return IndexEntry{std::move(key), page.values[at]};
}

// The entry at position at of a leaf, or the first one after the leaf.
std::optional<IndexEntry> IndexFile::entryFrom(int index, IndexPage* page, int at)
{
    if (at < page->count()) return handOut(index, *page, at);
    if (page->next == 0) return std::nullopt;
    return handOut(index, pinLeaf(index, page->next), 0);
}

// The entry at position at of a leaf, or the last one before the leaf when
// at is -1.
std::optional<IndexEntry> IndexFile::entryBefore(int index, IndexPage* page, int at)
{
    if (at >= 0) return handOut(index, *page, at);
    if (page->previous == 0) return std::nullopt;
    IndexPage& previous = pinLeaf(index, page->previous);
    return handOut(index, previous, previous.count() - 1);
}

std::int32_t IndexFile::keyCount(int index)
{
    if (header_.descriptors[index].root == 0) return 0;
    Scope scope(*this);
    return countOf(pinRoot(index));
}

bool IndexFile::contains(int index, const Key& key) { return rank(index, key).present; }

std::optional<IndexEntry> IndexFile::first(int index)
{
    if (header_.descriptors[index].root == 0) return std::nullopt;
    Scope scope(*this);
    IndexPage* page = &pinRoot(index);
    while (!page->isLeaf()) page = &pinChild(index, page->values.front());
    return handOut(index, *page, 0);
}

std::optional<IndexEntry> IndexFile::last(int index)
{
    if (header_.descriptors[index].root == 0) return std::nullopt;
    Scope scope(*this);
    IndexPage* page = &pinRoot(index);
    while (!page->isLeaf()) page = &pinChild(index, page->values.back());
    return handOut(index, *page, page->count() - 1);
}

std::optional<IndexEntry> IndexFile::atOrAfter(int index, const Key& key)
{
    if (header_.descriptors[index].root == 0) return std::nullopt;
    Scope scope(*this);
    Step leaf = leafStep(index, key);
    return entryFrom(index, leaf.page, leaf.at);
}

std::optional<IndexEntry> IndexFile::after(int index, const Key& key)
{
    if (header_.descriptors[index].root == 0) return std::nullopt;
    Scope scope(*this);
    Step leaf = leafStep(index, key);
    return moved(index, entryFrom(index, leaf.page, holds(index, *leaf.page, leaf.at, key) ? leaf.at + 1 : leaf.at),
                 key, 1);
}

// Keys are unique, so a step over a sound index always moves past the key it
// started from; one that does not is damage, and a walk on would never end.
std::optional<IndexEntry> IndexFile::moved(int index, std::optional<IndexEntry> entry, const Key& from,
                                           int direction) const
{
    if (entry && entry->key.size() == from.size() && compare(index, entry->key.data(), from.data()) * direction <= 0)
        corrupt();
    return entry;
}

std::optional<IndexEntry> IndexFile::atOrBefore(int index, const Key& key)
{
    if (header_.descriptors[index].root == 0) return std::nullopt;
    Scope scope(*this);
    Step leaf = leafStep(index, key);
    return entryBefore(index, leaf.page, holds(index, *leaf.page, leaf.at, key) ? leaf.at : leaf.at - 1);
}

std::optional<IndexEntry> IndexFile::before(int index, const Key& key)
{
    if (header_.descriptors[index].root == 0) return std::nullopt;
    Scope scope(*this);
    Step leaf = leafStep(index, key);
    return moved(index, entryBefore(index, leaf.page, leaf.at - 1), key, -1);
}

// Walks the leaf chain from the position of key. Stops after a few leaves:
// every leaf stays pinned until the call returns, and the cache of an index
// is small.
std::vector<std::int32_t> IndexFile::slotsFrom(int index, const Key& key, std::size_t count, bool ascending)
{
    constexpr int MostLeaves = 8;
    std::vector<std::int32_t> slots;
    if (header_.descriptors[index].root == 0) return slots;
    Scope scope(*this);
    Step leaf = leafStep(index, key);
    IndexPage* page = leaf.page;
    int at = ascending || holds(index, *page, leaf.at, key) ? leaf.at : leaf.at - 1;
    for (int leaves = 1; slots.size() < count;) {
        if (at >= 0 && at < page->count()) {
            slots.push_back(page->values[at]);
            at += ascending ? 1 : -1;
            continue;
        }
        std::int32_t neighbour = ascending ? page->next : page->previous;
        if (neighbour == 0 || ++leaves > MostLeaves) break;
        page = &pinLeaf(index, neighbour);
        at = ascending ? 0 : page->count() - 1;
    }
    return slots;
}

IndexFile::Rank IndexFile::rank(int index, const Key& key)
{
    if (header_.descriptors[index].root == 0) return Rank();
    Scope scope(*this);
    Path path = descend(index, key);
    Step leaf = path.steps.back();
    return Rank{static_cast<std::int32_t>(path.before + leaf.at), holds(index, *leaf.page, leaf.at, key)};
}

// Each interior entry's count tells how many keys its child holds, so the
// child holding the wanted rank is found without reading its neighbours.
std::optional<IndexEntry> IndexFile::atRank(int index, std::int32_t rank)
{
    if (header_.descriptors[index].root == 0 || rank < 0) return std::nullopt;
    Scope scope(*this);
    IndexPage* page = &pinRoot(index);
    if (rank >= countOf(*page)) return std::nullopt;
    while (!page->isLeaf()) {
        int at = 0;
        while (at + 1 < page->count() && rank >= page->counts[static_cast<std::size_t>(at)])
            rank -= page->counts[static_cast<std::size_t>(at++)];
        page = &pinChild(index, page->values[static_cast<std::size_t>(at)]);
    }
    if (rank >= page->count()) corrupt();
    return handOut(index, *page, rank);
}

// ---- changing ----------------------------------------------------------------

IndexFile::Change::Change(IndexFile& file) : file_(file) { file_.beginChange(); }

IndexFile::Change::~Change()
{
    if (!ended_) file_.endChange(false);
}

void IndexFile::Change::commit()
{
    ended_ = true;
    file_.endChange(true);
}

void IndexFile::beginChange()
{
    ++scopeDepth_;
    if (changeDepth_++ > 0) return;
    forgetHandedOut();
    headerBefore_ = header_;
    changedBefore_ = changed_;
    writtenInChange_ = false;
}

void IndexFile::endChange(bool commit)
{
    if (--changeDepth_ == 0) {
        forgetHandedOut();
        if (!commit) rollback();
        undoCount_ = 0;
    }
    leaveScope();
}

// Every page the change touched is still pinned, so putting back what it held
// needs no disk access and cannot fail.
void IndexFile::rollback()
{
    for (auto undo = undo_.rbegin() + static_cast<std::ptrdiff_t>(undo_.size() - undoCount_); undo != undo_.rend();
         ++undo) {
        PageCache& cache = caches_[undo->index];
        if (undo->created) {
            cache.discard(undo->offset);
            continue;
        }
        if (IndexPage* page = cache.find(undo->offset)) {
            if (undo->countsOnly)
                page->counts = undo->before.counts;
            else if (undo->insertedAt >= 0)
                undoInsertion(undo->index, *undo, *page);
            else
                *page = undo->before;
        }
        cache.setChanged(undo->offset, undo->wasChanged);
    }
    header_ = headerBefore_;
    changed_ = changedBefore_;
}

// What the failed operation wrote to disk is written again as it was before
// at the next write-back, and pages it added at the end of the file are cut
// off. Never at once: a write outside a write-back would pass the journal
// by, and the journal's rollback has put back on the disk what a write-back
// of the operation wrote.
void IndexFile::rollBackOperation() noexcept
{
    // The journal's rollback put back on the disk what the write-back wrote.
    forgetDiskImages();
    bool written = writtenInChange_;
    std::vector<std::pair<int, std::int32_t>> restored;
    for (std::size_t i = 0; i < undoCount_; ++i)
        if (!undo_[i].created) restored.emplace_back(undo_[i].index, undo_[i].offset);
    try {
        endChange(false);
    } catch (...) {
    }
    if (!written) return;
    for (const auto& [index, offset] : restored)
        if (caches_[index].find(offset)) caches_[index].setChanged(offset, true);
    changed_ = true;
    file_->truncate(header_.endOfFile);
}

void IndexFile::touch(int index, IndexPage& page)
{
    assert(changeDepth_ > 0);
    PageCache& cache = caches_[index];
    Undo* recorded = undoOf(index, page.offset);
    if (!recorded) {
        noteUndo(index, page.offset, false, &page, cache.isChanged(page.offset));
    } else if (recorded->countsOnly) {
        // Its counts changed already, nothing else yet.
        std::vector<std::int32_t> counts = std::move(recorded->before.counts);
        recorded->before = page;
        recorded->before.counts = std::move(counts);
        recorded->countsOnly = false;
    } else if (recorded->insertedAt >= 0) {
        // It gained one entry already, nothing else yet.
        recorded->before = page;
        undoInsertion(index, *recorded, recorded->before);
        recorded->insertedAt = -1;
    }
    cache.setChanged(page.offset, true);
    changed_ = true;
}

// As touch(), for an interior page of which only the subtree counts are to
// change: an insert or a removal below it that moves no key of it copies
// only the counts, not the whole page. A later touch() completes the copy.
void IndexFile::touchCounts(int index, IndexPage& page)
{
    if (Undo* undo = lightUndo(index, page)) {
        undo->countsOnly = true;
        undo->before.counts = page.counts;
    }
}

// As touch(), for a leaf that is to gain the entry at position at and
// change in no other way: the undo is taking that entry out again, not a
// copy of the page. A later touch() completes the copy.
void IndexFile::touchInsertion(int index, IndexPage& page, int at)
{
    if (Undo* undo = lightUndo(index, page)) {
        undo->insertedAt = at;
        undo->entryBytesBefore = page.entryBytes;
    }
}

// Marks the page changed; its undo without the copy of the page when it has
// none yet, for the caller to complete, else null.
IndexFile::Undo* IndexFile::lightUndo(int index, IndexPage& page)
{
    assert(changeDepth_ > 0);
    PageCache& cache = caches_[index];
    Undo* undo = nullptr;
    if (!undoOf(index, page.offset)) {
        noteUndo(index, page.offset, false, nullptr, cache.isChanged(page.offset));
        undo = &undo_[undoCount_ - 1];
    }
    cache.setChanged(page.offset, true);
    changed_ = true;
    return undo;
}

void IndexFile::undoInsertion(int index, const Undo& undo, IndexPage& page) const
{
    removeEntry(formats_[index], page, undo.insertedAt);
    page.entryBytes = undo.entryBytesBefore;
}

IndexFile::Undo* IndexFile::undoOf(int index, std::int32_t offset)
{
    for (std::size_t i = 0; i < undoCount_; ++i)
        if (undo_[i].index == index && undo_[i].offset == offset) return &undo_[i];
    return nullptr;
}

void IndexFile::noteUndo(int index, std::int32_t offset, bool created, const IndexPage* before, bool wasChanged)
{
    if (undoCount_ == undo_.size()) undo_.emplace_back();
    Undo& undo = undo_[undoCount_++];
    undo.index = index;
    undo.offset = offset;
    undo.created = created;
    if (before) undo.before = *before;
    undo.wasChanged = wasChanged;
    undo.countsOnly = false;
    undo.insertedAt = -1;
}

void IndexFile::addRows(std::int32_t delta)
{
    header_.rowCount += delta;
    changed_ = true;
}

IndexPage& IndexFile::newPage(int index, PageKind kind)
{
    IndexDescriptor& descriptor = header_.descriptors[index];
    changed_ = true;
    if (descriptor.freePage != 0) {
        IndexPage& page = pin(index, descriptor.freePage);
        if (page.kind != PageKind::RootInterior || page.count() != 0) corrupt();
        touch(index, page);
        descriptor.freePage = page.next;
        resetPage(formats_[index], page, kind);
        return page;
    }
    std::int32_t offset = header_.endOfFile;
    if (offset + std::int64_t{IndexPageSize} > MaxIndexFileSize)
        throw StoreError("The data file " + dataFileName_ + " is full and cannot contain any more data");
    noteUndo(index, offset, true, nullptr, false);
    IndexPage& page = caches_[index].pinNew(offset);
    pins_.emplace_back(index, offset);
    header_.endOfFile += IndexPageSize;
    resetPage(formats_[index], page, kind);
    return page;
}

// Unlinks page from its level and puts it at the head of its index's
// free-page chain.
void IndexFile::freePage(int index, IndexPage& page)
{
    touch(index, page);
    if (page.previous != 0) {
        IndexPage& previous = pin(index, page.previous);
        touch(index, previous);
        previous.next = page.next;
    }
    if (page.next != 0) {
        IndexPage& next = pin(index, page.next);
        touch(index, next);
        next.previous = page.previous;
    }
    IndexDescriptor& descriptor = header_.descriptors[index];
    makeFreePage(page, descriptor.freePage);
    descriptor.freePage = page.offset;
}

void IndexFile::insert(int index, const Key& key, std::int32_t slot)
{
    Change change(*this);
    changed_ = true;
    IndexDescriptor& descriptor = header_.descriptors[index];
    if (descriptor.root == 0) {
        IndexPage& root = newPage(index, PageKind::RootLeaf);
        insertEntry(formats_[index], root, 0, key.data(), slot);
        descriptor.root = root.offset;
        change.commit();
        return;
    }
    Path path = descend(index, key);
    Step leaf = path.steps.back();
    if (holds(index, *leaf.page, leaf.at, key))
        throw StoreError("Duplicate key found in index " + displayName(index) + " of data file " + dataFileName_);
    for (Step& step : path.steps) {
        if (!step.page->isLeaf())
            touchCounts(index, *step.page);
        else if (hasRoom(formats_[index], *step.page, step.at, key.data()))
            touchInsertion(index, *step.page, step.at);
        else
            touch(index, *step.page);
    }

    std::vector<IndexPage*> run{leaf.page};
    placeEntry(index, run, 0, leaf.at, key.data(), slot, 0);
    for (int level = static_cast<int>(path.steps.size()) - 2; level >= 0; --level) {
        IndexPage& parent = *path.steps[level].page;
        int at = path.steps[level].at;
        if (run.size() > 1 || std::memcmp(parent.key(at), run.front()->key(0), formats_[index].keyLength) != 0)
            touch(index, parent);
        replaceKey(formats_[index], parent, at, run.front()->key(0));
        parent.counts[at] = countOf(*run.front());
        std::vector<IndexPage*> parents{&parent};
        for (std::size_t i = 1; i < run.size(); ++i) placeAfter(index, parents, run[i - 1]->offset, *run[i]);
        run = std::move(parents);
    }
    growRoot(index, std::move(run));
    change.commit();
}

// Puts an entry at position at of run[page], splitting that page (and the
// part the entry falls into, should that still have no room) as needed. run
// holds the pages of one level that the operation has split so far, in order.
void IndexFile::placeEntry(int index, std::vector<IndexPage*>& run, std::size_t page, int at,
                           const std::uint8_t* key, std::int32_t value, std::int32_t count)
{
    const PageFormat& format = formats_[index];
    while (!hasRoom(format, *run[page], at, key)) {
        IndexPage& left = *run[page];
        if (left.count() < 2) corrupt();
        IndexPage& right = splitPage(index, left);
        run.insert(run.begin() + static_cast<std::ptrdiff_t>(page) + 1, &right);
        if (at > left.count()) {
            at -= left.count();
            ++page;
        }
    }
    insertEntry(format, *run[page], at, key, value, count);
}

// Gives child an entry right after the entry of leftChild in a run of
// parent pages.
void IndexFile::placeAfter(int index, std::vector<IndexPage*>& run, std::int32_t leftChild, const IndexPage& child)
{
    for (std::size_t page = 0; page < run.size(); ++page) {
        const std::vector<std::int32_t>& children = run[page]->values;
        auto found = std::find(children.begin(), children.end(), leftChild);
        if (found == children.end()) continue;
        int at = static_cast<int>(found - children.begin()) + 1;
        placeEntry(index, run, page, at, child.key(0), child.offset, countOf(child));
        return;
    }
    corrupt();
}

IndexPage& IndexFile::splitPage(int index, IndexPage& page)
{
    IndexPage& right = newPage(index, page.isLeaf() ? PageKind::Leaf : PageKind::Interior);
    splitEntries(formats_[index], page, right);
    right.previous = page.offset;
    right.next = page.next;
    if (page.next != 0) {
        IndexPage& next = pin(index, page.next);
        touch(index, next);
        next.previous = right.offset;
    }
    page.next = right.offset;
    return right;
}

// Puts new roots of kind 0 above the pages of the top level until one page
// is left there, and makes that page the root.
void IndexFile::growRoot(int index, std::vector<IndexPage*> run)
{
    while (run.size() > 1) {
        std::vector<IndexPage*> above{&newPage(index, PageKind::RootInterior)};
        for (IndexPage* page : run) {
            page->kind = page->isLeaf() ? PageKind::Leaf : PageKind::Interior;
            placeEntry(index, above, above.size() - 1, above.back()->count(), page->key(0), page->offset,
                       countOf(*page));
        }
        run = std::move(above);
    }
    IndexPage& root = *run.front();
    root.kind = root.isLeaf() ? PageKind::RootLeaf : PageKind::RootInterior;
    header_.descriptors[index].root = root.offset;
}

void IndexFile::remove(int index, const Key& key)
{
    Change change(*this);
    changed_ = true;
    IndexDescriptor& descriptor = header_.descriptors[index];
    auto notFound = [&] {
        return StoreError("Key not found in index " + displayName(index) + " of data file " + dataFileName_);
    };
    if (descriptor.root == 0) throw notFound();
    Path path = descend(index, key);
    Step leaf = path.steps.back();
    if (!holds(index, *leaf.page, leaf.at, key)) throw notFound();
    for (Step& step : path.steps) touch(index, *step.page);

    removeEntry(formats_[index], *leaf.page, leaf.at);
    for (int level = static_cast<int>(path.steps.size()) - 2; level >= 0; --level) {
        IndexPage& child = *path.steps[level + 1].page;
        IndexPage& parent = *path.steps[level].page;
        int at = path.steps[level].at;
        if (child.count() == 0) {
            freePage(index, child);
            removeEntry(formats_[index], parent, at);
        } else {
            replaceKey(formats_[index], parent, at, child.key(0));
            parent.counts[at] = countOf(child);
        }
    }
    IndexPage& root = *path.steps.front().page;
    if (root.count() == 0) {
        freePage(index, root);
        descriptor.root = 0;
    } else {
        collapseRoot(index, root);
    }
    change.commit();
}

void IndexFile::collapseRoot(int index, IndexPage& root)
{
    IndexPage* top = &root;
    while (!top->isLeaf() && top->count() == 1) {
        IndexPage& child = pinChild(index, top->values.front());
        touch(index, child);
        child.kind = child.isLeaf() ? PageKind::RootLeaf : PageKind::RootInterior;
        freePage(index, *top);
        header_.descriptors[index].root = child.offset;
        top = &child;
    }
}

// ---- writing back, emptying, change detection --------------------------------

void IndexFile::writeBack()
{
    if (!changed_) return;
    if (changeDepth_ > 0) writtenInChange_ = true;
    std::vector<std::pair<int, const IndexPage*>> pages;
    for (int index = 0; index < DescriptorCount; ++index)
        for (const IndexPage* page : caches_[index].changedPages()) pages.emplace_back(index, page);
    std::sort(pages.begin(), pages.end(), [](const auto& left, const auto& right) {
        return left.second->offset < right.second->offset;
    });
    // The pages right after the header go in its write, which comes last.
    std::size_t besideHeader = 0;
    while (besideHeader < pages.size() &&
           pages[besideHeader].second->offset == IndexPageSize * static_cast<std::int32_t>(besideHeader + 1))
        ++besideHeader;
    for (std::size_t from = besideHeader, to = 0; from < pages.size(); from = to) {
        for (to = from + 1; to < pages.size(); ++to)
            if (pages[to].second->offset != pages[to - 1].second->offset + IndexPageSize) break;
        writePages(pages, from, to, false);
        for (std::size_t i = from; i < to; ++i) caches_[pages[i].first].setChanged(pages[i].second->offset, false);
    }
    writePages(pages, 0, besideHeader, true);
    for (std::size_t i = 0; i < besideHeader; ++i) caches_[pages[i].first].setChanged(pages[i].second->offset, false);
    changed_ = false;
}

void IndexFile::empty()
{
    if (!file_->truncate(IndexPageSize)) throw StoreError("Error writing to data file " + dataFileName_);
    for (PageCache& cache : caches_) cache.clear();
    forgetHandedOut();
    header_.endOfFile = IndexPageSize;
    header_.rowCount = 0;
    for (IndexDescriptor& descriptor : header_.descriptors) {
        descriptor.root = 0;
        descriptor.freePage = 0;
    }
    changed_ = true;
}

std::int32_t IndexFile::storedChangeCounter()
{
    std::uint8_t counter[4];
    if (!readExact(*file_, indexheader::ChangeCounter, counter, sizeof counter))
        throw StoreError("Error reading from data file " + dataFileName_);
    return bytes::getI32(counter);
}

bool IndexFile::refreshIfChanged()
{
    if (storedChangeCounter() == changeCounter()) return false;
    dropCache();
    return true;
}

void IndexFile::dropCache()
{
    if (scopeDepth_ > 0) corrupt();
    for (PageCache& cache : caches_) cache.clear();
    forgetHandedOut();
    changed_ = false;
    readHeader();
}

std::int64_t IndexFile::fileLength()
{
    std::int64_t length = file_->size();
    if (length < 0) throw StoreError("Error reading from data file " + dataFileName_);
    return length;
}

IndexPage IndexFile::pageCopy(int index, std::int32_t offset)
{
    Scope scope(*this);
    return pin(index, offset);
}

void IndexFile::corrupt() const { throw StoreError("Index page buffers corrupt in data file " + dataFileName_); }

void IndexFile::headerCorrupt() const { throw StoreError("Header information corrupt in data file " + dataFileName_); }

}  // namespace store
