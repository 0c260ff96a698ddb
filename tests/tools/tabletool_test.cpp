// SPDX-License-Identifier: GPL-3.0-or-later
// tabletool run as a program: create, insert, dump, info and verify.

#include "store/storetable.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <sys/wait.h>

using nlohmann::json;
using testing_support::TempDir;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string errors;
};

std::string slurp(const std::string& path)
{
    std::vector<std::uint8_t> bytes = testing_support::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

class TableTool : public ::testing::Test {
protected:
    Outcome run(const std::string& arguments, const std::string& input = "")
    {
        std::string in = dir.file("stdin"), out = dir.file("stdout"), errors = dir.file("stderr");
        testing_support::writeFile(in, std::vector<std::uint8_t>(input.begin(), input.end()));
        std::string command = std::string(TABLETOOL) + " " + arguments + " < " + in + " > " + out + " 2> " + errors;
        int status = std::system(command.c_str());
        return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(errors)};
    }
    std::vector<json> lines(const std::string& text)
    {
        std::vector<json> parsed;
        std::istringstream stream(text);
        for (std::string line; std::getline(stream, line);) parsed.push_back(json::parse(line));
        return parsed;
    }
    void writeSchema(const std::string& text)
    {
        testing_support::writeFile(schema, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    TempDir dir;
    std::string schema = dir.file("schema.json");
    std::string table = dir.file("results.dat");
};

const char* const resultsSchema = R"({
  "description": "test results", "memo_block_size": 512,
  "columns": [
    {"name": "NAME", "type": "string", "size": 40, "required": true},
    {"name": "KPH", "type": "float"},
    {"name": "TOTALKS", "type": "integer", "min": "0"},
    {"name": "TESTDATE", "type": "date"},
    {"name": "TESTTIME", "type": "time"},
    {"name": "ERRORS", "type": "memo"}],
  "primary": [],
  "indexes": [{"name": "NAME", "columns": ["NAME"], "unique": false, "caseinsensitive": true,
               "descending": [false], "compression": 3}]})";

}  // namespace

TEST_F(TableTool, CreatesFillsAndDumpsATable)
{
    writeSchema(resultsSchema);
    Outcome created = run("create " + schema + " " + table);
    ASSERT_EQ(created.status, 0) << created.errors;
    EXPECT_EQ(std::filesystem::file_size(table), 127u + 768 * 6);
    EXPECT_EQ(std::filesystem::file_size(dir.file("results.BLB")), 512u);

    std::string big(5000, 'e');
    Outcome inserted = run("insert " + table,
                           R"({"NAME": "Doe, John   ", "KPH": "1234.50", "TOTALKS": "17", "TESTDATE": "03/07/24",)"
                           R"( "TESTTIME": "3:05:09 PM", "ERRORS": "line 1\nline 2"})"
                           "\n\n"
                           R"({"name": "Roe, Jane", "kph": 1234.0, "ERRORS": ")" + big + "\"}\n");
    ASSERT_EQ(inserted.status, 0) << inserted.errors;
    EXPECT_EQ(inserted.out, "2\n");

    Outcome dumped = run("dump " + table);
    ASSERT_EQ(dumped.status, 0) << dumped.errors;
    std::vector<json> rows = lines(dumped.out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], json::parse(R"({"NAME": "Doe, John", "KPH": "1234.5", "TOTALKS": "17", "TESTDATE": "03/07/24",)"
                                   R"( "TESTTIME": "3:05:09 PM", "ERRORS": "line 1\nline 2"})"));
    EXPECT_EQ(rows[1]["KPH"], "1234");
    EXPECT_EQ(rows[1]["TOTALKS"], "");
    EXPECT_EQ(rows[1]["ERRORS"], big);
    EXPECT_EQ(dumped.out.rfind("{\"NAME\":\"Doe, John\",\"KPH\":", 0), 0u);  // columns in their order

    Outcome checked = run("verify " + table);
    EXPECT_EQ(checked.status, 0);
    EXPECT_EQ(checked.out, "OK\n");
}

TEST_F(TableTool, InfoShowsHeaderColumnsAndIndexDescriptors)
{
    writeSchema(resultsSchema);
    ASSERT_EQ(run("create " + schema + " " + table).status, 0);
    ASSERT_EQ(run("insert " + table, "{\"NAME\": \"a\"}\n").status, 0);
    Outcome shown = run("info " + table);
    ASSERT_EQ(shown.status, 0) << shown.errors;
    json info = json::parse(shown.out);
    EXPECT_EQ(info["header"]["next_slot"], 2);
    EXPECT_EQ(info["header"]["description"], "test results");
    EXPECT_EQ(info["header"]["blob_count"], 1);
    EXPECT_EQ(info["columns"].size(), 6u);
    EXPECT_EQ(info["columns"][5]["type"], "memo");
    EXPECT_EQ(info["columns"][2]["min"], "0");
    EXPECT_EQ(info["indexes"]["row_count"], 1);
    EXPECT_EQ(info["indexes"]["primary_without_keys"], true);
    EXPECT_EQ(info["indexes"]["secondary"][0]["name"], "NAME");
    EXPECT_EQ(info["indexes"]["secondary"][0]["columns"], json::array({"NAME"}));
    EXPECT_EQ(info["indexes"]["secondary"][0]["key_length"], 46);
    EXPECT_EQ(info["indexes"]["deleted"]["name"], "Sys Deleted");
}

TEST_F(TableTool, InsertStopsAtTheFirstBadRowAndKeepsTheRowsBefore)
{
    writeSchema(resultsSchema);
    ASSERT_EQ(run("create " + schema + " " + table).status, 0);
    Outcome inserted = run("insert " + table, "{\"NAME\": \"a\"}\n{\"NAME\": \"b\", \"TOTALKS\": \"-1\"}\n{\"NAME\": \"c\"}\n");
    EXPECT_EQ(inserted.status, 1);
    EXPECT_EQ(inserted.out, "1\n");
    EXPECT_EQ(inserted.errors, "The value for the field TOTALKS in data file " + table +
                                   " is below the minimum allowable value\n");
    EXPECT_EQ(lines(run("dump " + table).out).size(), 1u);
    Outcome unknown = run("insert " + table, "{\"NOPE\": \"x\"}\n");
    EXPECT_EQ(unknown.errors, "Field 'NOPE' not found\n");
}

TEST_F(TableTool, VerifyReportsEachProblemAndFailsOnDamage)
{
    writeSchema(resultsSchema);
    ASSERT_EQ(run("create " + schema + " " + table).status, 0);
    ASSERT_EQ(run("insert " + table, "{\"NAME\": \"a\", \"ERRORS\": \"x\"}\n{\"NAME\": \"b\"}\n").status, 0);
    const std::size_t slots = 127 + 768 * 6;
    testing_support::patchFile(table, slots, {7});                                     // state byte of slot 1
    testing_support::patchFile(dir.file("results.BLB"), 13, testing_support::littleEndian(512 + 4 * 512, 4));
    Outcome checked = run("verify " + table);
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(checked.out, "Slot 1: state byte 7 is neither 0 nor 1\n"
                           "The memo file is 1024 bytes long, its header says 2560\n"
                           "4 memo blocks are neither in a value nor free\n"
                           "The row count is 2 but 1 slots are in use\n"
                           "Index NAME holds a key that no row has, naming slot 1\n");
    testing_support::patchFile(table, 8, {1});
    checked = run("verify " + table);
    EXPECT_EQ(checked.out, "Data file " + table + " is not the correct version\n");
}

TEST_F(TableTool, ABadSchemaIsRefusedAndLeavesNoFile)
{
    writeSchema(R"({"columns": [{"name": "A", "type": "string", "size": 300}]})");
    Outcome created = run("create " + schema + " " + table);
    EXPECT_EQ(created.status, 1);
    EXPECT_EQ(created.errors, "The size of column A must be 1 to 250, not 300\n");
    EXPECT_FALSE(std::filesystem::exists(table));
    EXPECT_EQ(run("frobnicate " + table).status, 2);
}

TEST_F(TableTool, SharedInsertsFromThreeProcessesStoreEveryRowOnce)
{
    writeSchema(resultsSchema);
    ASSERT_EQ(run("create " + schema + " " + table).status, 0);
    // Another copy has the table open all the while: an exclusive insert is refused.
    store::StoreTable reader("resultsdb");
    reader.setTableName(table);
    reader.setActive(true);
    EXPECT_NE(run("insert " + table, "{\"NAME\": \"x\"}\n").status, 0);

    const int writers = 3, rows = 80;
    std::string command;
    for (int writer = 0; writer < writers; ++writer) {
        std::string input;
        for (int row = 0; row < rows; ++row) {
            std::string name = "w" + std::to_string(writer) + "-" + std::to_string(row);
            input += "{\"NAME\": \"" + name + "\", \"TOTALKS\": " + std::to_string(row) + ", \"ERRORS\": \"log of " +
                     name + "\"}\n";
        }
        std::string in = dir.file("in" + std::to_string(writer)), out = dir.file("out" + std::to_string(writer));
        testing_support::writeFile(in, std::vector<std::uint8_t>(input.begin(), input.end()));
        command += std::string(TABLETOOL) + " insert --shared " + table + " < " + in + " > " + out + " 2>&1 & p" +
                   std::to_string(writer) + "=$!; ";
    }
    command += "wait $p0 && wait $p1 && wait $p2";
    int status = std::system(("bash -c '" + command + "'").c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << slurp(dir.file("out0")) << slurp(dir.file("out1")) << slurp(dir.file("out2"));
    for (int writer = 0; writer < writers; ++writer)
        EXPECT_EQ(slurp(dir.file("out" + std::to_string(writer))), std::to_string(rows) + "\n");
    EXPECT_EQ(reader.RowCount(), writers * rows);  // the open copy sees them too
    reader.setActive(false);

    std::map<std::string, int> seen;
    for (const json& row : lines(run("dump " + table).out)) {
        std::string name = row["NAME"];
        ++seen[name];
        EXPECT_EQ(row["ERRORS"], "log of " + name);
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(writers * rows));
    for (const auto& [name, count] : seen) EXPECT_EQ(count, 1) << name;
    EXPECT_EQ(run("verify " + table).out, "OK\n");
}
