// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/pagecache.h"

#include "store/storeerror.h"

#include <algorithm>

namespace store {

PageCache::PageCache(std::string dataFileName, Reader reader, Writer writer, int buffers, bool keepsDiskImages)
    : dataFileName_(std::move(dataFileName)),
      reader_(std::move(reader)),
      writer_(std::move(writer)),
      capacity_(std::max(buffers, 1)),
      keepsDiskImages_(keepsDiskImages)
{
}

IndexPage& PageCache::pin(std::int32_t offset)
{
    if (Buffer* cached = bufferOf(offset)) {
        if (cached->pins >= MaxPins) corrupt();
        return pinBuffer(*cached);
    }
    Buffer& buffer = freeBuffer();
    buffer.disk.clear();
    reader_(offset, buffer.page, keepsDiskImages_ ? &buffer.disk : nullptr);
    buffer.used = true;
    buffer.changed = false;
    cached_[offset] = &buffer;
    return pinBuffer(buffer);
}

IndexPage& PageCache::pinNew(std::int32_t offset)
{
    Buffer& buffer = freeBuffer();
    buffer.page = IndexPage();
    buffer.page.offset = offset;
    buffer.disk.clear();
    buffer.used = true;
    buffer.changed = true;
    cached_[offset] = &buffer;
    return pinBuffer(buffer);
}

void PageCache::unpin(std::int32_t offset)
{
    Buffer* buffer = bufferOf(offset);
    if (buffer && buffer->pins > 0) --buffer->pins;
}

IndexPage* PageCache::find(std::int32_t offset)
{
    Buffer* buffer = bufferOf(offset);
    return buffer ? &buffer->page : nullptr;
}

bool PageCache::isChanged(std::int32_t offset) const
{
    const Buffer* buffer = bufferOf(offset);
    return buffer && buffer->changed;
}

void PageCache::setChanged(std::int32_t offset, bool changed)
{
    if (Buffer* buffer = bufferOf(offset)) buffer->changed = changed;
}

void PageCache::discard(std::int32_t offset)
{
    if (Buffer* buffer = bufferOf(offset)) {
        *buffer = Buffer();
        cached_.erase(offset);
    }
}

void PageCache::clear()
{
    for (Buffer& buffer : buffers_) buffer = Buffer();
    cached_.clear();
}

std::vector<const IndexPage*> PageCache::changedPages() const
{
    std::vector<const IndexPage*> pages;
    for (const Buffer& buffer : buffers_)
        if (buffer.used && buffer.changed) pages.push_back(&buffer.page);
    return pages;
}

int PageCache::pinCount(std::int32_t offset) const
{
    const Buffer* buffer = bufferOf(offset);
    return buffer ? buffer->pins : 0;
}

const std::vector<std::uint8_t>* PageCache::diskImage(std::int32_t offset) const
{
    const Buffer* buffer = bufferOf(offset);
    return buffer && !buffer->disk.empty() ? &buffer->disk : nullptr;
}

void PageCache::setDiskImage(std::int32_t offset, const std::uint8_t* image, std::size_t size)
{
    Buffer* buffer = bufferOf(offset);
    if (keepsDiskImages_ && buffer) buffer->disk.assign(image, image + size);
}

void PageCache::forgetDiskImages()
{
    for (Buffer& buffer : buffers_) buffer.disk.clear();
}

PageCache::Buffer* PageCache::bufferOf(std::int32_t offset)
{
    auto found = cached_.find(offset);
    return found == cached_.end() ? nullptr : found->second;
}

const PageCache::Buffer* PageCache::bufferOf(std::int32_t offset) const
{
    return const_cast<PageCache*>(this)->bufferOf(offset);
}

// An unused buffer, a new one while there are fewer than the capacity, or
// else the least recently used unpinned one, written back first when it
// changed. A failed write leaves the buffer as it was.
PageCache::Buffer& PageCache::freeBuffer()
{
    Buffer* chosen = nullptr;
    for (Buffer& buffer : buffers_) {
        if (!buffer.used) return buffer;
        if (buffer.pins == 0 && (!chosen || buffer.lastUse < chosen->lastUse)) chosen = &buffer;
    }
    if (static_cast<int>(buffers_.size()) < capacity_) return buffers_.emplace_back();
    if (!chosen) corrupt();
    if (chosen->changed) writer_(chosen->page);
    cached_.erase(chosen->page.offset);
    *chosen = Buffer();
    return *chosen;
}

IndexPage& PageCache::pinBuffer(Buffer& buffer)
{
    ++buffer.pins;
    buffer.lastUse = ++clock_;
    return buffer.page;
}

void PageCache::corrupt() const { throw StoreError("Index page buffers corrupt in data file " + dataFileName_); }

}  // namespace store
