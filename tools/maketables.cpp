// SPDX-License-Identifier: GPL-3.0-or-later
// maketables: puts the tables the program ships with into its program
// folder, each only where it is not there yet, so a rebuild never touches a
// table in use.
//
//   maketables SOURCE_DIR PROGRAM_DIR
//
// SOURCE_DIR is the data folder: tables/NAME.json are the schemas,
// tables/config-row.json the one configuration row, names/*.txt the name and
// place lists the invoice records are composed from.
//
// A table is made in a folder of its own under PROGRAM_DIR and moved into
// place when it is complete, the data file last: a build cut short leaves
// no half-made table that would count as there.

#include "schemafile.h"

#include "generation/testdata.h"
#include "testing/testkinds.h"
#include "store/createtable.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "store/values.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using store::StoreTable;

constexpr std::size_t InvoiceRecords = 2000;

std::vector<std::string> readList(const fs::path& path)
{
    std::ifstream in(path);
    if (!in) throw store::StoreError("Cannot read " + path.string());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    if (lines.empty()) throw store::StoreError(path.string() + " is empty");
    return lines;
}

const std::string& pick(const std::vector<std::string>& list)
{
    return list[generation::randomint(static_cast<std::uint32_t>(list.size()))];
}

void fillConfig(StoreTable& table, const fs::path& source)
{
    std::ifstream in(source / "tables" / "config-row.json");
    nlohmann::json row = nlohmann::json::parse(in);
    table.BeginInsert();
    for (const auto& [column, value] : row.items()) {
        std::string text = value.get<std::string>();
        if (table.ColumnType(column) == store::FieldType::Boolean)
            table.WriteValue(column, text == "true");
        else
            table.WriteValue(column, text);
    }
    table.PostRow();
}

void fillNumeric(StoreTable& table)
{
    generation::seedrandom();
    for (int row = 0; row < 200; ++row) {
        table.BeginInsert();
        for (int field = 1; field <= 25; ++field) table.WriteValue("n" + std::to_string(field), generation::drawInteger(0));
        for (int field = 1; field <= 25; ++field)
            table.WriteValue("nd" + std::to_string(field), generation::decimalValue(generation::drawDecimalText(0)));
    }
    table.PostRow();
}

struct Person {
    std::string first, last, street, city;
};

// Names are drawn from the lists with a fixed seed, so every build ships the
// same people, no two with one name.
std::vector<Person> composePeople(const fs::path& source)
{
    std::vector<std::string> firsts = readList(source / "names" / "first.txt");
    std::vector<std::string> lasts = readList(source / "names" / "last.txt");
    std::vector<std::string> streets = readList(source / "names" / "streets.txt");
    std::vector<std::string> cities = readList(source / "names" / "cities.txt");
    generation::RandomState = 20261209;
    std::set<std::string> names;
    std::vector<Person> people;
    while (people.size() < InvoiceRecords) {
        Person person{pick(firsts), pick(lasts), "", ""};
        if (!names.insert(person.first + " " + person.last).second) continue;
        person.street = std::to_string(100 + generation::randomint(9900)) + " " + pick(streets);
        person.city = pick(cities);
        people.push_back(person);
    }
    return people;
}

// The test data of each record is drawn as a new test draws it.
void fillInvoices(StoreTable& table, const fs::path& source)
{
    std::vector<Person> people = composePeople(source);
    store::formats().shortDateFormat = "mm/dd/yy";
    store::formats().dateSeparator = '/';
    std::int32_t today = store::dateOf(store::currentDateTime()).day;
    generation::seedrandom();
    std::int32_t record = 0;
    for (const Person& person : people) {
        table.BeginInsert();
        table.WriteValue("recordid", ++record);
        table.WriteValue("FIRST", person.first);
        table.WriteValue("LAST", person.last);
        table.WriteValue("STREET", person.street);
        table.WriteValue("CITY", person.city);
        table.WriteValue("idxkey", generation::drawSortKey());
        table.WriteValue("date", store::formatDate(store::Date{today - generation::drawDaysAgo()}));
        table.WriteValue("invoice", generation::drawInvoice());
        table.WriteValue("amount", generation::drawAmount());
    }
    table.PostRow();
}

// A row of no criteria per kind, for the administrator to set.
void fillCriteria(StoreTable& table)
{
    for (TestKind kind : {TestKind::numeric, TestKind::alphanumeric, TestKind::alpha}) {
        table.BeginInsert();
        table.WriteValue("TESTTYPE", kindRules(kind).name);
        table.WriteValue("MINNKPH", 0.0);
        table.WriteValue("MINACCURACY", 0.0);
    }
    table.PostRow();
}

void fill(const std::string& name, StoreTable& table, const fs::path& source)
{
    if (name == "config") fillConfig(table, source);
    if (name == "numeric") fillNumeric(table);
    if (name == "invsort") fillInvoices(table, source);
    if (name == "criteria") fillCriteria(table);
}

void makeTable(const std::string& name, const fs::path& source, const fs::path& program)
{
    fs::path target = program / (name + ".dat");
    if (fs::exists(target)) {
        std::cout << "kept " << target.string() << "\n";
        return;
    }
    fs::path work = program / (".making-" + name);
    fs::remove_all(work);
    fs::create_directories(work);
    std::string table = (work / (name + ".dat")).string();
    store::createTable(store::systemFileSystem(), table, tools::readSchemaFile((source / "tables" / (name + ".json")).string()));
    {
        StoreTable handle(name + "db");
        handle.setTableName(table);
        handle.setExclusive(true);
        handle.setActive(true);
        fill(name, handle, source);
        handle.setActive(false);
    }
    for (const char* extension : {".IDX", ".BLB"})
        if (fs::exists(work / (name + extension))) fs::rename(work / (name + extension), program / (name + extension));
    fs::rename(table, target);
    fs::remove_all(work);
    std::cout << "made " << target.string() << "\n";
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::cerr << "usage: maketables SOURCE_DIR PROGRAM_DIR\n";
        return 2;
    }
    try {
        for (const char* name : {"config", "results", "numeric", "invsort", "criteria", "diagnosis"}) makeTable(name, argv[1], argv[2]);
    } catch (const std::exception& error) {
        std::cerr << "maketables: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
