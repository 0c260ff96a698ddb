// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/keys.h"

#include "store/bytes.h"
#include "store/indexheader.h"

#include <cstring>
#include <string>

namespace store {

namespace {

const Column* findColumn(const std::vector<Column>& columns, std::uint16_t number)
{
    for (const Column& column : columns)
        if (column.number == number) return &column;
    return nullptr;
}

// The physical size a column kind must have to be encoded, 0 for kinds whose
// size is their own (strings and raw bytes).
int fixedSize(FieldType type)
{
    switch (type) {
    case FieldType::Date:
    case FieldType::Integer:
    case FieldType::Time:
    case FieldType::LongWord: return 4;
    case FieldType::SmallInt:
    case FieldType::Boolean:
    case FieldType::Word: return 2;
    case FieldType::Float:
    case FieldType::Timestamp:
    case FieldType::Decimal: return 8;
    default: return 0;
    }
}

void putBigEndian(std::uint8_t* out, std::uint64_t value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<std::uint8_t>(value);
        value >>= 8;
    }
}

std::uint64_t getLittleEndian(const std::uint8_t* at, int width)
{
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | at[i];
    return value;
}

void putSignedKey(std::uint8_t* out, std::uint64_t value, int width)
{
    putBigEndian(out, value, width);
    out[0] ^= 0x80;
}

void putFloatKey(std::uint8_t* out, std::uint64_t bits)
{
    constexpr std::uint64_t sign = std::uint64_t{1} << 63;
    bool negative = (bits & sign) != 0 && bits != sign;  // -0.0 counts as positive
    putBigEndian(out, negative ? ~bits : bits | sign, 8);
}

std::string textOf(const std::uint8_t* at, std::size_t capacity)
{
    const char* characters = reinterpret_cast<const char*>(at);
    return std::string(characters, ::strnlen(characters, capacity));
}

}  // namespace

Key deletedSlotKey(std::uint8_t state, std::int32_t rowId)
{
    Key key(DeletedSlotKeyLength);
    key[0] = state;
    putSignedKey(key.data() + 1, static_cast<std::uint32_t>(rowId), 4);
    return key;
}

KeyBuilder::KeyBuilder() : deletedSlots_(true) {}

KeyBuilder::KeyBuilder(const std::vector<Column>& columns, const IndexDescriptor& index, bool secondary,
                       TableLocale locale)
    : rowIdSuffix_(secondary && !index.unique), caseInsensitive_(index.caseInsensitive), locale_(std::move(locale))
{
    int offset = 0;
    bool needsPartwise = false;
    for (std::size_t i = 0; i < index.columns.size(); ++i) {
        Part part;
        part.column = *findColumn(columns, index.columns[i]);
        part.offset = offset;
        part.size = keyPartSize(part.column);
        part.descending = i < index.columnDescending.size() && index.columnDescending[i];
        offset += part.size;
        needsPartwise = needsPartwise || part.descending || part.column.type == FieldType::String;
        parts_.push_back(part);
    }
    keyLength_ = static_cast<std::uint16_t>(offset + (rowIdSuffix_ ? 4 : 0));
    bytewise_ = !(locale_.active() && needsPartwise);
}

bool KeyBuilder::keyColumnsValid(const std::vector<Column>& columns, const IndexDescriptor& index)
{
    if (index.columns.size() > MaxKeyColumns) return false;
    for (std::uint16_t number : index.columns) {
        const Column* column = findColumn(columns, number);
        if (!column || column->isBlob() || column->computed) return false;
        if (column->isAutoIncrement()) continue;
        int size = fixedSize(column->type);
        if (size ? column->physicalSize != size : column->physicalSize == 0) return false;
    }
    return true;
}

Key KeyBuilder::build(const std::uint8_t* image) const
{
    Key key;
    buildInto(image, key);
    return key;
}

void KeyBuilder::buildInto(const std::uint8_t* image, Key& key) const
{
    if (deletedSlots_) {
        key = deletedSlotKey(image[slotfield::State], bytes::getI32(image + slotfield::RowId));
        return;
    }
    key.assign(keyLength_, 0);
    for (const Part& part : parts_) encodePart(part, image, key.data() + part.offset);
    if (rowIdSuffix_) putSignedKey(key.data() + keyLength_ - 4, bytes::getU32(image + slotfield::RowId), 4);
}

void KeyBuilder::encodePart(const Part& part, const std::uint8_t* image, std::uint8_t* out) const
{
    const Column& column = part.column;
    if (column.isAutoIncrement()) {
        out[0] = 1;
        putSignedKey(out + 1, bytes::getU32(image + slotfield::RowId), 4);
    } else if (image[column.offset] != 0) {
        const std::uint8_t* value = image + column.offset + 1;
        int size = column.physicalSize;
        out[0] = 1;
        switch (column.type) {
        case FieldType::String: encodeString(part, value, out + 1); break;
        case FieldType::Date:
        case FieldType::Integer:
        case FieldType::Time:
        case FieldType::LongWord:
        case FieldType::SmallInt:
        case FieldType::Decimal: putSignedKey(out + 1, getLittleEndian(value, size), size); break;
        case FieldType::Boolean:
        case FieldType::Word: putBigEndian(out + 1, getLittleEndian(value, size), size); break;
        case FieldType::Float:
        case FieldType::Timestamp: putFloatKey(out + 1, bytes::getU64(value)); break;
        default: std::memcpy(out + 1, value, size); break;
        }
    }
    if (part.descending && !locale_.active()) {
        int inverted = column.type == FieldType::String ? part.size - 1 : part.size;
        for (int i = 0; i < inverted; ++i) out[i] = static_cast<std::uint8_t>(255 - out[i]);
    }
}

void KeyBuilder::encodeString(const Part& part, const std::uint8_t* value, std::uint8_t* out) const
{
    std::size_t capacity = part.column.physicalSize;
    std::string text = textOf(value, capacity);
    if (locale_.active()) {
        text = locale_.mapText(text, caseInsensitive_, capacity - 1);
    } else if (caseInsensitive_) {
        for (char& character : text)
            if (character >= 'a' && character <= 'z') character = static_cast<char>(character - 'a' + 'A');
    }
    std::memcpy(out, text.data(), text.size());
}

int KeyBuilder::compare(const std::uint8_t* left, const std::uint8_t* right) const
{
    if (bytewise_) return std::memcmp(left, right, keyLength_);
    for (const Part& part : parts_)
        if (int order = comparePart(part, left + part.offset, right + part.offset)) return order;
    return rowIdSuffix_ ? std::memcmp(left + keyLength_ - 4, right + keyLength_ - 4, 4) : 0;
}

int KeyBuilder::comparePart(const Part& part, const std::uint8_t* left, const std::uint8_t* right) const
{
    int order;
    if (part.column.type == FieldType::String) {
        order = static_cast<int>(left[0]) - static_cast<int>(right[0]);
        if (order == 0 && left[0] != 0) {
            std::size_t capacity = static_cast<std::size_t>(part.size - 1);
            order = locale_.compareText(textOf(left + 1, capacity).c_str(), textOf(right + 1, capacity).c_str());
        }
    } else {
        order = std::memcmp(left, right, part.size);
    }
    return part.descending ? -order : order;
}

}  // namespace store
