// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The header page of an index file (.IDX), the first 4096 bytes of the file.
//
//   offset  width  field
//   0       4      change counter, signed; +1 each time the header page is written
//   4       4      reserved
//   8       1      format version, always 3
//   9       4      end-of-file offset, where the next new page goes (4096 in a new file)
//   13      1      number of secondary indexes, 0..30
//   14      3840   32 index descriptors of 120 bytes: 0 primary, 1..30 secondary in the
//                  order they were added, 31 the deleted-slot index "Sys Deleted"
//   3854    120    reserved
//   3974    4      number of rows in the table, signed
//   3978    1      1 when the primary index has no key columns (rows follow slot order)
//   3979    117    reserved
//
// Index descriptor (120 bytes):
//
//   0    31  name, short string of at most 30 characters; empty for the primary index
//   31   2   key length in bytes
//   33   1   1 when the whole index is descending
//   34   1   1 when string keys ignore letter case
//   35   1   1 when keys are unique
//   36   1   key compression: 0 none, 1 leading, 2 trailing, 3 both
//   37   1   number of key columns, 0..16
//   38   16  one byte per key column: 1 when it sorts descending
//   54   32  key column numbers, 16-bit each, in key order
//   86   4   offset of the root page, 0 when the index is empty
//   90   4   offset of the first free page of the index, 0 when none
//   94   26  reserved, 0
//
// A new index file holds only this page: every descriptor zero but the
// deleted-slot index (name "Sys Deleted", key length 5, no key columns).
// Reserved bytes are kept as they were read, so a header written back
// differs from the one read only in the fields the store changed.

#include "store/schema.h"

#include <array>
#include <cstdint>

namespace store {

inline constexpr int IndexPageSize = 4096;
inline constexpr int IndexFormatVersion = 3;
inline constexpr int DescriptorCount = 32;
inline constexpr int DeletedSlotDescriptor = 31;
inline constexpr int DescriptorSize = 120;
inline constexpr const char* DeletedSlotIndexName = "Sys Deleted";

namespace indexheader {
inline constexpr int ChangeCounter = 0;
inline constexpr int Version = 8;
inline constexpr int EndOfFile = 9;
inline constexpr int SecondaryCount = 13;
inline constexpr int Descriptors = 14;
inline constexpr int RowCount = 3974;
inline constexpr int PrimaryWithoutKeys = 3978;
}  // namespace indexheader

struct IndexHeader {
    std::int32_t changeCounter = 0;
    std::uint8_t version = IndexFormatVersion;
    std::int32_t endOfFile = IndexPageSize;
    int secondaryCount = 0;
    std::array<IndexDescriptor, DescriptorCount> descriptors;
    std::int32_t rowCount = 0;
    bool primaryWithoutKeys = false;
    std::array<std::uint8_t, IndexPageSize> image{};  // the page as last read or written
};

// The bytes a key column takes in a key: its presence byte and its value,
// which for an auto-increment column is the 32-bit row id.
int keyPartSize(const Column& column);

// The key length of an index over columns: presence byte plus physical size
// for each key column, and 4 more for the row-id suffix that makes every key
// of a non-unique secondary index unique.
std::uint16_t keyLengthFor(const std::vector<Column>& columns, const IndexDescriptor& index, bool secondary);

// The header of a new, empty index file.
IndexHeader newIndexHeader(bool primaryWithoutKeys);

// Decodes the page. Counts and lengths are taken as they stand (clipped to
// their field sizes); whether they make sense is for the index file to judge.
IndexHeader decodeIndexHeader(const std::uint8_t* page);
void encodeIndexHeader(IndexHeader& header, std::uint8_t* page);

}  // namespace store
