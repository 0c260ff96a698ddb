// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/indexheader.h"

#include "store/bytes.h"

#include <cstring>

namespace store {

namespace descriptor {
inline constexpr int Name = 0;
inline constexpr int NameWidth = 31;
inline constexpr int KeyLength = 31;
inline constexpr int Descending = 33;
inline constexpr int CaseInsensitive = 34;
inline constexpr int Unique = 35;
inline constexpr int Compression = 36;
inline constexpr int KeyColumnCount = 37;
inline constexpr int ColumnDescending = 38;
inline constexpr int ColumnNumbers = 54;
inline constexpr int Root = 86;
inline constexpr int FreePage = 90;
}  // namespace descriptor

namespace {

IndexDescriptor decodeDescriptor(const std::uint8_t* at)
{
    IndexDescriptor index;
    index.name = bytes::getShortString(at + descriptor::Name, descriptor::NameWidth);
    index.keyLength = bytes::getU16(at + descriptor::KeyLength);
    index.descending = at[descriptor::Descending] != 0;
    index.caseInsensitive = at[descriptor::CaseInsensitive] != 0;
    index.unique = at[descriptor::Unique] != 0;
    index.compression = static_cast<Compression>(at[descriptor::Compression] & 3);
    int columns = at[descriptor::KeyColumnCount];
    if (columns > MaxKeyColumns) columns = MaxKeyColumns;
    for (int i = 0; i < columns; ++i) {
        index.columnDescending.push_back(at[descriptor::ColumnDescending + i] != 0);
        index.columns.push_back(bytes::getU16(at + descriptor::ColumnNumbers + 2 * i));
    }
    index.root = bytes::getI32(at + descriptor::Root);
    index.freePage = bytes::getI32(at + descriptor::FreePage);
    return index;
}

void encodeDescriptor(const IndexDescriptor& index, std::uint8_t* at)
{
    std::memset(at, 0, DescriptorSize);
    bytes::putShortString(at + descriptor::Name, descriptor::NameWidth, index.name);
    bytes::putU16(at + descriptor::KeyLength, index.keyLength);
    at[descriptor::Descending] = index.descending;
    at[descriptor::CaseInsensitive] = index.caseInsensitive;
    at[descriptor::Unique] = index.unique;
    at[descriptor::Compression] = static_cast<std::uint8_t>(index.compression);
    std::size_t columns = index.columns.size() < MaxKeyColumns ? index.columns.size() : MaxKeyColumns;
    at[descriptor::KeyColumnCount] = static_cast<std::uint8_t>(columns);
    for (std::size_t i = 0; i < columns; ++i) {
        at[descriptor::ColumnDescending + i] = i < index.columnDescending.size() && index.columnDescending[i];
        bytes::putU16(at + descriptor::ColumnNumbers + 2 * i, index.columns[i]);
    }
    bytes::putI32(at + descriptor::Root, index.root);
    bytes::putI32(at + descriptor::FreePage, index.freePage);
}

}  // namespace

int keyPartSize(const Column& column) { return 1 + (column.isAutoIncrement() ? 4 : column.physicalSize); }

std::uint16_t keyLengthFor(const std::vector<Column>& columns, const IndexDescriptor& index, bool secondary)
{
    int length = 0;
    for (std::uint16_t number : index.columns)
        for (const Column& column : columns)
            if (column.number == number) length += keyPartSize(column);
    if (secondary && !index.unique) length += 4;
    return static_cast<std::uint16_t>(length);
}

IndexHeader newIndexHeader(bool primaryWithoutKeys)
{
    IndexHeader header;
    header.primaryWithoutKeys = primaryWithoutKeys;
    header.descriptors[DeletedSlotDescriptor].name = DeletedSlotIndexName;
    header.descriptors[DeletedSlotDescriptor].keyLength = 5;
    return header;
}

IndexHeader decodeIndexHeader(const std::uint8_t* page)
{
    IndexHeader header;
    std::memcpy(header.image.data(), page, IndexPageSize);
    header.changeCounter = bytes::getI32(page + indexheader::ChangeCounter);
    header.version = page[indexheader::Version];
    header.endOfFile = bytes::getI32(page + indexheader::EndOfFile);
    header.secondaryCount = page[indexheader::SecondaryCount];
    for (int i = 0; i < DescriptorCount; ++i)
        header.descriptors[i] = decodeDescriptor(page + indexheader::Descriptors + i * DescriptorSize);
    header.rowCount = bytes::getI32(page + indexheader::RowCount);
    header.primaryWithoutKeys = page[indexheader::PrimaryWithoutKeys] != 0;
    return header;
}

void encodeIndexHeader(IndexHeader& header, std::uint8_t* page)
{
    std::uint8_t* image = header.image.data();
    bytes::putI32(image + indexheader::ChangeCounter, header.changeCounter);
    image[indexheader::Version] = header.version;
    bytes::putI32(image + indexheader::EndOfFile, header.endOfFile);
    image[indexheader::SecondaryCount] = static_cast<std::uint8_t>(header.secondaryCount);
    for (int i = 0; i < DescriptorCount; ++i)
        encodeDescriptor(header.descriptors[i], image + indexheader::Descriptors + i * DescriptorSize);
    bytes::putI32(image + indexheader::RowCount, header.rowCount);
    image[indexheader::PrimaryWithoutKeys] = header.primaryWithoutKeys;
    std::memcpy(page, image, IndexPageSize);
}

}  // namespace store
