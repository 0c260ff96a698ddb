// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/indexverify.h"

#include "store/bytes.h"
#include "store/storeerror.h"

#include <algorithm>
#include <map>

namespace store {

namespace {

constexpr std::size_t MaxProblems = 100;

class Checker {
public:
    Checker(IndexFile& file, const std::vector<std::vector<std::uint8_t>>& slots) : file_(file), slots_(slots) {}

    std::vector<std::string> run()
    {
        checkHeader();
        for (int index : file_.indexesInUse()) checkIndex(index);
        checkUnowned();
        if (dropped_ > 0) problems_.push_back("and " + std::to_string(dropped_) + " more problems");
        return problems_;
    }

private:
    struct Tree {
        std::vector<IndexEntry> entries;
        std::vector<std::vector<std::int32_t>> levels;  // page offsets of each level, left to right
        std::map<std::int32_t, std::pair<std::int32_t, std::int32_t>> links;  // previous, next
        int leafDepth = -1;
    };

    void report(const std::string& text)
    {
        if (problems_.size() < MaxProblems)
            problems_.push_back(text);
        else
            ++dropped_;
    }

    std::string indexText(int index) const { return "Index " + file_.displayName(index); }
    static std::string pageText(std::int32_t offset) { return "page " + std::to_string(offset); }

    void checkHeader()
    {
        std::int64_t length = file_.fileLength();
        if (length != file_.header().endOfFile)
            report("The index file is " + std::to_string(length) + " bytes long but its header ends it at " +
                   std::to_string(file_.header().endOfFile));
        std::int32_t live = 0;
        for (const auto& image : slots_) live += image[slotfield::State] == SlotInUse;
        if (file_.rowCount() != live)
            report("The row count is " + std::to_string(file_.rowCount()) + " but " + std::to_string(live) +
                   " slots are in use");
    }

    void checkIndex(int index)
    {
        Tree tree;
        if (std::int32_t root = file_.descriptor(index).root) {
            Key lowest;
            visit(index, root, 0, tree, lowest);
        }
        checkLinks(index, tree);
        checkOrder(index, tree);
        checkContent(index, tree);
        checkFreeChain(index);
    }

    // Checks the subtree of the page at offset and returns its key count, or
    // -1 when the page could not be read.
    std::int64_t visit(int index, std::int32_t offset, int depth, Tree& tree, Key& lowest)
    {
        std::string at = indexText(index) + ": " + pageText(offset);
        if (!claim(index, offset, at)) return -1;
        IndexPage page;
        try {
            page = file_.pageCopy(index, offset);
        } catch (const StoreError& error) {
            report(at + " cannot be read: " + error.what());
            return -1;
        }
        if (page.isRoot() != (depth == 0))
            report(at + " has kind " + std::to_string(static_cast<int>(page.kind)) + " at depth " +
                   std::to_string(depth));
        if (page.count() == 0) {
            report(at + " is empty");
            return 0;
        }
        if (tree.levels.size() <= static_cast<std::size_t>(depth)) tree.levels.resize(depth + 1);
        tree.levels[depth].push_back(offset);
        tree.links[offset] = {page.previous, page.next};
        checkPage(index, page, at);
        lowest.assign(page.key(0), page.key(0) + page.keyLength);
        if (page.isLeaf()) return visitLeaf(page, depth, tree, at);
        std::int64_t total = 0;
        for (int i = 0; i < page.count(); ++i) {
            Key childLowest;
            std::int64_t count = visit(index, page.values[i], depth + 1, tree, childLowest);
            std::string entry = at + " entry " + std::to_string(i);
            if (count >= 0 && count != page.counts[i])
                report(entry + " counts " + std::to_string(page.counts[i]) + " keys, its subtree holds " +
                       std::to_string(count));
            if (count > 0 && !std::equal(childLowest.begin(), childLowest.end(), page.key(i)))
                report(entry + " does not carry the lowest key of " + pageText(page.values[i]));
            total += page.counts[i];
        }
        return total;
    }

    std::int64_t visitLeaf(const IndexPage& page, int depth, Tree& tree, const std::string& at)
    {
        if (tree.leafDepth < 0) tree.leafDepth = depth;
        if (tree.leafDepth != depth)
            report(at + " is a leaf at depth " + std::to_string(depth) + ", others are at depth " +
                   std::to_string(tree.leafDepth));
        for (int i = 0; i < page.count(); ++i)
            tree.entries.push_back(IndexEntry{Key(page.key(i), page.key(i) + page.keyLength), page.values[i]});
        return page.count();
    }

    void checkPage(int index, const IndexPage& page, const std::string& at)
    {
        const PageFormat& format = file_.pageFormat(index);
        int capacity = page.isLeaf() ? format.leafCapacity() : format.interiorCapacity();
        bool counted = !page.isLeaf() || !format.compressed();
        if (counted && page.count() > capacity)
            report(at + " holds " + std::to_string(page.count()) + " entries, more than its " +
                   std::to_string(capacity));
        const KeyBuilder& keys = file_.keyBuilder(index);
        for (int i = 1; i < page.count(); ++i)
            if (keys.compare(page.key(i - 1), page.key(i)) >= 0)
                report(at + " has entry " + std::to_string(i) + " out of key order");
    }

    // Records that a page belongs to what text names; false when something
    // else has it already.
    bool claim(int index, std::int32_t offset, const std::string& at)
    {
        auto [owner, added] = owners_.emplace(offset, indexText(index));
        if (!added) report(at + " is reached again, it belongs to " + owner->second + " already");
        return added;
    }

    void checkLinks(int index, const Tree& tree)
    {
        for (const std::vector<std::int32_t>& level : tree.levels)
            for (std::size_t i = 0; i < level.size(); ++i) {
                std::int32_t previous = i > 0 ? level[i - 1] : 0;
                std::int32_t next = i + 1 < level.size() ? level[i + 1] : 0;
                auto [storedPrevious, storedNext] = tree.links.at(level[i]);
                if (storedPrevious != previous || storedNext != next)
                    report(indexText(index) + ": " + pageText(level[i]) + " links to " +
                           std::to_string(storedPrevious) + " and " + std::to_string(storedNext) + " instead of " +
                           std::to_string(previous) + " and " + std::to_string(next));
            }
    }

    void checkOrder(int index, const Tree& tree)
    {
        const KeyBuilder& keys = file_.keyBuilder(index);
        for (std::size_t i = 1; i < tree.entries.size(); ++i)
            if (keys.compare(tree.entries[i - 1].key.data(), tree.entries[i].key.data()) >= 0)
                report(indexText(index) + ": the key naming slot " + std::to_string(tree.entries[i].slot) +
                       " is out of order");
    }

    std::vector<IndexEntry> expectedEntries(int index) const
    {
        std::vector<IndexEntry> expected;
        bool deletedSlots = index == DeletedSlotDescriptor;
        if (!file_.primaryHasKeyColumns() && (deletedSlots || index == PrimaryIndex)) return expected;
        for (std::size_t n = 0; n < slots_.size(); ++n) {
            const std::uint8_t* image = slots_[n].data();
            auto slot = static_cast<std::int32_t>(n + 1);
            if (deletedSlots)
                expected.push_back({deletedSlotKey(image[slotfield::State], bytes::getI32(image + slotfield::RowId)), slot});
            else if (image[slotfield::State] == SlotInUse)
                expected.push_back({file_.keyBuilder(index).build(image), slot});
        }
        return expected;
    }

    void checkContent(int index, const Tree& tree)
    {
        const KeyBuilder& keys = file_.keyBuilder(index);
        auto before = [&](const IndexEntry& left, const IndexEntry& right) {
            return keys.compare(left.key.data(), right.key.data()) < 0;
        };
        std::vector<IndexEntry> expected = expectedEntries(index);
        std::sort(expected.begin(), expected.end(), before);
        std::vector<IndexEntry> actual = tree.entries;
        std::sort(actual.begin(), actual.end(), before);
        std::string name = indexText(index);
        for (std::size_t i = 1; i < expected.size(); ++i)
            if (!before(expected[i - 1], expected[i]))
                report(name + ": slots " + std::to_string(expected[i - 1].slot) + " and " +
                       std::to_string(expected[i].slot) + " have the same key");
        std::size_t e = 0, a = 0;
        while (e < expected.size() || a < actual.size()) {
            if (a == actual.size() || (e < expected.size() && before(expected[e], actual[a]))) {
                report(name + " lacks the key of slot " + std::to_string(expected[e++].slot));
            } else if (e == expected.size() || before(actual[a], expected[e])) {
                report(name + " holds a key that no row has, naming slot " + std::to_string(actual[a++].slot));
            } else {
                if (expected[e].slot != actual[a].slot)
                    report(name + " names slot " + std::to_string(actual[a].slot) + " for the key of slot " +
                           std::to_string(expected[e].slot));
                ++e;
                ++a;
            }
        }
    }

    void checkFreeChain(int index)
    {
        for (std::int32_t offset = file_.descriptor(index).freePage; offset != 0;) {
            std::string at = indexText(index) + ": free " + pageText(offset);
            if (!claim(index, offset, at)) return;
            IndexPage page;
            try {
                page = file_.pageCopy(index, offset);
            } catch (const StoreError& error) {
                report(at + " cannot be read: " + error.what());
                return;
            }
            if (page.kind != PageKind::RootInterior || page.count() != 0 || page.previous != 0)
                report(at + " is not a free page");
            offset = page.next;
        }
    }

    void checkUnowned()
    {
        for (std::int32_t offset = IndexPageSize; offset < file_.header().endOfFile; offset += IndexPageSize)
            if (owners_.count(offset) == 0) report("The index file's " + pageText(offset) + " belongs to no index");
    }

    IndexFile& file_;
    const std::vector<std::vector<std::uint8_t>>& slots_;
    std::vector<std::string> problems_;
    std::size_t dropped_ = 0;
    std::map<std::int32_t, std::string> owners_;
};

}  // namespace

std::vector<std::string> verifyIndexFile(IndexFile& file, const std::vector<std::vector<std::uint8_t>>& slots)
{
    return Checker(file, slots).run();
}

}  // namespace store
