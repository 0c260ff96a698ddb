// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/createtable.h"
#include "store/datafile.h"
#include "store/indexheader.h"
#include "store/storeerror.h"
#include "store/tablefiles.h"
#include "support/faultyfilesystem.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace store;
using namespace testing_support;

namespace {

class NewTable : public ::testing::Test {
protected:
    std::string failureOfCreate(const TableSchema& schema)
    {
        return failureOf([&] { createTable(systemFileSystem(), path, schema); });
    }
    bool anyFileLeft() const
    {
        return std::filesystem::exists(path) || std::filesystem::exists(dir.file("t.IDX")) ||
               std::filesystem::exists(dir.file("t.BLB"));
    }
    IndexHeader indexHeader() const
    {
        std::vector<std::uint8_t> page = readFile(dir.file("t.IDX"));
        return decodeIndexHeader(page.data());
    }

    TempDir dir;
    std::string path = dir.file("t.dat");
};

ColumnSchema withDefault(ColumnSchema wanted, const std::string& text)
{
    wanted.defaultValue = text;
    return wanted;
}

}  // namespace

TEST(TableFileNames, TheDataFileKeepsADatExtensionInAnyCaseAndTheOthersShareItsStem)
{
    TableFileNames config = tableFileNames("/p/config.dat");
    EXPECT_EQ(config.data, "/p/config.dat");
    EXPECT_EQ(config.index, "/p/config.IDX");
    EXPECT_EQ(config.memo, "/p/config.BLB");
    EXPECT_EQ(tableFileNames("/p/Results.DaT").data, "/p/Results.DaT");
    EXPECT_EQ(tableFileNames("/p/results").data, "/p/results.DAT");
    TableFileNames other = tableFileNames("/p.d/x.db");
    EXPECT_EQ(other.data, "/p.d/x.DAT");
    EXPECT_EQ(other.memo, "/p.d/x.BLB");
}

TEST_F(NewTable, AnEmptyTableHasItsHeadersOnly)
{
    TableSchema schema = schemaOf({columnSchema("NAME", "string", 40), columnSchema("KPH", "float"),
                                   columnSchema("ERRORS", "memo"), columnSchema("ID", "autoinc")},
                                  {"ID"});
    IndexSchema names;
    names.name = "NAME";
    names.columns = {"name"};
    names.caseInsensitive = true;
    names.compression = Compression::Both;
    IndexSchema speed;
    speed.name = "KPH";
    speed.columns = {"KPH", "NAME"};
    speed.unique = true;
    speed.columnDescending = {true, false};
    schema.indexes = {names, speed};
    createTable(systemFileSystem(), path, schema);

    EXPECT_EQ(std::filesystem::file_size(path), 127u + 768 * 4);
    EXPECT_EQ(std::filesystem::file_size(dir.file("t.IDX")), 4096u);
    EXPECT_EQ(std::filesystem::file_size(dir.file("t.BLB")), 512u);
    auto data = openTable(path);
    EXPECT_EQ(data->header().nextSlot, 1);
    EXPECT_EQ(data->header().slotSize, 9 + 42 + 9 + 5);
    EXPECT_EQ(data->column(4).offset, 5);
    EXPECT_EQ(data->header().blobCount, 1);

    IndexHeader header = indexHeader();
    EXPECT_FALSE(header.primaryWithoutKeys);
    EXPECT_EQ(header.descriptors[0].columns, (std::vector<std::uint16_t>{4}));
    EXPECT_TRUE(header.descriptors[0].unique);
    EXPECT_EQ(header.descriptors[0].keyLength, 5);
    EXPECT_EQ(header.secondaryCount, 2);
    EXPECT_EQ(header.descriptors[1].name, "NAME");
    EXPECT_EQ(header.descriptors[1].keyLength, 41 + 1 + 4);  // not unique: the row id follows
    EXPECT_TRUE(header.descriptors[1].caseInsensitive);
    EXPECT_EQ(header.descriptors[1].compression, Compression::Both);
    EXPECT_EQ(header.descriptors[2].keyLength, 9 + 42);
    EXPECT_EQ(header.descriptors[2].columnDescending, (std::vector<bool>{true, false}));
    EXPECT_EQ(header.descriptors[31].name, "Sys Deleted");
    EXPECT_EQ(header.descriptors[31].keyLength, 5);
}

TEST_F(NewTable, ATableWithoutMemoColumnsHasNoMemoFileAndAPrimaryInSlotOrder)
{
    createTable(systemFileSystem(), path, schemaOf({columnSchema("N", "integer")}));
    EXPECT_FALSE(std::filesystem::exists(dir.file("t.BLB")));
    EXPECT_EQ(readFile(dir.file("t.IDX"))[3978], 1);
    EXPECT_EQ(std::filesystem::file_size(path), 127u + 768);
}

TEST_F(NewTable, BadSchemasFailWithAClearMessageAndLeaveNoFile)
{
    auto many = [](int count, const std::string& type, int size = 0) {
        std::vector<ColumnSchema> columns;
        for (int i = 0; i < count; ++i) columns.push_back(columnSchema("C" + std::to_string(i), type, size));
        return columns;
    };
    ColumnSchema badDefault = withDefault(columnSchema("I", "integer"), "abc");
    ColumnSchema badMinimum = columnSchema("D", "date");
    badMinimum.minimum = "13/45/99";
    IndexSchema unknown;
    unknown.name = "X";
    unknown.columns = {"nope"};
    TableSchema unknownIndexColumn = schemaOf({columnSchema("A", "string", 5)});
    unknownIndexColumn.indexes = {unknown};
    IndexSchema wide;
    wide.name = "WIDE";
    wide.columns = {"C0", "C1", "C2", "C3", "C4"};
    TableSchema longKey = schemaOf(many(5, "string", 250));
    longKey.indexes = {wide};

    const std::pair<TableSchema, std::string> cases[] = {
        {schemaOf({columnSchema("1abc", "string", 5)}), "Column name '1abc' does not start with a letter"},
        {schemaOf({columnSchema("Name", "string", 5), columnSchema("NAME", "integer")}), "Column name NAME is used twice"},
        {schemaOf(many(1025, "boolean")), "A table has at most 1024 columns"},
        {schemaOf(many(33, "memo")), "A table has at most 32 memo and binary columns"},
        {schemaOf({columnSchema("S", "string", 251)}), "The size of column S must be 1 to 250, not 251"},
        {schemaOf({columnSchema("S", "bytes", 0)}), "The size of column S must be 1 to 250, not 0"},
        {schemaOf({columnSchema("I", "integer", 4)}), "Column I of type integer takes no size"},
        {schemaOf({badDefault}), "The default of column I is not valid: 'abc' is not a valid integer value"},
        {schemaOf({badMinimum}), "The minimum of column D is not valid: '13/45/99' is not a valid date"},
        {schemaOf({withDefault(columnSchema("M", "memo"), "x")}), "Column M cannot have a default value"},
        {schemaOf(many(262, "string", 250)), "The columns need 66033 bytes per row, more than 65535"},
        {schemaOf({columnSchema("T", "text")}), "Column T has an unknown type 'text'"},
        {schemaOf({columnSchema("M", "memo")}, {"M"}),
         "The primary index cannot have the memo or binary column M as a key"},
        {unknownIndexColumn, "Index X names an unknown column 'nope'"},
        {longKey, "Index WIDE has a key of 1264 bytes, more than 1036"},
        {schemaOf({}), "A table needs at least one column"},
    };
    for (const auto& [schema, message] : cases) {
        EXPECT_EQ(failureOfCreate(schema), message);
        EXPECT_FALSE(anyFileLeft()) << message;
    }
}

TEST_F(NewTable, AValidDefaultOrKeywordIsAccepted)
{
    ColumnSchema date = withDefault(columnSchema("D", "date"), "DATE");
    date.minimum = "01/01/1990";
    TableSchema schema = schemaOf({date, withDefault(columnSchema("T", "time"), "TIME"),
                                   withDefault(columnSchema("S", "timestamp"), "NOW"),
                                   withDefault(columnSchema("B", "boolean"), "True")});
    EXPECT_EQ(failureOfCreate(schema), "");
}

TEST_F(NewTable, AnExistingFileIsNeverOverwritten)
{
    writeFile(dir.file("t.IDX"), {1, 2, 3});
    EXPECT_EQ(failureOfCreate(schemaOf({columnSchema("N", "integer")})), "File " + dir.file("t.IDX") + " already exists");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(readFile(dir.file("t.IDX")), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(NewTable, AFailureWhileWritingRemovesWhatWasMade)
{
    TableSchema schema = schemaOf({columnSchema("N", "integer"), columnSchema("M", "memo")});
    FaultyFileSystem files;
    createTable(files, path, schema);
    long calls = files.plan.calls;
    for (const char* file : {"t.dat", "t.IDX", "t.BLB"}) std::filesystem::remove(dir.file(file));
    for (long call = 0; call < calls; ++call) {
        files.plan.arm(Fault::DiskFull, call);
        std::string message = failureOf([&] { createTable(files, path, schema); });
        EXPECT_EQ(message, (files.plan.firedOn == "write" ? "not enough disk space to write " : "Error writing to data file ") + path);
        EXPECT_FALSE(anyFileLeft()) << "call " << call;
    }
}
