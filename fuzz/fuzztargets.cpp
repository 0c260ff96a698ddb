// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzztargets.h"

#include "store/createtable.h"
#include "support/tables.h"
#include "store/journal.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "store/tableinternals.h"
#include "store/tablerepair.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace fuzzing {

namespace {

using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void broken(const std::string& promise)
{
    std::fprintf(stderr, "broken promise: %s\n", promise.c_str());
    std::abort();
}

// One folder per process, in memory where the system has one.
const std::filesystem::path& workFolder()
{
    static const std::filesystem::path folder = [] {
        std::filesystem::path base = std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                          : std::filesystem::temp_directory_path();
        std::filesystem::path made = base / ("movara-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(made);
        return made;
    }();
    return folder;
}



std::uint32_t lengthAt(const std::uint8_t* data, std::size_t size, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4 && at + i < size; ++i) value |= std::uint32_t{data[at + i]} << (8 * i);
    return value;
}

void clearFolder()
{
    for (const auto& entry : std::filesystem::directory_iterator(workFolder())) std::filesystem::remove_all(entry);
}

// Writes the three files of a packed table under stem; absent ones are not made.
void unpackTable(const std::uint8_t* data, std::size_t size, const std::string& stem)
{
    std::size_t at = std::min<std::size_t>(size, 8);
    std::size_t dataLength = std::min<std::size_t>(lengthAt(data, size, 0), size - at);
    std::size_t indexLength = std::min<std::size_t>(lengthAt(data, size, 4), size - at - dataLength);
    const std::filesystem::path folder = workFolder();
    testing_support::writeFile((folder / (stem + ".dat")).string(), Bytes(data + at, data + at + dataLength));
    testing_support::writeFile((folder / (stem + ".IDX")).string(),
                               Bytes(data + at + dataLength, data + at + dataLength + indexLength));
    std::size_t memoAt = at + dataLength + indexLength;
    if (memoAt < size) testing_support::writeFile((folder / (stem + ".BLB")).string(), Bytes(data + memoAt, data + size));
}

std::vector<std::string> problemsOf(const std::string& table)
{
    std::vector<std::string> problems;
    try {
        store::DataFileOptions options;
        options.mode.readOnly = true;
        auto data = store::DataFile::open(store::systemFileSystem(), table, options);
        problems = store::checkDataFile(*data);
        for (std::string& problem : store::checkMemoFile(*data)) problems.push_back(problem);
        for (std::string& problem : store::checkIndexFile(*data)) problems.push_back(problem);
    } catch (const store::StoreError& error) {
        problems.push_back(error.what());
    }
    return problems;
}

// Every row of every index, both ways, through the cursor: never more steps
// than the table has slots.
void walkEveryIndex(const std::string& table)
{
    std::vector<std::string> names;
    std::int64_t slots = 0;
    try {
        store::DataFileOptions options;
        options.mode.readOnly = true;
        auto data = store::DataFile::open(store::systemFileSystem(), table, options);
        auto& indexes = dynamic_cast<store::TableIndexes&>(data->indexes());
        for (int order = 0; order < indexes.indexCount(); ++order) names.push_back(order == 0 ? "" : indexes.indexName(order));
        slots = data->slotCount();
    } catch (const store::StoreError&) {
        return;
    }
    for (const std::string& name : names) {
        try {
            store::StoreTable handle("fuzz");
            handle.setTableName(table);
            handle.setReadOnly(true);
            handle.setIndexName(name);
            handle.setActive(true);
            std::int64_t steps = 0;
            for (handle.GoFirst(); !handle.AtEnd(); handle.GoNext())
                if (++steps > slots) broken("a walk forward over index '" + name + "' took more steps than slots");
            steps = 0;
            for (handle.GoLast(); !handle.AtStart(); handle.GoPrior())
                if (++steps > slots) broken("a walk backward over index '" + name + "' took more steps than slots");
        } catch (const store::StoreError&) {
        }
    }
}

void repairCopy(const std::string& stem)
{
    const std::filesystem::path folder = workFolder();
    for (const char* extension : {".dat", ".IDX", ".BLB"})
        if (std::filesystem::exists(folder / (stem + extension)))
            std::filesystem::copy_file(folder / (stem + extension), folder / ("copy" + std::string(extension)));
    const std::string copy = (folder / "copy.dat").string();
    try {
        store::repairTable(store::systemFileSystem(), copy);
    } catch (const store::StoreError&) {
        return;  // a table repair cannot open is left as it is
    }
    std::vector<std::string> problems = problemsOf(copy);
    if (!problems.empty()) broken("repair left a table verify rejects: " + problems.front());
}

// A small sound table with all three files, made once.
struct SoundTable {
    std::vector<std::pair<std::string, Bytes>> files;
    std::string table;
};

const SoundTable& soundTable()
{
    static const SoundTable sound = [] {
        const std::filesystem::path folder = workFolder() / "sound";
        std::filesystem::create_directories(folder);
        const std::string table = (folder / "j.dat").string();
        if (!std::filesystem::exists(table)) {
            store::TableSchema schema = testing_support::schemaOf(
                {testing_support::columnSchema("N", "integer"), testing_support::columnSchema("NAME", "string", 20),
                 testing_support::columnSchema("M", "memo")},
                {"N"});
            store::createTable(store::systemFileSystem(), table, schema);
            store::StoreTable handle("fuzz");
            handle.setTableName(table);
            handle.setActive(true);
            for (int row = 1; row <= 12; ++row) {
                handle.BeginInsert();
                handle.WriteValue("N", row);
                handle.WriteValue("NAME", "row " + std::to_string(row));
                handle.WriteValue("M", std::string(static_cast<std::size_t>(row * 90), 'm'));
                handle.PostRow();
            }
            handle.setActive(false);
        }
        SoundTable made;
        for (const char* name : {"j.dat", "j.IDX", "j.BLB"})
            made.files.emplace_back(name, testing_support::readFile((folder / name).string()));
        made.table = table;
        return made;
    }();
    return sound;
}

}  // namespace

Bytes packTable(const Bytes& dataFile, const Bytes& index, const Bytes& memo)
{
    Bytes packed;
    for (std::size_t length : {dataFile.size(), index.size()})
        for (int i = 0; i < 4; ++i) packed.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    for (const Bytes* part : {&dataFile, &index, &memo}) packed.insert(packed.end(), part->begin(), part->end());
    return packed;
}

int fuzzTable(const std::uint8_t* data, std::size_t size)
{
    clearFolder();
    unpackTable(data, size, "t");
    const std::string table = (workFolder() / "t.dat").string();
    walkEveryIndex(table);
    problemsOf(table);
    repairCopy("t");
    return 0;
}

int fuzzJournal(const std::uint8_t* data, std::size_t size)
{
    const SoundTable& sound = soundTable();
    const std::filesystem::path folder = std::filesystem::path(sound.table).parent_path();
    for (const auto& [name, bytes] : sound.files) testing_support::writeFile((folder / name).string(), bytes);
    const store::TableFileNames names = store::tableFileNames(sound.table);
    testing_support::writeFile(names.journal, Bytes(data, data + size));
    try {
        store::recoverTable(store::systemFileSystem(), names, store::Sharing::Shared);
        if (std::filesystem::exists(names.journal)) broken("a journal rolled back is still there");
    } catch (const store::JournalDamaged&) {
        if (testing_support::readFile(names.journal) != Bytes(data, data + size))
            broken("a damaged journal was changed");
        for (const auto& [name, bytes] : sound.files)
            if (testing_support::readFile((folder / name).string()) != bytes)
                broken("a damaged journal was applied to " + name);
    } catch (const store::StoreError&) {
    }
    std::filesystem::remove(names.journal);
    return 0;
}

int fuzzFilter(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::optional<store::FilterCondition> condition;
    try {
        condition = store::parseFilter(text);
    } catch (const store::StoreError&) {
        return 0;  // refused with its message
    }
    if (!condition) return 0;
    store::passesFilter(*condition, text);
    store::passesFilter(*condition, condition->constant, [](const std::string& left, const std::string& right) {
        return left.compare(right);
    });
    return 0;
}

}  // namespace fuzzing
