#include "store/pagecache.h"

#include "store/storeerror.h"

namespace store {

PageCache::PageCache(std::string dataFileName, Reader reader, Writer writer)
    : dataFileName_(std::move(dataFileName)), reader_(std::move(reader)), writer_(std::move(writer)), buffers_(Buffers)
{
}

IndexPage& PageCache::pin(std::int32_t offset)
{
    if (Buffer* cached = bufferOf(offset)) {
        if (cached->pins >= MaxPins) corrupt();
        return pinBuffer(*cached);
    }
    Buffer& buffer = freeBuffer();
    reader_(offset, buffer.page);
    buffer.used = true;
    buffer.changed = false;
    return pinBuffer(buffer);
}

IndexPage& PageCache::pinNew(std::int32_t offset)
{
    Buffer& buffer = freeBuffer();
    buffer.page = IndexPage();
    buffer.page.offset = offset;
    buffer.used = true;
    buffer.changed = true;
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
    if (Buffer* buffer = bufferOf(offset)) *buffer = Buffer();
}

void PageCache::clear()
{
    for (Buffer& buffer : buffers_) buffer = Buffer();
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

PageCache::Buffer* PageCache::bufferOf(std::int32_t offset)
{
    for (Buffer& buffer : buffers_)
        if (buffer.used && buffer.page.offset == offset) return &buffer;
    return nullptr;
}

const PageCache::Buffer* PageCache::bufferOf(std::int32_t offset) const
{
    return const_cast<PageCache*>(this)->bufferOf(offset);
}

// An unused buffer, or else the least recently used unpinned one, written
// back first when it changed. A failed write leaves the buffer as it was.
PageCache::Buffer& PageCache::freeBuffer()
{
    Buffer* chosen = nullptr;
    for (Buffer& buffer : buffers_) {
        if (!buffer.used) return buffer;
        if (buffer.pins == 0 && (!chosen || buffer.lastUse < chosen->lastUse)) chosen = &buffer;
    }
    if (!chosen) corrupt();
    if (chosen->changed) writer_(chosen->page);
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
