// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The shapes every layer of the store shares: column kinds with their type
// and subtype codes as they stand in the data file, the in-memory column
// definition, the index descriptor as it stands in the index file, and the
// schema from which a new, empty file set is made.

#include <cstdint>
#include <string>
#include <vector>

namespace store {

// Type codes of a column definition (data file, column offset 84).
enum class FieldType : std::uint8_t {
    Invalid = 0,
    String = 1,
    Date = 2,
    Blob = 3,  // memo and every binary kind; the subtype tells them apart
    Boolean = 4,
    SmallInt = 5,
    Integer = 6,  // subtype 29: auto-increment
    Float = 7,    // subtype 21: money
    Decimal = 8,
    Bytes = 9,
    Time = 10,
    Timestamp = 11,
    Word = 12,
    LongWord = 13,
    Extended = 14,
    VarBytes = 15,
};

// Subtype codes (data file, column offset 85).
namespace subtype {
inline constexpr std::uint8_t None = 0;
inline constexpr std::uint8_t Money = 21;
inline constexpr std::uint8_t Memo = 22;
inline constexpr std::uint8_t Binary = 23;
inline constexpr std::uint8_t FormattedMemo = 24;
inline constexpr std::uint8_t BinaryOle = 25;
inline constexpr std::uint8_t Graphic = 26;
inline constexpr std::uint8_t BinaryDbase = 27;
inline constexpr std::uint8_t TypedBinary = 28;
inline constexpr std::uint8_t AutoIncrement = 29;
}  // namespace subtype

// A column as the open table knows it, decoded from its 768-byte definition.
struct Column {
    int number = 0;  // 1-based, equal to the definition's position
    std::string name;
    FieldType type = FieldType::Invalid;
    std::uint8_t subtype = subtype::None;
    std::uint8_t size = 0;          // declared size of string, bytes and variable bytes columns
    std::uint8_t decimals = 0;      // decimal type only
    std::uint8_t physicalSize = 0;  // bytes of the value in the slot, after the presence byte
    std::uint16_t offset = 0;       // of the presence byte in the slot; 5 for auto-increment
    bool required = false;
    bool hasMinimum = false;
    std::string minimum;
    bool hasMaximum = false;
    std::string maximum;
    bool hasDefault = false;
    std::string defaultValue;
    bool computed = false;
    std::string expression;

    bool isBlob() const { return type == FieldType::Blob; }
    bool isMemo() const { return isBlob() && (subtype == subtype::Memo || subtype == subtype::FormattedMemo); }
    bool isAutoIncrement() const { return type == FieldType::Integer && subtype == subtype::AutoIncrement; }
    // Whether the column has a place of its own (presence byte and value) in the slot.
    bool isStored() const { return !computed && !isAutoIncrement(); }
};

inline constexpr int MaxColumns = 1024;
inline constexpr int MaxBlobColumns = 32;
inline constexpr int MaxSecondaryIndexes = 30;
inline constexpr int MaxKeyColumns = 16;
inline constexpr int MaxKeyLength = 1036;

// Key compression of an index (descriptor offset 36).
enum class Compression : std::uint8_t { None = 0, Leading = 1, Trailing = 2, Both = 3 };

// An index as its 120-byte descriptor in the index file header describes it.
struct IndexDescriptor {
    std::string name;  // empty for the primary index
    std::uint16_t keyLength = 0;
    bool descending = false;  // the whole index runs in reverse order
    bool caseInsensitive = false;
    bool unique = false;
    Compression compression = Compression::None;
    std::vector<std::uint16_t> columns;  // column numbers in key order
    std::vector<bool> columnDescending;  // one flag per key column
    std::int32_t root = 0;
    std::int32_t freePage = 0;
};

// What a new table is made from (the schema files of the developer tools
// describe the same fields in JSON).
struct ColumnSchema {
    std::string name;
    std::string type;  // "string", "date", "memo", ... as listed by typeNames()
    int size = 0;
    int decimals = 0;
    bool required = false;
    std::string minimum;  // empty: none
    std::string maximum;
    std::string defaultValue;
};

struct IndexSchema {
    std::string name;
    std::vector<std::string> columns;
    bool unique = false;
    bool caseInsensitive = false;
    bool descending = false;          // the whole index
    std::vector<bool> columnDescending;  // empty: all ascending
    Compression compression = Compression::None;
};

struct TableSchema {
    std::string description;
    int memoBlockSize = 512;
    std::vector<ColumnSchema> columns;
    std::vector<std::string> primary;  // key columns of the primary index; empty: slot order
    std::vector<IndexSchema> indexes;
};

}  // namespace store
