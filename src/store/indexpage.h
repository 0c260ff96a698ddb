// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pages of the index file: every 4096 bytes after the header page.
//
//   offset  width  field
//   0       1      kind: 0 interior root, 1 interior, 2 leaf, 3 leaf root
//   1       2      number of entries, signed
//   3       4      offset of the previous page on the same level, 0 when none
//   7       4      offset of the next page on the same level, 0 when none
//   11      2      entry bytes in use, written for compressed leaf pages (0 elsewhere)
//   13      4083   entries, then zeros to the end of the page
//
// Interior entry: the key, the child page offset (32-bit), the number of keys
// in the child's subtree (32-bit). Entries of a page, and the pages of a level
// from first to last along the links, stand in ascending key order; an
// interior entry carries the lowest key of its child's subtree.
//
// Leaf entry, by the index's key compression (K = key length):
//
//   0 none      the key, the slot number (32-bit)
//   1 leading   16-bit L, key bytes L..K-1, the slot number; L is the count of
//               leading bytes shared with the previous key of the page
//   2 trailing  16-bit T, the key without T zero bytes, the slot number; the T
//               zeros are the key's last bytes, or in a key with a row-id suffix
//               the bytes just before its last 4
//   3 both      8-bit L, 8-bit T (each at most 255), the key bytes between them,
//               the slot number; the row-id suffix is kept as in mode 2 when at
//               least 5 key bytes remain after the L shared ones
//
// The first entry of a page shares no bytes (L = 0). A leaf page without
// compression holds at most 4083 / (K + 6) entries, an interior page at most
// 4083 / (K + 10); a compressed leaf page holds what fits in 4083 bytes.
//
// A free page (one in its index's free-page chain) is all zero but for its
// next-page field, which names the next free page of the chain (0 at the end).

#include "store/schema.h"

#include <cstdint>
#include <vector>

namespace store {

enum class PageKind : std::uint8_t { RootInterior = 0, Interior = 1, Leaf = 2, RootLeaf = 3 };

namespace pageheader {
inline constexpr int Kind = 0;
inline constexpr int Count = 1;
inline constexpr int Previous = 3;
inline constexpr int Next = 7;
inline constexpr int EntryBytes = 11;
inline constexpr int Entries = 13;
}  // namespace pageheader

inline constexpr int PageEntrySpace = 4083;

// How one index lays out its entries.
struct PageFormat {
    int keyLength = 0;
    Compression compression = Compression::None;
    bool rowIdSuffix = false;

    int leafCapacity() const { return PageEntrySpace / (keyLength + 6); }
    int interiorCapacity() const { return PageEntrySpace / (keyLength + 10); }
    bool compressed() const { return compression != Compression::None; }
    // The bytes of a leaf entry for key, following previous (null: first entry).
    int leafEntrySize(const std::uint8_t* key, const std::uint8_t* previous) const;
};

// A page decoded: keys whole, whatever their compression on disk.
struct IndexPage {
    std::int32_t offset = 0;
    PageKind kind = PageKind::RootInterior;
    std::int32_t previous = 0;
    std::int32_t next = 0;
    int keyLength = 0;
    std::vector<std::uint8_t> keys;    // count x keyLength
    std::vector<std::int32_t> values;  // leaf: slot numbers; interior: child page offsets
    std::vector<std::int32_t> counts;  // interior: keys in each child's subtree
    int entryBytes = 0;                // compressed leaf: the entries' size on disk

    int count() const { return static_cast<int>(values.size()); }
    bool isLeaf() const { return kind == PageKind::Leaf || kind == PageKind::RootLeaf; }
    bool isRoot() const { return kind == PageKind::RootLeaf || kind == PageKind::RootInterior; }
    const std::uint8_t* key(int entry) const { return keys.data() + static_cast<std::size_t>(entry) * keyLength; }
    std::uint8_t* key(int entry) { return keys.data() + static_cast<std::size_t>(entry) * keyLength; }
    // Keys in the subtree under this page.
    std::int64_t subtreeCount() const;
};

// An empty page of kind, as a new page starts.
void resetPage(const PageFormat& format, IndexPage& page, PageKind kind);
// Turns page into a free page whose chain goes on at nextFree.
void makeFreePage(IndexPage& page, std::int32_t nextFree);

// False when the image is no page of this format.
bool decodePage(const PageFormat& format, const std::uint8_t* image, IndexPage& page);
void encodePage(const PageFormat& format, const IndexPage& page, std::uint8_t* image);

// Whether an entry for key fits at entry position at without a split.
bool hasRoom(const PageFormat& format, const IndexPage& page, int at, const std::uint8_t* key);
void insertEntry(const PageFormat& format, IndexPage& page, int at, const std::uint8_t* key, std::int32_t value,
                 std::int32_t count = 0);
void removeEntry(const PageFormat& format, IndexPage& page, int at);
void replaceKey(const PageFormat& format, IndexPage& page, int at, const std::uint8_t* key);
// Moves the entries after the first half (rounded up) of page into the empty
// page right.
void splitEntries(const PageFormat& format, IndexPage& page, IndexPage& right);

}  // namespace store
