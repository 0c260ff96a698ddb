// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Keys of the index file, built from slot images of the data file.
//
// Slot image (R bytes, as the data file stores it):
//
//   0   1  state: 0 row in use, 1 deleted
//   1   4  slot number (in use) or next deleted slot, signed little-endian
//   5   4  row id, signed little-endian; an auto-increment column reads it
//   9   .. each stored column at its Column::offset: a presence byte (1 has a
//          value, 0 empty) and Column::physicalSize value bytes, little-endian;
//          a string is its characters ended by a zero byte
//
// Key of a row in an index: for each key column in key order a part of
// 1 + physical size bytes (1 + 4 for auto-increment): the presence byte and
// the value encoded so that keys compare as unsigned byte strings:
//
//   string                          characters, zero-padded; upper-cased when the
//                                   index ignores case (ASCII letters, or by the
//                                   table's locale, which also maps full-width
//                                   forms to half-width)
//   integer, date, time, long word  4 bytes big-endian, sign bit inverted
//   small integer                   2 bytes big-endian, sign bit inverted
//   boolean, word                   2 bytes big-endian
//   float, money, timestamp         8 bytes big-endian; sign bit set when the
//                                   value is >= 0 (-0.0 included), every bit
//                                   inverted when negative
//   decimal                         the 64-bit fixed-point integer, 8 bytes
//                                   big-endian, sign bit inverted
//   bytes and every other kind      the raw bytes
//
// An empty column gives a part of zeros. A column that sorts descending in a
// table without a locale has every byte of its part inverted (255 - b), the
// presence byte included, except the last byte of a string part. A
// non-unique secondary index appends the row id (4 bytes, as an integer) so
// that every key is unique.
//
// Key of the deleted-slot index: the slot's state byte, then its row id as
// an integer (5 bytes).
//
// Keys compare as unsigned bytes. In a table with a locale, the string parts
// compare by the locale's collation and a descending column's part compares
// reversed (its bytes are not inverted there); all other bytes still compare
// as bytes. The whole-index descending flag changes nothing here: it reverses
// the order in which the index is read.

#include "store/schema.h"
#include "store/tablelocale.h"

#include <cstdint>
#include <vector>

namespace store {

using Key = std::vector<std::uint8_t>;

// The fields of a slot image that keys use.
namespace slotfield {
inline constexpr int State = 0;
inline constexpr int RowId = 5;
}  // namespace slotfield

inline constexpr std::uint8_t SlotInUse = 0;
inline constexpr std::uint8_t SlotDeleted = 1;
inline constexpr int DeletedSlotKeyLength = 5;

Key deletedSlotKey(std::uint8_t state, std::int32_t rowId);

class KeyBuilder {
public:
    // The deleted-slot index: state byte and row id, compared as bytes.
    KeyBuilder();
    // Requires keyColumnsValid(columns, index).
    KeyBuilder(const std::vector<Column>& columns, const IndexDescriptor& index, bool secondary, TableLocale locale);

    // Whether every key column of index is a column that can be indexed, with
    // the physical size its kind has.
    static bool keyColumnsValid(const std::vector<Column>& columns, const IndexDescriptor& index);

    std::uint16_t keyLength() const { return keyLength_; }
    bool hasKeyColumns() const { return !parts_.empty(); }
    // Whether the last 4 key bytes are the row id (non-unique secondary index).
    bool hasRowIdSuffix() const { return rowIdSuffix_; }

    Key build(const std::uint8_t* image) const;
    // As build, into key's own buffer.
    void buildInto(const std::uint8_t* image, Key& key) const;
    // Negative, 0 or positive as left sorts before, with or after right.
    int compare(const std::uint8_t* left, const std::uint8_t* right) const;

private:
    struct Part {
        Column column;
        int offset = 0;  // in the key
        int size = 0;    // presence byte included
        bool descending = false;
    };

    void encodePart(const Part& part, const std::uint8_t* image, std::uint8_t* out) const;
    void encodeString(const Part& part, const std::uint8_t* value, std::uint8_t* out) const;
    int comparePart(const Part& part, const std::uint8_t* left, const std::uint8_t* right) const;

    std::vector<Part> parts_;
    std::uint16_t keyLength_ = DeletedSlotKeyLength;
    bool rowIdSuffix_ = false;
    bool deletedSlots_ = false;
    bool caseInsensitive_ = false;
    bool bytewise_ = true;  // the whole key compares as bytes
    TableLocale locale_;
};

}  // namespace store
