// tabletool: makes, fills, shows and checks tables of the store.
//
//   tabletool create SCHEMA.json TABLE.dat   make an empty table from a schema file
//   tabletool insert TABLE.dat               append one row per JSON line on standard input
//                                            (column name to value text); prints the count
//   tabletool dump [--filter TEXT] TABLE.dat every live row in slot order, one JSON line each;
//                                            with a filter (column = 'text') only the rows passing it
//   tabletool info TABLE.dat                 header, columns and index descriptors as JSON
//   tabletool verify TABLE.dat               "OK", or one line per problem (exit status 1)
//
// The schema file is described in schemafile.h.

#include "schemafile.h"
#include "store/createtable.h"
#include "store/datafile.h"
#include "store/filter.h"
#include "store/indexheader.h"
#include "store/storeerror.h"
#include "store/tablecheck.h"
#include "store/tablefiles.h"

#include <nlohmann/json.hpp>

#include <array>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using nlohmann::ordered_json;
using namespace store;

int usage()
{
    std::cerr << "usage: tabletool create SCHEMA.json TABLE.dat | insert TABLE.dat | dump [--filter TEXT] TABLE.dat |"
                 " info TABLE.dat | verify TABLE.dat\n";
    return 2;
}

std::unique_ptr<DataFile> openTable(const std::string& table, Sharing sharing, bool readOnly)
{
    DataFileOptions options;
    options.mode.sharing = sharing;
    options.mode.readOnly = readOnly;
    return DataFile::open(systemFileSystem(), table, options);
}

Value valueOfJson(const ordered_json& json)
{
    if (json.is_string()) return json.get<std::string>();
    if (json.is_boolean()) return json.get<bool>();
    if (json.is_number_integer()) return json.get<std::int64_t>();
    if (json.is_number()) return json.get<double>();
    if (json.is_null()) return std::monostate{};
    throw StoreError("Values are texts, numbers, booleans or null, not " + json.dump());
}

void insertLine(DataFile& data, const std::string& line)
{
    ordered_json json = ordered_json::parse(line);
    if (!json.is_object()) throw StoreError("Each line must be a JSON object, not " + line);
    Row row = data.newRow();
    try {
        for (const auto& [name, value] : json.items()) {
            int number = data.findColumn(name);
            if (number == 0) throw StoreError("Field '" + name + "' not found");
            data.setValue(row, number, valueOfJson(value));
        }
        data.append(row);
    } catch (...) {
        data.release(row);
        throw;
    }
}

int insert(const std::string& table)
{
    auto data = openTable(table, Sharing::Exclusive, false);
    long added = 0;
    std::string line;
    try {
        while (std::getline(std::cin, line)) {
            if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
            insertLine(*data, line);
            ++added;
        }
        data->close();
    } catch (...) {
        std::cout << added << "\n";
        throw;
    }
    std::cout << added << "\n";
    return 0;
}

// With a filter text, only the rows that pass it, as a table handle with
// that filter shows them.
int dump(const std::string& table, const std::string& filter = "")
{
    auto data = openTable(table, Sharing::Shared, true);
    std::optional<FilterCondition> condition = parseFilter(filter);
    int filterColumn = condition ? data->findColumn(condition->column) : 0;
    if (condition && filterColumn == 0) throw StoreError("Field '" + condition->column + "' not found");
    for (std::int32_t slot = 1; slot <= data->slotCount(); ++slot) {
        Row row = data->readRow(slot);
        if (row.image[slot::State] != slot::InUse) continue;
        if (condition &&
            !passesFilter(*condition, textOf(data->column(filterColumn), data->value(row, filterColumn))))
            continue;
        ordered_json json = ordered_json::object();
        for (const Column& column : data->columns())
            json[column.name] = textOf(column, data->value(row, column.number));
        std::cout << json.dump(-1, ' ', false, ordered_json::error_handler_t::replace) << "\n";
    }
    return 0;
}

ordered_json headerJson(const DataHeader& header)
{
    return ordered_json{{"change_counter", header.changeCounter},
                        {"memo_block_size", header.memoBlockSize},
                        {"version", header.version},
                        {"deleted_chain", header.deletedChain},
                        {"next_slot", header.nextSlot},
                        {"last_row_id", header.lastRowId},
                        {"slot_size", header.slotSize},
                        {"column_count", header.columnCount},
                        {"blob_count", header.blobCount},
                        {"last_update", header.lastUpdate},
                        {"description", header.description},
                        {"encrypted", header.encrypted},
                        {"language_id", header.languageId},
                        {"sort_id", header.sortId},
                        {"computed_area", header.computedArea}};
}

ordered_json columnJson(const Column& column)
{
    ordered_json json{{"number", column.number},   {"name", column.name},
                      {"type", typeNameOf(column)}, {"type_code", static_cast<int>(column.type)},
                      {"subtype", column.subtype},  {"size", column.size},
                      {"decimals", column.decimals}, {"physical_size", column.physicalSize},
                      {"offset", column.offset},    {"required", column.required}};
    if (column.hasMinimum) json["min"] = column.minimum;
    if (column.hasMaximum) json["max"] = column.maximum;
    if (column.hasDefault) json["default"] = column.defaultValue;
    return json;
}

ordered_json descriptorJson(const IndexDescriptor& index, const DataFile& data)
{
    ordered_json columns = ordered_json::array();
    for (std::uint16_t number : index.columns)
        columns.push_back(number >= 1 && number <= data.columns().size() ? data.column(number).name
                                                                        : std::to_string(number));
    return ordered_json{{"name", index.name},
                        {"key_length", index.keyLength},
                        {"unique", index.unique},
                        {"caseinsensitive", index.caseInsensitive},
                        {"descending", index.descending},
                        {"column_descending", index.columnDescending},
                        {"compression", static_cast<int>(index.compression)},
                        {"columns", columns},
                        {"root", index.root},
                        {"free_page", index.freePage}};
}

ordered_json indexJson(const DataFile& data)
{
    OpenMode mode;
    auto file = openTableFile(systemFileSystem(), data.fileNames().index, data.name(), Access::ReadOnly, mode);
    std::array<std::uint8_t, IndexPageSize> page{};
    readOrFail(*file, 0, page.data(), IndexPageSize, data.name());
    IndexHeader header = decodeIndexHeader(page.data());
    ordered_json secondary = ordered_json::array();
    for (int i = 1; i <= header.secondaryCount && i < DeletedSlotDescriptor; ++i)
        secondary.push_back(descriptorJson(header.descriptors[i], data));
    return ordered_json{{"change_counter", header.changeCounter},
                        {"end_of_file", header.endOfFile},
                        {"row_count", header.rowCount},
                        {"primary_without_keys", header.primaryWithoutKeys},
                        {"primary", descriptorJson(header.descriptors[0], data)},
                        {"secondary", secondary},
                        {"deleted", descriptorJson(header.descriptors[DeletedSlotDescriptor], data)}};
}

int info(const std::string& table)
{
    auto data = openTable(table, Sharing::Shared, true);
    ordered_json columns = ordered_json::array();
    for (const Column& column : data->columns()) columns.push_back(columnJson(column));
    ordered_json json{{"file", data->name()}, {"header", headerJson(data->header())}, {"columns", columns},
                      {"indexes", indexJson(*data)}};
    std::cout << json.dump(2, ' ', false, ordered_json::error_handler_t::replace) << "\n";
    return 0;
}

// The index file's checks join here as one more call once the index file exists.
int verify(const std::string& table)
{
    std::vector<std::string> problems;
    try {
        auto data = openTable(table, Sharing::Shared, true);
        problems = checkDataFile(*data);
        for (std::string& problem : checkMemoFile(*data)) problems.push_back(std::move(problem));
        for (std::string& problem : checkIndexFile(*data)) problems.push_back(std::move(problem));
    } catch (const StoreError& error) {
        problems.push_back(error.what());
    }
    for (const std::string& problem : problems) std::cout << problem << "\n";
    if (problems.empty()) std::cout << "OK\n";
    return problems.empty() ? 0 : 1;
}

int run(const std::vector<std::string>& arguments)
{
    if (arguments.size() == 3 && arguments[0] == "create") {
        createTable(systemFileSystem(), arguments[2], tools::readSchemaFile(arguments[1]));
        return 0;
    }
    if (arguments.size() == 4 && arguments[0] == "dump" && arguments[1] == "--filter")
        return dump(arguments[3], arguments[2]);
    if (arguments.size() != 2) return usage();
    const std::string& command = arguments[0];
    if (command == "insert") return insert(arguments[1]);
    if (command == "dump") return dump(arguments[1]);
    if (command == "info") return info(arguments[1]);
    if (command == "verify") return verify(arguments[1]);
    return usage();
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const StoreError& error) {
        std::cerr << error.what() << "\n";
    } catch (const nlohmann::json::exception& error) {
        std::cerr << "Bad JSON: " << error.what() << "\n";
    }
    return 1;
}
