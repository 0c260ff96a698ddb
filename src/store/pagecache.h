// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The page buffers of one index: at most 31 decoded pages, or as many as the
// exclusive open that asked for more (StoreTable::setExclusiveIndexBuffers)
// gave; buffers are made as they are first needed. A page is pinned
// while an operation works on it; when a page that is not cached is needed,
// the least recently used unpinned buffer is taken, written back first when
// its page changed. A page may be pinned at most 64 times at once; a 65th pin,
// or a page needed while every buffer is pinned, fails with "Index page
// buffers corrupt in data file ...". Descending through a cycle of corrupt
// page links therefore ends with that failure rather than going on forever.
//
// A cache that keeps disk images holds, beside each page read or written,
// the bytes the file has for it, so that a write can leave out what did not
// change; the owner forgets them all when the file may no longer hold them
// (a write-back rolled back).

#include "store/indexpage.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace store {

class PageCache {
public:
    static constexpr int Buffers = 31;
    static constexpr int MaxPins = 64;

    // reader fills a buffer with the page at an offset, and disk, when not
    // null, with the page's bytes as read; writer stores a changed page. Both
    // fail by throwing.
    using Reader = std::function<void(std::int32_t offset, IndexPage& page, std::vector<std::uint8_t>* disk)>;
    using Writer = std::function<void(const IndexPage& page)>;

    PageCache(std::string dataFileName, Reader reader, Writer writer, int buffers = Buffers,
              bool keepsDiskImages = false);

    // The page at offset, read unless cached, pinned once more.
    IndexPage& pin(std::int32_t offset);
    // A buffer for a page that is not on disk yet, pinned and marked changed;
    // its content is for the caller to set.
    IndexPage& pinNew(std::int32_t offset);
    // Offsets no longer cached are ignored.
    void unpin(std::int32_t offset);

    IndexPage* find(std::int32_t offset);
    bool isChanged(std::int32_t offset) const;
    void setChanged(std::int32_t offset, bool changed);
    // Forgets the page, pinned or not, without writing it.
    void discard(std::int32_t offset);
    // Forgets every page without writing any.
    void clear();

    std::vector<const IndexPage*> changedPages() const;
    int pinCount(std::int32_t offset) const;

    // The bytes the file holds for a cached page, null when not known.
    const std::vector<std::uint8_t>* diskImage(std::int32_t offset) const;
    void setDiskImage(std::int32_t offset, const std::uint8_t* image, std::size_t size);
    void forgetDiskImages();

private:
    struct Buffer {
        IndexPage page;
        bool used = false;
        bool changed = false;
        int pins = 0;
        std::uint64_t lastUse = 0;
        std::vector<std::uint8_t> disk;  // empty: not known
    };

    Buffer* bufferOf(std::int32_t offset);
    const Buffer* bufferOf(std::int32_t offset) const;
    Buffer& freeBuffer();
    IndexPage& pinBuffer(Buffer& buffer);
    [[noreturn]] void corrupt() const;

    std::string dataFileName_;
    Reader reader_;
    Writer writer_;
    int capacity_;
    bool keepsDiskImages_;
    std::deque<Buffer> buffers_;  // a deque, so that pages handed out stay where they are as it grows
    std::unordered_map<std::int32_t, Buffer*> cached_;  // by page offset
    std::uint64_t clock_ = 0;
};

}  // namespace store
