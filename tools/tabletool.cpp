// SPDX-License-Identifier: GPL-3.0-or-later
// tabletool: makes, fills, shows and checks tables of the store.
//
//   tabletool create SCHEMA.json TABLE.dat   make an empty table from a schema file
//   tabletool insert [--shared] TABLE.dat    append one row per JSON line on standard input
//                                            (column name to value text); prints the count; shared,
//                                            under the locking protocol while other copies have it open
//   tabletool dump [--index NAME] [--filter TEXT] TABLE.dat
//                                            every live row in slot order, or in that index's order
//                                            (a descending index read descending), one JSON line each;
//                                            with a filter (column = 'text') only the rows passing it
//   tabletool info TABLE.dat                 header, columns and index descriptors as JSON
//   tabletool verify TABLE.dat               "OK", or one line per problem (exit status 1)
//   tabletool repair TABLE.dat               rebuilds the index file and the memo file's chains from
//                                            the live slots (tablerepair.h), keeping a .bak copy of each
//                                            file it rewrites; prints what it found and what it changed
//
// The schema file is described in schemafile.h.

#include "schemafile.h"
#include "store/createtable.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "store/tableinternals.h"
#include "store/tablerepair.h"

#include <nlohmann/json.hpp>

#include <array>
#include <exception>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using nlohmann::ordered_json;
using namespace store;

int usage()
{
    std::cerr << "usage: tabletool create SCHEMA.json TABLE.dat | insert [--shared] TABLE.dat |"
                 " dump [--index NAME] [--filter TEXT] TABLE.dat | info TABLE.dat | verify TABLE.dat |"
                 " repair TABLE.dat\n";
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

void insertRow(DataFile& data, const ordered_json& json)
{
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

// A shared insert goes through a table handle, which takes the write lock
// around every post and sees what the other copies wrote before it.
void postRow(StoreTable& handle, const ordered_json& json)
{
    handle.BeginInsert();
    try {
        for (const auto& [name, value] : json.items()) {
            if (value.is_string()) handle.WriteValue(name, value.get<std::string>());
            else if (value.is_boolean()) handle.WriteValue(name, value.get<bool>());
            else if (value.is_number_integer() && value.get<std::int64_t>() == value.get<std::int32_t>())
                handle.WriteValue(name, value.get<std::int32_t>());
            else if (value.is_number()) handle.WriteValue(name, value.get<double>());
            else if (value.is_null()) handle.WriteValue(name, std::string());
            else throw StoreError("Values are texts, numbers, booleans or null, not " + value.dump());
        }
        handle.PostRow();
    } catch (...) {
        handle.CancelRow();
        throw;
    }
}

// Hands each JSON line of standard input to store, then finishes, and
// prints the count of rows that landed, also when a line fails. Rows stored
// in an exclusive open land only when finishing does (landAtFinish).
int insertLines(const std::function<void(const ordered_json&)>& store, const std::function<void()>& finish,
                bool landAtFinish)
{
    long added = 0;
    std::string line;
    std::exception_ptr failure;
    try {
        while (std::getline(std::cin, line)) {
            if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
            ordered_json json = ordered_json::parse(line);
            if (!json.is_object()) throw StoreError("Each line must be a JSON object, not " + line);
            store(json);
            ++added;
        }
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        finish();
    } catch (...) {
        if (landAtFinish) added = 0;
        if (!failure) failure = std::current_exception();
    }
    std::cout << added << "\n";
    if (failure) std::rethrow_exception(failure);
    return 0;
}

int insert(const std::string& table, bool shared)
{
    if (shared) {
        StoreTable handle("tabletool");
        handle.setTableName(table);
        handle.setActive(true);
        return insertLines([&](const ordered_json& json) { postRow(handle, json); }, [&] { handle.setActive(false); },
                           false);
    }
    auto data = openTable(table, Sharing::Exclusive, false);
    return insertLines([&](const ordered_json& json) { insertRow(*data, json); }, [&] { data->close(); }, true);
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

// In an index's order the rows are those a read-only table handle shows
// with that index (and filter) chosen, so a descending index reads descending.
int dumpInOrder(const std::string& table, const std::string& index, const std::string& filter)
{
    StoreTable handle("tabletool");
    handle.setTableName(table);
    handle.setReadOnly(true);
    handle.setIndexName(index);
    handle.setActive(true);
    if (!filter.empty()) {
        handle.setFilter(filter);
        handle.setFiltered(true);
    }
    std::vector<std::string> names = handle.ColumnNames();
    for (handle.GoFirst(); !handle.AtEnd(); handle.GoNext()) {
        ordered_json json = ordered_json::object();
        for (const std::string& name : names) json[name] = handle.ReadText(name);
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

// dump with its options, in any order, before the table name.
int dumpWith(const std::vector<std::string>& arguments)
{
    std::optional<std::string> index, filter;
    std::size_t at = 1;
    for (; at + 1 < arguments.size(); at += 2) {
        if (arguments[at] == "--index" && !index) index = arguments[at + 1];
        else if (arguments[at] == "--filter" && !filter) filter = arguments[at + 1];
        else return usage();
    }
    if (at + 1 != arguments.size()) return usage();
    const std::string& table = arguments[at];
    if (index) return dumpInOrder(table, *index, filter.value_or(""));
    return dump(table, filter.value_or(""));
}

int repair(const std::string& table)
{
    RepairReport report = repairTable(systemFileSystem(), table);
    for (const std::string& problem : report.found) std::cout << "Found: " << problem << "\n";
    if (report.found.empty()) std::cout << "Found: no problem\n";
    for (const std::string& change : report.changed) std::cout << "Changed: " << change << "\n";
    return 0;
}

int run(const std::vector<std::string>& arguments)
{
    if (arguments.size() == 3 && arguments[0] == "create") {
        createTable(systemFileSystem(), arguments[2], tools::readSchemaFile(arguments[1]));
        return 0;
    }
    if (!arguments.empty() && arguments[0] == "dump" && arguments.size() > 2) return dumpWith(arguments);
    if (arguments.size() == 3 && arguments[0] == "insert" && arguments[1] == "--shared")
        return insert(arguments[2], true);
    if (arguments.size() != 2) return usage();
    const std::string& command = arguments[0];
    if (command == "insert") return insert(arguments[1], false);
    if (command == "dump") return dump(arguments[1]);
    if (command == "info") return info(arguments[1]);
    if (command == "verify") return verify(arguments[1]);
    if (command == "repair") return repair(arguments[1]);
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
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
    }
    return 1;
}
