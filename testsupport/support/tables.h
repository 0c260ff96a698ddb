// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small helpers for tests that make tables and look at or damage their files.

#include "store/createtable.h"
#include "store/tableinternals.h"
#include "store/schema.h"
#include "store/storeerror.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

inline store::ColumnSchema columnSchema(const std::string& name, const std::string& type, int size = 0)
{
    store::ColumnSchema wanted;
    wanted.name = name;
    wanted.type = type;
    wanted.size = size;
    return wanted;
}

inline store::TableSchema schemaOf(std::vector<store::ColumnSchema> columns, std::vector<std::string> primary = {})
{
    store::TableSchema schema;
    schema.columns = std::move(columns);
    schema.primary = std::move(primary);
    return schema;
}

// A results-like table with all three files: NAME (indexed as NAME), KPH and
// a memo ERRORS.
inline void createNamesTable(const std::string& path)
{
    store::TableSchema schema = schemaOf({columnSchema("NAME", "string", 20), columnSchema("KPH", "integer"),
                                          columnSchema("ERRORS", "memo")});
    store::IndexSchema names;
    names.name = "NAME";
    names.columns = {"NAME"};
    schema.indexes = {names};
    store::createTable(store::systemFileSystem(), path, schema);
}

inline std::unique_ptr<store::DataFile> openTable(const std::string& path,
                                                  store::Sharing sharing = store::Sharing::Shared,
                                                  store::FileSystem& files = store::systemFileSystem())
{
    store::DataFileOptions options;
    options.mode.sharing = sharing;
    return store::DataFile::open(files, path, options);
}

inline std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<std::uint8_t> bytes(in ? static_cast<std::size_t>(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void patchFile(const std::string& path, std::size_t offset, const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::uint8_t> content = readFile(path);
    if (content.size() < offset + bytes.size()) content.resize(offset + bytes.size());
    std::copy(bytes.begin(), bytes.end(), content.begin() + static_cast<std::ptrdiff_t>(offset));
    writeFile(path, content);
}

inline std::vector<std::uint8_t> littleEndian(std::int64_t value, int width)
{
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return bytes;
}

inline std::int32_t readI32(const std::string& path, std::size_t offset)
{
    std::vector<std::uint8_t> content = readFile(path);
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(content.at(offset + i)) << (8 * i);
    return static_cast<std::int32_t>(value);
}

// The message of the StoreError that call raises, or "" when it raises none.
template <typename Call> std::string failureOf(Call&& call)
{
    try {
        call();
    } catch (const store::StoreError& error) {
        return error.what();
    }
    return "";
}

}  // namespace testing_support
