// SPDX-License-Identifier: GPL-3.0-or-later
// A copy of the program that dies in the middle of a post, at the moment its
// data file's header has reached the disk: from there on the file layer
// refuses every call, as it would for a process that is gone, and then its
// files close. The moment is pinned by the file layer, not left to when a
// kill happens to land, so every run meets it.

#include "store/storeerror.h"
#include "store/storetable.h"
#include "store/tablecheck.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

using namespace store;
using namespace testing_support;

namespace {

// The death, shared by every file the dying copy opened.
struct Death {
    std::string dataPath;
    bool armed = false;
    bool dead = false;
};

class DyingFile final : public File {
public:
    DyingFile(std::unique_ptr<File> inner, Death& death, std::string path)
        : inner_(std::move(inner)), death_(death), path_(std::move(path))
    {
    }

    std::int64_t readAt(std::int64_t offset, void* data, std::int64_t size) override
    {
        return death_.dead ? refused() : inner_->readAt(offset, data, size);
    }
    std::int64_t writeAt(std::int64_t offset, const void* data, std::int64_t size) override
    {
        if (death_.dead) return refused();
        std::int64_t written = inner_->writeAt(offset, data, size);
        if (death_.armed && path_ == death_.dataPath && offset == 0 && written == size) death_.dead = true;
        return written;
    }
    std::int64_t size() override { return death_.dead ? refused() : inner_->size(); }
    bool truncate(std::int64_t size) override { return !death_.dead ? inner_->truncate(size) : refused() == 0; }
    bool flush() override { return !death_.dead ? inner_->flush() : refused() == 0; }
    LockStatus lock(std::int64_t offset, std::int64_t length) override
    {
        if (death_.dead) return refused(), LockStatus::Failed;
        return inner_->lock(offset, length);
    }
    bool unlock(std::int64_t offset, std::int64_t length) override
    {
        return !death_.dead ? inner_->unlock(offset, length) : refused() == 0;
    }
    int lastError() const override { return lastError_ ? lastError_ : inner_->lastError(); }

private:
    std::int64_t refused()
    {
        lastError_ = EIO;
        return -1;
    }

    std::unique_ptr<File> inner_;
    Death& death_;
    std::string path_;
    int lastError_ = 0;
};

class DyingFileSystem final : public FileSystem {
public:
    explicit DyingFileSystem(Death& death) : death_(death) {}

    std::unique_ptr<File> open(const std::string& path, Access access, Sharing sharing, bool writeThrough,
                               OpenStatus& status) override
    {
        return wrap(path, death_.dead ? nullptr : systemFileSystem().open(path, access, sharing, writeThrough, status),
                    status);
    }
    std::unique_ptr<File> create(const std::string& path, OpenStatus& status) override
    {
        return wrap(path, death_.dead ? nullptr : systemFileSystem().create(path, status), status);
    }
    bool exists(const std::string& path) override { return systemFileSystem().exists(path); }
    bool isReadOnly(const std::string& path) override { return systemFileSystem().isReadOnly(path); }
    bool remove(const std::string& path) override { return !death_.dead && systemFileSystem().remove(path); }

private:
    std::unique_ptr<File> wrap(const std::string& path, std::unique_ptr<File> inner, OpenStatus& status)
    {
        if (!inner) {
            if (death_.dead) status = OpenStatus::OtherError;
            return nullptr;
        }
        return std::make_unique<DyingFile>(std::move(inner), death_, path);
    }
    Death& death_;
};

using Post = std::function<void(StoreTable&)>;

class DyingWriter : public ::testing::Test {
protected:
    void SetUp() override
    {
        createNamesTable(path);
        StoreTable table("Results");
        openOn(table);
        for (int i = 1; i <= 4; ++i) {
            table.BeginInsert();
            table.WriteValue("NAME", "typist " + std::to_string(i));
            table.WriteValue("KPH", 1000 * i);
            table.WriteValue("ERRORS", std::string(400 * i, static_cast<char>('a' + i)));
            table.PostRow();
        }
        table.setActive(false);
        for (const std::string& file : files()) pristine.push_back(readFile(file));
        before = rowsOf(table);
    }

    std::vector<std::string> files() const { return {path, dir.file("t.IDX"), dir.file("t.BLB")}; }
    void restore()
    {
        for (std::size_t i = 0; i < pristine.size(); ++i) writeFile(files()[i], pristine[i]);
    }
    void openOn(StoreTable& table)
    {
        table.setTableName(path);
        table.setLockRetryCount(0);
        table.setActive(true);
    }

    // Every row in the order of names, with its memo, as a user of another
    // copy would see it.
    std::vector<std::string> rowsOf(StoreTable& table)
    {
        if (!table.Active()) openOn(table);
        table.setIndexName("NAME");
        std::vector<std::string> rows;
        for (table.GoFirst(); !table.AtEnd(); table.GoNext())
            rows.push_back(table.ReadText("NAME") + "|" + table.ReadText("KPH") + "|" + table.ReadText("ERRORS"));
        return rows;
    }

    std::vector<std::string> rowsAfterHealthy(const Post& post)
    {
        restore();
        StoreTable table("Results");
        openOn(table);
        post(table);
        std::vector<std::string> rows = rowsOf(table);
        table.setActive(false);
        restore();
        return rows;
    }

    // The writer dies at its data header; a copy that had the table open
    // all along and one that opens it afterwards both find the table whole,
    // holding the rows of before the post or of after it, and both go on
    // posting without meeting a lock the dead writer left.
    void dieAfterTheDataHeader(const Post& post)
    {
        const std::vector<std::string> after = rowsAfterHealthy(post);
        ASSERT_NE(after, before);
        StoreTable onlooker("Results");
        openOn(onlooker);
        {
            Death death{path};
            DyingFileSystem dying(death);
            StoreTable writer("Results", dying);
            openOn(writer);
            death.armed = true;
            std::string outcome = failureOf([&] { post(writer); });
            ASSERT_TRUE(death.dead) << "the post never wrote the data header: " << outcome;
        }

        StoreTable next("Results");
        const std::vector<std::string> found = rowsOf(next);
        EXPECT_TRUE(found == before || found == after) << "neither the rows of before nor of after the post";
        EXPECT_EQ(rowsOf(onlooker), found);
        {
            auto data = openTable(path);
            EXPECT_EQ(checkDataFile(*data), std::vector<std::string>{});
            EXPECT_EQ(checkMemoFile(*data), std::vector<std::string>{});
            EXPECT_EQ(checkIndexFile(*data), std::vector<std::string>{});
        }

        next.GoFirst();
        next.BeginEdit();
        next.WriteValue("KPH", 7);
        next.PostRow();
        onlooker.BeginInsert();
        onlooker.WriteValue("NAME", "typist 9");
        onlooker.WriteValue("ERRORS", std::string(900, 'z'));
        onlooker.PostRow();
        EXPECT_EQ(rowsOf(next), rowsOf(onlooker));
        EXPECT_EQ(rowsOf(next).size(), found.size() + 1);
    }

    TempDir dir;
    std::string path = dir.file("t.dat");
    std::vector<std::vector<std::uint8_t>> pristine;
    std::vector<std::string> before;
};

}  // namespace

TEST_F(DyingWriter, AnInsertWhoseWriterDiesAtTheDataHeaderIsFoundWholeByTheNextCopy)
{
    dieAfterTheDataHeader([](StoreTable& table) {
        table.BeginInsert();
        table.WriteValue("NAME", "typist 5");
        table.WriteValue("KPH", 5000);
        table.WriteValue("ERRORS", std::string(2500, 'f'));
        table.PostRow();
    });
}

TEST_F(DyingWriter, AnEditWhoseWriterDiesAtTheDataHeaderIsFoundWholeByTheNextCopy)
{
    dieAfterTheDataHeader([](StoreTable& table) {
        table.setIndexName("NAME");
        table.GoFirst();
        table.BeginEdit();
        table.WriteValue("NAME", "typist 0");
        table.WriteValue("ERRORS", std::string(3000, 'g'));
        table.PostRow();
    });
}

TEST_F(DyingWriter, ADeleteWhoseWriterDiesAtTheDataHeaderIsFoundWholeByTheNextCopy)
{
    dieAfterTheDataHeader([](StoreTable& table) {
        table.setIndexName("NAME");
        table.GoFirst();
        table.Skip(1);
        table.DeleteRow();
    });
}
