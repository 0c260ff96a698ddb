// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/createtable.h"
#include "store/storetable.h"
#include "support/tables.h"
#include "support/tempdir.h"
#include "support/watchedfilesystem.h"

#include <gtest/gtest.h>

using namespace store;
using testing_support::columnSchema;
using testing_support::schemaOf;
using testing_support::TempDir;
using testing_support::WatchedFileSystem;

namespace {

// A shared handle's read begins on its caches when the data file's change
// counter has not moved. Here another handle writes right after that counter
// was read, so the read finds a stale cache exactly when it must go to the
// files: it has to see the other handle's write, not half of each.
class ReadFromCache : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("results.dat");
    WatchedFileSystem watched{path};
    StoreTable reader{"resultsdb", watched};
    StoreTable writer{"resultsdb"};

    void SetUp() override
    {
        TableSchema schema = schemaOf({columnSchema("NAME", "string", 20), columnSchema("ERRORS", "memo")});
        createTable(systemFileSystem(), path, schema);
        for (StoreTable* table : {&reader, &writer}) {
            table->setTableName(path);
            table->setActive(true);
        }
        post("first", std::string(600, 'a'));
        reader.GoFirst();
    }

    void post(const std::string& name, const std::string& errors)
    {
        writer.HasRow() ? writer.BeginEdit() : writer.BeginInsert();
        writer.WriteValue("NAME", name);
        writer.WriteValue("ERRORS", errors);
        writer.PostRow();
    }

    // The other handle posts once, right after the reader's next look at the
    // data file's change counter.
    void postAfterNextCounterRead(const std::string& name, const std::string& errors)
    {
        watched.afterRead = [this, name, errors, done = false](const WatchedFileSystem::Read& read) mutable {
            if (done || read.offset != 0 || read.size != 4) return;
            done = true;
            post(name, errors);
        };
    }
};

TEST_F(ReadFromCache, AReadThatMustGoToTheFilesSeesAWriteThatCameAfterItsCheck)
{
    EXPECT_EQ(reader.ReadText("NAME"), "first");
    postAfterNextCounterRead("second", std::string(700, 'b'));
    // The memo value is not cached: the read needs the memo file.
    EXPECT_EQ(reader.ReadText("ERRORS"), std::string(700, 'b'));
    EXPECT_EQ(reader.ReadText("NAME"), "second");
}

TEST_F(ReadFromCache, AStepSeesWritesMadeBeforeIt)
{
    reader.ReadText("ERRORS");
    post("third", "c");
    reader.GoFirst();
    EXPECT_EQ(reader.ReadText("NAME"), "third");
    EXPECT_EQ(reader.ReadText("ERRORS"), "c");
}

}  // namespace
