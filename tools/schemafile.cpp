#include "schemafile.h"

#include "store/storeerror.h"

#include <nlohmann/json.hpp>

#include <fstream>

namespace tools {

using nlohmann::ordered_json;
using namespace store;

namespace {

ColumnSpec columnSpecOf(const ordered_json& json)
{
    ColumnSpec spec;
    spec.name = json.at("name").get<std::string>();
    spec.type = json.at("type").get<std::string>();
    spec.size = json.value("size", 0);
    spec.decimals = json.value("decimals", 0);
    spec.required = json.value("required", false);
    spec.minimum = json.value("min", std::string());
    spec.maximum = json.value("max", std::string());
    spec.defaultValue = json.value("default", std::string());
    return spec;
}

IndexSpec indexSpecOf(const ordered_json& json)
{
    IndexSpec spec;
    spec.name = json.at("name").get<std::string>();
    spec.columns = json.at("columns").get<std::vector<std::string>>();
    spec.unique = json.value("unique", false);
    spec.caseInsensitive = json.value("caseinsensitive", false);
    if (json.contains("descending")) {
        const ordered_json& descending = json.at("descending");
        if (descending.is_boolean()) spec.descending = descending.get<bool>();
        else spec.columnDescending = descending.get<std::vector<bool>>();
    }
    spec.compression = static_cast<Compression>(json.value("compression", 0));
    return spec;
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
        for (const ordered_json& column : json.at("columns")) schema.columns.push_back(columnSpecOf(column));
        schema.primary = json.value("primary", std::vector<std::string>());
        if (json.contains("indexes"))
            for (const ordered_json& index : json.at("indexes")) schema.indexes.push_back(indexSpecOf(index));
        return schema;
    } catch (const nlohmann::json::exception& error) {
        throw StoreError("Schema file " + path + " does not hold a schema: " + error.what());
    }
}

}  // namespace tools
