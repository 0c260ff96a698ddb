// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/indexpage.h"

#include "store/bytes.h"
#include "store/indexheader.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace store {

namespace {

// What a compressed leaf entry leaves out of its key: the shared leading
// bytes, the dropped zero bytes, and whether the row-id suffix is kept after
// the dropped zeros.
struct Cut {
    int shared = 0;
    int dropped = 0;
    bool keepsSuffix = false;

    // End of the key bytes before the suffix kept, if any.
    int end(int keyLength) const { return keepsSuffix ? keyLength - 4 : keyLength; }
    int storedBytes(int keyLength) const { return keyLength - shared - dropped; }
};

// Both scans go eight bytes at a time: every changed leaf is encoded again
// at each write-back, and they run over every key of it.
std::uint64_t wordAt(const std::uint8_t* at)
{
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

int commonPrefix(const std::uint8_t* left, const std::uint8_t* right, int length)
{
    int shared = 0;
    for (; shared + 8 <= length; shared += 8) {
        std::uint64_t differing = wordAt(left + shared) ^ wordAt(right + shared);
        if (differing == 0) continue;
        if constexpr (std::endian::native == std::endian::little) return shared + std::countr_zero(differing) / 8;
        break;
    }
    while (shared < length && left[shared] == right[shared]) ++shared;
    return shared;
}

int trailingZeros(const std::uint8_t* key, int from, int to)
{
    int zeros = 0;
    while (to - zeros - 8 >= from && wordAt(key + to - zeros - 8) == 0) zeros += 8;
    while (to - zeros > from && key[to - zeros - 1] == 0) ++zeros;
    return zeros;
}

bool keepsSuffix(const PageFormat& format, int shared)
{
    if (!format.rowIdSuffix) return false;
    if (format.compression == Compression::Trailing) return true;
    return format.compression == Compression::Both && format.keyLength - shared >= 5;
}

Cut cutFor(const PageFormat& format, const std::uint8_t* key, const std::uint8_t* previous)
{
    Cut cut;
    int length = format.keyLength;
    if (format.compression == Compression::Leading || format.compression == Compression::Both) {
        cut.shared = previous ? commonPrefix(key, previous, length) : 0;
        if (format.compression == Compression::Both) cut.shared = std::min(cut.shared, 255);
    }
    if (format.compression == Compression::Trailing || format.compression == Compression::Both) {
        cut.keepsSuffix = keepsSuffix(format, cut.shared);
        cut.dropped = trailingZeros(key, cut.shared, cut.end(length));
        if (format.compression == Compression::Both) cut.dropped = std::min(cut.dropped, 255);
    }
    return cut;
}

constexpr int SlotBytes = 4;
constexpr int CutBytes = 2;  // 16-bit L or T, or 8-bit L and T

int encodeLeafEntry(const PageFormat& format, const std::uint8_t* key, const std::uint8_t* previous,
                    std::int32_t slot, std::uint8_t* out)
{
    int length = format.keyLength;
    if (!format.compressed()) {
        // A keyless primary index has keys of no bytes, and no buffer behind them.
        if (length > 0) std::memcpy(out, key, length);
        bytes::putI32(out + length, slot);
        return length + SlotBytes;
    }
    Cut cut = cutFor(format, key, previous);
    if (format.compression == Compression::Leading) {
        bytes::putU16(out, static_cast<std::uint16_t>(cut.shared));
    } else if (format.compression == Compression::Trailing) {
        bytes::putU16(out, static_cast<std::uint16_t>(cut.dropped));
    } else {
        out[0] = static_cast<std::uint8_t>(cut.shared);
        out[1] = static_cast<std::uint8_t>(cut.dropped);
    }
    std::uint8_t* at = out + CutBytes;
    int head = cut.end(length) - cut.dropped - cut.shared;
    std::memcpy(at, key + cut.shared, head);
    at += head;
    if (cut.keepsSuffix) {
        std::memcpy(at, key + length - 4, 4);
        at += 4;
    }
    bytes::putI32(at, slot);
    return static_cast<int>(at + SlotBytes - out);
}

// Decodes the entry at in, restoring its key into key; returns the bytes it
// took, or 0 when the entry does not decode within space bytes.
int decodeLeafEntry(const PageFormat& format, const std::uint8_t* in, int space, const std::uint8_t* previous,
                    std::uint8_t* key, std::int32_t& slot)
{
    int length = format.keyLength;
    if (!format.compressed()) {
        if (space < length + SlotBytes) return 0;
        if (length > 0) std::memcpy(key, in, length);
        slot = bytes::getI32(in + length);
        return length + SlotBytes;
    }
    if (space < CutBytes) return 0;
    Cut cut;
    if (format.compression == Compression::Leading) {
        cut.shared = bytes::getU16(in);
    } else if (format.compression == Compression::Trailing) {
        cut.dropped = bytes::getU16(in);
    } else {
        cut.shared = in[0];
        cut.dropped = in[1];
    }
    if (cut.shared > 0 && !previous) return 0;
    cut.keepsSuffix = keepsSuffix(format, cut.shared);
    int end = cut.end(length);
    if (cut.shared + cut.dropped > end) return 0;
    int size = CutBytes + cut.storedBytes(length) + SlotBytes;
    if (space < size) return 0;
    const std::uint8_t* at = in + CutBytes;
    if (cut.shared > 0) std::memcpy(key, previous, cut.shared);
    int head = end - cut.dropped - cut.shared;
    std::memcpy(key + cut.shared, at, head);
    at += head;
    std::memset(key + end - cut.dropped, 0, cut.dropped);
    if (cut.keepsSuffix) {
        std::memcpy(key + length - 4, at, 4);
        at += 4;
    }
    slot = bytes::getI32(at);
    return size;
}

int entryBytesOf(const PageFormat& format, const IndexPage& page)
{
    int total = 0;
    for (int i = 0; i < page.count(); ++i) total += format.leafEntrySize(page.key(i), i ? page.key(i - 1) : nullptr);
    return total;
}

bool tracksEntryBytes(const PageFormat& format, const IndexPage& page) { return format.compressed() && page.isLeaf(); }

int insertionDelta(const PageFormat& format, const IndexPage& page, int at, const std::uint8_t* key)
{
    const std::uint8_t* previous = at > 0 ? page.key(at - 1) : nullptr;
    int delta = format.leafEntrySize(key, previous);
    if (at < page.count())
        delta += format.leafEntrySize(page.key(at), key) - format.leafEntrySize(page.key(at), previous);
    return delta;
}

int removalDelta(const PageFormat& format, const IndexPage& page, int at)
{
    const std::uint8_t* previous = at > 0 ? page.key(at - 1) : nullptr;
    int delta = -format.leafEntrySize(page.key(at), previous);
    if (at + 1 < page.count())
        delta += format.leafEntrySize(page.key(at + 1), previous) - format.leafEntrySize(page.key(at + 1), page.key(at));
    return delta;
}

}  // namespace

int PageFormat::leafEntrySize(const std::uint8_t* key, const std::uint8_t* previous) const
{
    if (!compressed()) return keyLength + SlotBytes;
    return CutBytes + cutFor(*this, key, previous).storedBytes(keyLength) + SlotBytes;
}

std::int64_t IndexPage::subtreeCount() const
{
    if (isLeaf()) return count();
    std::int64_t total = 0;
    for (std::int32_t count : counts) total += count;
    return total;
}

void resetPage(const PageFormat& format, IndexPage& page, PageKind kind)
{
    page.kind = kind;
    page.previous = 0;
    page.next = 0;
    page.keyLength = format.keyLength;
    page.keys.clear();
    page.values.clear();
    page.counts.clear();
    page.entryBytes = 0;
}

void makeFreePage(IndexPage& page, std::int32_t nextFree)
{
    PageFormat keepLength{page.keyLength, Compression::None, false};
    resetPage(keepLength, page, PageKind::RootInterior);
    page.next = nextFree;
}

bool decodePage(const PageFormat& format, const std::uint8_t* image, IndexPage& page)
{
    if (image[pageheader::Kind] > static_cast<std::uint8_t>(PageKind::RootLeaf)) return false;
    resetPage(format, page, static_cast<PageKind>(image[pageheader::Kind]));
    int count = bytes::getI16(image + pageheader::Count);
    page.previous = bytes::getI32(image + pageheader::Previous);
    page.next = bytes::getI32(image + pageheader::Next);
    if (count < 0) return false;
    int length = format.keyLength;
    const std::uint8_t* in = image + pageheader::Entries;
    page.keys.resize(static_cast<std::size_t>(count) * length);
    page.values.resize(count);
    if (!page.isLeaf()) {
        if (count * (length + 8) > PageEntrySpace) return false;
        page.counts.resize(count);
        for (int i = 0; i < count; ++i, in += length + 8) {
            std::memcpy(page.key(i), in, length);
            page.values[i] = bytes::getI32(in + length);
            page.counts[i] = bytes::getI32(in + length + 4);
        }
        return true;
    }
    int used = 0;
    for (int i = 0; i < count; ++i) {
        int size = decodeLeafEntry(format, in + used, PageEntrySpace - used, i ? page.key(i - 1) : nullptr,
                                   page.key(i), page.values[i]);
        if (size == 0) return false;
        used += size;
    }
    if (format.compressed()) page.entryBytes = used;
    return true;
}

void encodePage(const PageFormat& format, const IndexPage& page, std::uint8_t* image)
{
    std::memset(image, 0, IndexPageSize);
    image[pageheader::Kind] = static_cast<std::uint8_t>(page.kind);
    bytes::putI16(image + pageheader::Count, static_cast<std::int16_t>(page.count()));
    bytes::putI32(image + pageheader::Previous, page.previous);
    bytes::putI32(image + pageheader::Next, page.next);
    int length = format.keyLength;
    std::uint8_t* out = image + pageheader::Entries;
    if (!page.isLeaf()) {
        for (int i = 0; i < page.count(); ++i, out += length + 8) {
            std::memcpy(out, page.key(i), length);
            bytes::putI32(out + length, page.values[i]);
            bytes::putI32(out + length + 4, page.counts[i]);
        }
        return;
    }
    for (int i = 0; i < page.count(); ++i)
        out += encodeLeafEntry(format, page.key(i), i ? page.key(i - 1) : nullptr, page.values[i], out);
    if (format.compressed())
        bytes::putU16(image + pageheader::EntryBytes, static_cast<std::uint16_t>(out - image - pageheader::Entries));
}

bool hasRoom(const PageFormat& format, const IndexPage& page, int at, const std::uint8_t* key)
{
    if (!page.isLeaf()) return page.count() < format.interiorCapacity();
    if (!format.compressed()) return page.count() < format.leafCapacity();
    return page.entryBytes + insertionDelta(format, page, at, key) <= PageEntrySpace;
}

void insertEntry(const PageFormat& format, IndexPage& page, int at, const std::uint8_t* key, std::int32_t value,
                 std::int32_t count)
{
    if (tracksEntryBytes(format, page)) page.entryBytes += insertionDelta(format, page, at, key);
    std::size_t length = static_cast<std::size_t>(format.keyLength);
    page.keys.insert(page.keys.begin() + at * length, key, key + length);
    page.values.insert(page.values.begin() + at, value);
    if (!page.isLeaf()) page.counts.insert(page.counts.begin() + at, count);
}

void removeEntry(const PageFormat& format, IndexPage& page, int at)
{
    if (tracksEntryBytes(format, page)) page.entryBytes += removalDelta(format, page, at);
    std::size_t length = static_cast<std::size_t>(format.keyLength);
    page.keys.erase(page.keys.begin() + at * length, page.keys.begin() + (at + 1) * length);
    page.values.erase(page.values.begin() + at);
    if (!page.isLeaf()) page.counts.erase(page.counts.begin() + at);
}

void replaceKey(const PageFormat& format, IndexPage& page, int at, const std::uint8_t* key)
{
    if (tracksEntryBytes(format, page)) {
        std::int32_t slot = page.values[at];
        removeEntry(format, page, at);
        insertEntry(format, page, at, key, slot);
        return;
    }
    std::memcpy(page.key(at), key, format.keyLength);
}

void splitEntries(const PageFormat& format, IndexPage& page, IndexPage& right)
{
    int keep = (page.count() + 1) / 2;
    std::size_t length = static_cast<std::size_t>(format.keyLength);
    right.keys.assign(page.keys.begin() + keep * length, page.keys.end());
    right.values.assign(page.values.begin() + keep, page.values.end());
    page.keys.resize(keep * length);
    page.values.resize(keep);
    if (!page.isLeaf()) {
        right.counts.assign(page.counts.begin() + keep, page.counts.end());
        page.counts.resize(keep);
    }
    if (tracksEntryBytes(format, page)) {
        page.entryBytes = entryBytesOf(format, page);
        right.entryBytes = entryBytesOf(format, right);
    }
}

}  // namespace store
