// SPDX-License-Identifier: GPL-3.0-or-later
#include "schemafile.h"

#include "store/storeerror.h"

#include <nlohmann/json.hpp>

#include <fstream>

namespace tools {

using nlohmann::ordered_json;
using namespace store;

namespace {

ColumnSchema columnSchemaOf(const ordered_json& json)
{
    ColumnSchema wanted;
    wanted.name = json.at("name").get<std::string>();
    wanted.type = json.at("type").get<std::string>();
    wanted.size = json.value("size", 0);
    wanted.decimals = json.value("decimals", 0);
    wanted.required = json.value("required", false);
    wanted.minimum = json.value("min", std::string());
    wanted.maximum = json.value("max", std::string());
    wanted.defaultValue = json.value("default", std::string());
    return wanted;
}

IndexSchema indexSchemaOf(const ordered_json& json)
{
    IndexSchema wanted;
    wanted.name = json.at("name").get<std::string>();
    wanted.columns = json.at("columns").get<std::vector<std::string>>();
    wanted.unique = json.value("unique", false);
    wanted.caseInsensitive = json.value("caseinsensitive", false);
    if (json.contains("descending")) {
        const ordered_json& descending = json.at("descending");
        if (descending.is_boolean()) wanted.descending = descending.get<bool>();
        else wanted.columnDescending = descending.get<std::vector<bool>>();
    }
    wanted.compression = static_cast<Compression>(json.value("compression", 0));
    return wanted;
}

}  // namespace

TableSchema readSchemaFile(const std::string& path)
{
    std::ifstream in(path);
    if (!in) throw StoreError("Cannot read schema file " + path);
    try {
        ordered_json json = ordered_json::parse(in);
        TableSchema schema;
        schema.description = json.value("description", std::string());
        schema.memoBlockSize = json.value("memo_block_size", 512);
        for (const ordered_json& column : json.at("columns")) schema.columns.push_back(columnSchemaOf(column));
        schema.primary = json.value("primary", std::vector<std::string>());
        if (json.contains("indexes"))
            for (const ordered_json& index : json.at("indexes")) schema.indexes.push_back(indexSchemaOf(index));
        return schema;
    } catch (const nlohmann::json::exception& error) {
        throw StoreError("Schema file " + path + " does not hold a schema: " + error.what());
    }
}

}  // namespace tools
