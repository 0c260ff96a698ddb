// SPDX-License-Identifier: GPL-3.0-or-later
// Thousands of random appends, changes and deletes through the table handle,
// checked against a plain model of the rows: the order of every index walked
// both ways, row numbers, the row count, and at the end the full file checks.

#include "store/createtable.h"
#include "store/datafile.h"
#include "store/storetable.h"
#include "store/tablecheck.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>

using namespace store;
using testing_support::columnSchema;
using testing_support::schemaOf;

namespace {

struct ModelRow {
    std::int32_t rowId = 0;
    std::string name;
    double score = 0;
    std::int32_t day = 0;
    std::int32_t time = 0;
};

std::string upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

IndexSchema indexOn(const std::string& name, std::vector<std::string> columns, Compression compression,
                  std::vector<bool> descending = {}, bool caseInsensitive = false)
{
    IndexSchema wanted;
    wanted.name = name;
    wanted.columns = std::move(columns);
    wanted.compression = compression;
    wanted.columnDescending = std::move(descending);
    wanted.caseInsensitive = caseInsensitive;
    return wanted;
}

class TableModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        TableSchema schema = schemaOf({columnSchema("ID", "integer"), columnSchema("NAME", "string", 24),
                                       columnSchema("SCORE", "float"), columnSchema("D", "date"), columnSchema("T", "time")},
                                      {"ID"});
        schema.indexes = {indexOn("BYNAME", {"NAME"}, Compression::Both, {}, true),
                          indexOn("PLAIN", {"NAME"}, Compression::None),
                          indexOn("LEADING", {"NAME"}, Compression::Leading),
                          indexOn("TRAILING", {"NAME"}, Compression::Trailing),
                          indexOn("BEST", {"SCORE"}, Compression::None, {true}),
                          indexOn("WHEN", {"D", "T"}, Compression::None)};
        createTable(systemFileSystem(), path, schema);
        table.setTableName(path);
        table.setActive(true);
    }

    // The ids of the model's rows in the order an index promises.
    std::vector<std::int32_t> expectedOrder(const std::string& index) const
    {
        std::vector<std::pair<std::int32_t, const ModelRow*>> rows;
        for (const auto& [id, row] : model) rows.emplace_back(id, &row);
        auto byRowId = [](const ModelRow* a, const ModelRow* b) { return a->rowId < b->rowId; };
        std::stable_sort(rows.begin(), rows.end(), [&](const auto& left, const auto& right) {
            const ModelRow* a = left.second;
            const ModelRow* b = right.second;
            if (index == "") return left.first < right.first;
            if (index == "BYNAME") return upper(a->name) != upper(b->name) ? upper(a->name) < upper(b->name) : byRowId(a, b);
            if (index == "BEST") return a->score != b->score ? a->score > b->score : byRowId(a, b);
            if (index == "WHEN")
                return a->day != b->day ? a->day < b->day : a->time != b->time ? a->time < b->time : byRowId(a, b);
            return a->name != b->name ? a->name < b->name : byRowId(a, b);
        });
        std::vector<std::int32_t> ids;
        for (const auto& row : rows) ids.push_back(row.first);
        return ids;
    }

    void checkOrder(const std::string& index)
    {
        table.setIndexName(index);
        std::vector<std::int32_t> forward, backward;
        for (table.GoFirst(); !table.AtEnd(); table.GoNext()) forward.push_back(table.ReadInteger("ID"));
        for (table.GoLast(); table.HasRow() && !table.AtStart(); table.GoPrior()) backward.push_back(table.ReadInteger("ID"));
        std::reverse(backward.begin(), backward.end());
        std::vector<std::int32_t> expected = expectedOrder(index);
        ASSERT_EQ(forward, expected) << "index " << index;
        ASSERT_EQ(backward, expected) << "index " << index << " backwards";
    }

    void write(const ModelRow& row, std::int32_t id)
    {
        table.WriteValue("ID", id);
        table.WriteValue("NAME", row.name);
        table.WriteValue("SCORE", row.score);
        table.WriteValue("D", timestampOf(row.day, 0));
        table.WriteValue("T", timestampOf(0, row.time));
    }

    ModelRow randomRow()
    {
        static const char* const names[] = {"smith", "Smith", "SMITH", "jones", "Jones", "adams", "baker", "Baker",
                                            "clark", "zimmerman-long-name", "zimmerman-long-named", ""};
        ModelRow row;
        row.name = names[random() % 12];
        row.score = static_cast<double>(static_cast<int>(random() % 41) - 20) / 4;
        row.day = 738000 + static_cast<std::int32_t>(random() % 5);
        row.time = static_cast<std::int32_t>(random() % 3) * 1000;
        return row;
    }

    std::int32_t randomId()
    {
        auto at = model.begin();
        std::advance(at, static_cast<long>(random() % model.size()));
        return at->first;
    }

    void moveToId(std::int32_t id)
    {
        table.setIndexName("");
        table.GoFirst();
        while (!table.AtEnd() && table.ReadInteger("ID") != id) table.GoNext();
        ASSERT_EQ(table.ReadInteger("ID"), id);
    }

    testing_support::TempDir dir;
    std::string path = dir.file("model.dat");
    StoreTable table{"testdb"};
    std::map<std::int32_t, ModelRow> model;
    std::int32_t lastRowId = 0;
    std::mt19937 random{12345};
};

}  // namespace

TEST_F(TableModel, EveryIndexOrderAndRowNumberFollowsTheModel)
{
    const char* setting = std::getenv("MOVARA_MODEL_STEPS");
    const int steps = setting ? std::atoi(setting) : 3000;
    for (int step = 1; step <= steps; ++step) {
        unsigned choice = random() % 10;
        if (model.size() < 5 || choice < 5) {
            std::int32_t id = static_cast<std::int32_t>(random() % 100000);
            if (model.count(id)) continue;
            ModelRow row = randomRow();
            row.rowId = ++lastRowId;
            table.BeginInsert();
            write(row, id);
            table.PostRow();
            model[id] = row;
        } else if (choice < 8) {
            std::int32_t id = randomId();
            moveToId(id);
            ModelRow row = randomRow();
            row.rowId = model[id].rowId;
            table.BeginEdit();
            write(row, id);
            table.PostRow();
            model[id] = row;
        } else {
            std::int32_t id = randomId();
            moveToId(id);
            table.DeleteRow();
            model.erase(id);
        }
        ASSERT_EQ(table.RowCount(), static_cast<int>(model.size())) << "step " << step;
        if (step % 500 == 0) {
            for (const char* index : {"", "BYNAME", "PLAIN", "LEADING", "TRAILING", "BEST", "WHEN"}) checkOrder(index);
            table.setIndexName("BEST");
            std::vector<std::int32_t> expected = expectedOrder("BEST");
            for (int probe = 0; probe < 20; ++probe) {
                std::size_t place = random() % expected.size();
                table.GoFirst();
                table.Skip(static_cast<int>(place));
                ASSERT_EQ(table.ReadInteger("ID"), expected[place]);
                ASSERT_EQ(table.RowNumber(), static_cast<int>(place) + 1);
            }
        }
        if (step % 1000 == 0) {  // and the same from disk
            table.setActive(false);
            table.setActive(true);
        }
    }
    table.setActive(false);
    auto data = testing_support::openTable(path);
    std::vector<std::string> problems = checkDataFile(*data);
    for (std::string& problem : checkIndexFile(*data)) problems.push_back(problem);
    EXPECT_EQ(problems, std::vector<std::string>{});
}
