// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed corpus of the fuzz targets: the shipped tables' schemas
// made into tables, one of them with rows, deleted rows and memo values; the
// journals of a change and of a delete; filter expressions.
//
//   fuzz_makeseeds SCHEMA_FOLDER CORPUS_FOLDER

#include "fuzztargets.h"
#include "schemafile.h"
#include "store/createtable.h"
#include "store/storeerror.h"
#include "support/tables.h"
#include "store/storetable.h"

#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;



void writeTableSeed(const std::string& table, const std::filesystem::path& seed)
{
    std::filesystem::path stem = std::filesystem::path(table).replace_extension();
    testing_support::writeFile(seed.string(), fuzzing::packTable(testing_support::readFile(table), testing_support::readFile(stem.string() + ".IDX"),
                                        testing_support::readFile(stem.string() + ".BLB")));
}

void post(store::StoreTable& handle, int number)
{
    handle.BeginInsert();
    handle.WriteValue("N", number);
    handle.WriteValue("NAME", "row " + std::to_string(number));
    handle.WriteValue("M", std::string(static_cast<std::size_t>(number * 70), static_cast<char>('a' + number % 26)));
    handle.PostRow();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: fuzz_makeseeds SCHEMA_FOLDER CORPUS_FOLDER\n";
        return 2;
    }
    const std::filesystem::path corpus = argv[2];
    const std::filesystem::path work = std::filesystem::temp_directory_path() / ("movara-seeds-" + std::to_string(::getpid()));
    std::filesystem::create_directories(work);
    for (const char* target : {"table", "journal", "filter"}) std::filesystem::create_directories(corpus / target);
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        if (entry.path().extension() != ".json") continue;
        std::string table = (work / (entry.path().stem().string() + ".dat")).string();
        try {
            store::createTable(store::systemFileSystem(), table, tools::readSchemaFile(entry.path().string()));
        } catch (const store::StoreError&) {
            continue;  // a row of a table, not a schema
        }
        writeTableSeed(table, corpus / "table" / (entry.path().stem().string() + ".seed"));
    }

    store::TableSchema schema = testing_support::schemaOf(
        {testing_support::columnSchema("N", "integer"), testing_support::columnSchema("NAME", "string", 20),
         testing_support::columnSchema("M", "memo")},
        {"N"});
    store::IndexSchema byName;
    byName.name = "NAME";
    byName.columns = {"NAME"};
    schema.indexes = {byName};
    const std::string table = (work / "rows.dat").string();
    store::createTable(store::systemFileSystem(), table, schema);
    store::StoreTable handle("seeds");
    handle.setTableName(table);
    handle.setActive(true);
    for (int number = 1; number <= 40; ++number) post(handle, number);
    for (int deleted = 0; deleted < 5; ++deleted) {
        handle.GoToVisibleRow(3 + deleted * 5);
        handle.DeleteRow();
    }
    handle.GoFirst();
    handle.BeginEdit();
    handle.WriteValue("M", std::string(1500, 'c'));
    handle.PostRow();
    testing_support::writeFile((corpus / "journal" / "change.seed").string(), testing_support::readFile((work / "rows.JNS").string()));
    handle.GoLast();
    handle.DeleteRow();
    testing_support::writeFile((corpus / "journal" / "delete.seed").string(), testing_support::readFile((work / "rows.JNS").string()));
    handle.setActive(false);
    writeTableSeed(table, corpus / "table" / "rows.seed");

    const char* const filters[] = {"NAME = 'row 1'", "TESTTYPE='alpha'", "KPH = '12.5'", "NAME='it''s'", "N = ''"};
    int number = 0;
    for (const char* filter : filters)
        testing_support::writeFile((corpus / "filter" / ("filter" + std::to_string(++number) + ".seed")).string(),
                   Bytes(filter, filter + std::char_traits<char>::length(filter)));
    std::filesystem::remove_all(work);
    return 0;
}
