// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Column layouts, slot images and new index files made by hand for the tests
// of the index file, laid out the way the data file lays out its slots.

#include "store/file.h"
#include "store/schema.h"
#include "store/storeerror.h"
#include "store/tableinternals.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

class SlotLayout {
public:
    // Adds a column and returns its number.
    int add(const std::string& name, store::FieldType type, int size = 0,
            std::uint8_t subtype = store::subtype::None)
    {
        store::Column column;
        column.number = static_cast<int>(columns_.size()) + 1;
        column.name = name;
        column.type = type;
        column.subtype = subtype;
        column.size = static_cast<std::uint8_t>(size);
        column.physicalSize = static_cast<std::uint8_t>(physicalSize(type, size));
        if (column.isAutoIncrement()) {
            column.offset = 5;
            column.physicalSize = 4;
        } else {
            column.offset = static_cast<std::uint16_t>(slotSize_);
            slotSize_ += 1 + column.physicalSize;
        }
        columns_.push_back(column);
        return column.number;
    }

    const std::vector<store::Column>& columns() const { return columns_; }
    int slotSize() const { return slotSize_; }

    std::vector<std::uint8_t> image(std::int32_t slot, std::int32_t rowId) const
    {
        std::vector<std::uint8_t> image(slotSize_, 0);
        store::bytes::putI32(image.data() + 1, slot);
        store::bytes::putI32(image.data() + 5, rowId);
        return image;
    }

    void setInteger(std::vector<std::uint8_t>& image, int column, std::int32_t value) const
    {
        store::bytes::putI32(valueOf(image, column), value);
    }
    void setSmallInt(std::vector<std::uint8_t>& image, int column, std::int16_t value) const
    {
        store::bytes::putI16(valueOf(image, column), value);
    }
    void setWord(std::vector<std::uint8_t>& image, int column, std::uint16_t value) const
    {
        store::bytes::putU16(valueOf(image, column), value);
    }
    void setFloat(std::vector<std::uint8_t>& image, int column, double value) const
    {
        store::bytes::putF64(valueOf(image, column), value);
    }
    void setDecimal(std::vector<std::uint8_t>& image, int column, std::int64_t value) const
    {
        store::bytes::putU64(valueOf(image, column), static_cast<std::uint64_t>(value));
    }
    void setString(std::vector<std::uint8_t>& image, int column, const std::string& text) const
    {
        std::uint8_t* at = valueOf(image, column);
        std::memset(at, 0, columns_[column - 1].physicalSize);
        std::memcpy(at, text.data(), text.size());
    }
    void clear(std::vector<std::uint8_t>& image, int column) const
    {
        const store::Column& described = columns_[column - 1];
        std::memset(image.data() + described.offset, 0, described.physicalSize + 1);
    }

    // Fills in what follows from the columns: the key length and one
    // direction per key column.
    store::IndexDescriptor finish(store::IndexDescriptor index, bool secondary) const
    {
        index.columnDescending.resize(index.columns.size(), false);
        index.keyLength = store::keyLengthFor(columns_, index, secondary);
        return index;
    }

private:
    static int physicalSize(store::FieldType type, int size)
    {
        switch (type) {
        case store::FieldType::String: return size + 1;
        case store::FieldType::Bytes:
        case store::FieldType::VarBytes: return size;
        case store::FieldType::SmallInt:
        case store::FieldType::Boolean:
        case store::FieldType::Word: return 2;
        case store::FieldType::Float:
        case store::FieldType::Timestamp:
        case store::FieldType::Decimal: return 8;
        case store::FieldType::Extended: return 10;
        default: return 4;
        }
    }

    std::uint8_t* valueOf(std::vector<std::uint8_t>& image, int column) const
    {
        const store::Column& described = columns_[column - 1];
        image[described.offset] = 1;
        return image.data() + described.offset + 1;
    }

    std::vector<store::Column> columns_;
    int slotSize_ = 9;
};

// The header of a new index file with a primary index (no columns: slot
// order) and secondary indexes, finished against layout.
inline store::IndexHeader indexHeaderFor(const SlotLayout& layout, store::IndexDescriptor primary,
                                         const std::vector<store::IndexDescriptor>& secondaries)
{
    store::IndexHeader header = store::newIndexHeader(primary.columns.empty());
    primary.name.clear();
    primary.unique = !primary.columns.empty();
    header.descriptors[0] = layout.finish(primary, false);
    for (std::size_t i = 0; i < secondaries.size(); ++i)
        header.descriptors[i + 1] = layout.finish(secondaries[i], true);
    header.secondaryCount = static_cast<int>(secondaries.size());
    return header;
}

inline void writeIndexFile(const std::string& path, store::IndexHeader header)
{
    store::OpenStatus status;
    auto file = store::systemFileSystem().create(path, status);
    if (!file) throw std::runtime_error("cannot create " + path);
    std::vector<std::uint8_t> page(store::IndexPageSize);
    store::encodeIndexHeader(header, page.data());
    if (!store::writeExact(*file, 0, page.data(), store::IndexPageSize)) throw std::runtime_error("cannot write");
}

inline std::unique_ptr<store::File> openForWriting(const std::string& path,
                                                   store::FileSystem& fileSystem = store::systemFileSystem())
{
    store::OpenStatus status;
    auto file = fileSystem.open(path, store::Access::ReadWrite, store::Sharing::Shared, false, status);
    if (!file) throw std::runtime_error("cannot open " + path);
    return file;
}

inline std::vector<std::uint8_t> bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The message of the store failure that work ends with.
inline std::string messageOf(const std::function<void()>& work)
{
    try {
        work();
    } catch (const store::StoreError& error) {
        return error.what();
    }
    return "no failure";
}

}  // namespace testing_support
